#include "explore/cases.h"

#include "judge/commandline.h"
#include "judge/utf8.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Written from the handout, rule by rule; each line is judged against the reference program, so
// only the choice of strings matters here, not their answers.
const char *const every_exercise = R"(
# -S: capacities from 0 to the int limit, spellings, a second -S, failures
-S 0
-S 0 -I
-S 0 -I 1
-S 0 -N -C -G 0
-S 1 -I 7 -G 0 -O 1 -N
-S 03 -I 1 2 3 -N
-S -0 -N
-S 2000000000 -I 1 2 3 -N
-S 2147483647 -I -2147483648 2147483647 -G 1
-S 2147483648
-S -1
-S
-S -I 1
-S x
-S 3 4
-S 3 -S 2 -N
-S 3 -I 1 2 3 -S 2 -I 4 -N
-S 2 -I 1 2 -S 5 -I 3 4 5 -O 0
# Any option before the first -S fails, whatever follows
-I 1 -S 3 -N
-N
-O 0 -S 1 -N
-G 0 -S 1
-C -S 2 -N
-A 3 -S 3 -N
-X -S 1
# -I: none, up to one below full, full, one past full, a failure halfway
-S 3 -I -N
-S 3 -I 1 2 -I 3 -N
-S 3 -I 1 2 3 -N
-S 3 -I 1 2 3 4 -N
-S 3 -I 1 2 -I 3 4 -N
-S 4 -I 1 2 3 -I 4 -O 1 -I 5 -I 6
-S 4 -I 1 x 2 -N
# -O: none, some, all, one more than all, negative, missing
-S 3 -I 1 2 3 -O 0
-S 3 -I 1 2 3 -O 1 -I 4 -O 2
-S 3 -I 1 2 3 -O 3 -N
-S 3 -I 1 2 3 -O 4
-S 3 -I 1 2 3 -O -1
-S 3 -O 1
-S 3 -I 1 2 -O
-S 3 -I 1 2 -O -N
# -G: -1, 0, the last, one past, far past, missing
-S 4 -I 5 6 7 -G 0 -G 1 -G 2
-S 4 -I 5 6 7 -G 3
-S 4 -I 5 6 7 -G -1
-S 4 -I 5 6 7 -G
-S 4 -G 0
-S 4 -I 5 6 7 -G 2147483647
# -A: smaller, equal, larger, 0, negative, missing; inserting up to the new capacity
-S 4 -I 1 2 3 -A 2
-S 4 -I 1 2 3 -A 3 -I 4
-S 4 -I 1 2 3 -A 5 -I 4 5 -I 6
-S 4 -I 1 2 3 -A 0
-S 4 -A 0 -I 1
-S 4 -I 1 2 3 -A -1
-S 4 -I 1 2 3 -A
-S 4 -I 1 2 3 -A 3 -O 1 -G 0
# -C: a copy keeps the capacity and the elements; insertions reach the copied capacity
-S 3 -I 1 2 -C -I 3 -N
-S 3 -I 1 2 -C -I 3 4
-S 3 -I 1 2 -C -O 1 -C -G 0
-S 3 -C 5
-S 0 -C -I 1
# -N
-S 3 -N -I 1 2 -N -O 1 -N
-S 3 -N 1
# Words: not integers, the int limits and one past them, spellings of integers
-S 3 -I x
-S 3 -I 2.5
-S 3 -I +2
-S 3 -I 0x1
-S 3 -I ""
-S 3 -I 2147483647 -2147483648
-S 3 -I 2147483648
-S 3 -I -2147483649
-S 3 -I 007 -0 -5
-S 3 -I 1 - 2
-S 3 -I 1 -- 2
-S +3 -N
-S 3 -I 1 2 -O +1
-S 3 -I 1 2 -G +1
-S 99999999999
# Leading zeros never make a number octal: 010 is ten, 09 nine
-S 010 -I 1 2 3 4 5 6 7 8 9 10 11 -N
-S 3 -I 010 09 -0010 -G 0
-S 4 -I 1 2 3 -O 02 -G 010
# Lower-case letters are not options, wherever they stand
-s 3 -I 1 -N
-S 3 -i 1 -N
-S 3 -I 1 2 -o 1 -g 0 -a 5 -c -n
# A capacity is a limit, never memory reserved up front, for -A as for -S
-S 3 -I 1 2 -A 2000000000 -I 3 -N
-S 3 -I 1 2 -A 2147483647 -C -N
# Words where an option is expected
-S 3 -X
-S 3 -s
-S 3 -I 1 -SI
-S 3 -I 1 -N 5 -N
+3
# The worked example of the handout, and the fixed suite's mixtures
-S 3 -I 1 2 3 4 -G 1 -I 5 6 -G 5 -O 6 -O 1
-S 5 -I 1 2 3 4 -O 2 -A 4 -I 5 6 -I 7 -I 8
-S 5 -I 1 2 3 4 -O 2 -C -I 5 6 -A 2
)";

