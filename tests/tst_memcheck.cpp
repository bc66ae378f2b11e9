// The memory check of a class against programs that would silence it: a report kept from the
// grader, options compiled in under a name the raw lines do not show, memory without bound; and
// its judgement of the answers, which differ between the builds where a value was never written.
#include "explore/cases.h"
#include "explore/sample.h"
#include "grading/explorer.h"
#include "grading/memcheck.h"
#include "judge/suitecases.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

Words words_of(const QString &options)
{
    return option_words(options.toStdString());
}

const QByteArray use_after_free = "int main() { int *p = new int(1); delete p; return *p; }\n";

} // namespace

class TestMemcheck : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    int folders = 0;

    std::string folder(const char *kind)
    {
        const QString path = scratch.filePath(QLatin1String(kind) + QString::number(++folders));
        QDir().mkpath(path);
        ::chmod(QFile::encodeName(path).constData(), 0755); // passable for root's sandbox user
        return path.toStdString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        ::chmod(QFile::encodeName(scratch.path()).constData(), 0755);
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("main");  // main.cpp
        QTest::addColumn<QByteArray>("other"); // part.tpp, which main.cpp may include
        QTest::addColumn<QString>("evasion");  // how the flagged line begins
        QTest::addColumn<QString>("finding");  // how the finding begins
        QTest::newRow("a use-after-free after standard error is closed")
            << "#include <unistd.h>\nstatic int closed = close(2);\n" + use_after_free
            << QByteArray() << ""
            << "ERROR: AddressSanitizer: heap-use-after-free";
        QTest::newRow("options compiled in, the name split by a backslash")
            << "extern \"C\" const char *__a\\\nsan_default_options() { return "
               "\"halt_on_error=0\"; }\n"
                   + use_after_free
            << QByteArray() << "main.cpp:1: extern \"C\" const char *__asan_default_options()"
            << "ERROR: AddressSanitizer: heap-use-after-free";
        QTest::newRow("options compiled in, the name made by a macro in a .tpp")
            << "#include \"part.tpp\"\n" + use_after_free
            << QByteArray("#define NAME(a, b) a##b\nextern \"C\" const char *NAME(__as, "
                          "an_default_options)() { return \"\"; }\n")
            << "part.tpp:2: extern \"C\" const char *__asan_default_options()"
            << "ERROR: AddressSanitizer: heap-use-after-free";
        QTest::newRow("a test of whether the sanitizer watches, in a .tpp")
            << "#include \"part.tpp\"\n" + use_after_free
            << QByteArray("#ifndef __SANITIZE_ADDRESS__\nint f();\n#endif\n")
            << "part.tpp:1: #ifndef __SANITIZE_ADDRESS__"
            << "ERROR: AddressSanitizer: heap-use-after-free";
        // A program that holds all it asked for then frees a block twice, for the check to see.
        QTest::newRow("more memory than the limit")
            << QByteArray("#include <cstdlib>\n#include <cstring>\n"
                          "void *kept[128];\nint main() { for (void *&p : kept) { p = "
                          "std::malloc(8 << 20); if (!p) return 0; std::memset(p, 1, 8 << 20); }"
                          " int *q = new int(1); delete q; return *q; }\n")
            << QByteArray() << ""
            << "";
        QTest::newRow("an honest program") << QByteArray("int main() {}\n") << QByteArray() << ""
                                           << "";
        // Values never written, printed: the two builds fill them differently.
        QTest::newRow("a member the constructor forgets, on the stack")
            << QByteArray("#include <cstdio>\nstruct Box { int n; Box() {} };\n"
                          "int main() { Box b; std::printf(\"S %d\\n\", b.n); }\n")
            << QByteArray() << "" << answers_differ_finding;
        QTest::newRow("a member the constructor forgets, on the heap")
            << QByteArray("#include <cstdio>\nstruct Box { int n; Box() {} };\n"
                          "int main() { Box *b = new Box; std::printf(\"S %d\\n\", b->n); "
                          "delete b; }\n")
            << QByteArray() << "" << answers_differ_finding;
        // Where the program leaves its answer, the two builds' runs take it from.
        const QByteArray answer_file = "#include <cstdio>\nint main() { std::FILE *f = "
                                       "std::fopen(\"queue.txt\", \"w\"); std::fputs(\"S 3\\n\", "
                                       "f); std::fclose(f); }\n";
        QTest::newRow("the answer in the handout's answer file")
            << answer_file << QByteArray() << ""
            << "";
        QTest::newRow("an answer longer than a report keeps") << QByteArray(
            "#include <string>\n#include <cstdio>\nint main() { std::string s(100000, "
            "'7'); std::puts(s.c_str()); }\n") << QByteArray() << ""
                                                              << "";
    }

    void check()
    {
        QFETCH(QByteArray, main);
        QFETCH(QByteArray, other);
        QFETCH(QString, evasion);
        QFETCH(QString, finding);
        Submission submission;
        submission.kind = SubmissionKind::Sources;
        submission.path = folder("student");
        for (const auto &[name, content] : {std::pair{"main.cpp", main}, {"part.tpp", other}}) {
            QFile file(QString::fromStdString(submission.path) + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
            file.setPermissions(file.permissions() | QFileDevice::ReadOther);
        }
        submission.sources = {submission.path + "/main.cpp"};
        ClassSettings settings;
        settings.build.use_cache = false;
        settings.grading.limits.memory_bytes = std::uint64_t(64) << 20;
        settings.grading.limits.wall = std::chrono::seconds(60);
        const std::string programs = folder("programs");
        const MemcheckBuild built
            = build_for_memory_check(settings.build, submission, programs + "/0-memcheck", "queue");
        QVERIFY(!built.program.empty());
        QVERIFY2(QString::fromStdString(built.evasion).startsWith(evasion), built.evasion.c_str());
        QCOMPARE(evasion.isEmpty(), built.evasion.empty());

        // The ordinary build's answer, as the class's run takes it.
        const BuildResult plain = build_program(settings.build, submission.path, submission.sources,
                                                {}, folder("plain"));
        QVERIFY2(plain.status == BuildResult::Status::Built, plain.log.c_str());
        const std::string placed = programs + "/0";
        QDir().mkpath(QString::fromStdString(placed));
        ::chmod(placed.c_str(), 0755);
        QVERIFY(QFile::rename(QString::fromStdString(plain.program),
                              QString::fromStdString(placed + "/queue")));
        std::vector<StudentCase> cases(1);
        cases[0].result = judge_case(settings.grading, student_program(placed + "/queue"), "", "",
                                     folder("run") + "/");
        memory_check(settings, built.program, cases);
        QVERIFY2(QString::fromStdString(cases[0].memcheck).startsWith(finding),
                 cases[0].memcheck.c_str());
        QCOMPARE(finding.isEmpty(), cases[0].memcheck.empty());
    }

    // The explored strings the sanitizers run: each brings something its predecessors did not.
    void sample_data()
    {
        QTest::addColumn<QStringList>("earlier");
        QTest::addColumn<QString>("string");
        QTest::addColumn<bool>("taken");
        QTest::newRow("a copy of a full container")
            << QStringList{"-S 4 -I 1 2 3 -C", "-S 4 -C", "-S 4 -I 1 2 3 4"} << "-S 4 -I 1 2 3 4 -C"
            << true;
        QTest::newRow("the smallest int inserted")
            << QStringList{"-S 2 -I 5 -2147483647 -C"} << "-S 2 -I -2147483648" << true;
        QTest::newRow("more options than a fixed array of 50 holds")
            << QStringList{"-S 1" + QString(" -N").repeated(40)}
            << "-S 1" + QString(" -N").repeated(70) << true;
        QTest::newRow("the empty string") << QStringList{"-S 1"} << "" << true;
        QTest::newRow("another value of the same kind")
            << QStringList{"-S 3 -I 1 -C"} << "-S 3 -I 2 -C" << false;
        QTest::newRow("past the first failing option nothing counts")
            << QStringList{"-S 2 -O 5", "-S 2 -I 1 2 -C"} << "-S 2 -O 5 -I 1 2 -C" << false;
    }

    void sample()
    {
        QFETCH(QStringList, earlier);
        QFETCH(QString, string);
        QFETCH(bool, taken);
        std::vector<Words> strings;
        for (const QString &options : earlier)
            strings.push_back(words_of(options));
        strings.push_back(words_of(string));
        const std::vector<std::size_t> sample = memcheck_sample(strings);
        QCOMPARE(!sample.empty() && sample.back() == static_cast<std::size_t>(earlier.size()),
                 taken);
    }

    // The cost of the memory check of an exploration: a bounded share of its strings.
    void sampleIsSmall()
    {
        for (const Exercise exercise : {Exercise::Stack, Exercise::Queue, Exercise::StackQueue}) {
            const std::vector<Words> strings = generate_cases(exercise, 1, 2000);
            const std::size_t size = memcheck_sample(strings).size();
            QVERIFY2(size <= strings.size() / 8, std::to_string(size).c_str());
        }
    }

    // A fault that only a full container's copy wakes, which no given case reaches: the
    // sanitizers run on the explored strings' sample find it, and it is shrunk to a string the
    // student reruns, which every student's cases then hold.
    void exploredFindingShrunk()
    {
        const std::string submissions = folder("class");
        const QString student
            = QString::fromStdString(submissions) + "/Ann Lee_101_assignsubmission_file_";
        QDir().mkpath(student);
        QVERIFY(QFile::copy(QStringLiteral(ORVIMET_COPY_WHEN_FULL), student + "/stack.cpp"));
        ClassSettings settings;
        settings.exercise = settings.program_name = "stack";
        settings.grading.exercise = Exercise::Stack;
        settings.grading.reference_path = ORVIMET_RESOURCE_DIR "/a.exe";
        settings.build.use_cache = false;
        settings.memcheck = true;
        settings.options = {" -S 3 -I 1 2 -C"};
        settings.explore = 300;
        settings.seed = 1;
        settings.submissions = submissions;
        settings.results = folder("results");
        settings.scratch = folder("scratch") + "/";
        const ClassOutcome outcome = grade_submissions(settings, {}, {});
        QVERIFY2(outcome.error.empty(), outcome.error.c_str());
        QCOMPARE(outcome.students.size(), std::size_t(1));
        const StudentRecord &record = outcome.students.front();
        QCOMPARE(record.status, Status::Graded);
        QCOMPARE(record.correct, static_cast<int>(record.cases.size()));
        // Either way the storage is full when it is copied, and no reduction keeps it so.
        QVERIFY2(record.memcheck_shrunk == " -S 0 -C" || record.memcheck_shrunk == " -S 1 -I 0 -C",
                 record.memcheck_shrunk.c_str());
        const CaseRecord &rerun = record.cases.back();
        QCOMPARE(QString::fromStdString(rerun.options),
                 QString::fromStdString(record.memcheck_shrunk));
        QVERIFY2(QString::fromStdString(rerun.memcheck).startsWith("ERROR: AddressSanitizer"),
                 rerun.memcheck.c_str());
    }

    // The ten strings alone: the sanitizers also run the extended list's strings that bring a
    // value or a state no case brings, where INT_MIN through a char[11] is found and shrunk to a
    // string to rerun; the cases and their counts stay the ten's.
    void extendedValuesChecked_data()
    {
        QTest::addColumn<QString>("fault");   // of examples/, switched on in queue.cpp
        QTest::addColumn<QString>("finding"); // how the finding begins
        QTest::addColumn<QString>("rerun");   // a word of the shrunk string matches it
        QTest::newRow("INT_MIN written into a char[11]")
            << "value_text_in_char_11"
            << "ERROR: AddressSanitizer: stack-buffer-overflow"
            << "^-\\d{10}$"; // eleven characters, as INT_MIN's
        QTest::newRow("the sample program") << ""
                                            << ""
                                            << "";
    }

    void extendedValuesChecked()
    {
        QFETCH(QString, fault);
        QFETCH(QString, finding);
        QFETCH(QString, rerun);
        static ClassOutcome outcome;
        if (outcome.students.empty()) {
            const std::string submissions = folder("extended");
            for (const QString &name : {QStringLiteral("value_text_in_char_11"), QString()}) {
                const QString student = QString::fromStdString(submissions) + "/Lee " + name
                                        + "_1_assignsubmission_file_";
                QDir().mkpath(student);
                for (const char *file :
                     {"queue_main.cpp", "queue.cpp", "queue.h", "exercise.h", "fault.h"}) {
                    QFile from(QStringLiteral(ORVIMET_SOURCE_DIR "/examples/") + file);
                    QFile to(student + '/' + file);
                    QVERIFY(from.open(QIODevice::ReadOnly) && to.open(QIODevice::WriteOnly));
                    if (!name.isEmpty() && QLatin1String(file) == QLatin1String("queue.cpp"))
                        to.write("#define ORVIMET_FAULT \"" + name.toUtf8() + "\"\n");
                    to.write(from.readAll());
                    to.setPermissions(to.permissions() | QFileDevice::ReadOther);
                }
            }
            ClassSettings settings;
            settings.exercise = settings.program_name = "queue";
            settings.grading.exercise = Exercise::Queue;
            settings.grading.reference_path = ORVIMET_RESOURCE_DIR "/b.exe";
            settings.build.use_cache = false;
            settings.memcheck = true;
            settings.options.assign(suite_options.begin(), suite_options.end());
            settings.submissions = submissions;
            settings.results = folder("results");
            settings.scratch = folder("scratch") + "/";
            outcome = grade_submissions(settings, {}, {});
            QVERIFY2(outcome.error.empty(), outcome.error.c_str());
        }
        const std::string name = "Lee " + fault.toStdString() + "_1_assignsubmission_file_";
        const auto record = std::find_if(outcome.students.begin(), outcome.students.end(),
                                         [&](const StudentRecord &s) { return s.folder == name; });
        QVERIFY(record != outcome.students.end());
        QCOMPARE(record->status, Status::Graded);
        QCOMPARE(record->cases.size(), suite_options.size());
        QCOMPARE(record->correct, static_cast<int>(suite_options.size()));
        QVERIFY(outcome.found.empty());
        QVERIFY(outcome.memcheck_seconds > 0); // the share grade's summary tells
        QVERIFY2(QString::fromStdString(record->memcheck_first).startsWith(finding),
                 record->memcheck_first.c_str());
        QCOMPARE(record->memcheck_findings, finding.isEmpty() ? 0 : 1);
        const QStringList shrunk = QString::fromStdString(record->memcheck_extended_shrunk)
                                       .split(' ', Qt::SkipEmptyParts);
        QVERIFY2(rerun.isEmpty() ? shrunk.isEmpty()
                                 : shrunk.indexOf(QRegularExpression(rerun)) >= 0,
                 record->memcheck_extended_shrunk.c_str());
    }
};

QTEST_GUILESS_MAIN(TestMemcheck)
#include "tst_memcheck.moc"
