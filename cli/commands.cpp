#include "cli/commands.h"

#include "explore/cases.h"
#include "grading/batch.h"
#include "grading/caseplan.h"
#include "grading/classwork.h"
#include "grading/reports.h"
#include "judge/commandline.h"
#include "judge/outputfiles.h"
#include "judge/suitecases.h"
#include "judge/utf8.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include <unistd.h>

namespace {

StudentProgram existing_program(const std::string &given)
{
    const StudentProgram program = student_program(given);
    if (!program_exists(program))
        throw Failure{"no such program: " + printable(program.name)};
    return program;
}

// An option string as a message shows it: a line of a case file may be megabytes long.
std::string shown_options(const std::string &options)
{
    constexpr std::size_t shown = 200;
    if (options.size() <= shown)
        return printable(options);
    return printable(options.substr(0, utf8_cut(options, shown))) + "... ("
           + std::to_string(options.size()) + " bytes in all)";
}

void check_reference(const Grading &grading)
{
    if (!is_readable_file(grading.reference_path))
        throw Failure{"no reference program: " + printable(grading.reference_path)};
}

// A reference answer that cannot be trusted stops everything: judged against it, a program that
// prints nothing could score full marks and a correct one none.
void check_reference_run(const ReferenceAnswer &answer, const Settings &settings,
                         const std::string &options)
{
    const std::string problem = reference_problem(answer);
    if (problem.empty())
        return;
    if (answer.run.end == ChildRun::End::NotGraded && settings.grading.sandbox.enabled
        && answer.run.failure.rfind(sandbox_failure, 0) == 0)
        throw Failure{"programs cannot run in the sandbox (" + answer.run.failure
                      + "): install bubblewrap and allow user namespaces, or grade without the "
                        "sandbox with --no-sandbox"};
    throw Failure{"the reference program " + printable(settings.grading.reference_path) + " "
                  + problem + (options.empty() ? "" : " on the options" + shown_options(options))};
}

std::string scratch_folder(const QTemporaryDir &dir)
{
    if (!dir.isValid())
        throw Failure{"cannot create a scratch folder: " + to_utf8(dir.errorString())};
    return to_utf8(dir.path()) + "/";
}

std::string workdir_in(const std::string &root)
{
    std::string error;
    const std::string workdir = make_workdir(root, error);
    if (workdir.empty())
        throw Failure{error};
    return workdir;
}

// An interrupted grader ends by the signal that interrupted it, once its reports are written.
void end_if_interrupted()
{
    if (const int signal = interrupted())
        throw Interrupted{signal};
}

// The progress bar on standard error, drawn only when that is a terminal.
class ProgressBar
{
public:
    explicit ProgressBar(int total)
        : total(total)
        , shown(::isatty(STDERR_FILENO) == 1)
    {}

    void draw(int done)
    {
        if (!shown)
            return;
        last = done;
        constexpr int width = 30;
        const int filled = total ? done * width / total : width;
        std::fprintf(stderr, "\r[%s%s] %d/%d cases", std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(), done, total);
        std::fflush(stderr);
    }

    // Clears the bar so that a line can be printed, then draws it again.
    template<class Print>
    void around(Print print)
    {
        clear();
        print();
        std::cout.flush();
        draw(last);
    }

    void clear()
    {
        if (!shown)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }

private:
    int total;
    bool shown;
    int last = 0;
};

void print_row(const ProgramReport &report)
{
    char counts[96];
    std::snprintf(counts, sizeof counts, "%7d  %5d  %9d  %7d  %-15s  ", report.correct,
                  report.wrong, report.timeouts, report.crashes, program_status(report).c_str());
    std::cout << counts << printable(report.name);
    if (!report.start_failure.empty())
        std::cout << "  could not start: " << printable(report.start_failure);
    if (report.shrunk_from >= 0)
        std::cout << "  fails on:" << printable(report.shrunk.options);
    std::cout << '\n';
}

// The CSV and JSON reports of a suite, each only when asked for.
class Reports
{
public:
    Reports(const Settings &settings)
    {
        if (!settings.csv.empty() && !settings.json.empty()
            && absolute_path(settings.csv) == absolute_path(settings.json))
            throw Failure{"the CSV and the JSON report would both be " + printable(settings.csv)
                          + ": give two different files"};
        open(csv, settings.csv);
        open(json, settings.json);
        header = {exercise_name(settings.grading.exercise), settings.grading.reference_path,
                  settings.grading};
    }

    // From here on no earlier report of these names is left.
    void begin()
    {
        publish(csv, QByteArray::fromStdString(csv_header()));
        const QByteArray start = json_start(header);
        complete_at = json_complete_offset(start);
        publish(json, start);
    }

