// The judge's byte-level rules, its answer-file handling and the Windows path rules.
#include "judge/judgecore.h"
#include "judge/outputfiles.h"
#include "judge/platform.h"
#include "testsupport.h"

#include <random>
#include <sys/stat.h>

using Tokens = std::vector<std::string>;
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Tokens)

class TestJudgeCore : public QObject
{
    Q_OBJECT

private slots:
    void caseFiles_data();
    void caseFiles();
    void referencePrefix();
    void untilNul();
    void firstLine_data();
    void firstLine();
    void normalise_data();
    void normalise();
    void tokens_data();
    void tokens();
    void comparison_data();
    void comparison();
    void comparisonAgreesWithWordLists();
    void report();
    void shownAnswers();

    void answerMovedToProgramDirectory();
    void answerFileSources_data();
    void answerFileSources();
    void staleAnswersRemoved();
    void staleAnswerNeverJudged();
    void oneFileUnderTwoNames();
    void failedCopyKeepsTheOriginal();
    void answerFilesThatAreNoFiles();
    void answerFileUnreadForWantOfDescriptors_data();
    void answerFileUnreadForWantOfDescriptors();

    void trailingBlankIgnored();
    void programResolution();
};

void TestJudgeCore::caseFiles_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("name without .exe") << "queue"
                                       << "D/queue.exe"
                                       << "D/queue.txt"
                                       << "D/queue -N";
    QTest::newRow("name with .exe") << "queue.exe"
                                    << "D/queue.exe"
                                    << "D/queue.txt"
                                    << "D/queue.exe -N";
    QTest::newRow("cut at the first .exe") << "queue.exe.old"
                                           << "D/queue.exe"
                                           << "D/queue.txt"
                                           << "D/queue.exe.old -N";
    QTest::newRow("case-sensitive") << "QUEUE.EXE"
                                    << "D/QUEUE.EXE.exe"
                                    << "D/QUEUE.EXE.txt"
                                    << "D/QUEUE.EXE -N";
    QTest::newRow(".exe inside the name") << "a.exeb"
                                          << "D/a.exe"
                                          << "D/a.txt"
                                          << "D/a.exeb -N";
}

void TestJudgeCore::caseFiles()
{
    QFETCH(QString, command);
    QFETCH(QString, program);
    QFETCH(QString, output);
    QFETCH(QString, commandLine);
    const CaseFiles files = case_files("D/", command.toStdString(), " -N");
    QCOMPARE(QString::fromStdString(files.program_path), program);
    QCOMPARE(QString::fromStdString(files.dir_output), output);
    QCOMPARE(QString::fromStdString(files.command_line), commandLine);
    QCOMPARE(files.workdir_output, files.stem + ".txt");
    QCOMPARE(case_files("D/", command.toStdString(), "", "W/").workdir_output,
             "W/" + files.stem + ".txt");
    // Without a directory the two answer files are one name.
    const CaseFiles bare = case_files("", command.toStdString(), "");
    QCOMPARE(bare.dir_output, bare.workdir_output);
}

void TestJudgeCore::referencePrefix()
{
    QCOMPARE(reference_prefix(0), std::string("./resource/a.exe "));
    QCOMPARE(reference_prefix(1), std::string("./resource/b.exe "));
    QCOMPARE(reference_prefix(2), std::string("./resource/c.exe "));
    QCOMPARE(reference_prefix(3), std::string());
    QCOMPARE(reference_prefix(-1), std::string());
}

void TestJudgeCore::untilNul()
{
    const char data[] = {'1', ' ', '2', '\0', '3'};
    QCOMPARE(until_nul(data, sizeof data), std::string("1 2"));
    QCOMPARE(until_nul(data, 3), std::string("1 2"));
    QCOMPARE(until_nul(data + 3, 2), std::string());
    QCOMPARE(until_nul("", 0), std::string());
}

