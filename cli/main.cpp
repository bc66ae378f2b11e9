// orvimet-cli: the grader's judgement from a shell, for one case or for a whole class. This file
// prepares the process, reads the command line through cli/options.h and hands over to the
// command.
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/scheduler.h"
#include "grading/classwork.h"
#include "grading/reports.h"
#include "judge/installation.h"
#include "judge/outputfiles.h"
#include "judge/qtversion.h"
#include "judge/utf8.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <iostream>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The reference program: the chosen folder, else the first of resource/ beside this executable
// (a build tree) and the installed reference folder that holds the file, else ./resource/.
std::string reference_path(const std::string &chosen, Exercise exercise)
{
    const std::string file = reference_file_name(exercise);
    std::string folder = chosen;
    if (folder.empty()) {
        const QString executable_folder = QCoreApplication::applicationDirPath();
        folder = "resource";
        for (const QString &candidate : {executable_folder + QStringLiteral("/resource"),
                                         installed_reference_folder(executable_folder)}) {
            const std::string path = to_utf8(candidate);
            if (is_readable_file(path + "/" + file)) {
                folder = path;
                break;
            }
        }
    }
    return absolute_path(folder + "/" + file);
}

// Descriptors 0 to 2 closed at start would be taken by the first files the grader opens, and
// the table would land in a report: they are held on /dev/null instead.
void hold_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        const int null_fd = ::open("/dev/null", O_RDWR);
        if (null_fd >= 0 && null_fd != fd) {
            ::dup2(null_fd, fd);
            ::close(null_fd);
        }
    }
}

int run(const Invocation &invocation)
{
    const std::string &command = invocation.command;
    if (command == "judge")
        return judge_command(invocation.settings);
    if (command == "suite")
        return suite_command(invocation.settings);
    if (command == "explore")
        return explore_command(invocation.settings);
    if (command == "grade")
        return grade_command(invocation.settings);
    if (command == "merge")
        return merge_command(invocation.settings);
    return init_command(invocation.settings);
}

} // namespace

int main(int argc, char *argv[])
{
    hold_standard_descriptors();
    handle_termination_signals();
    use_utf8_for_local_text();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvimet-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVIMET_VERSION));

    try {
        Invocation invocation = parse_command_line({argv + 1, argv + argc});
        if (invocation.action == Invocation::Action::Help) {
            std::cout << help_text(invocation.command);
            return all_correct;
        }
        if (invocation.action == Invocation::Action::Version) {
            std::cout << "orvimet-cli " ORVIMET_VERSION "\n";
            return all_correct;
        }
        if (invocation.command == "grade") {
            apply_class_file(invocation.settings);
            take_scheduler_shard(invocation.settings);
            apply_results_file(invocation.settings);
        }
        Grading &grading = invocation.settings.grading;
        grading = run_grading(grading, invocation.settings);
        grading.reference_path = reference_path(invocation.reference_folder, grading.exercise);
        return run(invocation);
    } catch (const Interrupted &interruption) {
        std::signal(interruption.signal, SIG_DFL);
        std::raise(interruption.signal);
        return not_judged;
    } catch (const Failure &failure) {
        say(failure.message);
        std::cerr << "Try 'orvimet-cli --help' for more information.\n";
        return not_judged;
    }
}
