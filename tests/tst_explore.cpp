// The explorer and the case lists, on the faulty class (tests/faulty/): every fault found and its
// string shrunk to one that no single reduction keeps failing, no false alarm on a harmless
// variation, every fault caught by the extended list, the same seed giving the same output; and
// the shrinker and the case-file reader on their own.
#include "testsupport.h"

#include "explore/cases.h"
#include "explore/literals.h"
#include "explore/shrink.h"
#include "grading/batch.h"
#include "grading/explorer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>

namespace {

struct CliRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CliRun finish(QProcess &process)
{
    CliRun run;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

CliRun run_cli(const QStringList &arguments, const QString &workdir)
{
    QProcess process;
    process.setWorkingDirectory(workdir);
    process.start(QStringLiteral(ORVIMET_CLI), arguments);
    return finish(process);
}

const QStringList exercises{"stack", "queue", "stackqueue"};

// The faulty class as built: "<exercise>-<fault>" folders, each holding <exercise>.exe.
QStringList class_folders()
{
    return QDir(QStringLiteral(ORVIMET_FAULTY_DIR)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QString exercise_of(const QString &folder)
{
    return folder.section(QLatin1Char('-'), 0, 0);
}

QString program_of(const QString &folder)
{
    return QStringLiteral(ORVIMET_FAULTY_DIR "/") + folder + QLatin1Char('/') + exercise_of(folder)
           + QStringLiteral(".exe");
}

// Variations that change how the answer is given, never what it says.
bool harmless(const QString &folder)
{
    const QString fault = folder.section(QLatin1Char('-'), 1);
    return fault == QLatin1String("crlf") || fault == QLatin1String("answer_file")
           || fault == QLatin1String("no_line_feed");
}

// The line of `text` that begins with `label`, without it.
QByteArray field(const QByteArray &text, const QByteArray &label)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(label))
            return line.mid(label.size());
    }
    return QByteArray();
}

} // namespace

class TestExplore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void shrinkTakesEveryStep_data();
    void shrinkTakesEveryStep();
    void shrinkStopsWhenTheTimeRunsOut();
    void caseFiles_data();
    void caseFiles();
    void optionWords_data();
    void optionWords();
    void sourceNumbers_data();
    void sourceNumbers();
    void openingWhateverTheSeed_data();
    void openingWhateverTheSeed();
    void everyBoundaryInEveryRun_data();
    void everyBoundaryInEveryRun();
    void dictionaryNumbersComeEarly();
    void optionCountsGrow_data();
    void optionCountsGrow();
    void explorerShrinksWithinTheDeadline();
    void graderWantIsNotTheStudents();

    void exploreFindsEveryFault_data();
    void exploreFindsEveryFault();
    void escapesFoundWithEverySeed_data();
    void escapesFoundWithEverySeed();
    void noFalseAlarm_data();
    void noFalseAlarm();
    void extendedListCatchesEveryFault_data();
    void extendedListCatchesEveryFault();
    void sameSeedSameOutput_data();
    void sameSeedSameOutput();
    void classRunShrinksFirstFailure();
    void timeOutShrunk();
    void slowProgramBounded_data();
    void slowProgramBounded();

private:
    Workbench bench;
    std::map<QString, std::unique_ptr<QProcess>> harmless_runs;
    std::map<QString, QJsonObject> extended_reports; // by folder
};

void TestExplore::initTestCase()
{
    QVERIFY2(class_folders().size() >= 20, "the faulty class is not built");
    bench.real_references();
}

