// Judging one case through the window: what the output area shows, what goes to standard output,
// and what happens to the student's answer files.
#include "windowsupport.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Makes `folder` a place whose files cannot be removed: read-only for an ordinary user; for root,
// who may remove anything, a read-only bind of it in a mount namespace of the test's own.
bool make_unwritable(const QString &folder)
{
    if (::geteuid() != 0)
        return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = folder.toLocal8Bit();
    return ::unshare(CLONE_NEWNS) == 0
           && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
           && ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) == 0
           && ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr)
                  == 0;
}

void make_writable(const QString &folder)
{
    if (::geteuid() != 0)
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    else
        ::umount2(folder.toLocal8Bit().constData(), MNT_DETACH);
}

} // namespace

class TestJudge : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        bench = new Workbench;
        window = new MainWindow;
    }
    void cleanup()
    {
        delete window;
        delete bench;
    }

    void verdicts_data();
    void verdicts();
    void diagnosticLines();
    void missingProgram();
    void missingReference_data();
    void missingReference();
    void nameWithoutExeRunsTheExe();
    void answerFileMoved();
    void staleAnswerNeverJudged();
    void staleAnswerInUnwritableFolder();
    void sameFileUnderBothNames();
    void studentStartFailureShownBetween();
    void markupShownAsText();

private:
    // A student program lab/queue.exe and a reference resource/b.exe with their actions.
    void programs(const QByteArray &student, const QByteArray &reference)
    {
        bench->program("lab/queue.exe", student);
        bench->program("resource/b.exe", reference);
    }
    bool judge(const std::string &command = "queue", const std::string &input = " -N")
    {
        return call_auto_test(*window, bench->dir_s("lab"), command, input, 1);
    }
    QString command_line(const QString &command = "queue", const QString &input = " -N") const
    {
        return bench->path("lab/") + command + input;
    }

    Workbench *bench = nullptr;
    MainWindow *window = nullptr;
};

void TestJudge::verdicts_data()
{
    QTest::addColumn<QByteArray>("student");
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<bool>("correct");
    QTest::addColumn<QString>("report");
    QTest::newRow("same words") << QByteArray("S\\s5\\n") << QByteArray("S\\s5") << true
                                << "用户输出:S 5\n标准输出:S 5\n答案正确！\n";
    QTest::newRow("double blanks") << QByteArray("1\\s\\s2") << QByteArray("1\\s2") << true
                                   << "用户输出:1  2\n标准输出:1 2\n答案正确！\n";
    QTest::newRow("tab for a blank") << QByteArray("1\\t2") << QByteArray("1\\s2") << false
                                     << "用户输出:1\t2\n标准输出:1 2\n答案错误！\n";
    QTest::newRow("reference line feed is part of its last word")
        << QByteArray("1\\s2") << QByteArray("1\\s2\\n") << false
        << "用户输出:1 2\n标准输出:1 2\n\n答案错误！\n";
    QTest::newRow("both empty") << QByteArray() << QByteArray() << true
                                << "用户输出:\n标准输出:\n答案正确！\n";
    QTest::newRow("CR LF lines joined") << QByteArray("1\\s2\\r\\n3\\r\\n") << QByteArray("1\\s23")
                                        << false << "用户输出:1 23\n\n标准输出:1 23\n答案错误！\n";
}

void TestJudge::verdicts()
{
    QFETCH(QByteArray, student);
    QFETCH(QByteArray, reference);
    QFETCH(bool, correct);
    QFETCH(QString, report);
    programs("out:" + student, "out:" + reference);
    QCOMPARE(judge(), correct);
    QCOMPARE(output_text(*window), "执行命令：" + command_line() + "\n" + report);
}

void TestJudge::diagnosticLines()
{
    programs("out:5 4\\n", "out:5 4");
    CoutCapture cout;
    QVERIFY(judge("queue", " -S  5"));
    QCOMPARE(QString::fromStdString(cout.text()),
             "command:" + command_line("queue", " -S  5") + "\n5 4\nQprocess\n");
}

void TestJudge::missingProgram()
{
    bench->program("resource/b.exe", "out:1");
    bench->write("queue.txt", "stale");
    output_area(*window)->setPlainText("earlier report");
    CoutCapture cout;
    QVERIFY(!judge("queue"));
    QCOMPARE(output_text(*window), QStringLiteral("不存在该应用程序，请检查命令格式！！！")
                                       + bench->path("lab/queue.exe"));
    QCOMPARE(cout.text(), std::string());
    QCOMPARE(bench->read("queue.txt"), QByteArray("stale"));
}

