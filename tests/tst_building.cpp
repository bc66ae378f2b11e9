// Students' sources built in the sandbox: what a teacher reads of each build (status, reason,
// messages, warnings), sources that reach for files outside the student's folder or for the
// compiler's limits, the cache of builds, and the memory-checking build with its reports.
#include "building/building.h"
#include "sandbox/process.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using Files = std::map<QString, QByteArray>;
Q_DECLARE_METATYPE(Files)
Q_DECLARE_METATYPE(BuildResult::Status)

namespace {

const QByteArray correct = "#include <iostream>\nint main() { std::cout << \"hello \" << 3 << "
                           "'\\n'; }\n";

// Limits low enough that a source aimed at them fails in seconds.
BuildSettings low_settings(const QString &cache)
{
    BuildSettings settings;
    settings.limits.cpu_seconds = 4;
    settings.limits.memory_bytes = std::uint64_t(1) << 30;
    settings.limits.file_bytes = std::uint64_t(16) << 20;
    settings.wall = std::chrono::seconds(30);
    settings.cache = cache.toStdString();
    return settings;
}

} // namespace

class TestBuilding : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    int folders = 0;

    QString folder(const QString &kind)
    {
        const QString path = scratch.filePath(kind + QString::number(++folders));
        QDir().mkpath(path);
        ::chmod(QFile::encodeName(path).constData(), 0755); // passable for root's sandbox user
        return path;
    }

    // Writes a student's files; "@TEACHER@" in a content stands for a file of the grader's.
    QString student(const Files &files, std::vector<std::string> &sources,
                    std::vector<std::string> &headers)
    {
        const QString root = folder(QStringLiteral("student"));
        for (const auto &[name, content] : files) {
            const QString path = root + QLatin1Char('/') + name;
            QDir().mkpath(QFileInfo(path).path());
            ::chmod(QFile::encodeName(QFileInfo(path).path()).constData(), 0755);
            if (name.endsWith(QLatin1String(".link"))) {
                QFile::link(QString::fromUtf8(content), path.chopped(5));
                sources.push_back(path.chopped(5).toStdString());
                continue;
            }
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray(content).replace("@TEACHER@", QFile::encodeName(teacher())));
            file.close();
            ::chmod(QFile::encodeName(path).constData(), 0644);
            // The files that the intake does not take for C++ are in the folder all the same.
            if (name.endsWith(QLatin1String(".h")))
                headers.push_back(path.toStdString());
            else if (name.endsWith(QLatin1String(".cpp")))
                sources.push_back(path.toStdString());
        }
        return root;
    }

    QString teacher() const { return scratch.filePath(QStringLiteral("teacher/secret.h")); }

    BuildResult build(const BuildSettings &settings, const Files &files,
                      const std::vector<std::string> &extra = {})
    {
        std::vector<std::string> sources, headers;
        const QString root = student(files, sources, headers);
        return build_program(settings, root.toStdString(), sources, headers,
                             folder(QStringLiteral("build")).toStdString(), extra);
    }

    ChildRun run(const BuildResult &built, Limits limits = {})
    {
        const std::string folder = built.program.substr(0, built.program.rfind('/'));
        limits.wall = std::chrono::seconds(20);
        return run_child({with_error_output({built.program}),
                          this->folder(QStringLiteral("run")).toStdString(),
                          {folder},
                          {}},
                         limits, Sandbox{});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        ::chmod(QFile::encodeName(scratch.path()).constData(), 0755);
        QDir().mkpath(QFileInfo(teacher()).path());
        QFile secret(teacher());
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("int secret = 1;\n");
    }

    void outcome_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<BuildResult::Status>("status");
        QTest::addColumn<QString>("reason"); // what the reason says, or the program's output
        QTest::addColumn<int>("warnings");
        using S = BuildResult::Status;
        QTest::newRow("a correct program builds and runs")
            << Files{{"queue.cpp", correct}} << S::Built << "hello 3\n"
            << 0;
        QTest::newRow("sources and a header in folders of their own")
            << Files{{"src/main.cpp", "#include \"count.h\"\n#include <cstdio>\n"
                                      "int main() { std::printf(\"%d\\n\", count()); }\n"},
                     {"src/count.cpp", "#include \"count.h\"\nint count() { return 7; }\n"},
                     {"include/count.h", "#pragma once\nint count();\n"}}
            << S::Built << "7\n"
            << 0;
        QTest::newRow("a source included by another is compiled once")
            << Files{{"main.cpp", "#include <cstdio>\n #  include \"./lib/stack.cpp\"\n"
                                  "int main() { std::printf(\"%d\\n\", top()); }\n"},
                     {"lib/stack.cpp", "int top() { return 4; }\n"}}
            << S::Built << "4\n"
            << 0;
        QTest::newRow("warnings are counted")
            << Files{{"queue.cpp", "int main(int argc, char **) { int unused; int also; "
                                   "return argc; }\n"}}
            << S::Built << "" << 2;
        QTest::newRow("a syntax error fails with its message")
            << Files{{"queue.cpp", "int main() { return 0 }\n"}} << S::Failed
            << "does not compile: queue.cpp:1:22: error: expected ';'" << 0;
        QTest::newRow("a message that speaks of a full disk is the student's")
            << Files{{"queue.cpp", "#error No space left on device\n"}} << S::Failed
            << "does not compile: queue.cpp:1:2: error: #error No space left on device" << 0;
        QTest::newRow("a missing function is named, not the linker's summary")
            << Files{{"queue.cpp", "int f();\nint main() { return f(); }\n"}} << S::Failed
            << "undefined reference to `f()'" << 0;
        QTest::newRow("a late resubmission beside the first: two programs")
            << Files{{"queue.cpp", correct}, {"queue_v2.cpp", correct}} << S::SeveralPrograms
            << "2 files define main: queue.cpp, queue_v2.cpp" << 0;
        QTest::newRow("main in another file's comment is no second program")
            << Files{{"queue.cpp", correct},
                     {"notes.cpp", "// int main() was here\nconst char *s = \"int main(\";\n"}}
            << S::Built << "" << 0;
        QTest::newRow("a declaration of main is no second program")
            << Files{{"queue.cpp", correct}, {"decl.cpp", "int main(int, char **);\n"}} << S::Built
            << "" << 0;
        QTest::newRow("an empty source")
            << Files{{"queue.cpp", ""}} << S::Empty << "queue.cpp is empty" << 0;
        QTest::newRow("a source of blanks and comments")
            << Files{{"queue.cpp", "// todo\n/* later\n */ \n\t\n"}} << S::Empty
            << "queue.cpp is empty" << 0;
        QTest::newRow("the system's secrets are not there")
            << Files{{"queue.cpp", "#include \"/etc/shadow\"\nint main() {}\n"}} << S::Failed
            << "fatal error: /etc/shadow: " << 0;
        QTest::newRow("the teacher's files are not there")
            << Files{{"queue.cpp", "#include \"@TEACHER@\"\nint main() { return secret; }\n"}}
            << S::Failed << "secret.h: No such file" << 0;
        QTest::newRow("a source that links to a file of the system")
            << Files{{"queue.cpp.link", "/etc/passwd"}} << S::Failed
            << "does not compile: queue.cpp: a link" << 0;
        QTest::newRow("a template bomb stops at a limit")
            << Files{{"queue.cpp",
                      "template<int N, unsigned long M> struct A { static const int v = A<N - 1, "
                      "2 * M>::v + A<N - 1, 2 * M + 1>::v; };\ntemplate<unsigned long M> struct "
                      "A<0, M> { static const int v = 1; };\nint main() { return A<40, 0>::v; }\n"}}
            << S::Failed << "does not compile: the compiler " << 0;
        QTest::newRow("a program larger than a file may be")
            << Files{{"queue.cpp", "char big[1 << 28] = {1};\nint main() { return big[9]; }\n"}}
            << S::Failed << "does not compile: the program is larger than 12 MiB" << 0;
        QTest::newRow("a program larger than its bound, within a file's")
            << Files{{"queue.cpp", "char big[13 << 20] = {1};\nint main() { return big[9]; }\n"}}
            << S::Failed << "does not compile: the program is larger than 12 MiB" << 0;
        QTest::newRow("an endless include stops at a limit")
            << Files{{"queue.cpp", "#include </dev/zero>\n"}} << S::Failed
            << "does not compile: the compiler needed more than 1024 MiB of memory" << 0;
    }

    void outcome()
    {
        QFETCH(Files, files);
        QFETCH(BuildResult::Status, status);
        QFETCH(QString, reason);
        QFETCH(int, warnings);
        BuildSettings settings = low_settings(QString());
        settings.use_cache = false;
        settings.program_bytes = std::uint64_t(12) << 20;
        const BuildResult result = build(settings, files);
        QVERIFY2(result.status == status, (result.reason + "\n" + result.log).c_str());
        QCOMPARE(result.warnings, warnings);
        QVERIFY(!result.from_cache);
        if (status == BuildResult::Status::Built) {
            QVERIFY(result.reason.empty());
            const ChildRun ran = run(result);
            QCOMPARE(int(ran.end), int(ChildRun::End::Exited));
            if (!reason.isEmpty())
                QCOMPARE(QString::fromStdString(ran.output), reason);
        } else {
            QVERIFY2(QString::fromStdString(result.reason).contains(reason), result.reason.c_str());
            // Nothing of where the grader keeps the student's files shows in the messages.
            QVERIFY(!QString::fromStdString(result.log).contains(QStringLiteral("/student")));
        }
    }

    void cache_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("change"); // what differs at the second build
        QTest::addColumn<bool>("hit");
        QTest::newRow("the same sources again") << correct << "" << true;
        QTest::newRow("the same sources in another folder") << correct << "elsewhere" << true;
        QTest::newRow("a failed build again") << QByteArray("int main() {") << "" << true;
        QTest::newRow("other flags") << correct << "flags" << false;
        QTest::newRow("another content") << correct << "content" << false;
        QTest::newRow("a cached program altered since") << correct << "altered" << false;
        QTest::newRow("a cached program rewritten, same size and time")
            << correct << "rewritten" << false;
        QTest::newRow("the cache switched off") << correct << "off" << false;
    }

    void cache()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, change);
        QFETCH(bool, hit);
        const QString cache = folder(QStringLiteral("cache"));
        BuildSettings settings = low_settings(cache);
        std::vector<std::string> sources, headers;
        const QString root = student({{"queue.cpp", source}}, sources, headers);
        const BuildResult first = build_program(settings, root.toStdString(), sources, headers,
                                                folder(QStringLiteral("build")).toStdString());
        QVERIFY(!first.from_cache && first.status != BuildResult::Status::NotBuilt);

        // No sandbox can start now: a second build that is not served by the cache fails.
        settings.sandbox.bwrap = "/nonexistent/bwrap";
        std::string second_root = root.toStdString();
        if (change == QLatin1String("elsewhere") || change == QLatin1String("content")) {
            sources.clear();
            const QByteArray second = change == QLatin1String("content") ? source + "\n" : source;
            second_root = student({{"queue.cpp", second}}, sources, headers).toStdString();
        }
        if (change == QLatin1String("flags"))
            settings.flags.push_back("-DQUEUE");
        if (change == QLatin1String("altered")) {
            QFile program(cache + QLatin1Char('/') + QString::fromStdString(first.hash)
                          + QStringLiteral("/program"));
            QVERIFY(program.open(QIODevice::Append));
            program.write("x");
        }
        if (change == QLatin1String("rewritten")) {
            // One byte changed until the clock of the file system moves on, then the old time.
            const QByteArray path
                = QFile::encodeName(cache + QLatin1Char('/') + QString::fromStdString(first.hash)
                                    + QStringLiteral("/program"));
            struct stat before
            {
            };
            QVERIFY(::stat(path.constData(), &before) == 0);
            for (struct stat now = before; now.st_ctim.tv_sec == before.st_ctim.tv_sec
                                           && now.st_ctim.tv_nsec == before.st_ctim.tv_nsec;) {
                const int fd = ::open(path.constData(), O_WRONLY);
                QVERIFY(fd >= 0);
                QCOMPARE(::pwrite(fd, "\x7f", 1, 1), ssize_t(1)); // the E of the ELF header
                ::close(fd);
                QVERIFY(::stat(path.constData(), &now) == 0);
            }
            const timespec times[2] = {before.st_atim, before.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0);
        }
        settings.use_cache = change != QLatin1String("off");
        const BuildResult second = build_program(settings, second_root, sources, headers,
                                                 folder(QStringLiteral("build")).toStdString());
        QCOMPARE(second.from_cache, hit);
        QCOMPARE(second.hash == first.hash, change != "flags" && change != "content");
        if (hit) {
            QVERIFY(second.status == first.status);
            QCOMPARE(second.reason, first.reason);
            QCOMPARE(second.log, first.log);
            if (second.status == BuildResult::Status::Built)
                QCOMPARE(run(second).output, std::string("hello 3\n"));
        } else {
            QVERIFY(second.status == BuildResult::Status::NotBuilt);
        }
        // An entry found altered goes, rather than being found again.
        if (change == QLatin1String("altered") || change == QLatin1String("rewritten"))
            QVERIFY(
                !QFileInfo::exists(cache + QLatin1Char('/') + QString::fromStdString(first.hash)));
    }

    // Two students who keep the handed-out main.cpp and queue.h and differ in one other file that
    // the build reads: neither may be given the other's program, nor be the other's copy.
    void includedFiles_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("name");
        QTest::newRow("an included .tpp") << QByteArray("#include \"queue.tpp\"\n") << "queue.tpp";
        QTest::newRow("an included .inc") << QByteArray("#include \"queue.inc\"\n") << "queue.inc";
        QTest::newRow("a .txt of constants")
            << QByteArray("inline int value() { return\n#include \"value.txt\"\n; }\n")
            << "value.txt";
        QTest::newRow("a file in a sub-folder")
            << QByteArray("#include \"impl/queue.ipp\"\n") << "impl/queue.ipp";
        QTest::newRow("a file included only under a macro")
            << QByteArray("#define PART(x) #x\n#if __cplusplus >= 201703L\n#include "
                          "PART(part.inl)\n#endif\n")
            << "part.inl";
    }

    void includedFiles()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, name);
        const QString cache = folder(QStringLiteral("cache"));
        const BuildSettings settings = low_settings(cache);
        const QByteArray main = "#include \"queue.h\"\n#include <cstdio>\n"
                                "int main() { std::printf(\"%d\\n\", value()); }\n";
        BuildResult built[2];
        for (int student = 0; student < 2; ++student) {
            const QByteArray own
                = name.endsWith(QLatin1String(".txt"))
                      ? QByteArray::number(student + 1)
                      : "inline int value() { return " + QByteArray::number(student + 1) + "; }\n";
            built[student]
                = build(settings, {{"main.cpp", main}, {"queue.h", header}, {name, own}});
            QVERIFY2(built[student].status == BuildResult::Status::Built,
                     built[student].log.c_str());
            QCOMPARE(built[student].from_cache, false);
            QCOMPARE(run(built[student]).output, std::to_string(student + 1) + "\n");
        }
        QVERIFY(built[0].hash != built[1].hash);
    }

    // What keeps the grader from building is never the student's failure.
    void graderFailure_data()
    {
        QTest::addColumn<QString>("compiler");
        QTest::addColumn<QString>("bwrap");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such compiler") << "/usr/bin/orvimet-no-compiler"
                                          << "bwrap"
                                          << "cannot run the compiler";
        QTest::newRow("a compiler the sandbox does not show")
            << "/opt/gcc/bin/g++"
            << "bwrap"
            << "not in the system folders the sandbox shows";
        QTest::newRow("no sandbox") << "g++"
                                    << "/nonexistent/bwrap"
                                    << "the sandbox did not start";
    }

    void graderFailure()
    {
        QFETCH(QString, compiler);
        QFETCH(QString, bwrap);
        QFETCH(QString, reason);
        BuildSettings settings = low_settings(folder(QStringLiteral("cache")));
        settings.compiler = compiler.toStdString();
        settings.sandbox.bwrap = bwrap.toStdString();
        const BuildResult result = build(settings, {{"queue.cpp", correct}});
        QVERIFY(result.status == BuildResult::Status::NotBuilt);
        QVERIFY2(QString::fromStdString(result.reason).contains(reason), result.reason.c_str());
    }

    // A source the grader could not read for want of descriptors says nothing of the student; a
    // link handed in for one does.
    void unreadSource_data()
    {
        QTest::addColumn<bool>("starved");
        QTest::addColumn<bool>("graderFailure");
        QTest::newRow("no descriptor left") << true << true;
        QTest::newRow("a link handed in") << false << false;
    }

    void unreadSource()
    {
        QFETCH(bool, starved);
        QFETCH(bool, graderFailure);
        std::vector<std::string> sources, headers;
        const QString root = student(starved ? Files{{"queue.cpp", correct}}
                                             : Files{{"queue.cpp.link", "/etc/hostname"}},
                                     sources, headers);
        std::string problem;
        bool grader_failure = !graderFailure;
        std::string hash;
        {
            std::optional<NoDescriptorLeft> none;
            if (starved)
                none.emplace();
            hash = source_hash(root.toStdString(), sources, headers, "g++ 12", {}, &problem,
                               &grader_failure);
        }
        QVERIFY(hash.empty());
        QCOMPARE(grader_failure, graderFailure);
        QVERIFY2(problem.find("queue.cpp") != std::string::npos, problem.c_str());
    }

    void cacheKeepsTheNewestWithinItsBound()
    {
        const QString cache = folder(QStringLiteral("cache"));
        BuildSettings settings = low_settings(cache);
        const BuildResult old = build(settings, {{"a.cpp", "int main() { return 1; }\n"}});
        const QString old_entry = cache + QLatin1Char('/') + QString::fromStdString(old.hash);
        const utimbuf long_ago{1000000000, 1000000000};
        QVERIFY(::utime(QFile::encodeName(old_entry).constData(), &long_ago) == 0);
        const qint64 entry_bytes = QFileInfo(old_entry + QStringLiteral("/program")).size();
        settings.cache_bytes = std::uint64_t(entry_bytes) * 3 / 2 + 8192;
        const BuildResult young = build(settings, {{"a.cpp", "int main() { return 2; }\n"}});
        QVERIFY(!QFileInfo::exists(old_entry));
        QVERIFY(QFileInfo::exists(cache + QLatin1Char('/') + QString::fromStdString(young.hash)));
    }

    void copiesBuiltAtOnceShareOneEntry()
    {
        const QString cache = folder(QStringLiteral("cache"));
        const BuildSettings settings = low_settings(cache);
        std::vector<std::string> roots, builds;
        std::vector<std::vector<std::string>> sources(4);
        for (auto &files : sources) {
            std::vector<std::string> headers;
            roots.push_back(student({{"queue.cpp", correct}}, files, headers).toStdString());
            builds.push_back(folder(QStringLiteral("build")).toStdString());
        }
        std::vector<BuildResult> results(4);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < 4; ++i)
            threads.emplace_back([&, i] {
                results[i] = build_program(settings, roots[i], sources[i], {}, builds[i]);
            });
        for (std::thread &thread : threads)
            thread.join();
        for (const BuildResult &result : results) {
            QVERIFY(result.status == BuildResult::Status::Built);
            QCOMPARE(result.hash, results.front().hash);
        }
        // One whole entry, and nothing half-written left beside it.
        QCOMPARE(QDir(cache).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QString::fromStdString(results.front().hash)});
    }

    // The identity is asked of the compiler once, and again whenever the compiler changed.
    void compilerIdentity_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("cached");
        QTest::addColumn<int>("runs");
        QTest::newRow("asked again") << "" << true << 1;
        QTest::newRow("asked again, no cache") << "" << false << 1;
        QTest::newRow("rewritten in place, same size and time") << "in place" << true << 2;
        QTest::newRow("rewritten in place, no cache") << "in place" << false << 2;
        QTest::newRow("replaced under its name") << "replaced" << true << 2;
        QTest::newRow("a link turned to another compiler") << "link" << true << 2;
    }

    void compilerIdentity()
    {
        QFETCH(QString, change);
        QFETCH(bool, cached);
        QFETCH(int, runs);
        const QString dir = folder(QStringLiteral("compiler"));
        const QString count = dir + QStringLiteral("/runs");
        const auto write = [&](const QString &path, char version) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\necho run >> '" + QFile::encodeName(count) + "'\necho 'fake c++ "
                       + QByteArray(1, version) + "'\n");
            file.close();
            ::chmod(QFile::encodeName(path).constData(), 0755);
        };
        const QString real = dir + QStringLiteral("/c++-1");
        write(real, '1');
        const QString compiler
            = change == QLatin1String("link") ? dir + QStringLiteral("/c++") : real;
        if (compiler != real)
            QVERIFY(QFile::link(real, compiler));
        const std::string cache
            = cached ? folder(QStringLiteral("cache")).toStdString() : std::string();
        QCOMPARE(compiler_identity(compiler.toStdString(), cache), std::string("fake c++ 1"));

        const QByteArray path = QFile::encodeName(compiler);
        struct stat before
        {
        };
        QVERIFY(::stat(path.constData(), &before) == 0);
        if (change == QLatin1String("in place")) {
            // Until the clock of the file system moves on, then with its old time of change.
            struct stat now = before;
            while (now.st_ctim.tv_sec == before.st_ctim.tv_sec
                   && now.st_ctim.tv_nsec == before.st_ctim.tv_nsec) {
                write(real, '2');
                QVERIFY(::stat(path.constData(), &now) == 0);
            }
            const timespec times[2] = {before.st_atim, before.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0);
        } else if (change == QLatin1String("replaced")) {
            write(compiler + QStringLiteral(".new"), '2');
            QVERIFY(::rename(QFile::encodeName(compiler + QStringLiteral(".new")).constData(),
                             path.constData())
                    == 0);
        } else if (change == QLatin1String("link")) {
            write(dir + QStringLiteral("/c++-2"), '2');
            QVERIFY(QFile::remove(compiler));
            QVERIFY(QFile::link(dir + QStringLiteral("/c++-2"), compiler));
        }
        const std::string again = runs == 1 ? "fake c++ 1" : "fake c++ 2";
        QCOMPARE(compiler_identity(compiler.toStdString(), cache), again);
        QFile counted(count);
        QVERIFY(counted.open(QIODevice::ReadOnly));
        QCOMPARE(counted.readAll().count("run"), runs);
    }

    void memoryCheck_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("finding");
        QTest::newRow("a leak") << QByteArray(
            "#include <cstdio>\nint main() { std::printf(\"%p\", new int[10]); }\n")
                                << "ERROR: LeakSanitizer: detected memory leaks";
        QTest::newRow("a read after delete")
            << QByteArray("int main() { int *p = new int[4]; delete[] p; return p[1]; }\n")
            << "ERROR: AddressSanitizer: heap-use-after-free";
        QTest::newRow("a clean program") << correct << "";
    }

    void memoryCheck()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, finding);
        const BuildResult built = build(low_settings(folder(QStringLiteral("cache"))),
                                        {{"queue.cpp", source}}, memcheck_flags);
        QVERIFY2(built.status == BuildResult::Status::Built, built.log.c_str());
        Limits limits;
        limits.memory_bytes = 0;
        const ChildRun ran = run(built, limits);
        QVERIFY(QString::fromStdString(sanitizer_finding(ran.output)).startsWith(finding));
        QCOMPARE(finding.isEmpty(), sanitizer_finding(ran.output).empty());
    }

    void evasion_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("flagged");
        QTest::newRow("an attribute")
            << QByteArray("int x;\n  __attribute__((no_sanitize(\"address\"))) void f();\n")
            << "queue.cpp:2: __attribute__((no_sanitize(\"address\"))) void f();";
        QTest::newRow("leak checks off") << QByteArray("void f() { __lsan_disable(); }\n")
                                         << "queue.cpp:1: void f() { __lsan_disable(); }";
        QTest::newRow("options built in")
            << QByteArray("extern \"C\" const char *__asan_default_options() { return "
                          "\"detect_leaks=0\"; }\n")
            << "queue.cpp:1: extern";
        QTest::newRow("a test for the sanitizer")
            << QByteArray("#if __has_feature(address_sanitizer)\n#endif\n")
            << "queue.cpp:1: #if __has_feature(address_sanitizer)";
        QTest::newRow("only in a comment") << QByteArray("int f(); // no_sanitize here\n") << "";
        QTest::newRow("an honest source") << correct << "";
    }

    void evasion()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, flagged);
        std::vector<std::string> sources, headers;
        student({{"queue.cpp", source}}, sources, headers);
        const QString found = QString::fromStdString(sanitizer_evasion(sources));
        QVERIFY2(found.startsWith(flagged) && found.isEmpty() == flagged.isEmpty(),
                 qPrintable(found));
    }

    void finding_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<QString>("finding");
        QTest::newRow("after a deadly signal")
            << QByteArray("1 2\nAddressSanitizer:DEADLYSIGNAL\n==12==ERROR: AddressSanitizer: "
                          "SEGV on unknown address 0x000000000000 (pc 0x1 T0)\n==12==The signal")
            << "ERROR: AddressSanitizer: SEGV on unknown address 0x000000000000 (pc 0x1 T0)";
        QTest::newRow("undefined behaviour without folders")
            << QByteArray("/tmp/s/u 1/queue.cpp:12:5: runtime error: signed integer overflow\n")
            << "queue.cpp:12:5: runtime error: signed integer overflow";
        QTest::newRow("a leak after output")
            << QByteArray("3\n\n=====\n==7==ERROR: LeakSanitizer: detected memory leaks\r\n\n"
                          "Direct leak of 40 byte(s)")
            << "ERROR: LeakSanitizer: detected memory leaks";
        QTest::newRow("an answer that only names an error")
            << QByteArray("ERROR: stack is empty\n") << "";
    }

    void finding()
    {
        QFETCH(QByteArray, report);
        QFETCH(QString, finding);
        QCOMPARE(QString::fromStdString(sanitizer_finding(report.toStdString())), finding);
    }
};

QTEST_GUILESS_MAIN(TestBuilding)
#include "tst_building.moc"
