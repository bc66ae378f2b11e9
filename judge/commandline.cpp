#include "judge/commandline.h"

#include "judge/platform.h"

#include <QProcess>

#include <algorithm>

bool splits_on_command_line(const QString &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.isSpace() || c == QLatin1Char('"'); });
}

QStringList program_and_arguments(const QString &command)
{
    QStringList parts = QProcess::splitCommand(command);
    if (!parts.isEmpty())
        parts.first() = resolve_program(parts.first());
    return parts;
}
