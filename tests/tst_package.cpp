// The Debian package as a teacher gets it: built by CPack, unpacked into a scratch root, and run
// from there. Needs dpkg-dev, lintian, desktop-file-utils, appstream and man-db, which
// scripts/test.sh installs.
#include "testsupport.h"

#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    QByteArray out, err;
    QString failure;
};

Run run(const QString &program, const QStringList &arguments, const QString &folder = QString(),
        int seconds = 120)
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(seconds * 1000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    if (process.error() != QProcess::UnknownError)
        result.failure = process.errorString();
    return result;
}

QString report(const Run &r)
{
    return QStringLiteral("status %1 %2\n%3\n%4")
        .arg(r.status)
        .arg(r.failure, QString::fromUtf8(r.out), QString::fromUtf8(r.err));
}

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void control();
    void filesValidate_data();
    void filesValidate();
    void cliFindsInstalledReferences();
    void windowWorkingFolder_data();
    void windowWorkingFolder();

private:
    QString tree(const QString &relative) const { return root + QLatin1Char('/') + relative; }

    QTemporaryDir scratch;
    QString deb;
    QString root;
};

void TestPackage::initTestCase()
{
    QVERIFY(scratch.isValid());
    QStringList missing;
    for (const char *tool :
         {"dpkg-deb", "dpkg-shlibdeps", "lintian", "desktop-file-validate", "appstreamcli", "man"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("missing (scripts/test.sh installs them): ")
                        + missing.join(QLatin1Char(' '))));

    const QString packages = scratch.filePath(QStringLiteral("packages"));
    const Run cpack
        = run(QStringLiteral(ORVIMET_CPACK),
              {"-G", "DEB", "--config", ORVIMET_BUILD_DIR "/CPackConfig.cmake", "-B", packages},
              QString(), 600);
    QVERIFY2(cpack.status == 0, qPrintable(report(cpack)));
    const QStringList debs = QDir(packages).entryList(
        {QStringLiteral("orvimet_" ORVIMET_VERSION "_*.deb")}, QDir::Files);
    QVERIFY2(debs.size() == 1, qPrintable(report(cpack)));
    deb = packages + QLatin1Char('/') + debs.first();

    root = scratch.filePath(QStringLiteral("root"));
    const Run unpack = run(QStringLiteral("dpkg-deb"), {"-x", deb, root});
    QVERIFY2(unpack.status == 0, qPrintable(report(unpack)));
}

void TestPackage::control()
{
    const Run fields
        = run(QStringLiteral("dpkg-deb"),
              {"--showformat=${Version}\\n${Section}\\n${Maintainer}\\n${Depends}\\n${Recommends}"
               "\\n${Suggests}",
               "-W", deb});
    QVERIFY2(fields.status == 0, qPrintable(report(fields)));
    const QStringList parts = QString::fromUtf8(fields.out).split(QLatin1Char('\n'));
    QCOMPARE(parts.size(), 6);
    QCOMPARE(parts[0], QStringLiteral(ORVIMET_VERSION));
    QCOMPARE(parts[1], QStringLiteral("education"));
    QVERIFY2(parts[2].contains(QLatin1Char('@')), qPrintable(parts[2]));
    // Computed from the binaries: the Qt widgets library built with, and the C library.
    const QString widgets = QT_VERSION_MAJOR == 6 ? QStringLiteral("libqt6widgets6")
                                                  : QStringLiteral("libqt5widgets5");
    QVERIFY2(parts[3].contains(widgets) && parts[3].contains(QStringLiteral("libc6")),
             qPrintable(parts[3]));
    // Qt's own translations for the file dialog; the completion framework for orvimet-cli's.
    const QString translations = QT_VERSION_MAJOR == 6 ? QStringLiteral("qt6-translations-l10n")
                                                       : QStringLiteral("qttranslations5-l10n");
    QVERIFY2(parts[4].contains(translations), qPrintable(parts[4]));
    QCOMPARE(parts[5], QStringLiteral("bash-completion"));
}