void TestJudge::missingReference_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("message");
    // The test stands in the build tree, beside resource/a.exe, which must not serve.
    QTest::newRow("no stack reference present") << 0 << "标准程序不存在！\n./resource/a.exe";
    QTest::newRow("exercise out of range") << 3 << "标准程序不存在！";
    QTest::newRow("negative exercise") << -1 << "标准程序不存在！";
}

void TestJudge::missingReference()
{
    QFETCH(int, flag);
    QFETCH(QString, message);
    programs("file:queue.txt:9\\n", "out:9");
    QVERIFY(!call_auto_test(*window, bench->dir_s("lab"), "queue", " -N", flag));
    QCOMPARE(output_text(*window), message);
    // The student's program ran and its answer file was moved all the same.
    QCOMPARE(bench->read("lab/queue.txt"), QByteArray("9"));
}

void TestJudge::nameWithoutExeRunsTheExe()
{
    bench->program("lab/queue.exe", "args");
    bench->program("resource/b.exe", "args");
    QVERIFY(judge("queue", " -S  5 -N"));
    QVERIFY(
        output_text(*window).contains("用户输出:[-S][5][-N]\n标准输出:[-S][5][-N]\n答案正确！"));
    // The command line keeps the name as given; the reference gets two blanks before its options.
    bench->program("lab/queue.exe.old", "args");
    QVERIFY(judge("queue.exe.old", " -N"));
    QVERIFY(output_text(*window).contains("执行命令：" + command_line("queue.exe.old")));
}

void TestJudge::answerFileMoved()
{
    programs("file:queue.txt:5 4\\r\\n3\\r\\n\nout:ignored", "out:5 4");
    QVERIFY(judge());
    QVERIFY(!bench->exists("queue.txt"));
    QCOMPARE(bench->read("lab/queue.txt"), QByteArray("5 4"));
}

void TestJudge::staleAnswerNeverJudged()
{
    // An answer file left by an earlier run (or planted beforehand) is not this run's answer.
    bench->write("queue.txt", "S 5");
    programs("out:wrong", "out:S 5");
    QVERIFY(!judge());
    QVERIFY(output_text(*window).contains("用户输出:wrong\n"));
    programs("file:queue.txt:S 5", "out:S 5");
    QVERIFY(judge());
    programs("out:wrong", "out:S 5");
    QVERIFY(!judge());
    QVERIFY(!bench->exists("lab/queue.txt"));
}

void TestJudge::staleAnswerInUnwritableFolder()
{
    // The right answer left by an earlier run where it cannot be removed; this run prints a
    // wrong one, and that is what is judged.
    programs("out:wrong", "out:S 5");
    bench->write("lab/queue.txt", "S 5");
    QVERIFY(make_unwritable(bench->path("lab")));
    fill(*window, bench->path("lab/queue.exe"), "queue -S 5");
    click(*window, "radioButton_2");
    click(*window, "pushButton");
    const QString shown = output_text(*window);
    make_writable(bench->path("lab"));
    QVERIFY2(shown.contains("用户输出:wrong\n标准输出:S 5\n答案错误！"), qPrintable(shown));
}

void TestJudge::sameFileUnderBothNames()
{
    bench->program("queue.exe", "file:queue.txt:7\\n8\\n");
    bench->program("resource/b.exe", "out:7");
    QVERIFY(call_auto_test(*window, "", "queue", " -N", 1));
    QCOMPARE(bench->read("queue.txt"), QByteArray("7"));
}

void TestJudge::studentStartFailureShownBetween()
{
    bench->program("resource/b.exe", "out:E");
    QVERIFY(QDir().mkpath(bench->path("lab")));
    bench->write("lab/queue.exe", "not a program");
    CoutCapture cout;
    QVERIFY(!judge());
    QCOMPARE(output_text(*window),
             "执行命令：" + command_line()
                 + "\n程序运行出错:\nFailedToStart\n用户输出:\n标准输出:E\n答案错误！\n");
    QVERIFY(cout.text().find("启动失败\n") != std::string::npos);
}

void TestJudge::markupShownAsText()
{
    programs("out:<b>5</b>", "out:&lt;\\n<i>x</i>");
    QVERIFY(!judge("queue", " -I <p>"));
    QCOMPARE(output_text(*window),
             "执行命令：" + command_line("queue", " -I <p>")
                 + "\n用户输出:<b>5</b>\n标准输出:&lt;\n<i>x</i>\n答案错误！\n");
    QCOMPARE(output_area(*window)->document()->blockCount(), 6);
}

QTEST_MAIN(TestJudge)
#include "tst_judge.moc"