    // A report that cannot be written ends the grading (see failed()); nothing is thrown here,
    // where the grading threads still run.
    void add(const ProgramReport &program)
    {
        if (!problem.empty())
            return;
        const bool written
            = write_csv_records(program, [&](const QByteArray &bytes) { return write(csv, bytes); })
              && write_json_program(program, first,
                                    [&](const QByteArray &bytes) { return write(json, bytes); });
        first = false;
        if (!written)
            stop_grading();
    }

    // Why a report could not be written; empty while all is well.
    const std::string &failed() const { return problem; }

    void finish(bool complete)
    {
        if (!write(json, json_end())
            || (complete && json.is_open() && !json.write_at(complete_at, json_complete_true)))
            fail(json, errno);
        if (!problem.empty())
            throw Failure{problem};
    }

private:
    static void open(ReportFile &file, const std::string &path)
    {
        std::string error;
        if (!path.empty() && !file.open(path, error))
            throw Failure{"cannot write the report " + printable(path) + ": " + error};
    }
    static void publish(ReportFile &file, const QByteArray &start)
    {
        std::string error;
        if (file.is_open() && !file.publish(error))
            throw Failure{"cannot write the report " + printable(file.path()) + ": " + error};
        if (file.is_open() && !file.append(start))
            throw Failure{"cannot write the report " + printable(file.path()) + ": "
                          + std::strerror(errno)};
    }
    void fail(const ReportFile &file, int error)
    {
        if (problem.empty())
            problem
                = "cannot write the report " + printable(file.path()) + ": " + std::strerror(error);
    }
    bool write(ReportFile &file, const QByteArray &bytes)
    {
        if (!problem.empty())
            return false;
        if (file.is_open() && !file.append(bytes)) {
            fail(file, errno);
            return false;
        }
        return true;
    }

    ReportFile csv;
    ReportFile json;
    ReportHeader header;
    qint64 complete_at = 0;
    bool first = true;
    std::string problem;
};

} // namespace

std::vector<std::string> case_list(const Settings &settings)
{
    if (settings.cases == "ten")
        return {suite_options.begin(), suite_options.end()};
    if (settings.cases == "extended")
        return extended_cases(settings.grading.exercise);
    const std::string path = settings.cases.substr(5); // file:<path>
    const CaseList list = read_case_file(path);
    if (!list.error.empty())
        throw Failure{"cannot read the case file " + printable(path) + ": " + list.error};
    return list.options;
}

void say(const std::string &message)
{
    std::cerr << "orvimet-cli: " << message << '\n';
}

int judge_command(const Settings &settings)
{
    const StudentProgram program = existing_program(settings.positional.front());
    check_reference(settings.grading);
    const std::string options
        = options_line({settings.positional.begin() + 1, settings.positional.end()});
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-cli-XXXXXX"));
    const std::string root = scratch_folder(scratch);

    // The reference answers first, so that nothing the student's program does can change them.
    const ReferenceAnswer reference = run_reference(settings.grading, options, workdir_in(root));
    end_if_interrupted();
    check_reference_run(reference, settings, options);
    CaseResult result
        = judge_case(settings.grading, program, options, reference.text, workdir_in(root));
    end_if_interrupted();

    const bool judged
        = result.run.end == ChildRun::End::Exited || result.run.end == ChildRun::End::Crashed;
    std::cout << "command:   " << printable(result.command_line) << '\n'
              << "student:   " << printable(result.student_text) << '\n'
              << "reference: " << printable(reference.text) << '\n'
              << "run:       " << ending_text(result.run, settings.grading.limits) << ", "
              << result.run.elapsed.count() << " ms\n";
    if (!result.note.empty() && result.graded() && result.run.end != ChildRun::End::FailedToStart)
        std::cout << "note:      " << printable(result.note) << '\n';
    if (!judged) {
        std::cout << "verdict:   not judged\n";
        return not_judged;
    }
    std::cout << "verdict:   " << verdict_text(result) << '\n';
    return result.correct ? all_correct : some_wrong;
}

