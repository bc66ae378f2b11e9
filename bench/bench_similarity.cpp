// Similarity across a class on one core: generated classes of 50 to 600 students of about 2,000
// tokens each (the tests' stack solutions with more functions), every tenth a disguised copy.
// Prints the time of lexing and fingerprinting against the whole comparison, so that the growth
// with the class's size shows where it comes from. Not a test: nothing in the suite times anything.
#include "similarity/similarity.h"
#include "tests/similarityclass.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

std::vector<StudentSources> make_class(int students)
{
    std::vector<StudentSources> out;
    for (int i = 1; i <= students; ++i) {
        StackPlan p;
        p.choices = p.names = p.order = p.style = unsigned(i);
        p.extra_functions = 14;
        if (i % 10 == 0) { // a copy of the student before, renamed, reordered, padded
            p.choices = unsigned(i - 1);
            p.dead_code = true;
        }
        out.push_back(stack_solution("student " + std::to_string(i), p));
    }
    return out;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<int> sizes = {50, 100, 200, 300, 600};
    if (argc > 1)
        sizes = {std::atoi(argv[1])};
    std::printf("%8s %10s %10s %10s %12s %8s %10s\n", "students", "tokens", "lex s", "compare s",
                "pairs found", "flagged", "per pair us");
    for (int n : sizes) {
        const std::vector<StudentSources> cls = make_class(n);
        std::size_t tokens = 0;
        auto start = std::chrono::steady_clock::now();
        for (const StudentSources &s : cls) {
            for (const SourceFile &f : s.files)
                tokens += lex_cpp(f.text).tokens.size();
        }
        const double lex = seconds_since(start);
        start = std::chrono::steady_clock::now();
        const ClassSimilarity r = compare_class(cls, stack_template());
        const double all = seconds_since(start);
        std::size_t flagged = 0;
        for (const SimilarPair &p : r.pairs)
            flagged += p.flagged;
        std::printf("%8d %10zu %10.3f %10.3f %12zu %8zu %10.2f\n", n, tokens / cls.size(), lex, all,
                    r.pairs.size(), flagged, 1e6 * all / (double(n) * (n - 1) / 2));
    }
    return 0;
}