void TestJudgeCore::firstLine_data()
{
    QTest::addColumn<std::string>("content");
    QTest::addColumn<std::string>("line");
    QTest::newRow("no line feed") << std::string("5 4") << std::string("5 4");
    QTest::newRow("line feed") << std::string("5 4\n3\n") << std::string("5 4");
    QTest::newRow("CR LF ends the line") << std::string("5 4\r\n3") << std::string("5 4");
    QTest::newRow("lone CR belongs to the line") << std::string("5\r4\n") << std::string("5\r4");
    QTest::newRow("CR at the very end") << std::string("5 4\r") << std::string("5 4\r");
    QTest::newRow("CR CR LF keeps one CR") << std::string("5\r\r\n") << std::string("5\r");
    QTest::newRow("empty first line") << std::string("\nlater") << std::string();
    QTest::newRow("NUL kept") << std::string("1\0"
                                             "2\n",
                                             4)
                              << std::string("1\0"
                                             "2",
                                             3);
}

void TestJudgeCore::firstLine()
{
    QFETCH(std::string, content);
    QFETCH(std::string, line);
    QCOMPARE(first_line(content), line);
}

void TestJudgeCore::normalise_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("normalised");
    QTest::newRow("CR LF lines joined") << std::string("1 2\r\n3\r\n") << std::string("1 23\r\n");
    QTest::newRow("one trailing LF") << std::string("1 2 3\n") << std::string("1 2 3");
    QTest::newRow("only the first LF") << std::string("1\n2\n") << std::string("12\n");
    QTest::newRow("CR before the LF") << std::string("\r1\n") << std::string("1");
    QTest::newRow("blanks kept") << std::string("  1 2  ") << std::string("  1 2  ");
    QTest::newRow("tabs kept") << std::string("1\t2\n") << std::string("1\t2");
    QTest::newRow("empty") << std::string() << std::string();
}

void TestJudgeCore::normalise()
{
    QFETCH(std::string, text);
    QFETCH(std::string, normalised);
    QCOMPARE(normalise_answer(text), normalised);
}

void TestJudgeCore::tokens_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<Tokens>("tokens");
    QTest::newRow("single blanks") << std::string("S 5 I 1") << Tokens{"S", "5", "I", "1"};
    QTest::newRow("runs of blanks") << std::string("  1  2 ") << Tokens{"1", "2"};
    QTest::newRow("tab is no separator") << std::string("1\t2 3") << Tokens{"1\t2", "3"};
    QTest::newRow("line end stays in the word") << std::string("1 2\r\n") << Tokens{"1", "2\r\n"};
    QTest::newRow("blank before the line feed") << std::string("1 2 \n") << Tokens{"1", "2", "\n"};
    QTest::newRow("empty") << std::string() << Tokens{};
    QTest::newRow("blanks only") << std::string("   ") << Tokens{};
    QTest::newRow("bytes beyond ASCII") << std::string("\xff\xfe 栈") << Tokens{"\xff\xfe", "栈"};
}

void TestJudgeCore::tokens()
{
    QFETCH(std::string, text);
    QFETCH(Tokens, tokens);
    QCOMPARE(split_tokens(text), tokens);
}

