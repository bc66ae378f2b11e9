#include "judge/platform.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#ifdef Q_OS_WIN

std::string file_path(const std::string &path)
{
    return path;
}

QString resolve_program(const QString &program)
{
    return program;
}

#else

std::string file_path(const std::string &path)
{
    const std::size_t end = path.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

namespace {

bool has_extension(const QString &program)
{
    return program.mid(program.lastIndexOf(QLatin1Char('/')) + 1).contains(QLatin1Char('.'));
}

// The names Windows would try for `program`, in its order; the bare name last, so that ordinary
// programs without ".exe" still start here.
QStringList candidates(const QString &program)
{
    if (program.isEmpty() || has_extension(program))
        return {program};
    return {program + QStringLiteral(".exe"), program};
}

} // namespace

QString resolve_program(const QString &program)
{
    const QStringList names = candidates(program);
    if (program.isEmpty())
        return program;
    if (program.contains(QLatin1Char('/'))) {
        for (const QString &name : names) {
            if (QFileInfo(name).isFile())
                return name;
        }
        return program;
    }
    for (const QString &name : names) {
        if (QFileInfo(name).isFile())
            return QStringLiteral("./") + name;
    }
    for (const QString &name : names) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return program;
}

#endif
