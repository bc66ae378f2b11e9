// Student programs that misbehave: huge or binary answers, odd directories, answer files that
// cannot be moved or are no files, background children, closed output, crashes. The grader must
// judge each of them, report what went wrong and lose nothing.
#include "windowsupport.h"

#include <sys/resource.h>
#include <sys/stat.h>

class TestRobustness : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        bench = new Workbench;
        window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        click(*window, "radioButton_2");
    }
    void cleanup()
    {
        delete window;
        delete bench;
    }

    void hugeAnswers_data();
    void hugeAnswers();
    void floodOfErrorTextCostsNoMemory();
    void binaryAnswersComparedByByte();
    void chineseDirectoryWorks();
    void blankInDirectoryFailsToStart();
    void unmovableAnswerKept();
    void answerNamesThatAreNoFiles_data();
    void answerNamesThatAreNoFiles();
    void backgroundChildDoesNotHoldTheJudgement();
    void closedOrRedirectedOutput_data();
    void closedOrRedirectedOutput();
    void repeatedSuitesOnACrashingProgram();
    void hostileAnswerFiles_data();
    void hostileAnswerFiles();
    void answerFileSwappedWithAPipe();

private:
    // Types the location and command and presses 测试.
    void manual(const QString &location, const QString &command)
    {
        fill(*window, location, command);
        click(*window, "pushButton");
    }
    void suite(const QString &location)
    {
        fill(*window, location);
        click(*window, "pushButton_3");
    }
    QString verdict() const { return output_text(*window).section('\n', -2, -2); }

    Workbench *bench = nullptr;
    MainWindow *window = nullptr;
};

static long peak_rss_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void TestRobustness::hugeAnswers_data()
{
    QTest::addColumn<QByteArray>("actions");
    QTest::newRow("20 MB of words") << QByteArray("big:20000000");
    QTest::newRow("20 MB without a blank") << QByteArray("big:20000000:7");
}

void TestRobustness::hugeAnswers()
{
    QFETCH(QByteArray, actions);
    const std::size_t size = 20000000;
    bench->program("lab/queue.exe", actions);
    bench->program("resource/b.exe", actions);
    const long before = peak_rss_kib();
    CoutCapture cout;
    manual(bench->path("lab/queue.exe"), "queue -N");
    QCOMPARE(verdict(), QStringLiteral("答案正确！"));
    // Both answers are shown cut short, each with a note of its full size.
    QCOMPARE(
        output_text(*window).count(QStringLiteral("……（共 20000000 字节，只显示前 10000 字节）")),
        2);
    QVERIFY(cout.text().size() > size); // the diagnostic line carries the whole answer
    // Both answers are held a few times over (bytes, text, document), never blown up further.
    const long grown_mib = (peak_rss_kib() - before) / 1024;
    QVERIFY2(grown_mib < 40 * 20, qPrintable(QString::number(grown_mib) + " MiB"));
}

void TestRobustness::floodOfErrorTextCostsNoMemory()
{
    bench->program("lab/queue.exe", "bigerr:300000000\nout:S 5");
    bench->program("resource/b.exe", "out:S 5");
    const long before = peak_rss_kib();
    manual(bench->path("lab/queue.exe"), "queue -N");
    QCOMPARE(verdict(), QStringLiteral("答案正确！"));
    const long grown_mib = (peak_rss_kib() - before) / 1024;
    QVERIFY2(grown_mib < 100, qPrintable(QString::number(grown_mib) + " MiB"));
}

void TestRobustness::binaryAnswersComparedByByte()
{
    bench->program("lab/queue.exe", "out:\\xff\\xfe\\s1\\s\\x01\\x80");
    bench->program("resource/b.exe", "out:\\xff\\xfe\\s1\\s\\x01\\x80");
    manual(bench->path("lab/queue.exe"), "queue -N");
    QCOMPARE(verdict(), QStringLiteral("答案正确！"));
    QVERIFY(output_text(*window).contains(QStringLiteral("用户输出:\uFFFD\uFFFD 1 \x01\uFFFD\n")));
    // Two different invalid bytes look alike on screen but are different answers.
    bench->program("resource/b.exe", "out:\\xfe\\xff\\s1\\s\\x01\\x80");
    manual(bench->path("lab/queue.exe"), "queue -N");
    QCOMPARE(verdict(), QStringLiteral("答案错误！"));
}