void TestExplore::shrinkTakesEveryStep_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QStringList>("shrunk");

    QTest::newRow("other options go, a number is lowered as far as it fails")
        << QStringList{"-S", "5", "-I", "1", "2", "-G", "7", "-N"} << "-G at least 3"
        << QStringList{"-G", "3"};
    QTest::newRow("a non-integer stays when simpler words pass")
        << QStringList{"-S", "3", "-I", "+2", "-N"} << "+2" << QStringList{"+2"};
    QTest::newRow("a spelling with leading zeros stays when its plain form passes")
        << QStringList{"-S", "007", "-O", "-1"} << "leading zero" << QStringList{"007"};
    QStringList thousand{"-S", "5000", "-I"};
    for (int i = 1; i <= 1000; ++i)
        thousand << QString::number(i);
    QStringList hundred_and_one{"-I"};
    for (int i = 0; i < 101; ++i)
        hundred_and_one << "0";
    QTest::newRow("a thousand values shrink to the 101 that overflow an array of 100")
        << thousand << "more than 100 values" << hundred_and_one;
}

void TestExplore::shrinkTakesEveryStep()
{
    QFETCH(QStringList, words);
    QFETCH(QString, failing);
    QFETCH(QStringList, shrunk);
    const auto fails = [&](const Words &w) {
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (failing == "+2" && w[i] == "+2")
                return true;
            if (failing == "leading zero" && w[i].size() > 1 && w[i][0] == '0')
                return true;
            if (failing == "-G at least 3" && w[i] == "-G" && i + 1 < w.size()
                && QByteArray::fromStdString(w[i + 1]).toInt() >= 3)
                return true;
            if (failing == "more than 100 values" && w[i] == "-I" && w.size() - i > 101
                && std::none_of(w.begin() + static_cast<long>(i) + 1,
                                w.begin() + static_cast<long>(i) + 102, [](const std::string &v) {
                                    return v[0] == '-' && v.size() == 2 && v[1] > '9';
                                }))
                return true;
        }
        return false;
    };
    Words start;
    for (const QString &word : words)
        start.push_back(word.toStdString());
    const Shrinking result = shrink(start, Exercise::Stack, fails);
    Words expected;
    for (const QString &word : shrunk)
        expected.push_back(word.toStdString());
    QCOMPARE(result.words, expected);
    for (const Words &smaller : reductions(result.words, Exercise::Stack))
        QVERIFY(!fails(smaller));
}

void TestExplore::shrinkStopsWhenTheTimeRunsOut()
{
    // Any string with -G fails; the time runs out after three tries.
    const auto fails = [](const Words &w) { return std::count(w.begin(), w.end(), "-G") > 0; };
    int tries = 0;
    const Words start{"-S", "5", "-I", "1", "2", "-G", "7", "-N"};
    const Shrinking result = shrink(start, Exercise::Stack, fails, [&] { return tries++ == 3; });
    QVERIFY(!result.complete);
    QVERIFY(fails(result.words));
    QVERIFY(result.words.size() < start.size());
    QVERIFY(shrink(start, Exercise::Stack, fails).complete);
}

void TestExplore::caseFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");

    QTest::newRow("comments, empty lines, CR LF, optional leading blank")
        << QByteArray("# capacities\n\n-S 1 -N\r\n -S  2 -N\n-S 3")
        << QStringList{" -S 1 -N", " -S  2 -N", " -S 3"} << QString();
    QTest::newRow("a quoted empty word is kept as typed")
        << QByteArray("-S 3 -I \"\"\n") << QStringList{" -S 3 -I \"\""} << QString();
    QTest::newRow("NUL byte") << QByteArray("-S 1\n-S 2\0\n", 11) << QStringList{}
                              << "line 2 holds a NUL byte";
}

void TestExplore::caseFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const CaseList list = parse_cases(text.toStdString());
    QCOMPARE(QString::fromStdString(list.error), error);
    if (!error.isEmpty())
        return;
    QStringList read;
    for (const std::string &o : list.options)
        read << QString::fromStdString(o);
    QCOMPARE(read, options);
}

