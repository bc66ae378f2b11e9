#include "grading/batch.h"

#include "sandbox/fileio.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <thread>

void run_parallel(int count, int jobs, const std::function<void(int, int, const Wake &)> &work,
                  const std::function<void()> &progress)
{
    std::mutex mutex;
    std::condition_variable changed;
    int next = 0;
    int finished = 0;
    long wakes = 0;
    const Wake wake = [&] {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            ++wakes;
        }
        changed.notify_one();
    };
    auto worker = [&](int number) {
        for (;;) {
            int index;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                if (next == count)
                    return;
                index = next++;
            }
            work(index, number, wake);
            {
                const std::lock_guard<std::mutex> lock(mutex);
                ++finished;
                ++wakes;
            }
            changed.notify_one();
        }
    };
    std::vector<std::thread> threads;
    const int thread_count = std::min(jobs, count);
    for (int i = 0; i < thread_count; ++i)
        threads.emplace_back(worker, i);
    long seen = 0;
    std::unique_lock<std::mutex> lock(mutex);
    while (finished < count) {
        changed.wait(lock, [&] { return wakes != seen; });
        seen = wakes;
        lock.unlock();
        if (progress)
            progress();
        lock.lock();
    }
    lock.unlock();
    for (std::thread &thread : threads)
        thread.join();
    if (progress)
        progress();
}

namespace {

CaseResult not_graded(const std::string &options, const std::string &reason)
{
    CaseResult result;
    result.options = options;
    result.run.end = ChildRun::End::NotGraded;
    result.run.failure = result.note = reason;
    return result;
}

CaseResult not_run(const std::string &options, const std::string &why)
{
    CaseResult result;
    result.options = options;
    result.not_run = true;
    result.note = why;
    return result;
}

void count(ProgramReport &report, const CaseResult &result)
{
    // A program that could not start gave no answer, wrong or right.
    if (result.not_run || result.run.end == ChildRun::End::FailedToStart)
        report.not_run += 1;
    else if (!result.graded())
        report.not_graded += 1;
    else
        (result.correct ? report.correct : report.wrong) += 1;
    report.timeouts += result.run.end == ChildRun::End::TimedOut;
    report.crashes += result.run.end == ChildRun::End::Crashed;
}

} // namespace

std::string program_status(const ProgramReport &report)
{
    if (!report.status.empty())
        return report.status;
    return report.start_failure.empty() ? "graded" : "could not start";
}

std::chrono::milliseconds exploring_share(int strings)
{
    return std::max(std::chrono::milliseconds(60000), std::chrono::milliseconds(100) * strings);
}

std::vector<ProgramReport> grade_class(const ClassRun &run,
                                       const std::vector<StudentProgram> &programs,
                                       const std::function<void(int)> &on_case,
                                       const std::function<void(const ProgramReport &)> &on_program)
{
    // Programs with one answer file form a group that a single worker grades in order.
    std::vector<std::vector<int>> groups;
    std::map<std::string, std::size_t> group_of;
    for (int i = 0; i < static_cast<int>(programs.size()); ++i) {
        const auto found = group_of.emplace(program_answer_file(programs[i]), groups.size());
        if (found.second)
            groups.emplace_back();
        groups[found.first->second].push_back(i);
    }
    // Every working folder exists before any program runs, so none can take another's name.
    std::vector<std::string> workdirs(programs.size()), workdir_errors(programs.size());
    for (std::size_t i = 0; i < programs.size(); ++i)
        workdirs[i] = make_workdir(run.workroot, workdir_errors[i]);

    std::vector<ProgramReport> reports(programs.size());
    std::vector<bool> done(programs.size(), false);
    std::vector<bool> told(programs.size(), false);
    std::mutex mutex;
    int cases_done = 0;
    int cases_told = 0;
    std::size_t programs_told = 0;

    auto grade = [&](int group, int, const Wake &wake) {
        for (const int index : groups[group]) {
            const StudentProgram &program = programs[index];
            ProgramReport report;
            report.name = program.name;
            report.index = index;
            int timeouts = 0;
            std::string given_up;
            const auto started = std::chrono::steady_clock::now();
            if (run.start_program)
                run.start_program(program);
            for (std::size_t c = 0; c < run.options.size(); ++c) {
                if (interrupted())
                    return;
                if (given_up.empty() && run.time_share.count() > 0 && c >= run.bounded_from
                    && std::chrono::steady_clock::now() - started >= run.time_share)
                    given_up = "not run: its share of the time ran out";
                CaseResult result;
                if (!given_up.empty()) {
                    result = not_run(run.options[c], given_up);
                } else
                    try {
                        result = workdirs[index].empty()
                                     ? not_graded(run.options[c], workdir_errors[index])
                                     : judge_case(run.grading, program, run.options[c],
                                                  run.reference_texts[c], workdirs[index]);
                    } catch (const std::bad_alloc &) {
                        result = not_graded(run.options[c], "the grader ran out of memory");
                    }
                // A run the interruption killed says nothing about the program.
                if (interrupted())
                    return;
                // A hung program would cost the whole time-out on every case, and one that cannot
                // start will not start on the next. Time-outs count in all, not in a row: a slow
                // program answers the short strings between the long ones it times out on.
                const ChildRun::End end
                    = result.not_run ? ChildRun::End::NotGraded : result.run.end;
                timeouts += end == ChildRun::End::TimedOut;
                if (end == ChildRun::End::FailedToStart) {
                    report.start_failure
                        = result.run.failure.empty() ? "unknown reason" : result.run.failure;
                    given_up = "not run: the program could not start";
                } else if (given_up.empty() && run.give_up_after > 0
                           && timeouts >= run.give_up_after) {
                    given_up = "not run: gave up after " + std::to_string(run.give_up_after)
                               + (run.give_up_after == 1 ? " time-out" : " time-outs");
                }
                count(report, result);
                report.cases.push_back(std::move(result));
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    ++cases_done;
                }
                wake();
            }
            if (run.finish_program && !workdirs[index].empty())
                run.finish_program(program, report, workdirs[index]);
            // The program's sandbox serves no other, and its working folder no one: what it holds
            // goes at once, not when the class is done.
            end_kept_sandboxes();
            if (!workdirs[index].empty())
                remove_tree(workdirs[index]);
            if (interrupted())
                return;
            report.finished = true;
            const std::lock_guard<std::mutex> lock(mutex);
            reports[index] = std::move(report);
            done[index] = true;
        }
    };
    auto tell = [&](std::size_t index) {
        if (on_program)
            on_program(reports[index]);
        std::vector<CaseResult>().swap(reports[index].cases);
    };
    // Every case wakes the caller, which then reports whatever has become ready.
    auto report_ready = [&] {
        std::vector<std::size_t> ready;
        int cases_now;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            for (; programs_told < programs.size() && done[programs_told]; ++programs_told) {
                if (!told[programs_told])
                    ready.push_back(programs_told);
            }
            for (std::size_t later = programs_told; !run.in_order && later < programs.size();
                 ++later) {
                if (done[later] && !told[later])
                    ready.push_back(later);
            }
            for (const std::size_t index : ready)
                told[index] = true;
            cases_now = cases_done;
        }
        if (on_case && cases_now != cases_told)
            on_case(cases_told = cases_now);
        for (const std::size_t index : ready)
            tell(index);
    };
    run_parallel(static_cast<int>(groups.size()), run.jobs, grade, report_ready);
    for (std::size_t index = programs_told; index < programs.size(); ++index) {
        if (done[index] && !told[index])
            tell(index);
    }
    return reports;
}