void TestRobustness::chineseDirectoryWorks()
{
    bench->program("实验 一/../实验/queue.exe", "file:queue.txt:S 5");
    bench->program("resource/b.exe", "out:S 5");
    manual(bench->path("实验/queue.exe"), "queue -S 5");
    QCOMPARE(output_text(*window), "执行命令：" + bench->path("实验/queue -S 5")
                                       + "\n用户输出:S 5\n标准输出:S 5\n答案正确！\n");
    QCOMPARE(bench->read("实验/queue.txt"), QByteArray("S 5"));
}

void TestRobustness::blankInDirectoryFailsToStart()
{
    bench->program("my lab/queue.exe", "out:S 5");
    bench->program("resource/b.exe", "out:S 5");
    CoutCapture cout;
    manual(bench->path("my lab/queue.exe"), "queue -S 5");
    QCOMPARE(output_text(*window), "执行命令：" + bench->path("my lab/queue -S 5")
                                       + "\n程序运行出错:\nFailedToStart\n用户输出:\n标准输出:S "
                                         "5\n答案错误！\n");
    QVERIFY(cout.text().find("启动失败\n") != std::string::npos);
}

void TestRobustness::unmovableAnswerKept()
{
    // The answer's place beside the program is taken by a directory: the copy cannot be written,
    // so the original stays where the program left it, and the answer is judged all the same.
    bench->program("lab/queue.exe", "file:queue.txt:S 5\\nsecond line");
    bench->program("resource/b.exe", "out:S 5");
    QVERIFY(QDir().mkpath(bench->path("lab/queue.txt")));
    manual(bench->path("lab/queue.exe"), "queue -S 5");
    QCOMPARE(verdict(), QStringLiteral("答案正确！"));
    QCOMPARE(bench->read("queue.txt"), QByteArray("S 5\nsecond line"));
    QVERIFY(QFileInfo(bench->path("lab/queue.txt")).isDir());
}

void TestRobustness::answerNamesThatAreNoFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("pipe");
    QTest::newRow("directory in the working directory") << "queue.txt" << false;
    QTest::newRow("directory beside the program") << "lab/queue.txt" << false;
    QTest::newRow("named pipe in the working directory") << "queue.txt" << true;
    QTest::newRow("named pipe beside the program") << "lab/queue.txt" << true;
}

void TestRobustness::answerNamesThatAreNoFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, pipe);
    bench->program("lab/queue.exe", "out:S 5");
    bench->program("resource/b.exe", "out:S 5");
    if (pipe)
        QCOMPARE(::mkfifo(bench->path(name).toUtf8().constData(), 0600), 0);
    else
        QVERIFY(QDir().mkpath(bench->path(name)));
    manual(bench->path("lab/queue.exe"), "queue -S 5");
    QCOMPARE(output_text(*window), "执行命令：" + bench->path("lab/queue -S 5")
                                       + "\n用户输出:S 5\n标准输出:S 5\n答案正确！\n");
    QVERIFY(bench->exists(name));
}

void TestRobustness::backgroundChildDoesNotHoldTheJudgement()
{
    bench->program("lab/queue.exe", "out:S 5\nspawn:60000");
    bench->program("resource/b.exe", "out:S 5");
    manual(bench->path("lab/queue.exe"), "queue -S 5");
    QCOMPARE(verdict(), QStringLiteral("答案正确！"));
}

void TestRobustness::closedOrRedirectedOutput_data()
{
    QTest::addColumn<QByteArray>("actions");
    QTest::addColumn<QString>("report");
    QTest::newRow("closes its output at once") << QByteArray("closeout\nout:S 5") << "";
    QTest::newRow("answers on standard error") << QByteArray("err:S 5") << "";
    QTest::newRow("killed by a signal")
        << QByteArray("out:S\\s\ncrash") << "程序运行出错:\nCrashed\n";
}