// The words a program receives are the window's, whichever way a line is split.
void TestExplore::optionWords_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("tabs, line breaks, vertical tab, form feed")
        << QStringLiteral(" -S 3\t-I 1\n2\r\n3\v-G\f0  ")
        << QStringList{"-S", "3", "-I", "1", "2", "3", "-G", "0"};
    QTest::newRow("ASCII separators are no white space") << QStringLiteral("-S\x1c"
                                                                           "2 -I\x1f"
                                                                           "1")
                                                         << QStringList{QStringLiteral("-S\x1c"
                                                                                       "2"),
                                                                        QStringLiteral("-I\x1f"
                                                                                       "1")};
    QTest::newRow("blanks alone") << QStringLiteral(" \t ") << QStringList{};
    QTest::newRow("quotes join words, three make one")
        << QStringLiteral("-I \"1 2\" \"\"\"") << QStringList{"-I", "1 2", "\""};
    QTest::newRow("no-break and ideographic spaces split") << QStringLiteral("-S\u00a0"
                                                                             "2\u3000-P")
                                                           << QStringList{"-S", "2", "-P"};
    QTest::newRow("other letters stay")
        << QStringLiteral("-I \u00e9 \u4e2d") << QStringList{"-I", "\u00e9", "\u4e2d"};
}

void TestExplore::optionWords()
{
    QFETCH(QString, options);
    QFETCH(QStringList, words);
    QStringList split;
    for (const std::string &word : option_words(options.toStdString()))
        split << QString::fromStdString(word);
    QCOMPARE(split, words);
}

void TestExplore::sourceNumbers_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<qlonglong>>("numbers");

    QTest::newRow("sizes and bounds, each once, from every text")
        << QStringList{"int a[100];\nfor (int i = 0; i < 1000; ++i)", "char b[100]; x = -7;"}
        << QList<qlonglong>{0, 7, 100, 1000};
    QTest::newRow("comments, strings and characters skipped")
        << QStringList{"// 7\n/* 8\n 9 */ s = \"10 \\\" 11\"; c = '1'; d = '\\''; e = 12;"}
        << QList<qlonglong>{12};
    QTest::newRow("raw strings skipped to their own delimiter")
        << QStringList{"s = R\"x(42 )\" 43)x\"; t = u8R\"(44)\"; n = 45;"} << QList<qlonglong>{45};
    QTest::newRow("bases, separators and suffixes")
        << QStringList{"a = 0x7FFF; b = 0b101; c = 017; d = 1'000'000ULL; e = 4096u; f = 0;"}
        << QList<qlonglong>{0, 5, 15, 4096, 32767, 1000000};
    QTest::newRow("names with digits and floating literals left out")
        << QStringList{"int32_t v2 = 3.5; d = 1e5; f = .5f; h = 0x1p4; u = 99999999999999999999;"}
        << QList<qlonglong>{};
}

void TestExplore::sourceNumbers()
{
    QFETCH(QStringList, texts);
    QFETCH(QList<qlonglong>, numbers);
    std::vector<std::string> sources;
    for (const QString &text : texts)
        sources.push_back(text.toStdString());
    QList<qlonglong> found;
    for (const long long n : source_numbers(sources))
        found << n;
    QCOMPARE(found, numbers);
}

void TestExplore::openingWhateverTheSeed_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::newRow("no options at all") << QStringList{};
    QTest::newRow("-S at 0, the int limits and past them")
        << QStringList{"-S 0 ", "-S 2147483647 ", "-S -2147483648", "-S 2147483648"};
    QTest::newRow("values at the int limits")
        << QStringList{" -2147483648 2147483647 ", " 2147483648", " -2147483649"};
    QTest::newRow("-O, -G and -A at 0, 1 and -1")
        << QStringList{"-O 0", "-O 1", "-O -1", "-G 0", "-G 1", "-G -1", "-A 0", "-A 1", "-A -1"};
    QTest::newRow("-O, -G and -A at the int limits")
        << QStringList{"-O 2147483647",  "-O -2147483648", "-G 2147483647",
                       "-G -2147483648", "-A 2147483647",  "-A -2147483648"};
    QTest::newRow("a full container at its size and one either side")
        << QStringList{"-I 1 2 3 -G 2", "-I 1 2 3 -G 3", "-I 1 2 3 -G 4",
                       "-I 1 2 3 -O 4", "-I 1 2 3 -A 2", "-I 1 2 3 -C"};
    QTest::newRow("a queue's moved front at its size")
        << QStringList{"-O 1 -I 4 -G 2", "-O 1 -I 4 -G 3", "-O 1 -I 4 -A 2", "-O 1 -I 4 -C"};
}

