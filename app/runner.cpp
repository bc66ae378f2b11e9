// Running one command line as a child process, and reporting the process object's errors.
#include "app/mainwindow.h"

#include "app/outputarea.h"
#include "judge/commandline.h"
#include "judge/judgecore.h"
#include "ui_mainwindow.h"

#include <QMetaEnum>
#include <algorithm>
#include <exception>
#include <iostream>

string MainWindow::start_process(QString command)
{
    string result;
    try {
        // Split exactly as the one-string QProcess::start splits: blanks separate, double quotes
        // keep blanks inside one argument.
        QStringList arguments = program_and_arguments(command);
        const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
        // Standard error is never read: let it go nowhere rather than pile up in memory.
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(program, arguments, QIODevice::ReadWrite);
        if (!process->waitForStarted(30000))
            std::cout << "启动失败\n";
        process->closeWriteChannel();
        // No overall limit: a long run is waited for slice after slice.
        while (process->state() != QProcess::NotRunning)
            process->waitForFinished(30000);
        // Read straight into the result: answers may run to megabytes.
        result.resize(static_cast<std::size_t>(process->bytesAvailable()));
        const qint64 read = process->read(result.data(), static_cast<qint64>(result.size()));
        result.resize(
            length_before_nul(result.data(), static_cast<std::size_t>(std::max<qint64>(read, 0))));
    } catch (const std::exception &) {
        show_text(ui->label_5, "程序运行出错！");
    }
    process->close();
    return result;
}

int MainWindow::processError(QProcess::ProcessError error)
{
    const char *name = QMetaEnum::fromType<QProcess::ProcessError>().valueToKey(error);
    append_text(ui->label_5, "程序运行出错:");
    append_text(ui->label_5, name ? name : "UnknownError");
    return 0;
}