void TestJudgeCore::comparison_data()
{
    QTest::addColumn<std::string>("student");
    QTest::addColumn<std::string>("reference");
    QTest::addColumn<int>("difference");
    QTest::addColumn<QByteArray>("words");
    QTest::newRow("equal") << std::string("S 5 I 1") << std::string("S 5 I 1") << -1
                           << QByteArray("");
    QTest::newRow("double blanks equal")
        << std::string("1  2") << std::string("1 2") << -1 << QByteArray("");
    QTest::newRow("tab differs") << std::string("1\t2") << std::string("1 2") << 0
                                 << QByteArray("1\t2|1");
    QTest::newRow("reference keeps its line feed")
        << std::string("1 2 3") << std::string("1 2 3\n") << 2 << QByteArray("3|3\n");
    QTest::newRow("student shorter")
        << std::string("1 2") << std::string("1 2 3") << 2 << QByteArray("|3");
    QTest::newRow("student longer")
        << std::string("1 2 3") << std::string("1 2") << 2 << QByteArray("3|");
    QTest::newRow("prefix of a word")
        << std::string("1 2") << std::string("1 23") << 1 << QByteArray("2|23");
    QTest::newRow("both empty") << std::string() << std::string() << -1 << QByteArray("");
    QTest::newRow("blanks against empty")
        << std::string("  ") << std::string() << -1 << QByteArray("");
    QTest::newRow("difference deep inside a word")
        << std::string("S 5 I 12345 6") << std::string("S 5 I 12346 6") << 3
        << QByteArray("12345|12346");
    QTest::newRow("difference right after a blank")
        << std::string("1 2 3 4") << std::string("1 2 3 5") << 3 << QByteArray("4|5");
    QTest::newRow("extra blank only")
        << std::string("1 2  3") << std::string("1 2 3") << -1 << QByteArray();
    QTest::newRow("longer last word")
        << std::string("1 2 34") << std::string("1 2 3") << 2 << QByteArray("34|3");
    QTest::newRow("long equal stretch")
        << std::string(9000, '7') + " 1" << std::string(9000, '7') + " 2" << 1 << QByteArray("1|2");
    QTest::newRow("empty against an answer")
        << std::string() << std::string("E") << 0 << QByteArray("|E");
}

void TestJudgeCore::comparison()
{
    QFETCH(std::string, student);
    QFETCH(std::string, reference);
    QFETCH(int, difference);
    QFETCH(QByteArray, words);
    const AnswerComparison result = compare_answers(student, reference);
    QCOMPARE(result.index == std::string::npos ? -1 : static_cast<int>(result.index), difference);
    QCOMPARE(result.equal(), difference == -1);
    QCOMPARE(split_tokens(student) == split_tokens(reference), difference == -1);
    if (!result.equal())
        QCOMPARE(QByteArray(result.student_word.data(), int(result.student_word.size())) + '|'
                     + QByteArray(result.reference_word.data(), int(result.reference_word.size())),
                 words);
}

void TestJudgeCore::comparisonAgreesWithWordLists()
{
    // Random answers over a tiny alphabet, so that near-misses abound; the word lists are the
    // plain definition the fast comparison must agree with.
    std::mt19937 random(7);
    const auto answer = [&random] {
        std::string text;
        for (std::size_t n = random() % 12; n > 0; --n)
            text += " ab\n"[random() % 4];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string a = answer();
        const std::string b = random() % 3 == 0 ? a + answer() : answer();
        const Tokens x = split_tokens(a);
        const Tokens y = split_tokens(b);
        std::size_t expected = 0;
        while (expected < x.size() && expected < y.size() && x[expected] == y[expected])
            ++expected;
        if (x == y)
            expected = std::string::npos;
        const AnswerComparison result = compare_answers(a, b);
        QVERIFY2(result.index == expected, (a + "|" + b).c_str());
        if (expected != std::string::npos) {
            QCOMPARE(std::string(result.student_word), expected < x.size() ? x[expected] : "");
            QCOMPARE(std::string(result.reference_word), expected < y.size() ? y[expected] : "");
        }
    }
}

void TestJudgeCore::shownAnswers()
{
    const std::string small(shown_answer_limit, 'x');
    QCOMPARE(shown_answer(small), small);
    // Cut at a character boundary: the limit falls inside the three bytes of a "栈".
    const std::string big = std::string(shown_answer_limit - 1, '1') + "栈" + std::string(50, '2');
    const std::string shown = shown_answer(big);
    QCOMPARE(shown,
             std::string(shown_answer_limit - 1, '1') + "……（共 10052 字节，只显示前 9999 字节）");
    QVERIFY(judgement_report(big, "1", false).find("只显示前") != std::string::npos);
}

void TestJudgeCore::report()
{
    QCOMPARE(judgement_report("1 2", "1 2", true),
             std::string("用户输出:1 2\n标准输出:1 2\n答案正确！\n"));
    QCOMPARE(judgement_report("1", "1\n", false),
             std::string("用户输出:1\n标准输出:1\n\n答案错误！\n"));
}