void TestExplore::openingWhateverTheSeed()
{
    // Each piece is in some string of the first two hundred, with every seed; no words at all
    // must be the very first string.
    QFETCH(QStringList, words);
    for (int exercise = 0; exercise < 3; ++exercise) {
        for (const std::uint64_t seed : {1, 2, 3}) {
            const std::vector<Words> run
                = generate_cases(*exercise_from_number(exercise), seed, 200);
            if (words.isEmpty())
                QVERIFY(run.front().empty());
            for (const QString &piece : words) {
                QVERIFY2(std::any_of(run.begin(), run.end(),
                                     [&](const Words &w) {
                                         return (options_line(w) + ' ').find(piece.toStdString())
                                                != std::string::npos;
                                     }),
                         qPrintable(QStringLiteral("%1, exercise %2, seed %3")
                                        .arg(piece)
                                        .arg(exercise)
                                        .arg(seed)));
            }
        }
    }
}

void TestExplore::everyBoundaryInEveryRun_data()
{
    QTest::addColumn<int>("exercise");
    QTest::addColumn<int>("seed");
    for (const int seed : {1, 2, 3})
        QTest::newRow(qPrintable("stack, seed " + QString::number(seed))) << 0 << seed;
    QTest::newRow("queue, seed 4") << 1 << 4;
    QTest::newRow("stackqueue, seed 5") << 2 << 5;
}

void TestExplore::everyBoundaryInEveryRun()
{
    QFETCH(int, exercise);
    QFETCH(int, seed);
    std::unordered_set<std::string> words;
    std::size_t longest_line = 0, longest_word = 0, most_values = 0, short_strings = 0;
    const std::vector<Words> run = generate_cases(
        *exercise_from_number(exercise), static_cast<std::uint64_t>(seed), Budget().strings);
    for (const Words &w : run) {
        longest_line = std::max(longest_line, options_line(w).size());
        short_strings += w.size() <= 30;
        std::size_t values = 0;
        for (const std::string &word : w) {
            words.insert(word);
            longest_word = std::max(longest_word, word.size());
            values = word == "-I" ? 0 : values + 1;
            most_values = std::max(most_values, values);
        }
    }
    for (const long long b : boundary_numbers()) {
        for (const long long n : {b - 1, b, b + 1}) {
            if (n <= 2147483647)
                QVERIFY2(words.count(std::to_string(n)), qPrintable(QString::number(n)));
        }
    }
    for (const char *value : {"0", "-1", "-2147483648", "-2147483647"})
        QVERIFY2(words.count(value), value);
    QVERIFY(most_values >= 5000);
    QVERIFY(longest_line >= 20000);
    QVERIFY(longest_word >= 20);
    QVERIFY(short_strings > run.size() / 2);
}

void TestExplore::dictionaryNumbersComeEarly()
{
    // A fixed array of 777, which no boundary is near: filled past it among the first hundred.
    for (const std::uint64_t seed : {1, 2, 3}) {
        bool filled = false;
        for (const Words &w : generate_cases(Exercise::Queue, seed, 100, {777})) {
            std::size_t values = 0;
            for (const std::string &word : w) {
                values = word == "-I" ? 0 : values + 1;
                filled = filled || values >= 778;
            }
        }
        QVERIFY2(filled, qPrintable(QString::number(seed)));
    }
}

void TestExplore::optionCountsGrow_data()
{
    QTest::addColumn<QList<qlonglong>>("dictionary");
    QTest::addColumn<QList<int>>("counts"); // options after the first -S, each in some string

    QTest::newRow("past an array of 50 options, and into the thousands")
        << QList<qlonglong>{} << QList<int>{51, 1000};
    QTest::newRow("a number of the sources and one either side")
        << QList<qlonglong>{777} << QList<int>{776, 777, 778};
}

