#include "grading/explorer.h"

#include "explore/cases.h"
#include "explore/shrink.h"
#include "grading/reports.h"

#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
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

namespace {

// A thread of its own for the reference runs of one thread, kept for all its strings, so that
// the reference's sandbox is made once, not for every string.
class ReferenceThread
{
public:
    ReferenceThread()
        : thread([this] { serve(); })
    {}
    ReferenceThread(const ReferenceThread &) = delete;
    ReferenceThread &operator=(const ReferenceThread &) = delete;
    ~ReferenceThread()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        thread.join();
    }

    std::future<ReferenceAnswer> start(std::function<ReferenceAnswer()> job)
    {
        std::packaged_task<ReferenceAnswer()> task(std::move(job));
        std::future<ReferenceAnswer> answer = task.get_future();
        {
            const std::lock_guard<std::mutex> lock(mutex);
            pending = std::move(task);
        }
        wake.notify_one();
        return answer;
    }

private:
    void serve()
    {
        for (;;) {
            std::packaged_task<ReferenceAnswer()> task;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [&] { return stopping || pending.valid(); });
                if (!pending.valid())
                    return;
                task = std::move(pending);
            }
            task();
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::packaged_task<ReferenceAnswer()> pending;
    bool stopping = false;
    std::thread thread; // last: it starts once the rest exists
};

// Judges `options`, running the reference program (unless its answer is known) while the
// student's program runs; nothing when the reference gave no answer.
std::optional<CaseResult> judge_against(const Grading &grading, const StudentProgram &program,
                                        const std::string &options, ReferenceAnswers &reference,
                                        const std::string &workdir)
{
    thread_local ReferenceThread reference_thread;
    std::future<ReferenceAnswer> answer
        = reference_thread.start([&] { return reference.answer(options); });
    CaseResult result = run_student(grading, program, options, workdir);
    const ReferenceAnswer expected = answer.get();
    if (!reference_answered(expected))
        return std::nullopt;
    compare_answers(result, expected.text);
    return result;
}

// The strings of a run in order: the opening ones, then those drawn with the seed.
class CaseStream
{
public:
    CaseStream(Exercise exercise, std::uint64_t seed, const Dictionary &dictionary)
        : exercise(exercise)
        , random(seed)
        , dictionary(dictionary)
        , opening(opening_words(exercise))
    {}

    Words next()
    {
        const int index = place++;
        if (index < static_cast<int>(opening.size()))
            return opening[static_cast<std::size_t>(index)];
        return generate_words(exercise, random, index, dictionary);
    }

private:
    const Exercise exercise;
    Random random;
    const Dictionary &dictionary;
    const std::vector<Words> opening;
    int place = 0;
};

} // namespace

std::vector<Words> generate_cases(Exercise exercise, std::uint64_t seed, int count,
                                  const Dictionary &dictionary)
{
    CaseStream stream(exercise, seed, dictionary);
    std::vector<Words> cases;
    for (int i = 0; i < count; ++i)
        cases.push_back(stream.next());
    return cases;
}

Counterexample shrink_failure(const Grading &grading, const StudentProgram &program,
                              const Words &words, const CaseResult &failing,
                              ReferenceAnswers &reference, const std::string &workdir,
                              std::chrono::steady_clock::time_point deadline)
{
    Counterexample example{options_line(words), failing, 0, true};
    // Every candidate that runs into the time-out costs the whole time-out: unless the failure is
    // a time-out itself, no candidate that times out counts as failing.
    const bool timed_out = failing.run.end == ChildRun::End::TimedOut;
    // Without a deadline, a time-out could cost a time-out for every candidate: it is reported
    // as it is.
    if (timed_out && deadline == std::chrono::steady_clock::time_point::max())
        return example;
    // The student's program is taken to answer the same string the same way each time.
    std::map<std::string, std::optional<CaseResult>> judged{{example.original, failing}};
    auto judge = [&](const Words &candidate) -> const std::optional<CaseResult> & {
        const std::string options = options_line(candidate);
        const auto known = judged.find(options);
        if (known != judged.end())
            return known->second;
        return judged.emplace(options, judge_against(grading, program, options, reference, workdir))
            .first->second;
    };
    const Shrinking shrunk = shrink(
        words, grading.exercise,
        [&](const Words &candidate) {
            const std::optional<CaseResult> &result = judge(candidate);
            return result && !result->correct
                   && (timed_out || result->run.end != ChildRun::End::TimedOut);
        },
        [&] { return std::chrono::steady_clock::now() >= deadline; });
    example.steps = shrunk.steps;
    example.complete = shrunk.complete;
    example.shrunk = *judge(shrunk.words);
    return example;
}

Exploration explore(const Grading &grading, const StudentProgram &program, std::uint64_t seed,
                    const Budget &budget, ReferenceAnswers &reference, const std::string &workdir,
                    const Dictionary &dictionary)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + budget.time;
    Exploration exploration;
    exploration.seed = seed;
    CaseStream stream(grading.exercise, seed, dictionary);
    while (exploration.tried < budget.strings) {
        if (Clock::now() >= deadline) {
            exploration.out_of_time = true;
            break;
        }
        const Words words = stream.next();
        const std::string options = options_line(words);
        const std::optional<CaseResult> result
            = judge_against(grading, program, options, reference, workdir);
        if (!result) {
            exploration.reference_failed_on = options;
            break;
        }
        ++exploration.tried;
        if (!result->correct) {
            exploration.found
                = shrink_failure(grading, program, words, *result, reference, workdir, deadline);
            break;
        }
    }
    return exploration;
}

std::string exploration_text(const Exploration &exploration, const Limits &limits)
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
           + ending_text(result.run, limits) + '\n' + "verdict:   " + verdict_text(result) + '\n'
           + "found as:  " + printable(example.original) + '\n' + "shrunk in: "
           + std::to_string(example.steps) + (example.steps == 1 ? " step" : " steps")
           + (example.complete ? "\n" : " (not fully shrunk: the time ran out)\n");
}
