// The child program of the benchmark, standing in for both the student's program and the
// reference program. It costs as little as a program can, so that what is measured around it is
// the cost of starting, waiting for and reading a child, not the child's own work: no standard
// streams, no static constructors, one write(2) per buffer.
//
//   tinychild [options...]   prints a fixed short answer, whatever the options
//   tinychild -B N [...]     prints N bytes of "1 2 3 ...", without a line end

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

bool write_all(const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Appends the decimal digits of `value` and one blank at `out`; returns the end.
char *put_number(char *out, unsigned long long value)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0)
        *out++ = digits[--count];
    *out++ = ' ';
    return out;
}

// Numbers counted up from 1, each followed by a blank, cut at exactly `total` bytes. Both programs
// of a judgement print the same bytes, so the answer is judged correct.
bool print_numbers(unsigned long long total)
{
    static char buffer[1 << 16];
    char *const end = buffer + sizeof buffer - 32;
    unsigned long long next = 1;
    while (total > 0) {
        char *out = buffer;
        while (out < end)
            out = put_number(out, next++);
        std::size_t size = static_cast<std::size_t>(out - buffer);
        if (size > total)
            size = static_cast<std::size_t>(total);
        if (!write_all(buffer, size))
            return false;
        total -= size;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "-B") == 0)
        return print_numbers(std::strtoull(argv[2], nullptr, 10)) ? 0 : 1;
    static const char answer[] = "S 5 I 1 2 3 4";
    return write_all(answer, sizeof answer - 1) ? 0 : 1;
}
