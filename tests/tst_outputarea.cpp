// Gathered appends: the output area ends with the same paragraphs as when each text is appended
// at once, whatever the texts hold.
#include "app/outputarea.h"

#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

class TestOutputArea : public QObject
{
    Q_OBJECT

private slots:
    void gatheredAsAppended_data();
    void gatheredAsAppended();
};

void TestOutputArea::gatheredAsAppended_data()
{
    // The area's text before, then the writes: "=TEXT" replaces everything, any other appends.
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("after a progress line") << "正在测试" << QStringList{"执行命令：a -N", "x\ny"};
    QTest::newRow("paragraph ending in a carriage return")
        << "p" << QStringList{"1 2\r", "3", "\r\n", "4\r"};
    QTest::newRow("empty appends on an empty area") << "" << QStringList{"", "", "a", ""};
    QTest::newRow("replaced in between") << "p" << QStringList{"a", "=程序运行出错！", "b"};
    QTest::newRow("replaced by nothing") << "p" << QStringList{"a", "=", "", "b"};
    QTest::newRow("nothing appended") << "p" << QStringList();
}

void TestOutputArea::gatheredAsAppended()
{
    QFETCH(QString, before);
    QFETCH(QStringList, writes);
    QTextBrowser direct, gathered;
    const auto write_all = [&writes](QTextBrowser &area) {
        for (const QString &text : writes) {
            if (text.startsWith(QLatin1Char('=')))
                show_text(&area, text.mid(1).toStdString());
            else
                append_text(&area, text.toStdString());
        }
    };
    for (QTextBrowser *area : {&direct, &gathered})
        show_text(area, before.toStdString());
    write_all(direct);
    {
        const GatheredAppends gathering(&gathered);
        write_all(gathered);
    }
    QCOMPARE(gathered.document()->blockCount(), direct.document()->blockCount());
    QCOMPARE(gathered.toPlainText(), direct.toPlainText());
}

QTEST_MAIN(TestOutputArea)
#include "tst_outputarea.moc"
