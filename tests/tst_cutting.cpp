// Cutting the widget texts into the values of a case.
#include "judge/cutting.h"
#include "judge/suitecases.h"

#include <QtTest>
#include <cstring>

using Parts = std::vector<std::string>;
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Parts)

class TestCutting : public QObject
{
    Q_OBJECT

private slots:
    void manualCase_data();
    void manualCase();
    void suiteCase_data();
    void suiteCase();
    void splitString_data();
    void splitString();
    void splitStringAppends();
    void suiteOptions();
};

void TestCutting::manualCase_data()
{
    QTest::addColumn<std::string>("location");
    QTest::addColumn<std::string>("typed");
    QTest::addColumn<std::string>("directory");
    QTest::addColumn<std::string>("command");
    QTest::addColumn<std::string>("options");
    QTest::newRow("leading blanks dropped")
        << std::string("C:/lab/queue.exe") << std::string("  queue -S 5") << std::string("C:/lab/")
        << std::string("queue") << std::string(" -S 5");
    QTest::newRow("name without options")
        << std::string("C:/lab/queue.exe") << std::string("queue") << std::string("C:/lab/")
        << std::string("queue") << std::string();
    QTest::newRow("chosen file name plays no part")
        << std::string("C:/lab/other.exe") << std::string("queue -N") << std::string("C:/lab/")
        << std::string("queue") << std::string(" -N");
    QTest::newRow("location ending in a slash")
        << std::string("C:/lab/") << std::string("queue -N") << std::string("C:/lab/")
        << std::string("queue") << std::string(" -N");
    QTest::newRow("no directory") << std::string("queue.exe") << std::string("queue -N")
                                  << std::string() << std::string("queue") << std::string(" -N");
    QTest::newRow("backslashes do not separate")
        << std::string("C:\\lab\\queue.exe") << std::string("queue -N") << std::string()
        << std::string("queue") << std::string(" -N");
    QTest::newRow("double slash kept") << std::string("C://queue.exe") << std::string("q")
                                       << std::string("C://") << std::string("q") << std::string();
    QTest::newRow("blanks after the name kept")
        << std::string("/x") << std::string("queue   -S 5") << std::string("/")
        << std::string("queue") << std::string("   -S 5");
    QTest::newRow("tab is no blank")
        << std::string("/x") << std::string("\tqueue\t-N x") << std::string("/")
        << std::string("\tqueue\t-N") << std::string(" x");
    QTest::newRow("bytes of non-ASCII text")
        << std::string("/实验 一/队列.exe") << std::string("队列 -N") << std::string("/实验 一/")
        << std::string("队列") << std::string(" -N");
    QTest::newRow("blanks only") << std::string("/x") << std::string("   ") << std::string("/")
                                 << std::string() << std::string();
    QTest::newRow("empty command")
        << std::string("/x") << std::string() << std::string("/") << std::string() << std::string();
}

void TestCutting::manualCase()
{
    QFETCH(std::string, location);
    QFETCH(std::string, typed);
    QFETCH(std::string, directory);
    QFETCH(std::string, command);
    QFETCH(std::string, options);
    QCOMPARE(program_directory(location), directory);
    const auto [name, rest] = split_command(typed);
    QCOMPARE(name, command);
    QCOMPARE(rest, options);
}

void TestCutting::suiteCase_data()
{
    QTest::addColumn<std::string>("location");
    QTest::addColumn<std::string>("directory");
    QTest::addColumn<std::string>("program");
    QTest::newRow("ordinary") << std::string("C:/lab/queue.exe") << std::string("C:/lab/")
                              << std::string("queue.exe");
    QTest::newRow("empty part dropped")
        << std::string("C:/lab//queue.exe") << std::string("C:/lab//") << std::string("queue.exe");
    QTest::newRow("no directory") << std::string("queue.exe") << std::string()
                                  << std::string("queue.exe");
    QTest::newRow("ends in a slash")
        << std::string("C:/lab/") << std::string("C:/lab/") << std::string("lab");
    QTest::newRow("backslashes") << std::string("C:\\lab\\q.exe") << std::string()
                                 << std::string("C:\\lab\\q.exe");
    QTest::newRow("non-ASCII") << std::string("/实验/队列.exe") << std::string("/实验/")
                               << std::string("队列.exe");
    QTest::newRow("one slash names nothing")
        << std::string("/") << std::string("/") << std::string();
    QTest::newRow("slashes name nothing")
        << std::string("///") << std::string("///") << std::string();
    QTest::newRow("empty") << std::string() << std::string() << std::string();
}

void TestCutting::suiteCase()
{
    QFETCH(std::string, location);
    QFETCH(std::string, directory);
    QFETCH(std::string, program);
    QCOMPARE(program_directory(location), directory);
    QCOMPARE(suite_program_name(location), program);
}

void TestCutting::splitString_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<bool>("dropEmpty");
    QTest::addColumn<Parts>("parts");
    QTest::newRow("empty parts dropped") << std::string("/a//b/") << true << Parts{"a", "b"};
    QTest::newRow("empty parts kept") << std::string("/a//b/") << false << Parts{"", "a", "", "b"};
    QTest::newRow("no delimiter") << std::string("ab") << false << Parts{"ab"};
    QTest::newRow("empty text") << std::string() << false << Parts{};
    QTest::newRow("delimiter alone kept") << std::string("/") << false << Parts{""};
    QTest::newRow("delimiter alone dropped") << std::string("/") << true << Parts{};
}

void TestCutting::splitString()
{
    QFETCH(std::string, text);
    QFETCH(bool, dropEmpty);
    QFETCH(Parts, parts);
    Parts result;
    QCOMPARE(split_string(text, '/', result, dropEmpty), parts);
}

void TestCutting::splitStringAppends()
{
    Parts list{"x"};
    Parts &returned = split_string("a/b", '/', list, true);
    QCOMPARE(&returned, &list);
    QCOMPARE(list, (Parts{"x", "a", "b"}));
}

void TestCutting::suiteOptions()
{
    const std::size_t lengths[] = {32, 36, 41, 49, 42, 30, 32, 60, 37, 44};
    for (std::size_t i = 0; i < suite_options.size(); ++i) {
        QCOMPARE(std::strlen(suite_options[i]), lengths[i]);
        QCOMPARE(suite_options[i][0], ' ');
    }
    QCOMPARE(suite_options[1], " -S  5 -O 0 -I  1  2  3  4 -O 5 -I 1");
    QCOMPARE(suite_options[8], " -S  3 -I 1 2 3 -O 1 -I 5 6 -G 1 -G 6");
}

QTEST_GUILESS_MAIN(TestCutting)
#include "tst_cutting.moc"