int suite_command(const Settings &settings)
{
    // A named program that is not there is a row of its own; the others are graded.
    std::vector<StudentProgram> programs;
    std::vector<std::vector<std::string>> missing_at(settings.positional.size() + 1);
    for (const std::string &given : settings.positional) {
        const StudentProgram program = student_program(given);
        if (program_exists(program))
            programs.push_back(program);
        else
            missing_at[programs.size()].push_back(given);
    }
    check_reference(settings.grading);
    Reports reports(settings);
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-cli-XXXXXX"));

    ClassRun run;
    run.grading = settings.grading;
    run.workroot = scratch_folder(scratch);
    run.jobs = jobs_at_once(settings);
    run.options = case_list(settings);
    const std::size_t first_generated = run.options.size();
    const std::vector<Words> generated
        = generate_cases(settings.grading.exercise, settings.seed, settings.explore);
    for (const Words &words : generated)
        run.options.push_back(options_line(words));

    // The reference answers do not depend on the student: each option string runs once, and
    // all are checked before any student's program runs.
    const ReferenceRun answers
        = reference_answers(run.grading, run.options, run.jobs, run.workroot);
    if (!answers.error.empty())
        throw Failure{answers.error};
    end_if_interrupted();
    if (answers.failed)
        check_reference_run(answers.answers[*answers.failed], settings,
                            run.options[*answers.failed]);
    for (const ReferenceAnswer &answer : answers.answers)
        run.reference_texts.push_back(answer.text);

    // Each program's first failing generated string is shrunk, on the thread that graded it.
    ReferenceAnswers reference(run.grading, workdir_in(run.workroot));
    for (std::size_t i = first_generated; i < run.options.size(); ++i)
        reference.add(run.options[i], answers.answers[i]);
    if (!generated.empty()) {
        run.finish_program = [&](const StudentProgram &program, ProgramReport &report,
                                 const std::string &workdir) {
            const std::optional<std::size_t> c = failure_to_shrink(report.cases, first_generated);
            if (!c)
                return;
            report.shrunk = shrink_failure(run.grading, program, generated[*c - first_generated],
                                           report.cases[*c], reference, workdir)
                                .shrunk;
            report.shrunk_from = static_cast<int>(*c);
        };
        std::cout << "generated: " << generated.size() << " option strings, seed " << settings.seed
                  << '\n';
    }

    reports.begin();
    ProgressBar bar(static_cast<int>(programs.size() * run.options.size()));
    std::cout << "correct  wrong  time-outs  crashes  status           program\n" << std::flush;
    int correct = 0, wrong = 0, timeouts = 0, crashes = 0, not_graded = 0, not_started = 0;
    std::size_t finished = 0;
    std::size_t missing = 0;
    const auto report_missing = [&](std::size_t before) {
        for (const std::string &given : missing_at[before]) {
            ProgramReport report;
            report.name = given;
            report.status = "missing";
            bar.around([&] { print_row(report); });
            reports.add(report);
            missing += 1;
        }
    };
    grade_class(
        run, programs, [&](int cases_done) { bar.draw(cases_done); },
        [&](const ProgramReport &report) {
            report_missing(finished);
            not_started += !report.start_failure.empty();
            bar.around([&] { print_row(report); });
            reports.add(report);
            correct += report.correct;
            wrong += report.wrong;
            timeouts += report.timeouts;
            crashes += report.crashes;
            not_graded += report.not_graded;
            finished += 1;
            const auto failed = std::find_if(report.cases.begin(), report.cases.end(),
                                             [](const CaseResult &c) { return !c.graded(); });
            if (failed != report.cases.end())
                bar.around([&] {
                    say(std::to_string(report.not_graded) + " cases of " + printable(report.name)
                        + " not graded: " + printable(failed->note));
                });
        });
    bar.clear();
    if (finished == programs.size())
        report_missing(finished);
    // The scratch folder goes with the failure; the programs still running were ended.
    if (!reports.failed().empty())
        throw Failure{reports.failed()};

    std::cout << finished << (finished == 1 ? " program, " : " programs, ") << correct + wrong
              << " cases: " << correct << " correct, " << wrong << " wrong (" << timeouts
              << " time-outs, " << crashes << " crashes)\n"
              << std::flush;
    const bool complete = !interrupted() && finished == programs.size();
    reports.finish(complete);
    if (!complete) {
        say("interrupted: " + std::to_string(finished) + " of " + std::to_string(programs.size())
            + " programs graded; the reports are marked incomplete");
        end_if_interrupted();
    }
    if (not_graded > 0) {
        say(std::to_string(not_graded)
            + " cases not graded: the grader could not run them (see the reasons above)");
        return not_judged;
    }
    // Nothing of a missing program, or of one that could not start, was judged.
    if (missing > 0 || not_started > 0) {
        say(std::to_string(missing) + " missing, " + std::to_string(not_started)
            + " could not start: not every program was judged");
        return not_judged;
    }
    return wrong == 0 ? all_correct : some_wrong;
}

int explore_command(const Settings &settings)
{
    const StudentProgram program = existing_program(settings.positional.front());
    check_reference(settings.grading);
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-cli-XXXXXX"));
    const std::string root = scratch_folder(scratch);

    ReferenceAnswers reference(settings.grading, workdir_in(root));
    const Exploration exploration = explore(settings.grading, program, settings.seed,
                                            settings.budget, reference, workdir_in(root));
    end_if_interrupted();
    if (exploration.reference_failed_on) {
        const std::string &options = *exploration.reference_failed_on;
        check_reference_run(reference.answer(options), settings, options);
    }
    std::cout << exploration_text(exploration, settings.grading.limits);
    return exploration.found ? some_wrong : all_correct;
}
