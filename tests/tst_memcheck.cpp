// The memory check of a class against programs that would silence it: a report kept from the
// grader, options compiled in under a name the raw lines do not show, memory without bound; and
// its judgement of the answers, which differ between the builds where a value was never written.
#include "grading/memcheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

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
        cases[0].student_bytes = cases[0].result.student_text.size();
        memory_check(settings, built.program, cases);
        QVERIFY2(QString::fromStdString(cases[0].memcheck).startsWith(finding),
                 cases[0].memcheck.c_str());
        QCOMPARE(finding.isEmpty(), cases[0].memcheck.empty());
    }
};

QTEST_GUILESS_MAIN(TestMemcheck)
#include "tst_memcheck.moc"