void TestJudgeCore::answerMovedToProgramDirectory()
{
    Workbench bench;
    QDir().mkpath(bench.path("lab"));
    const CaseFiles files = case_files(bench.dir_s("lab"), "queue", "");
    bench.write("queue.txt", "5 4\r\n3\r\n");
    QCOMPARE(take_student_answer(files, "printed", {}), std::string("5 4"));
    QVERIFY(!bench.exists("queue.txt"));
    QCOMPARE(bench.read("lab/queue.txt"), QByteArray("5 4"));
}

void TestJudgeCore::answerFileSources_data()
{
    QTest::addColumn<QByteArray>("workdirFile");
    QTest::addColumn<QByteArray>("dirFile");
    QTest::addColumn<std::string>("answer");
    QTest::addColumn<QByteArray>("dirFileAfter");
    const QByteArray none;
    QTest::newRow("printed answer alone") << none << none << std::string("printed") << none;
    QTest::newRow("directory file")
        << none << QByteArray("7\n8") << std::string("7") << QByteArray("7\n8");
    QTest::newRow("working directory wins")
        << QByteArray("1\n") << QByteArray("7") << std::string("1") << QByteArray("1");
    QTest::newRow("empty first line falls through")
        << QByteArray("\n2") << QByteArray("7") << std::string("printed") << QByteArray("");
}

void TestJudgeCore::answerFileSources()
{
    QFETCH(QByteArray, workdirFile);
    QFETCH(QByteArray, dirFile);
    QFETCH(std::string, answer);
    QFETCH(QByteArray, dirFileAfter);
    Workbench bench;
    QDir().mkpath(bench.path("lab"));
    if (!workdirFile.isNull())
        bench.write("queue.txt", workdirFile);
    if (!dirFile.isNull())
        bench.write("lab/queue.txt", dirFile);
    QCOMPARE(take_student_answer(case_files(bench.dir_s("lab"), "queue.exe", ""), "printed", {}),
             answer);
    QCOMPARE(bench.read("lab/queue.txt"), dirFileAfter);
}

void TestJudgeCore::staleAnswersRemoved()
{
    Workbench bench;
    QDir().mkpath(bench.path("lab"));
    bench.write("queue.txt", "old");
    bench.write("lab/queue.txt", "older");
    QDir().mkpath(bench.path("lab/stack.txt"));
    remove_stale_outputs(case_files(bench.dir_s("lab"), "queue", ""));
    remove_stale_outputs(case_files(bench.dir_s("lab"), "stack", ""));
    QVERIFY(!bench.exists("queue.txt"));
    QVERIFY(!bench.exists("lab/queue.txt"));
    QVERIFY(QFileInfo(bench.path("lab/stack.txt")).isDir());
}

void TestJudgeCore::staleAnswerNeverJudged()
{
    // An earlier run's answer that could not be removed is not this run's answer.
    Workbench bench;
    QDir().mkpath(bench.path("lab"));
    bench.write("lab/queue.txt", "old");
    const CaseFiles files = case_files(bench.dir_s("lab"), "queue", "");
    QCOMPARE(take_student_answer(files, "printed", StaleOutputs{false, true}),
             std::string("printed"));
    QCOMPARE(take_student_answer(files, "printed", {}), std::string("old"));
}

void TestJudgeCore::oneFileUnderTwoNames()
{
    Workbench bench;
    bench.write("queue.txt", "5 4\n3\n");
    QCOMPARE(take_student_answer(case_files("", "queue", ""), "", {}), std::string("5 4"));
    QCOMPARE(bench.read("queue.txt"), QByteArray("5 4"));
    // The working directory named through its absolute path is the same file too.
    bench.write("queue.txt", "6\n");
    QCOMPARE(take_student_answer(case_files(bench.dir_s(), "queue", ""), "", {}), std::string("6"));
    QCOMPARE(bench.read("queue.txt"), QByteArray("6"));
}

