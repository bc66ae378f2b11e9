#include "app/startfolder.h"

#include "judge/installation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

StartFolder start_folder(bool from_menu, const QString &data_folder,
                         const QString &executable_folder)
{
    if (!from_menu || data_folder.isEmpty())
        return {};
    return {QDir::cleanPath(data_folder + QStringLiteral("/orvimet")),
            installed_reference_folder(executable_folder)};
}

// A link rather than copies: nothing goes stale when the package is upgraded, and the installed
// programs stay out of reach of the programs under test, which run as the user.
QString prepare_start_folder(const StartFolder &start)
{
    if (!QDir().mkpath(start.folder))
        return QStringLiteral("cannot create the working folder ") + start.folder;
    const QString link = start.folder + QStringLiteral("/resource");
    const QFileInfo info(link);
    if (info.isSymLink() && info.symLinkTarget() == start.reference)
        return {};
    if (info.isSymLink()) {
        if (!QFile::remove(link))
            return QStringLiteral("cannot replace the link ") + link;
    } else if (info.exists()) {
        QString aside = link + QStringLiteral(".old");
        for (int n = 2; QFileInfo(aside).exists() || QFileInfo(aside).isSymLink(); ++n)
            aside = link + QStringLiteral(".old") + QString::number(n);
        if (!QDir().rename(link, aside))
            return QStringLiteral("cannot move ") + link + QStringLiteral(" aside");
    }
    if (!QFile::link(start.reference, link))
        return QStringLiteral("cannot link ") + link + QStringLiteral(" to ") + start.reference;
    return {};
}

QString dialog_directory(const QString &proposed, const QString &location,
                         const QString &working_folder, const QString &own_folder,
                         const QString &home)
{
    if (own_folder.isEmpty() || QDir(working_folder) != QDir(own_folder))
        return proposed;
    const QFileInfo chosen(location);
    const QString folder
        = chosen.isAbsolute() && chosen.dir().exists() ? chosen.absolutePath() : home;
    return folder + QLatin1Char('/') + proposed;
}
