// orvimet-class [RESULTS | SUBMISSIONS RESULTS [orvimet-cli grade options]]: the teacher's window
// over a results folder, or over a grading it starts.
#include "app/application.h"
#include "classwindow/classwindow.h"
#include "gradebook/language.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    set_up_application(app);
    QApplication::setApplicationName(QStringLiteral("orvimet-class"));
    // Chinese as the student's window, unless the teacher's system speaks English; from the
    // translation files of what students receive, which hold the window's texts too.
    QTranslator texts;
    std::string error;
    if (load_translation(texts, QLocale::system().language() == QLocale::English ? "en" : "zh_CN",
                         error))
        QApplication::installTranslator(&texts);
    QStringList arguments = QApplication::arguments().mid(1);
    ClassWindow window;
    if (arguments.size() == 1) {
        window.open_results(arguments.front());
    } else if (arguments.size() >= 2) {
        const QString submissions = arguments.takeFirst();
        const QString results = arguments.takeFirst();
        if (QFileInfo(results).isDir() && QFileInfo(results + "/results.json").isFile()
            && QFileInfo(submissions).isDir()
            && QFileInfo(submissions + "/results.json").isFile()) {
            // Two results folders: the later one, with the rows changed since the earlier.
            window.open_results(results);
            window.compare_with(submissions);
        } else {
            window.start_grading(submissions, results, arguments);
        }
    }
    window.show();
    return app.exec();
}
