#include "app/application.h"

#include "judge/qtversion.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

bool load_qt_translations(QApplication &app)
{
    // The window speaks Chinese whatever the user's locale, and so must Qt's dialogs inside it.
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), qt_translations_folder())) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

QIcon installed_icon(const QString &executable_folder)
{
    QIcon icon;
    const QString folder = executable_folder + QStringLiteral("/" ORVIMET_ICONS_FROM_BINDIR "/");
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = folder + QStringLiteral("%1x%1/apps/" ORVIMET_APP_ID ".png").arg(size);
        if (QFileInfo::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

void set_up_application(QApplication &app)
{
    load_qt_translations(app);
    // The name of the desktop entry, so that desktops group the window with its launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral(ORVIMET_APP_ID));
    QIcon icon = installed_icon(QCoreApplication::applicationDirPath());
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral(ORVIMET_APP_ID));
    QApplication::setWindowIcon(icon);
}
