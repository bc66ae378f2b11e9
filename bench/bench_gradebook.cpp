// Grade sheets and pages of a large class: 300 students judged on the extended list of the queue
// exercise. Times write_outputs (every output beside results.json), gives the sizes of the
// report and of feedback.zip, and times headless Chromium loading and drawing the report against
// an empty page. Prints a table; see bench/README.md.
#include "explore/cases.h"
#include "gradebook/gradebook.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr int students = 300;

QJsonObject make_class(const std::vector<std::string> &options)
{
    std::mt19937 random(42);
    QJsonArray list;
    const QString answer = QStringLiteral("S 5 I 1 2 3 4 O 2 E 3 4 ");
    for (int s = 0; s < students; ++s) {
        // Most programs are nearly right; a few fail everything, some print a flood.
        const int skill = static_cast<int>(random() % 100);
        QJsonArray cases;
        int correct = 0;
        for (std::size_t c = 0; c < options.size(); ++c) {
            const bool ok = static_cast<int>(random() % 100) < skill + 20;
            correct += ok;
            const bool flood = !ok && random() % 50 == 0;
            const QString student = flood ? answer.repeated(200).left(4096)
                                    : ok  ? answer
                                          : "S 5 I 1 2";
            cases.append(QJsonObject{{"options", QString::fromStdString(options[c])},
                                     {"verdict", ok ? "correct" : "wrong"},
                                     {"ending", "exit"},
                                     {"exit_code", 0},
                                     {"signal", 0},
                                     {"seconds", 0.003},
                                     {"student", student},
                                     {"student_bytes", flood ? 1 << 22 : student.size()},
                                     {"reference", answer},
                                     {"reference_bytes", answer.size()},
                                     {"difference", ok ? QJsonValue() : QJsonValue(4)},
                                     {"student_word", ""},
                                     {"reference_word", ""},
                                     {"note", ""},
                                     {"memcheck", ""}});
        }
        const QString name = QStringLiteral("学生%1").arg(s, 3, 10, QLatin1Char('0'));
        const QString id = QString::number(1000 + s);
        list.append(
            QJsonObject{{"folder", name + "_" + id + "_assignsubmission_file_"},
                        {"name", name},
                        {"id", id},
                        {"status", "graded"},
                        {"message", ""},
                        {"build", QJsonObject{{"warnings", 1},
                                              {"log", "queue.cpp:12: warning: unused variable"}}},
                        {"memcheck", QJsonObject{{"findings", 0}, {"first", ""}}},
                        {"copies", QJsonArray()},
                        {"correct", correct},
                        {"wrong", int(options.size()) - correct},
                        {"timeouts", 0},
                        {"crashes", 0},
                        {"not_run", 0},
                        {"not_graded", 0},
                        {"cases", cases}});
    }
    return QJsonObject{
        {"format", "orvimet-results"},
        {"format_version", 1},
        {"orvimet", "3.0"},
        {"date", "2026-12-08T10:15:00Z"},
        {"complete", true},
        {"exercise", "queue"},
        {"from_course_website", true},
        {"cases", QJsonObject{{"source", "extended"}, {"count", int(options.size())}}},
        {"scoring", QJsonObject{{"points", 100}}},
        {"totals", QJsonObject{{"students", students}}},
        {"students", list}};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds Chromium takes for `arguments` (the run's wall time), and its standard output.
double chromium_ms(const QString &chromium, const QString &profile, const QStringList &arguments,
                   QString *output = nullptr)
{
    QProcess browser;
    QElapsedTimer timer;
    timer.start();
    browser.start(chromium, QStringList{"--headless", "--no-sandbox", "--disable-gpu",
                                        "--user-data-dir=" + profile}
                                + arguments);
    browser.waitForFinished(120000);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (output)
        *output = QString::fromUtf8(browser.readAllStandardOutput());
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> options = extended_cases(1);
    const std::size_t listed = options.size();
    QTemporaryDir dir;
    const QByteArray json = QJsonDocument(make_class(options)).toJson(QJsonDocument::Indented);
    std::printf("Class: %d students, %zu cases each (the extended list of the queue exercise); "
                "results.json %.1f MB\n\n",
                students, listed, json.size() / 1e6);

    std::vector<double> writes;
    for (int run = 0; run < 5; ++run) {
        QFile results(dir.filePath("results.json"));
        results.open(QIODevice::WriteOnly);
        results.write(json);
        results.close();
        std::string error;
        QElapsedTimer timer;
        timer.start();
        if (write_outputs(dir.path().toStdString(), {}, error) != 0) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        writes.push_back(timer.nsecsElapsed() / 1e6);
    }
    const QString report = dir.filePath("report.html");
    std::printf("| what | figure | goal |\n|---|---|---|\n");
    std::printf("| every output written (median of 5; best %.0f ms) | %.0f ms | ≤ 1000 ms |\n",
                *std::min_element(writes.begin(), writes.end()), median(writes));
    std::printf("| report.html | %.2f MB | < 5 MB |\n", QFileInfo(report).size() / 1e6);
    std::printf("| feedback.zip (%d pages) | %.2f MB | |\n", students,
                QFileInfo(dir.filePath("feedback.zip")).size() / 1e6);
    std::printf("| one feedback page (largest) | %.0f kB | |\n", [&] {
        qint64 largest = 0;
        for (const QFileInfo &page : QDir(dir.filePath("feedback")).entryInfoList(QDir::Files))
            largest = std::max(largest, page.size());
        return largest / 1e3;
    }());

    // --no-browser: the figures of the outputs alone (for a profiler, say).
    const QString chromium = app.arguments().contains("--no-browser")
                                 ? QString()
                                 : QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) {
        std::printf("\n(no browser figures: chromium is not installed, or --no-browser)\n");
        return 0;
    }
    // The report's own clock: a copy whose last script notes the time at the load event.
    const QString script = QStringLiteral(
        "addEventListener('load', function () {"
        " document.body.setAttribute('data-loaded', performance.now().toFixed(0)); });");
    QFile original(report);
    original.open(QIODevice::ReadOnly);
    QString html = QString::fromUtf8(original.readAll());
    html.replace(
        "script-src '",
        "script-src 'sha256-"
            + QCryptographicHash::hash(script.toUtf8(), QCryptographicHash::Sha256).toBase64()
            + "' '");
    html.replace("</body>", "<script>" + script + "</script></body>");
    QFile timed(dir.filePath("timed.html"));
    timed.open(QIODevice::WriteOnly);
    timed.write(html.toUtf8());
    timed.close();
    QFile blank(dir.filePath("blank.html"));
    blank.open(QIODevice::WriteOnly);
    blank.write("<!DOCTYPE html><title>blank</title><p>blank</p>");
    blank.close();

    const QString profile = dir.filePath("profile");
    const QString png = dir.filePath("shot.png");
    std::vector<double> dump_blank, dump_report, shot_blank, shot_report, loaded;
    for (int run = 0; run < 5; ++run) {
        QString dom;
        dump_blank.push_back(chromium_ms(
            chromium, profile, {"--dump-dom", QUrl::fromLocalFile(blank.fileName()).toString()}));
        dump_report.push_back(
            chromium_ms(chromium, profile,
                        {"--dump-dom", QUrl::fromLocalFile(timed.fileName()).toString()}, &dom));
        loaded.push_back(
            QRegularExpression("data-loaded=\"(\\d+)\"").match(dom).captured(1).toDouble());
        const QStringList shot = {"--window-size=1200,1600", "--screenshot=" + png};
        shot_blank.push_back(
            chromium_ms(chromium, profile,
                        shot + QStringList{QUrl::fromLocalFile(blank.fileName()).toString()}));
        shot_report.push_back(chromium_ms(
            chromium, profile, shot + QStringList{QUrl::fromLocalFile(report).toString()}));
    }
    std::printf(
        "| Chromium: report loaded, page's own clock at the load event | %.0f ms | ≤ 1000 ms |\n",
        median(loaded));
    std::printf("| Chromium: load and dump the DOM, report less empty page (%.0f − %.0f) | %.0f ms "
                "| ≤ 1000 ms |\n",
                median(dump_report), median(dump_blank), median(dump_report) - median(dump_blank));
    std::printf("| Chromium: load and paint a screenshot, report less empty page (%.0f − %.0f) | "
                "%.0f ms | ≤ 1000 ms |\n",
                median(shot_report), median(shot_blank), median(shot_report) - median(shot_blank));
    return 0;
}
