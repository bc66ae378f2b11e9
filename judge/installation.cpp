#include "judge/installation.h"

#include <QDir>

QString installed_reference_folder(const QString &executable_folder)
{
    // ORVIMET_REFERENCE_FROM_BINDIR is the install rules' own layout, relative to bin/.
    return QDir::cleanPath(executable_folder + QLatin1Char('/')
                           + QStringLiteral(ORVIMET_REFERENCE_FROM_BINDIR));
}
