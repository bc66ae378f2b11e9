#include "app/application.h"
#include "app/mainwindow.h"
#include "app/startfolder.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <iostream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    set_up_application(app);
    const bool from_menu = !qEnvironmentVariableIsEmpty(menu_start_variable);
    qunsetenv(menu_start_variable);
    const StartFolder start = start_folder(
        from_menu, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
        QCoreApplication::applicationDirPath());
    if (!start.folder.isEmpty()) {
        QString failure = prepare_start_folder(start);
        if (failure.isEmpty() && !QDir::setCurrent(start.folder))
            failure = QStringLiteral("cannot enter the working folder ") + start.folder;
        // Without a folder of its own the window still works where it was started.
        if (!failure.isEmpty())
            std::cerr << "orvimet: " << failure.toStdString() << "; working in "
                      << QDir::currentPath().toStdString() << '\n';
    }
    MainWindow window;
    window.show();
    return app.exec();
}
