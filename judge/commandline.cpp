#include "judge/commandline.h"

#include "judge/platform.h"

#include <QProcess>

QStringList program_and_arguments(const QString &command)
{
    QStringList parts = QProcess::splitCommand(command);
    if (!parts.isEmpty())
        parts.first() = resolve_program(parts.first());
    return parts;
}
