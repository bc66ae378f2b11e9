#include "cli/progress.h"

#include "grading/reports.h"
#include "judge/utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <unistd.h>

TimeLeft time_left(const std::vector<ProgressJob> &jobs, int not_started, int workers, double now)
{
    TimeLeft left;
    std::vector<double> took;
    for (const ProgressJob &job : jobs)
        if (job.finished >= 0)
            took.push_back(job.finished - job.started);
    if (took.empty())
        return left;
    std::sort(took.begin(), took.end());
    const std::size_t middle = took.size() / 2;
    const double typical = took.size() % 2 ? took[middle] : (took[middle - 1] + took[middle]) / 2;
    double work = std::max(not_started, 0) * typical;
    double longest_rest = 0;
    int far_past = 0;
    for (const ProgressJob &job : jobs) {
        if (job.finished >= 0)
            continue;
        const double ran = now - job.started;
        if (ran > 3 * typical + 1) {
            ++far_past;
            if (ran > left.waited) {
                left.waited = ran;
                left.waiting_for = job.student;
            }
            continue;
        }
        const double rest = std::max(typical - ran, 0.0);
        work += rest;
        longest_rest = std::max(longest_rest, rest);
    }
    left.known = true;
    left.seconds = std::max(work / std::max(workers - far_past, 1), longest_rest);
    return left;
}

namespace {

double seconds_now()
{
    return progress_clock();
}

std::string minutes_and_seconds(double seconds)
{
    const long whole = static_cast<long>(std::max(seconds, 0.0) + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

StatusLine::StatusLine(bool quiet)
    : shown(!quiet && ::isatty(STDERR_FILENO) == 1)
    , start(seconds_now())
    , phase_start(start)
{
    if (shown)
        ticker = std::thread([this] { tick(); });
}

StatusLine::~StatusLine()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
    }
    stopping.notify_all();
    if (ticker.joinable())
        ticker.join();
}

void StatusLine::show(const ClassProgress &progress)
{
    if (!shown)
        return;
    const std::lock_guard<std::mutex> lock(mutex);
    const double now = seconds_now();
    if (progress.phase != last.phase) {
        phase_start = now;
    } else if (now - drawn < 0.1 && progress.done != progress.total) {
        last = progress;
        return;
    }
    last = progress;
    draw(now);
}

void StatusLine::clear()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
        if (shown)
            std::fputs("\r\033[K", stderr);
    }
    stopping.notify_all();
}

void StatusLine::tick()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping.wait_for(lock, std::chrono::seconds(1), [this] { return stopped; })) {
        if (!last.phase.empty())
            draw(seconds_now());
    }
}

void StatusLine::draw(double now)
{
    drawn = now;
    const ClassProgress &progress = last;
    std::string line = progress.phase;
    std::string student = progress.student;
    if (progress.total > 0) {
        line += " " + std::to_string(progress.done) + "/" + std::to_string(progress.total);
        if (progress.done < progress.total && !progress.jobs.empty()) {
            const int running = static_cast<int>(
                std::count_if(progress.jobs.begin(), progress.jobs.end(),
                              [](const ProgressJob &job) { return job.finished < 0; }));
            const TimeLeft left = time_left(progress.jobs, progress.total - progress.done - running,
                                            progress.workers, now);
            if (left.known && (left.waiting_for.empty() || left.seconds >= 0.5))
                line += ", about " + minutes_and_seconds(left.seconds) + " left";
            if (!left.waiting_for.empty()) {
                line += ", waiting for " + printable(left.waiting_for) + " ("
                        + minutes_and_seconds(left.waited) + ")";
                student.clear();
            }
        } else if (progress.done > 0 && progress.done < progress.total) {
            const double rest
                = (now - phase_start) / progress.done * (progress.total - progress.done);
            line += ", about " + minutes_and_seconds(rest) + " left";
        }
    }
    line += ", " + minutes_and_seconds(now - start) + " so far";
    if (!student.empty())
        line += ": " + printable(student);
    // Kept to one line of a narrow terminal: cut by characters, not bytes.
    const QString text = from_utf8(line);
    std::fprintf(stderr, "\r\033[K%s", to_utf8(text.left(100)).c_str());
    std::fflush(stderr);
}
