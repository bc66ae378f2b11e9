// The class report and a feedback page opened in headless Chromium: the table sorts when a header
// is clicked, the histogram is drawn, and a hostile program's output runs nothing. Leaves a
// screenshot of the report, report.png, in the build folder.
#include "classresults.h"
#include "gradebook/gradebook.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestReportBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void headerClickSorts_data();
    void headerClickSorts();
    void hostileOutputRanNothing_data();
    void hostileOutputRanNothing();
    void screenshot();

private:
    // The DOM as Chromium has it once the page's scripts ran.
    QString dom(const QString &page);
    QString run(const QStringList &arguments);

    QString chromium;
    QTemporaryDir dir;
};

void TestReportBrowser::initTestCase()
{
    chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        QSKIP("chromium is not installed (scripts/test.sh installs it)");
    QVERIFY(dir.isValid());
    QFile results(dir.filePath("results.json"));
    QVERIFY(results.open(QIODevice::WriteOnly));
    results.write(to_bytes(class_json(hostile_class())));
    results.close();
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), {}, error), 0);
}

QString TestReportBrowser::run(const QStringList &arguments)
{
    QProcess browser;
    browser.start(chromium, QStringList{"--headless", "--no-sandbox", "--disable-gpu",
                                        "--user-data-dir=" + dir.filePath("profile")}
                                + arguments);
    if (!browser.waitForFinished(120000))
        qWarning("chromium did not finish");
    return QString::fromUtf8(browser.readAllStandardOutput());
}

QString TestReportBrowser::dom(const QString &page)
{
    return run({"--dump-dom", QUrl::fromLocalFile(page).toString()});
}

void TestReportBrowser::headerClickSorts_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("ascending"); // ids in the order of the rows
    QTest::addColumn<QString>("descending");
    // Points: a student with none (the grader failed) ranks lowest; equal points keep the order
    // the rows had.
    QTest::newRow("points") << 3 << "105,108,102,104,107,103,101,106"
                            << "106,101,107,103,104,108,102,105";
    QTest::newRow("id as a number") << 1 << "101,102,103,104,105,106,107,108"
                                    << "108,107,106,105,104,103,102,101";
}

void TestReportBrowser::headerClickSorts()
{
    QFETCH(int, column);
    QFETCH(QString, ascending);
    QFETCH(QString, descending);
    // A copy of the report with a script that clicks the header twice and writes down the order
    // of the rows after each click; the page's policy is told to let that script run as well.
    const QString script
        = QStringLiteral("var th = document.querySelectorAll('#students th')[%1];"
                         "var order = function () { return Array.prototype.map.call("
                         "document.querySelectorAll('#students tbody tr'), function (r) {"
                         " return r.cells[1].textContent; }).join(','); };"
                         "th.click(); document.body.setAttribute('data-ascending', order());"
                         "th.click(); document.body.setAttribute('data-descending', order());")
              .arg(column);
    const QByteArray hash
        = QCryptographicHash::hash(script.toUtf8(), QCryptographicHash::Sha256).toBase64();
    QFile report(dir.filePath("report.html"));
    QVERIFY(report.open(QIODevice::ReadOnly));
    QString html = QString::fromUtf8(report.readAll());
    QVERIFY(html.contains("script-src '"));
    html.replace("script-src '", "script-src 'sha256-" + hash + "' '");
    html.replace("</body>", "<script>" + script + "</script></body>");
    QFile copy(dir.filePath("sorted.html"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(html.toUtf8());
    copy.close();

    const QString sorted = dom(copy.fileName());
    const auto attribute = [&](const char *name) {
        return QRegularExpression(QStringLiteral("%1=\"([^\"]*)\"").arg(name))
            .match(sorted)
            .captured(1);
    };
    QCOMPARE(attribute("data-ascending"), ascending);
    QCOMPARE(attribute("data-descending"), descending);
}

void TestReportBrowser::hostileOutputRanNothing_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("scripts"); // script elements of the page's own
    QTest::newRow("report") << "report.html"
                            << "班级报告：队列" << 1;
    QTest::newRow("feedback page") << "feedback/Ann_101.html"
                                   << "反馈：队列" << 0;
    QTest::newRow("feedback page of a hostile name") << "feedback/&lt;b&gt;Bold&lt;-b&gt;_107.html"
                                                     << "反馈：队列" << 0;
}

void TestReportBrowser::hostileOutputRanNothing()
{
    QFETCH(QString, page);
    QFETCH(QString, title);
    QFETCH(int, scripts);
    page.replace("&lt;", "<").replace("&gt;", ">");
    QVERIFY(QFile::exists(dir.filePath(page)));
    const QString html = dom(dir.filePath(page));
    QVERIFY(!html.isEmpty());
    QCOMPARE(QRegularExpression("<title>([^<]*)</title>").match(html).captured(1), title);
    QCOMPARE(html.count("<script"), scripts);
    QVERIFY(!html.contains("<img"));
    QVERIFY(!html.contains("<b>Bold"));
    QVERIFY(!html.contains(hostile_title + QStringLiteral("</title>")));
    // What the programs printed is there, as text.
    QVERIFY(html.contains("&lt;script&gt;document.title") || page.contains("Bold"));
    if (page == "report.html") {
        const QString svg = QRegularExpression("<svg id=\"histogram\".*</svg>",
                                               QRegularExpression::DotMatchesEverythingOption)
                                .match(html)
                                .captured(0);
        QCOMPARE(svg.count("<rect"), 11); // a tenth of the maximum each, and the maximum
    }
}

void TestReportBrowser::screenshot()
{
    const QString png = QStringLiteral(ORVIMET_BUILD_DIR "/report.png");
    QFile::remove(png);
    run({"--hide-scrollbars", "--window-size=1100,1400", "--screenshot=" + png,
         QUrl::fromLocalFile(dir.filePath("report.html")).toString()});
    QVERIFY(QFileInfo(png).size() > 10000);
}

QTEST_GUILESS_MAIN(TestReportBrowser)
#include "tst_report_browser.moc"
