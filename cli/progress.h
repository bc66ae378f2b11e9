#pragma once

// The grade command's status line: the phase, the count, the time left and the student in hand,
// redrawn in place on standard error. It is drawn again every second while nothing is reported,
// so that a program running into its time-out neither freezes the line nor stretches the
// estimate of everybody else's time.

#include "grading/classwork.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TimeLeft
{
    bool known = false;      // no student of the phase is done yet: nothing to judge the rest by
    double seconds = 0;      // for the students not done, apart from the one waited for
    std::string waiting_for; // a student whose run is far past the others'; empty for none
    double waited = 0;       // how long that one has run
};

// The time a phase has left. A student takes the typical time of those done (their median: one
// slow student does not move it); one in hand takes that less what it has run, at least nothing;
// the `not_started` take it whole; all of it shared by `workers`. A student in hand for more than
// three typical times and a second is far past the others: its end cannot be judged, so the rest
// is judged without it, on the workers it leaves, and the longest-running such one is named.
TimeLeft time_left(const std::vector<ProgressJob> &jobs, int not_started, int workers, double now);

class StatusLine
{
public:
    // Shown only on a terminal, and not when `quiet`.
    explicit StatusLine(bool quiet);
    ~StatusLine();
    StatusLine(const StatusLine &) = delete;
    StatusLine &operator=(const StatusLine &) = delete;

    void show(const ClassProgress &progress);
    void clear();

private:
    void draw(double now); // with `mutex` held
    void tick();

    bool shown;
    std::mutex mutex;
    std::condition_variable stopping;
    bool stopped = false;
    std::thread ticker;
    ClassProgress last;
    double start;
    double phase_start;
    double drawn = 0;
};
