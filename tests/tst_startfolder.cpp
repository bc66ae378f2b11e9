// The working folder of the window started from the desktop menu: how its resource/ is prepared
// whatever an earlier start or a program under test left there. Which folder the window takes is
// checked on the installed tree, by tst_package.
#include "app/application.h"
#include "app/startfolder.h"

#include <QtTest>

class TestStartFolder : public QObject
{
    Q_OBJECT

private slots:
    void resourceLeadsToTheInstallation_data();
    void resourceLeadsToTheInstallation();
    void failureIsReported();
    void installedIcon_data();
    void installedIcon();
};

void TestStartFolder::resourceLeadsToTheInstallation_data()
{
    // What stands at resource/ before the start; "old/" names a folder, "old->" a link.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("movedAside");
    QTest::newRow("first start") << QStringList() << QStringList();
    QTest::newRow("link already right") << QStringList{"resource->installed"} << QStringList();
    QTest::newRow("link to a removed installation")
        << QStringList{"resource->gone"} << QStringList();
    QTest::newRow("folder left by a program")
        << QStringList{"resource/"} << QStringList{"resource.old"};
    QTest::newRow("earlier folder moved aside already")
        << QStringList{"resource/", "resource.old/"} << QStringList{"resource.old2"};
}

void TestStartFolder::resourceLeadsToTheInstallation()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, movedAside);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString installed = root.filePath(QStringLiteral("installed"));
    QVERIFY(QDir().mkpath(installed));
    const QString folder = root.filePath(QStringLiteral("data/orvimet"));
    QVERIFY(QDir().mkpath(folder));
    for (const QString &entry : before) {
        const QString name = entry.section(QStringLiteral("->"), 0, 0).remove(QLatin1Char('/'));
        if (entry.contains(QStringLiteral("->"))) {
            QVERIFY(QFile::link(root.filePath(entry.section(QStringLiteral("->"), 1)),
                                folder + QLatin1Char('/') + name));
        } else {
            QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + name));
            QFile mark(folder + QLatin1Char('/') + name + QStringLiteral("/a.exe"));
            QVERIFY(mark.open(QIODevice::WriteOnly));
        }
    }

    QCOMPARE(prepare_start_folder({folder, installed}), QString());
    const QFileInfo resource(folder + QStringLiteral("/resource"));
    QVERIFY(resource.isSymLink());
    QCOMPARE(resource.symLinkTarget(), installed);
    for (const QString &name : movedAside)
        QVERIFY2(QFileInfo::exists(folder + QLatin1Char('/') + name + QStringLiteral("/a.exe")),
                 qPrintable(name));
}

void TestStartFolder::failureIsReported()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QFile file(root.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString error = prepare_start_folder(
        {file.fileName() + QStringLiteral("/orvimet"), root.filePath(QStringLiteral("installed"))});
    QVERIFY(error.contains(file.fileName()));
}

void TestStartFolder::installedIcon_data()
{
    // The sizes installed beside the window's bin/, and the sizes its icon offers.
    QTest::addColumn<QList<int>>("installed");
    QTest::addColumn<QList<int>>("offered");
    QTest::newRow("every size") << QList<int>{16, 24, 32, 48, 64, 128, 256}
                                << QList<int>{16, 24, 32, 48, 64, 128, 256};
    QTest::newRow("two sizes") << QList<int>{16, 256} << QList<int>{16, 256};
    QTest::newRow("no installation") << QList<int>() << QList<int>();
}

void TestStartFolder::installedIcon()
{
    QFETCH(QList<int>, installed);
    QFETCH(QList<int>, offered);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    for (const int size : installed) {
        const QString part = QStringLiteral("/%1x%1/apps/" ORVIMET_APP_ID ".png").arg(size);
        const QString target = QDir::cleanPath(bin + "/" ORVIMET_ICONS_FROM_BINDIR + part);
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        QVERIFY(QFile::copy(QStringLiteral(ORVIMET_SOURCE_ICONS) + part, target));
    }
    QList<int> sizes;
    for (const QSize &size : installed_icon(bin).availableSizes())
        sizes << size.width();
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, offered);
}

QTEST_MAIN(TestStartFolder)
#include "tst_startfolder.moc"
