#include "judge/installation.h"

#include "judge/judgecore.h"
#include "judge/outputfiles.h"
#include "judge/utf8.h"

#include <QDir>
#include <QFileInfo>

QString installed_reference_folder(const QString &executable_folder)
{
    // ORVIMET_REFERENCE_FROM_BINDIR is the install rules' own layout, relative to bin/.
    return QDir::cleanPath(executable_folder + QLatin1Char('/')
                           + QStringLiteral(ORVIMET_REFERENCE_FROM_BINDIR));
}

namespace {

// The program as the first word of a command line that the window splits as the one-string
// QProcess::start does: quoted when it holds a blank, a quote doubled to three inside.
std::string command_word(const std::string &path)
{
    if (path.find_first_of(" \t\n\v\f\r\"") == std::string::npos)
        return path;
    std::string quoted = "\"";
    for (const char c : path)
        quoted += c == '"' ? std::string("\"\"\"") : std::string(1, c);
    return quoted + '"';
}

} // namespace

WindowReference window_reference(int flag_stack, const QString &executable_folder)
{
    WindowReference result;
    const std::string local_prefix = reference_prefix(flag_stack);
    if (local_prefix.empty())
        return result;
    const std::string local = local_prefix.substr(0, local_prefix.size() - 1);
    result.looked.push_back(local);
    if (is_readable_file(local)) {
        result.prefix = local_prefix;
        return result;
    }
    // Only an installation has this folder; elsewhere there is nothing more to name.
    const QString folder = installed_reference_folder(executable_folder);
    if (!QFileInfo(folder).isDir())
        return result;
    const std::string installed = to_utf8(folder) + local.substr(local.rfind('/'));
    result.looked.push_back(installed);
    if (is_readable_file(installed))
        result.prefix = command_word(installed) + ' ';
    return result;
}