// The queue made of two stacks: the moves in every state of the two stacks, copies and
// assignments that keep each element on its stack.
const char *const two_stacks = R"(
# Moves on insertion: in-stack full with the out-stack empty, then with it holding elements
-S 3 -I 1 2 3 4 -G 0 -G 3
-S 3 -I 1 2 3 4 5 6 -N
-S 3 -I 1 2 3 4 5 6 7
-S 3 -I 1 2 3 4 -I 5 6 -I 7
-S 3 -I 1 2 3 -O 1 -I 4 5 6 -I 7
-S 2 -I 1 2 3 -O 1 -I 4 5
-S 2 -I 1 2 3 -O 1 -I 4 -G 0 -G 1 -G 2
-S 1 -I 1 2 3
-S 1 -I 1 2 -O 1 -I 3 -O 1 -I 4 -G 0
# Moves on removal: the out-stack empty or not, the in-stack empty or not
-S 3 -I 1 2 3 -O 1 -I 4 5 6 -O 2 -I 7
-S 2 -I 1 2 -O 1 -I 3 4 -O 1 -G 0 -G 1
-S 2 -I 1 2 -O 2 -I 3 4 5
-S 3 -I 1 -O 1 -I 2 3 4 5
-S 2 -I 1 2 3 -O 2 -I 4 5 -O 2 -G 0
-S 2 -I 1 2 3 4 -O 3 -I 5 6 -N
# Copies and assignments keep each element on its stack
-S 2 -I 1 2 3 -C -I 4 -I 5
-S 2 -I 1 2 3 -O 1 -C -I 4 5
-S 2 -I 1 2 3 4 -C -O 1 -I 5 6
-S 3 -I 1 2 3 4 -A 2
-S 3 -I 1 2 -A 1
-S 3 -I 1 2 3 4 -A 3 -I 5 6 -I 7
-S 3 -I 1 2 3 4 5 -A 4 -I 6 7 8 -N
-S 2 -I 1 2 3 -A 2 -I 4 -I 5
-S 2 -I 1 2 3 -A 1 -I 4
)";

// Where programs written with fixed arrays, narrow integers, sentinel values and fixed buffers
// break: a container filled past 100, 128 and 1000 elements and to tens of kilobytes of command
// line and answer, numbers past 8 and 16 bits, stored zeros, and words past a dozen characters.
const char *const sizes = R"(
-S 65536 -I 1 -N
-S 65537 -I 1 2 -N
-S 3 -I 1 2 -A 65536 -I 3
-S 3 -I 1 -O 256
-S 300 -I 1 -O 257
-S 3 -I 1 2 -G 65536
-S 3 -I 0 -N
-S 3 -I 0 1 0 -N -G 0 -G 2
-S 2 -I 1 0 3
-S 2 -I 0 1 2 -O 1 -N
-S 0000000000003 -I 00000000000000001 -0000000000000002 -N
-S 3 -I 2147483646 -2147483647 -1000000000 -65536 -N
)";

// " 1 2 ... n"
std::string counting(int n)
{
    std::string values;
    for (int i = 1; i <= n; ++i)
        values += ' ' + std::to_string(i);
    return values;
}

// " -S 1 -I 1 -O 1 -I 3 -O 1 ... -N": `n` options, each succeeding, as many as programs keep
// in fixed arrays of options.
std::string options_counting(int n)
{
    std::string options = " -S 1";
    for (int i = 1; i < n - 1; ++i)
        options += i % 2 ? " -I " + std::to_string(i) : std::string(" -O 1");
    return options + " -N";
}

} // namespace

CaseList parse_cases(const std::string &text)
{
    CaseList list;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line.find('\0') != std::string::npos) {
            list.error = "line " + std::to_string(number) + " holds a NUL byte";
            return list;
        }
        list.options.push_back(line[0] == ' ' ? line : ' ' + line);
    }
    return list;
}

CaseList read_case_file(const std::string &path)
{
    // A case list is a few kilobytes; anything far larger is not one.
    constexpr qint64 largest = 16 * 1024 * 1024;
    const QString name = from_utf8(path);
    QFile file(name);
    CaseList list;
    const QFileInfo info(name);
    // A pipe or a device would be read without end.
    if (info.isDir())
        list.error = "it is a folder";
    else if (info.exists() && !info.isFile())
        list.error = "it is not a regular file";
    else if (!file.open(QIODevice::ReadOnly))
        list.error = to_utf8(file.errorString());
    if (!list.error.empty())
        return list;
    const QByteArray text = file.read(largest + 1);
    if (text.size() > largest) {
        list.error = "it is larger than 16 MiB";
        return list;
    }
    list = parse_cases(text.toStdString());
    if (list.error.empty() && list.options.empty())
        list.error = "it holds no option strings";
    return list;
}

std::vector<std::string> extended_cases(Exercise exercise)
{
    std::vector<std::string> cases{""};
    for (const std::string &options : parse_cases(every_exercise).options)
        cases.push_back(options);
    for (const std::string &options : parse_cases(sizes).options)
        cases.push_back(options);
    for (const int n : {101, 129, 1001, 10001})
        cases.push_back(" -S " + std::to_string(n) + " -I" + counting(n) + " -N");
    for (const int n : {51, 101, 1001})
        cases.push_back(options_counting(n));
    if (has_two_stacks(exercise)) {
        for (const std::string &options : parse_cases(two_stacks).options)
            cases.push_back(options);
    }
    return cases;
}

std::string options_line(const Words &words)
{
    std::string line;
    for (const std::string &word : words) {
        line += ' ';
        // Plain ASCII, as generated words are, needs no look at Unicode.
        const bool ascii = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
            return c > ' ' && c < 0x7f && c != '"';
        });
        if (ascii) {
            line += word;
            continue;
        }
        if (!word.empty() && !splits_on_command_line(from_utf8(word))) {
            line += word;
            continue;
        }
        // Three quotes in a row give one literal quote inside a quoted argument.
        line += '"';
        for (const char c : word)
            line += c == '"' ? std::string("\"\"\"") : std::string(1, c);
        line += '"';
    }
    return line;
}