void TestRobustness::closedOrRedirectedOutput()
{
    QFETCH(QByteArray, actions);
    QFETCH(QString, report);
    bench->program("lab/queue.exe", actions);
    bench->program("resource/b.exe", "out:S 5");
    manual(bench->path("lab/queue.exe"), "queue -N");
    const QString shown = actions.startsWith("out:S") ? "S " : "";
    QCOMPARE(output_text(*window), "执行命令：" + bench->path("lab/queue -N") + "\n" + report
                                       + "用户输出:" + shown + "\n标准输出:S 5\n答案错误！\n");
}

void TestRobustness::repeatedSuitesOnACrashingProgram()
{
    bench->program("lab/queue.exe", "crash");
    bench->program("resource/b.exe", "out:S 5");
    for (int press = 0; press < 10; ++press) {
        suite(bench->path("lab/queue.exe"));
        QVERIFY(output_text(*window).endsWith("共10个测试样例\n正确个数：0\n错误个数：10"));
        QCOMPARE(output_text(*window).count("Crashed"), 10);
    }
    // The window still takes a manual test afterwards.
    bench->program("lab/queue.exe", "out:S 5");
    manual(bench->path("lab/queue.exe"), "queue -N");
    QCOMPARE(verdict(), QStringLiteral("答案正确！"));
}

void TestRobustness::hostileAnswerFiles_data()
{
    QTest::addColumn<QByteArray>("actions");
    QTest::addColumn<QString>("plantedLink"); // lab/queue.txt before the run
    QTest::addColumn<QString>("expected");
    QTest::newRow("sparse answer file of 100 GB")
        << QByteArray("sparse:queue.txt:107374182400") << ""
        << "答案错误！";
    QTest::newRow("answer's place beside the program linked to a teacher's file during the run")
        << QByteArray("file:queue.txt:S 5\nlink:../teacher.txt:lab/queue.txt") << ""
        << "答案正确！";
    QTest::newRow("dangling link beside the program")
        << QByteArray("file:queue.txt:S 5") << "../outside.txt"
        << "答案正确！";
    QTest::newRow("answer file linked to a teacher's file")
        << QByteArray("link:teacher.txt:queue.txt\nout:S 5") << ""
        << "答案正确！";
}

void TestRobustness::hostileAnswerFiles()
{
    QFETCH(QByteArray, actions);
    QFETCH(QString, plantedLink);
    QFETCH(QString, expected);
    bench->program("lab/queue.exe", actions);
    bench->program("resource/b.exe", "out:S 5");
    bench->write("teacher.txt", "TEACHER");
    if (!plantedLink.isEmpty())
        QVERIFY(QFile::link(plantedLink, bench->path("lab/queue.txt")));
    const long before = peak_rss_kib();
    manual(bench->path("lab/queue.exe"), "queue -S 5");
    QCOMPARE(verdict(), expected);
    // Nothing outside the program's folder was written, followed or created.
    QCOMPARE(bench->read("teacher.txt"), QByteArray("TEACHER"));
    QVERIFY(!bench->exists("outside.txt"));
    QVERIFY(!QFileInfo(bench->path("lab/queue.txt")).isSymLink());
    // At most a bounded first line was read.
    QVERIFY((peak_rss_kib() - before) / 1024 < 400);
}

void TestRobustness::answerFileSwappedWithAPipe()
{
    // A leftover process keeps swapping the answer file for a named pipe while the window
    // checks and opens it: whatever it finds, the judgement must not wait on the pipe.
    bench->program("lab/queue.exe", "swapfifo:queue.txt:300\nout:S 5\nsleep:20");
    bench->program("resource/b.exe", "out:S 5");
    suite(bench->path("lab/queue.exe"));
    QVERIFY(output_text(*window).endsWith("共10个测试样例\n正确个数：10\n错误个数：0"));
}

QTEST_MAIN(TestRobustness)
#include "tst_robustness.moc"