void TestExplore::optionCountsGrow()
{
    // Counts of 1000 stand for any count of at least 1000.
    QFETCH(QList<qlonglong>, dictionary);
    QFETCH(QList<int>, counts);
    for (int exercise = 0; exercise < 3; ++exercise) {
        for (const std::uint64_t seed : {1, 2, 3}) {
            std::set<int> seen;
            for (const Words &w :
                 generate_cases(*exercise_from_number(exercise), seed, 900,
                                Dictionary(dictionary.begin(), dictionary.end()))) {
                const auto options = std::count_if(w.begin(), w.end(), [&](const std::string &o) {
                    return is_exercise_option(*exercise_from_number(exercise), o);
                });
                seen.insert(static_cast<int>(std::min<long>(options - 1, 1000)));
            }
            for (const int count : counts) {
                const bool found = count == 51 ? *seen.rbegin() >= 51 : seen.count(count) > 0;
                QVERIFY2(found, qPrintable(QStringLiteral("%1 options, exercise %2, seed %3")
                                               .arg(count)
                                               .arg(exercise)
                                               .arg(seed)));
            }
        }
    }
}

void TestExplore::explorerShrinksWithinTheDeadline()
{
    Grading grading;
    grading.exercise = Exercise::Stack;
    grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(Exercise::Stack);
    const StudentProgram program
        = student_program(program_of(QStringLiteral("stack-capacity_off_by_one")).toStdString());
    ReferenceAnswers reference(grading, bench.dir_s());
    const Words words{"-S", "3", "-I", "1", "2", "3", "4", "-N", "-C"};
    const std::string options = options_line(words);
    const CaseResult failing
        = judge_case(grading, program, options, reference.answer(options).text, bench.dir_s());
    QVERIFY(!failing.correct);
    const Counterexample cut = shrink_failure(grading, program, words, failing, reference,
                                              bench.dir_s(), std::chrono::steady_clock::now());
    QVERIFY(!cut.complete);
    QCOMPARE(cut.shrunk.options, options);
    Exploration exploration;
    exploration.tried = 1;
    exploration.found = cut;
    QVERIFY(exploration_text(exploration, Limits{}).find("(not fully shrunk: the time ran out)")
            != std::string::npos);
    const Counterexample whole
        = shrink_failure(grading, program, words, failing, reference, bench.dir_s());
    QVERIFY(whole.complete);
    // Capacity and insertions shrink together: the off-by-one holds at every capacity.
    QCOMPARE(QString::fromStdString(whole.shrunk.options), QStringLiteral(" -S 0 -I 0"));
}

void TestExplore::graderWantIsNotTheStudents()
{
    // Without a descriptor the grader cannot tell which of the program's files to show it: the
    // case is not graded, rather than run without its data files and judged.
    Grading grading;
    grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(Exercise::Stack);
    const StudentProgram program
        = student_program(program_of(QStringLiteral("stack-capacity_off_by_one")).toStdString());
    CaseResult result;
    {
        const NoDescriptorLeft none;
        result = judge_case(grading, program, " -S 3", "", bench.dir_s());
    }
    QVERIFY(!result.graded());
    QVERIFY(!result.correct);
    QVERIFY2(result.note.find("cannot read the program's folder") != std::string::npos,
             result.note.c_str());
}

void TestExplore::exploreFindsEveryFault_data()
{
    QTest::addColumn<QString>("folder");
    for (const QString &folder : class_folders()) {
        if (!harmless(folder))
            QTest::newRow(qPrintable(folder)) << folder;
    }
}

