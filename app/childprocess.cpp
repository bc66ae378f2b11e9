#include "app/childprocess.h"

#include <QProcess>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Runs in the child between fork and exec: nothing here may allocate or take a lock. The window
// may have died before the request took effect, and then the child already has another parent:
// it ends at once instead of running unseen.
void end_with(pid_t window)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != window)
        _exit(127);
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
// Qt 5 offers only the virtual hook.
class WindowProcess : public QProcess
{
protected:
    void setupChildProcess() override { end_with(window); }

private:
    const pid_t window = getpid();
};
#endif

} // namespace

QProcess *new_window_process()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return new WindowProcess;
#else
    auto *process = new QProcess;
    const pid_t window = getpid();
    process->setChildProcessModifier([window] { end_with(window); });
    return process;
#endif
}
