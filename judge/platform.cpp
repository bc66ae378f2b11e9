#include "judge/platform.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <sys/stat.h>

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

bool is_file(const std::string &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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
        const QByteArray path = program.toUtf8();
        return QString::fromUtf8(resolve_program_path(path.toStdString()).c_str());
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

std::string resolve_program_path(const std::string &path)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name.empty() || name.find('.') != std::string::npos)
        return path;
    return is_file(path + ".exe") ? path + ".exe" : path;
}