void TestPackage::filesValidate_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    const QString share = QStringLiteral("usr/share/");
    QTest::newRow("desktop entry")
        << "desktop-file-validate"
        << QStringList{share + "applications/" ORVIMET_APP_ID ".desktop"};
    QTest::newRow("metainfo") << "appstreamcli"
                              << QStringList{"validate", "--no-net",
                                             share + "metainfo/" ORVIMET_APP_ID ".metainfo.xml"};
    for (const char *page : {"orvimet", "orvimet-cli"})
        QTest::addRow("%s(1)", page)
            << "man"
            << QStringList{"--warnings", "-E", "UTF-8", "-l",
                           share + "man/man1/" + QString::fromLatin1(page) + ".1.gz"};
    // Besides its own checks, lintian reads the manual pages, the copyright and the changelog.
    QTest::newRow("lintian") << "lintian"
                             << QStringList{"--fail-on", "error", "--no-tag-display-limit"};
}

void TestPackage::filesValidate()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    if (program == QLatin1String("lintian"))
        arguments << deb;
    else
        arguments.last() = tree(arguments.last());
    QVERIFY2(QFileInfo::exists(arguments.last()), qPrintable(arguments.last()));
    const Run check = run(program, arguments, QString(), 300);
    QVERIFY2(check.status == 0, qPrintable(report(check)));
    // man formats the page on standard output and warns on standard error.
    if (program == QLatin1String("man"))
        QVERIFY2(check.err.isEmpty(), check.err.constData());
}

void TestPackage::cliFindsInstalledReferences()
{
    const Run version = run(tree(QStringLiteral("usr/bin/orvimet-cli")), {"--version"});
    QCOMPARE(version.out, QByteArray("orvimet-cli " ORVIMET_VERSION "\n"));

    // A folder without resource/ of its own, so only the installed references can be found.
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString json = elsewhere.filePath(QStringLiteral("class.json"));
    const Run suite = run(tree(QStringLiteral("usr/bin/orvimet-cli")),
                          {"suite", "--exercise", "queue", "--json", json,
                           ORVIMET_EXAMPLES_DIR "/queue.exe", ORVIMET_EXAMPLES_DIR "/stack.exe"},
                          elsewhere.path());
    QVERIFY2(suite.status == 1, qPrintable(report(suite)));
    QVERIFY2(suite.out.contains("2 programs, 20 cases: 14 correct, 6 wrong"),
             qPrintable(report(suite)));
    QFile file(json);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString reference = QJsonDocument::fromJson(file.readAll())
                                  .object()
                                  .value(QLatin1String("reference"))
                                  .toString();
    QCOMPARE(canonical(reference),
             canonical(tree(QStringLiteral("usr/" ORVIMET_REFERENCE_DIR "/b.exe"))));
}

void TestPackage::windowWorkingFolder_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("desktop entry's command") << true;
    QTest::newRow("from a terminal") << false;
}

void TestPackage::windowWorkingFolder()
{
    QFETCH(bool, fromMenu);
    QTemporaryDir elsewhere, data;
    QVERIFY(elsewhere.isValid() && data.isValid());
    QStringList command{tree(QStringLiteral("usr/bin/orvimet"))};
    if (fromMenu) {
        QFile entry(tree(QStringLiteral("usr/share/applications/" ORVIMET_APP_ID ".desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        const QList<QByteArray> lines = entry.readAll().split('\n');
        const auto exec = std::find_if(lines.begin(), lines.end(), [](const QByteArray &line) {
            return line.startsWith("Exec=");
        });
        QVERIFY(exec != lines.end());
        command = QProcess::splitCommand(QString::fromUtf8(exec->mid(5)));
        QVERIFY(!command.isEmpty());
    }
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), tree(QStringLiteral("usr/bin:"))
                                                   + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    window.setProcessEnvironment(environment);
    window.setWorkingDirectory(elsewhere.path());
    const QByteArray log = start_window_program(window, command.first(), command.mid(1));
    QVERIFY2(log.contains("on_help_clicked"), log.constData());

    const QString folder
        = QFileInfo(QStringLiteral("/proc/%1/cwd").arg(window.processId())).symLinkTarget();
    window.kill();
    window.waitForFinished();
    const QString own = data.filePath(QStringLiteral("orvimet"));
    QCOMPARE(folder, fromMenu ? own : elsewhere.path());
    if (fromMenu)
        QCOMPARE(canonical(own + QStringLiteral("/resource/a.exe")),
                 canonical(tree(QStringLiteral("usr/" ORVIMET_REFERENCE_DIR "/a.exe"))));
    else
        QVERIFY(!QFileInfo::exists(own));
}

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