void TestJudgeCore::failedCopyKeepsTheOriginal()
{
    Workbench bench;
    QDir().mkpath(bench.path("lab/queue.txt")); // the copy's name is taken by a directory
    bench.write("queue.txt", "1 2\n3");
    QCOMPARE(take_student_answer(case_files(bench.dir_s("lab"), "queue", ""), "", {}),
             std::string("1 2"));
    QCOMPARE(bench.read("queue.txt"), QByteArray("1 2\n3"));
}

void TestJudgeCore::answerFilesThatAreNoFiles()
{
    Workbench bench;
    QDir().mkpath(bench.path("queue.txt"));
    QVERIFY(::mkfifo(bench.path("lab.txt").toUtf8().constData(), 0600) == 0);
    std::string line = "untouched";
    QVERIFY(!read_first_line(bench.path("queue.txt").toStdString(), line));
    QVERIFY(!read_first_line(bench.path("lab.txt").toStdString(), line)); // would block if opened
    QVERIFY(!is_readable_file(bench.path("queue.txt").toStdString()));
    QCOMPARE(line, std::string("untouched"));
    QCOMPARE(take_student_answer(case_files("", "lab", ""), "printed", {}), std::string("printed"));
}

void TestJudgeCore::answerFileUnreadForWantOfDescriptors_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("in the working folder") << QStringLiteral("queue.txt");
    QTest::newRow("in the program's folder") << QStringLiteral("lab/queue.txt");
}

void TestJudgeCore::answerFileUnreadForWantOfDescriptors()
{
    // The answer file is there, but the grader has no descriptor to read it with: no answer,
    // and never what the program printed in its place.
    QFETCH(QString, file);
    Workbench bench;
    QDir().mkpath(bench.path("lab"));
    bench.write(file, "1 2\n");
    std::string unread;
    std::string taken;
    {
        const NoDescriptorLeft none;
        taken = take_student_answer(case_files(bench.dir_s("lab"), "queue", ""), "printed", {},
                                    &unread);
    }
    QCOMPARE(taken, std::string());
    QVERIFY2(unread.find("Too many open files") != std::string::npos, unread.c_str());
    QCOMPARE(bench.read(file), QByteArray("1 2\n"));
}

void TestJudgeCore::trailingBlankIgnored()
{
    QCOMPARE(file_path("./resource/a.exe "), std::string("./resource/a.exe"));
    QCOMPARE(file_path("a  "), std::string("a"));
    QCOMPARE(file_path(" a"), std::string(" a"));
    Workbench bench;
    bench.write("a.txt", "x\ny");
    std::string line;
    QVERIFY(read_first_line("a.txt  ", line));
    QCOMPARE(line, std::string("x"));
    QVERIFY(is_readable_file("a.txt "));
}

void TestJudgeCore::programResolution()
{
    Workbench bench;
    bench.program("queue.exe");
    bench.program("tool");
    bench.program("sub/stack.exe");
    QCOMPARE(resolve_program("queue"), QStringLiteral("./queue.exe"));
    QCOMPARE(resolve_program("queue.exe"), QStringLiteral("./queue.exe"));
    QCOMPARE(resolve_program("tool"), QStringLiteral("./tool"));
    QCOMPARE(resolve_program(bench.path("sub/stack")), bench.path("sub/stack.exe"));
    QCOMPARE(resolve_program("sub/stack"), QStringLiteral("sub/stack.exe"));
    // With an extension, or when nothing is found, the name stays as it is.
    QCOMPARE(resolve_program("queue.exe.old"), QStringLiteral("queue.exe.old"));
    QCOMPARE(resolve_program("sub/missing"), QStringLiteral("sub/missing"));
    // The working directory comes before the search path.
    bench.program("true");
    QCOMPARE(resolve_program("true"), QStringLiteral("./true"));
    QFile::remove(bench.path("true"));
    QVERIFY(resolve_program("true").endsWith(QStringLiteral("/true")));
}

QTEST_GUILESS_MAIN(TestJudgeCore)
#include "tst_judgecore.moc"
