// The compiled-in background picture: its resource path, its stored form and the window that
// shows it. The test program carries the resource collection the same way as orvimet itself.
#include "app/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

const QString background = QStringLiteral(":/file/background");

int channel_distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pictureReadsAsImage();
    void storedAsPlainPng();
    void onlyTheExactPathNamesIt_data();
    void onlyTheExactPathNamesIt();
    void sameForEveryLanguage_data();
    void sameForEveryLanguage();

    void windowShowsPicture_data();
    void windowShowsPicture();

private:
    QTemporaryDir elsewhere;
};

void TestResources::initTestCase()
{
    // No picture file lies in the working directory: whatever shows comes from the program.
    QVERIFY(elsewhere.isValid());
    QVERIFY(QDir::setCurrent(elsewhere.path()));
}

void TestResources::pictureReadsAsImage()
{
    QImageReader reader(background);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(600, 350));
    QVERIFY(!image.hasAlphaChannel());
}

void TestResources::storedAsPlainPng()
{
    const QResource resource(background);
    QVERIFY(resource.isValid());
    QVERIFY(QFileInfo(background).isFile());
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);

    QFile file(background);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QCOMPARE(data.size(), resource.size());
    // Signature, then the IHDR chunk: length 13, type, width, height, bit depth 8, colour type 2
    // (RGB), compression 0, filter 0, interlace 0.
    QVERIFY(data.size() > 33);
    QCOMPARE(data.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    QCOMPARE(qFromBigEndian<quint32>(data.constData() + 8), quint32(13));
    QCOMPARE(data.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(qFromBigEndian<quint32>(data.constData() + 16), quint32(600));
    QCOMPARE(qFromBigEndian<quint32>(data.constData() + 20), quint32(350));
    QCOMPARE(data.mid(24, 5), QByteArray("\x08\x02\x00\x00\x00", 5));
}

void TestResources::onlyTheExactPathNamesIt_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("with extension") << QStringLiteral(":/file/background.png");
    QTest::newRow("capital B") << QStringLiteral(":/file/Background");
    QTest::newRow("all capitals") << QStringLiteral(":/file/BACKGROUND");
    QTest::newRow("capital directory") << QStringLiteral(":/File/background");
    QTest::newRow("without directory") << QStringLiteral(":/background");
    QTest::newRow("root with extension") << QStringLiteral(":/background.png");
}

void TestResources::onlyTheExactPathNamesIt()
{
    QFETCH(QString, path);
    QVERIFY(!QFile::exists(path));
    QVERIFY(QImage(path).isNull());
    // The directory holds the one entry.
    QCOMPARE(QDir(QStringLiteral(":/file")).entryList(), QStringList{QStringLiteral("background")});
}

void TestResources::sameForEveryLanguage_data()
{
    QTest::addColumn<QString>("locale");

    QTest::newRow("C") << QStringLiteral("C");
    QTest::newRow("Chinese, China") << QStringLiteral("zh_CN");
    QTest::newRow("Chinese, Taiwan") << QStringLiteral("zh_TW");
    QTest::newRow("English, United States") << QStringLiteral("en_US");
    QTest::newRow("German, Germany") << QStringLiteral("de_DE");
}

void TestResources::sameForEveryLanguage()
{
    QFETCH(QString, locale);
    const QResource plain(background);
    const QResource localised(background, QLocale(locale));
    QVERIFY(localised.isValid());
    QCOMPARE(localised.size(), plain.size());
    QCOMPARE(localised.data(), plain.data());
}

void TestResources::windowShowsPicture_data()
{
    QTest::addColumn<QPoint>("spot");

    // Points of the central widget that no control covers, left, between and right of them.
    QTest::newRow("below the captions") << QPoint(20, 280);
    QTest::newRow("left of the exercise row") << QPoint(10, 40);
    QTest::newRow("between output and buttons") << QPoint(410, 200);
    QTest::newRow("under the circle, right edge") << QPoint(580, 110);
    QTest::newRow("right of the help button") << QPoint(560, 260);
}

void TestResources::windowShowsPicture()
{
    QFETCH(QPoint, spot);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *central = window.findChild<QWidget *>("centralWidget");
    QVERIFY(central);
    const QPoint at = central->mapTo(&window, spot);
    QCOMPARE(window.childAt(at), central);

    const QImage picture = QImage(background).convertToFormat(QImage::Format_RGB32);
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), picture.size());
    const QRgb expected = picture.pixel(at);
    const QRgb plain = window.palette().color(QPalette::Window).rgb();
    // Only a spot where the picture differs from the plain window tells the two apart.
    QVERIFY2(channel_distance(expected, plain) > 6, "choose a spot where the picture is coloured");
    QVERIFY2(channel_distance(shown.pixel(at), expected) <= 2,
             qPrintable(QStringLiteral("at %1,%2: shown #%3, picture #%4")
                            .arg(at.x())
                            .arg(at.y())
                            .arg(shown.pixel(at) & 0xffffff, 6, 16, QLatin1Char('0'))
                            .arg(expected & 0xffffff, 6, 16, QLatin1Char('0'))));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
