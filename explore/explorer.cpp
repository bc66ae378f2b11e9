#include "explore/explorer.h"

#include "cli/reports.h"
#include "explore/cases.h"
#include "explore/shrink.h"

#include <utility>

ReferenceAnswers::ReferenceAnswers(Grading grading, std::string workdir)
    : grading(std::move(grading))
    , workdir(std::move(workdir))
{}

ReferenceAnswer ReferenceAnswers::answer(const std::string &options)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto known = answers.find(options);
        if (known != answers.end())
            return known->second;
    }
    // Two threads may both run a string that is new to both; the answer is the same.
    const ReferenceAnswer fresh = run_reference(grading, options, workdir);
    add(options, fresh);
    return fresh;
}

void ReferenceAnswers::add(const std::string &options, const ReferenceAnswer &answer)
{
    const std::lock_guard<std::mutex> lock(mutex);
    answers.emplace(options, answer);
}

bool reference_answered(const ReferenceAnswer &answer)
{
    return answer.run.end == ChildRun::End::Exited || answer.run.end == ChildRun::End::Crashed;
}

std::vector<Words> generate_cases(int flag_stack, std::uint64_t seed, int count)
{
    Random random(seed);
    std::vector<Words> cases;
    for (int i = 0; i < count; ++i)
        cases.push_back(generate_words(flag_stack, random));
    return cases;
}

Counterexample shrink_failure(const Grading &grading, const StudentProgram &program,
                              const Words &words, ReferenceAnswers &reference,
                              const std::string &workdir)
{
    Counterexample example;
    example.original = options_line(words);
    // The student's program is taken to answer the same string the same way each time.
    std::map<std::string, CaseResult> judged;
    auto judge = [&](const Words &candidate) -> const CaseResult * {
        const std::string options = options_line(candidate);
        const auto known = judged.find(options);
        if (known != judged.end())
            return &known->second;
        const ReferenceAnswer answer = reference.answer(options);
        if (!reference_answered(answer))
            return nullptr;
        return &judged.emplace(options, judge_case(grading, program, options, answer.text, workdir))
                    .first->second;
    };
    // Every candidate that runs into the time-out costs the whole time-out, so a failure by
    // time-out is reported as found, and no candidate that times out counts as failing.
    auto fails = [&](const Words &candidate) {
        const CaseResult *result = judge(candidate);
        return result && !result->correct && result->run.end != ChildRun::End::TimedOut;
    };
    if (!fails(words)) {
        const CaseResult *result = judge(words);
        example.shrunk = result ? *result : CaseResult{};
        example.shrunk.options = example.original;
        return example;
    }
    const Shrinking shrunk = shrink(words, fails);
    example.steps = shrunk.steps;
    example.shrunk = *judge(shrunk.words);
    return example;
}

Exploration explore(const Grading &grading, const StudentProgram &program, std::uint64_t seed,
                    const Budget &budget, ReferenceAnswers &reference, const std::string &workdir)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + budget.time;
    Exploration exploration;
    exploration.seed = seed;
    Random random(seed);
    while (exploration.tried < budget.strings) {
        if (Clock::now() >= deadline) {
            exploration.out_of_time = true;
            break;
        }
        const Words words = generate_words(grading.flag_stack, random);
        const std::string options = options_line(words);
        const ReferenceAnswer answer = reference.answer(options);
        if (!reference_answered(answer)) {
            exploration.reference_failed_on = options;
            break;
        }
        ++exploration.tried;
        if (!judge_case(grading, program, options, answer.text, workdir).correct) {
            exploration.found = shrink_failure(grading, program, words, reference, workdir);
            break;
        }
    }
    return exploration;
}

std::string exploration_text(const Exploration &exploration, double timeout_seconds)
{
    const std::string seed = "seed:      " + std::to_string(exploration.seed) + '\n';
    const std::string tried
        = std::to_string(exploration.tried) + (exploration.tried == 1 ? " string" : " strings");
    if (!exploration.found) {
        return seed + "tried:     " + tried + ", every answer the reference's"
               + (exploration.out_of_time ? " (the time ran out)\n" : "\n");
    }
    const Counterexample &example = *exploration.found;
    const CaseResult &result = example.shrunk;
    return seed + "tried:     " + tried + ", the last one answered differently\n" + "options:  "
           + printable(result.options) + '\n' + "student:   " + printable(result.student_text)
           + '\n' + "reference: " + printable(result.reference_text) + '\n' + "run:       "
           + ending_text(result.run, timeout_seconds) + '\n' + "verdict:   " + verdict_text(result)
           + '\n' + "found as: " + printable(example.original) + '\n' + "shrunk in: "
           + std::to_string(example.steps) + (example.steps == 1 ? " step\n" : " steps\n");
}
