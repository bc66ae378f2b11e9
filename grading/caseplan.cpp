#include "grading/caseplan.h"

#include "grading/batch.h"

#include <algorithm>

ReferenceRun reference_answers(const Grading &grading, const std::vector<std::string> &options,
                               int jobs, const std::string &workroot)
{
    ReferenceRun run;
    run.answers.resize(options.size());
    const int workers = std::max(1, std::min(jobs, static_cast<int>(options.size())));
    std::vector<std::string> workdirs;
    for (int i = 0; i < workers; ++i) {
        workdirs.push_back(make_workdir(workroot, run.error));
        if (workdirs.back().empty())
            return run;
    }
    run_parallel(static_cast<int>(options.size()), jobs, [&](int i, int worker, const Wake &) {
        run.answers[i] = run_reference(grading, options[i], workdirs[worker]);
    });
    for (std::size_t i = 0; i < options.size() && !interrupted(); ++i) {
        if (run.answers[i].run.end == ChildRun::End::NotGraded)
            run.answers[i] = run_reference(grading, options[i], workdirs.front());
        run.problem = reference_problem(run.answers[i]);
        if (!run.problem.empty()) {
            run.failed = i;
            break;
        }
    }
    return run;
}

std::optional<std::size_t> failure_to_shrink(const std::vector<CaseResult> &cases,
                                             std::size_t first_generated)
{
    for (std::size_t c = first_generated; c < cases.size(); ++c) {
        const CaseResult &failing = cases[c];
        // A case that never ran has nothing to shrink: its failure is not the string's.
        if (failing.correct || !failing.graded() || failing.not_run
            || failing.run.end == ChildRun::End::FailedToStart)
            continue;
        return c;
    }
    return std::nullopt;
}