void TestExplore::exploreFindsEveryFault()
{
    QFETCH(QString, folder);
    const CliRun run = run_cli(
        {"explore", "-e", exercise_of(folder), "--seed", "1", program_of(folder)}, bench.path());
    QVERIFY2(run.status == 1, run.out.constData());
    // Generated words hold nothing that the terminal form escapes.
    const std::string options = field(run.out, "options:  ").toStdString();
    QCOMPARE(field(run.out, "seed:      "), QByteArray("1"));
    QVERIFY(field(run.out, "verdict:   ").startsWith("wrong"));
    // Storage reserved up front fails at the memory limit, whose last few pages go to the
    // program's own mappings, a few more or less on each run: its smallest failing capacity
    // moves, and no string is minimal on every run.
    if (folder.endsWith(QLatin1String("assign_reserves_capacity")))
        return;

    // 1-minimal: the shrunk string fails, and no single reduction of it does.
    Grading grading;
    grading.exercise
        = *exercise_from_number(static_cast<int>(exercises.indexOf(exercise_of(folder))));
    grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(grading.exercise);
    const StudentProgram program = student_program(program_of(folder).toStdString());
    ReferenceAnswers reference(grading, bench.dir_s());
    const auto fails = [&](const std::string &o) {
        return !judge_case(grading, program, o, reference.answer(o).text, bench.dir_s()).correct;
    };
    QVERIFY(fails(options));
    Words words;
    for (const QString &word : QProcess::splitCommand(QString::fromStdString(options)))
        words.push_back(word.toStdString());
    QCOMPARE(options_line(words), options);
    // Many reductions of a long string are the same string (one of many zeros removed).
    std::set<std::string> smaller;
    for (const Words &w : reductions(words, grading.exercise))
        smaller.insert(options_line(w));
    for (const std::string &o : smaller)
        QVERIFY2(!fails(o), o.c_str());
}

void TestExplore::escapesFoundWithEverySeed_data()
{
    // Faults that drawing at random finds with some seeds only, or not at all: each found with
    // the seeds after the first too (exploreFindsEveryFault has seed 1).
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("seed");
    for (const char *folder : {"stack-options_kept_50", "queue-no_options_fails",
                               "queue-get_index_wraps", "stackqueue-octal_numbers",
                               "stack-lowercase_options", "queue-assign_reserves_capacity"}) {
        for (const char *seed : {"2", "3"})
            QTest::addRow("%s, seed %s", folder, seed) << folder << seed;
    }
}

void TestExplore::escapesFoundWithEverySeed()
{
    QFETCH(QString, folder);
    QFETCH(QString, seed);
    const CliRun run = run_cli(
        {"explore", "-e", exercise_of(folder), "--seed", seed, program_of(folder)}, bench.path());
    QVERIFY2(run.status == 1, run.out.constData());
    QVERIFY(field(run.out, "verdict:   ").startsWith("wrong"));
}

void TestExplore::noFalseAlarm_data()
{
    QTest::addColumn<QString>("folder");
    // Each runs to the end of the default budget: they run side by side, started here.
    for (const QString &folder : class_folders()) {
        if (!harmless(folder))
            continue;
        QTest::newRow(qPrintable(folder)) << folder;
        auto process = std::make_unique<QProcess>();
        process->setWorkingDirectory(bench.path());
        process->start(QStringLiteral(ORVIMET_CLI),
                       {"explore", "-e", exercise_of(folder), "--seed", "1", program_of(folder)});
        harmless_runs[folder] = std::move(process);
    }
}

void TestExplore::noFalseAlarm()
{
    QFETCH(QString, folder);
    const CliRun run = finish(*harmless_runs.at(folder));
    QVERIFY2(run.status == 0, run.out.constData());
    const QByteArray tried = field(run.out, "tried:     ");
    QVERIFY2(tried.contains("every answer the reference's"), tried.constData());
}

void TestExplore::extendedListCatchesEveryFault_data()
{
    QTest::addColumn<QString>("folder");
    // One class run per exercise; the rows read its report.
    for (const QString &exercise : exercises) {
        QStringList programs;
        for (const QString &folder : class_folders()) {
            if (exercise_of(folder) == exercise) {
                QTest::newRow(qPrintable(folder)) << folder;
                programs << program_of(folder);
            }
        }
        const QString json = exercise + QStringLiteral(".json");
        run_cli(QStringList{"suite", "-e", exercise, "--cases", "extended", "--json", json}
                    + programs,
                bench.path());
        for (const QJsonValue &report :
             QJsonDocument::fromJson(bench.read(json)).object().value("programs").toArray()) {
            const QString program = report.toObject().value("program").toString();
            extended_reports[QFileInfo(program).dir().dirName()] = report.toObject();
        }
    }
}

void TestExplore::extendedListCatchesEveryFault()
{
    QFETCH(QString, folder);
    const QJsonObject report = extended_reports[folder];
    const int cases = static_cast<int>(
        extended_cases(*exercise_named(exercise_of(folder).toStdString())).size());
    QCOMPARE(report.value("cases").toArray().size(), cases);
    if (harmless(folder))
        QCOMPARE(report.value("correct").toInt(), cases);
    else
        QVERIFY(report.value("wrong").toInt() > 0);
}

void TestExplore::sameSeedSameOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString fault = program_of(QStringLiteral("stackqueue-dequeue_always_moves"));
    const QString right = program_of(QStringLiteral("stackqueue-no_line_feed"));
    QTest::newRow("explore, a fault found and shrunk")
        << QStringList{"explore", "-e", "stackqueue", "--seed", "7", fault};
    QTest::newRow("explore, nothing found")
        << QStringList{"explore", "-e", "stackqueue", "--seed", "7", "--runs", "60", right};
    QTest::newRow("suite with generated strings")
        << QStringList{"suite", "-e", "stackqueue", "--seed", "7", "--explore", "15", fault, right};
}

void TestExplore::sameSeedSameOutput()
{
    QFETCH(QStringList, arguments);
    const CliRun first = run_cli(arguments, bench.path());
    const CliRun second = run_cli(arguments, bench.path());
    QVERIFY(first.status == 0 || first.status == 1);
    QVERIFY(first.out.contains("seed"));
    QCOMPARE(second.status, first.status);
    QCOMPARE(second.out, first.out);
}

void TestExplore::classRunShrinksFirstFailure()
{
    const QString fault = program_of(QStringLiteral("stack-capacity_off_by_one"));
    const QString right = program_of(QStringLiteral("stack-crlf"));
    const CliRun run = run_cli({"suite", "-e", "stack", "--seed", "3", "--explore", "40", "--json",
                                "class.json", fault, right},
                               bench.path());
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.startsWith("generated: 40 option strings, seed 3\n"));
    const QList<QByteArray> lines = run.out.split('\n');
    QVERIFY2(lines.at(2).contains(fault.toUtf8() + "  fails on: -S "), lines.at(2).constData());
    QVERIFY(lines.at(3).endsWith(right.toUtf8()));

    const QJsonArray programs
        = QJsonDocument::fromJson(bench.read("class.json")).object().value("programs").toArray();
    QStringList shrunk[2];
    for (int p = 0; p < 2; ++p) {
        const QJsonArray cases = programs.at(p).toObject().value("cases").toArray();
        QCOMPARE(cases.size(), 50);
        int first_wrong = 0;
        for (const QJsonValue &c : cases) {
            const QJsonObject one = c.toObject();
            if (!first_wrong && one.value("case").toInt() > 10 && one.value("verdict") == "wrong")
                first_wrong = one.value("case").toInt();
            if (!one.value("shrunk_options").isNull()) {
                shrunk[p] << one.value("shrunk_options").toString();
                QCOMPARE(one.value("case").toInt(), first_wrong);
            }
        }
    }
    // One shrunk string, beside the first failing generated case; none for the right program.
    QCOMPARE(shrunk[0].size(), 1);
    QVERIFY(lines.at(2).endsWith(shrunk[0].first().toUtf8()));
    QVERIFY(shrunk[1].isEmpty());
}

void TestExplore::timeOutShrunk()
{
    // A program that never answers fails every string by running out of time, and the failure
    // is shrunk like any other, each step costing a time-out, within the deadline. (Exploring
    // itself starts with the empty string, which leaves nothing to shrink.)
    bench.program(QStringLiteral("hangs/queue.exe"), "sleep:100000\n");
    Grading grading;
    grading.exercise = Exercise::Queue;
    grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(Exercise::Queue);
    grading.limits.wall = std::chrono::milliseconds(200);
    const StudentProgram program = student_program(bench.dir_s() + "hangs/queue.exe");
    // A working folder of its own: the program's folder must not be inside it.
    QVERIFY(QDir().mkpath(bench.path(QStringLiteral("hangs-work"))));
    const std::string workdir = bench.dir_s(QStringLiteral("hangs-work"));
    ReferenceAnswers reference(grading, workdir);
    const Words words{"-S", "3", "-I", "1", "2", "-N"};
    const std::string options = options_line(words);
    const CaseResult failing
        = judge_case(grading, program, options, reference.answer(options).text, workdir);
    QVERIFY2(failing.run.end == ChildRun::End::TimedOut, failing.note.c_str());
    const Counterexample cut
        = shrink_failure(grading, program, words, failing, reference, workdir,
                         std::chrono::steady_clock::now() + std::chrono::seconds(30));
    QVERIFY(cut.complete);
    QVERIFY(cut.steps > 0);
    QCOMPARE(cut.shrunk.options, std::string());
    QCOMPARE(cut.shrunk.run.end, ChildRun::End::TimedOut);
}

void TestExplore::slowProgramBounded_data()
{
    // A program that prints its whole queue to standard error after every insertion times out on
    // every long string ('l') and answers the short ones ('s') between them.
    QTest::addColumn<QString>("strings");
    QTest::addColumn<int>("give_up_after");
    QTest::addColumn<int>("share_ms");
    QTest::addColumn<int>("most_timeouts");
    QTest::addColumn<int>("least_not_run");

    QTest::newRow("time-outs between answers count in all") << "lslslslsls" << 3 << 0 << 3 << 5;
    QTest::newRow("a share of the time bounds a program that never gives up")
        << "llllllllll" << 0 << 1500 << 4 << 6;
}

void TestExplore::slowProgramBounded()
{
    QFETCH(QString, strings);
    QFETCH(int, give_up_after);
    QFETCH(int, share_ms);
    QFETCH(int, most_timeouts);
    QFETCH(int, least_not_run);
    std::string values;
    for (int i = 1; i <= 30000; ++i)
        values += ' ' + std::to_string(i);
    ClassRun run;
    run.grading.exercise = Exercise::Queue;
    run.grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(Exercise::Queue);
    run.grading.limits.wall = std::chrono::milliseconds(700);
    for (const QChar kind : strings) {
        run.options.push_back(kind == 'l' ? " -S 30000 -I" + values : std::string(" -S 3 -I 1 2"));
        run.reference_texts.push_back(
            run_reference(run.grading, run.options.back(), bench.dir_s()).text);
    }
    QVERIFY(QDir().mkpath(bench.path(QStringLiteral("runs"))));
    run.workroot = bench.dir_s(QStringLiteral("runs"));
    run.jobs = 2;
    run.give_up_after = give_up_after;
    run.time_share = std::chrono::milliseconds(share_ms);
    run.in_order = false;
    // The slow program first: the quick one is reported as soon as it is done, not after it.
    const std::vector<StudentProgram> programs{
        student_program(ORVIMET_SLOW_QUEUE),
        student_program(program_of(QStringLiteral("queue-crlf")).toStdString())};
    std::vector<int> told;
    const std::vector<ProgramReport> reports = grade_class(
        run, programs, {}, [&](const ProgramReport &report) { told.push_back(report.index); });
    QCOMPARE(reports[1].correct, strings.size());
    QVERIFY2(reports[0].timeouts >= 1 && reports[0].timeouts <= most_timeouts,
             qPrintable(QString::number(reports[0].timeouts)));
    QVERIFY2(reports[0].not_run >= least_not_run, qPrintable(QString::number(reports[0].not_run)));
    QCOMPARE(reports[0].wrong, reports[0].timeouts);
    QCOMPARE(told, std::vector<int>({1, 0}));
}

QTEST_MAIN(TestExplore)
#include "tst_explore.moc"
