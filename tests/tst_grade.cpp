// A class as a teacher receives it, graded from its sources: an archive in the course website's
// layout with every kind of hand-in and hostile entry, and a plain folder graded by the command.
#include "cli/commands.h"
#include "gradebook/gradebook.h"
#include "grading/classwork.h"
#include "judge/suitecases.h"
#include "results/resultsjson.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <set>

namespace {

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= static_cast<unsigned char>(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A zip written byte by byte, so that the test chooses what no tool would write: names in the
// Windows Chinese code page, "..", links, a bomb.
class Zip
{
public:
    void add(const QByteArray &name, const QByteArray &data, bool deflate = false,
             quint32 mode = 0100644, bool utf8 = true)
    {
        QByteArray stored = data;
        if (deflate) // qCompress: a length, a zlib header, raw deflate, a checksum
            stored = qCompress(data, 9).mid(6).chopped(4);
        const quint16 flags = utf8 ? 0x0800 : 0;
        const quint16 method = deflate ? 8 : 0;
        const quint32 offset = static_cast<quint32>(body.size());
        const quint32 crc = crc32(data);
        QByteArray common;
        put(common, flags, 2), put(common, method, 2), put(common, 0, 4), put(common, crc, 4);
        put(common, stored.size(), 4), put(common, data.size(), 4), put(common, name.size(), 2);
        put(common, 0, 2);
        put(body, 0x04034b50, 4), put(body, 20, 2);
        body += common + name + stored;
        put(directory, 0x02014b50, 4), put(directory, 0x0314, 2), put(directory, 20, 2);
        directory += common;
        put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 2);
        put(directory, mode << 16, 4), put(directory, offset, 4);
        directory += name;
        count += 1;
    }
    QByteArray bytes() const
    {
        QByteArray end;
        put(end, 0x06054b50, 4), put(end, 0, 4), put(end, count, 2), put(end, count, 2);
        put(end, directory.size(), 4), put(end, body.size(), 4), put(end, 0, 2);
        return body + directory + end;
    }

private:
    static void put(QByteArray &out, quint64 value, int size)
    {
        for (int i = 0; i < size; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    QByteArray body, directory;
    int count = 0;
};

QByteArray source(const char *name)
{
    QFile file(QStringLiteral(ORVIMET_SOURCE_DIR "/examples/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The sample queue program's files, `queue.cpp` replaced where given.
QList<QPair<QByteArray, QByteArray>> queue_sources(const QByteArray &queue_cpp
                                                   = source("queue.cpp"))
{
    return {{"queue_main.cpp", source("queue_main.cpp")},
            {"queue.cpp", queue_cpp},
            {"queue.h", source("queue.h")},
            {"exercise.h", source("exercise.h")},
            {"fault.h", source("fault.h")}};
}

const char *const course = "_assignsubmission_file_/";

Settings class_settings(const QString &reference)
{
    Settings settings;
    settings.grading.exercise = Exercise::Queue;
    settings.grading.reference_path = reference.toStdString();
    settings.limits.wall = std::chrono::milliseconds(1000);
    settings.jobs = 2;
    settings.seed = 7;
    settings.quiet = true;
    settings.build_cpu = 3;
    return settings;
}

QJsonObject student_named(const QJsonObject &results, const QString &name)
{
    for (const QJsonValue &s : results.value(QStringLiteral("students")).toArray())
        if (s.toObject().value(QStringLiteral("name")).toString() == name)
            return s.toObject();
    return {};
}

// What grades a folder of the bench in process, into "<folder>-results".
ClassSettings class_work(const QString &folder)
{
    const Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    ClassSettings work;
    static_cast<GradingSettings &>(work) = settings;
    work.exercise = work.program_name = "queue";
    work.grading = settings.grading;
    work.options = {suite_options.begin(), suite_options.end()};
    const QString root = QDir::currentPath() + "/";
    work.build.cache = (root + "cache").toStdString();
    work.intake.unpacked_bytes = 8 << 20;
    work.submissions = (root + folder).toStdString();
    QDir().mkpath(root + folder + "-results");
    QDir().mkpath(root + folder + "-scratch");
    work.results = (root + folder + "-results").toStdString();
    work.scratch = (root + folder + "-scratch/").toStdString();
    return work;
}

// What a kept program answers to `options` when a teacher runs it by hand in a folder of its own:
// the first line of the answer file it leaves there, else what it prints.
QString answer_of(const QString &program, const QString &options)
{
    QTemporaryDir folder;
    QProcess run;
    run.setWorkingDirectory(folder.path());
    run.start(program, options.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    if (!run.waitForFinished(30000))
        return QStringLiteral("(did not finish)");
    QFile file(folder.filePath(QStringLiteral("queue.txt")));
    if (file.open(QIODevice::ReadOnly))
        return QString::fromUtf8(file.readLine()).trimmed();
    return QString::fromUtf8(run.readAllStandardOutput()).trimmed();
}

QJsonObject json_file(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QJsonObject without_times(QJsonObject results)
{
    results.remove(QStringLiteral("date"));
    QJsonArray students = results.value(QStringLiteral("students")).toArray();
    for (QJsonValueRef student : students) {
        QJsonObject s = student.toObject();
        QJsonArray cases = s.value(QStringLiteral("cases")).toArray();
        for (QJsonValueRef c : cases) {
            QJsonObject o = c.toObject();
            o.remove(QStringLiteral("seconds"));
            c = o;
        }
        s.insert(QStringLiteral("cases"), cases);
        student = s;
    }
    results.insert(QStringLiteral("students"), students);
    return results;
}

} // namespace

class TestGrade : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void courseArchive_data();
    void courseArchive();
    void exactCopies();
    void plainFolderByTheCommand();
    void namesPrintedAsTheTableShowsThem();
    void recordsReadAsGraded();
    void answerLongerThanARecordKeeps();
    void shardsGradedApartMergeIntoOneRun();
    void memoryCheckedClass_data();
    void memoryCheckedClass();
    void whySaidInTheStudentsLanguage_data();
    void whySaidInTheStudentsLanguage();
    void programsKeptForTheTeacher_data();
    void programsKeptForTheTeacher();
    void programsOfHostileNamesStayInside();
    void regradedProgramReplacesTheKeptOne();
    void extendedListGradedAsTheTen();
    void programOfSeveralNamedByTheClassFile_data();
    void programOfSeveralNamedByTheClassFile();

private:
    Workbench bench;
    QJsonObject results, built;
    ClassOutcome outcome;
};

void TestGrade::initTestCase()
{
    qputenv("XDG_CACHE_HOME", bench.path(QStringLiteral("cache")).toUtf8());
    bench.write(QStringLiteral("secret.h"), "int teachers_secret = 1;\n");

    Zip zip;
    const auto student
        = [&](const QByteArray &folder, const QList<QPair<QByteArray, QByteArray>> &files) {
              for (const auto &file : files)
                  zip.add(folder + course + file.first, file.second, true);
          };
    student("张三_101", queue_sources());
    student("李四_102", queue_sources());
    student("赵六_104",
            queue_sources("#define ORVIMET_FAULT \"dequeue_from_back\"\n" + source("queue.cpp")));
    student("钱七_105", {{"queue.cpp", "int main( {\n"}});
    student("孙八_106",
            {{"queue.cpp", "template<int N> struct B { enum { v = B<N - 1>::v + "
                           "B<N - 2>::v }; };\nint main() { return B<100000>::v; }\n"}});
    student("周九_107", {{"queue.cpp", "#include \"" + bench.path("secret.h").toUtf8()
                                           + "\"\nint main() { return teachers_secret; }\n"}});
    QByteArray pe(256, '\0');
    pe[0] = 'M', pe[1] = 'Z', pe[0x3c] = char(0x80);
    pe.replace(0x80, 4, QByteArray("PE\0\0", 4));
    student("吴十_108", {{"queue.exe", pe}});
    zip.add(QByteArray("郑一_109") + course, {}, false, 040755);
    student("陈二_110",
            {{"queue.cpp", "int main() { for (volatile int i = 0;; i = i + 1) {} }\n"}});
    // 王五 in GBK, without the flag that marks a name as UTF-8.
    for (const auto &file : queue_sources())
        zip.add(QByteArray("\xCD\xF5\xCE\xE5_103") + course + file.first, file.second, true,
                0100644, false);
    Zip traversal, link, bomb;
    traversal.add("../../escaped.cpp", "int main() {}\n");
    link.add("queue.cpp", "/etc/passwd", false, 0120777);
    bomb.add("queue.cpp", QByteArray(16 << 20, ' '), true);
    student("冯三_111", {{"work.zip", traversal.bytes()}});
    student("褚四_112", {{"work.zip", link.bytes()}});
    student("卫五_113", {{"work.zip", bomb.bytes()}});
    bench.write(QStringLiteral("class.zip"), zip.bytes());

    ClassSettings work = class_work(QStringLiteral("course"));
    work.build.cache = bench.path(QStringLiteral("cache")).toStdString();
    work.submissions = bench.path(QStringLiteral("class.zip")).toStdString();
    QDir().mkpath(bench.path(QStringLiteral("results")));
    QDir().mkpath(bench.path(QStringLiteral("scratch")));
    work.results = bench.path(QStringLiteral("results")).toStdString();
    work.scratch = bench.path(QStringLiteral("scratch")).toStdString() + "/";
    outcome = grade_submissions(work, {}, {});
    QVERIFY2(outcome.error.empty(), outcome.error.c_str());
    QVERIFY(outcome.complete);
    QFile file(bench.path(QStringLiteral("results/results.json")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonParseError error;
    results = QJsonDocument::fromJson(file.readAll(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(!QFileInfo::exists(bench.path(QStringLiteral("escaped.cpp"))));
}

void TestGrade::courseArchive_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("correct"); // -1: some, not all
    QTest::addColumn<QString>("message");

    QTest::newRow("correct") << "张三"
                             << "graded" << 10 << "";
    QTest::newRow("GBK-named entries") << "王五"
                                       << "graded" << 10 << "";
    QTest::newRow("faulty") << "赵六"
                            << "graded" << -1 << "";
    QTest::newRow("not compiling") << "钱七"
                                   << "does not compile" << 0 << "does not compile: ";
    QTest::newRow("template bomb") << "孙八"
                                   << "does not compile" << 0 << "does not compile: ";
    QTest::newRow("includes a teacher's file") << "周九"
                                               << "does not compile" << 0 << "does not compile: ";
    QTest::newRow("Windows program")
        << "吴十"
        << "a Windows program" << 0 << "a Windows program: hand in the sources";
    QTest::newRow("empty folder") << "郑一"
                                  << "nothing handed in" << 0 << "nothing handed in";
    QTest::newRow("hung") << "陈二"
                          << "graded" << 0 << "";
    QTest::newRow("traversal entry") << "冯三"
                                     << "refused" << 0 << "work.zip: ";
    QTest::newRow("link entry") << "褚四"
                                << "refused" << 0 << "work.zip: ";
    QTest::newRow("zip bomb") << "卫五"
                              << "refused" << 0 << "work.zip: ";
}

void TestGrade::courseArchive()
{
    QFETCH(QString, name);
    QFETCH(QString, status);
    QFETCH(int, correct);
    QFETCH(QString, message);
    const QJsonObject s = student_named(results, name);
    QVERIFY2(!s.isEmpty(), qPrintable(name));
    QCOMPARE(s.value(QStringLiteral("status")).toString(), status);
    QVERIFY2(s.value(QStringLiteral("message")).toString().startsWith(message),
             qPrintable(s.value(QStringLiteral("message")).toString()));
    const int got = s.value(QStringLiteral("correct")).toInt();
    if (correct < 0)
        QVERIFY(got > 0 && got < 10);
    else
        QCOMPARE(got, correct);
    QCOMPARE(s.value(QStringLiteral("cases")).toArray().size(), status == "graded" ? 10 : 0);
    QVERIFY(!s.value(QStringLiteral("id")).toString().isEmpty());
}

void TestGrade::exactCopies()
{
    QCOMPARE(results.value(QStringLiteral("students")).toArray().size(), 13);
    QCOMPARE(
        student_named(results, QStringLiteral("张三")).value(QStringLiteral("copies")).toArray(),
        QJsonArray({QStringLiteral("李四_102_assignsubmission_file_"),
                    QStringLiteral("王五_103_assignsubmission_file_")}));
    // A hung program costs three time-outs, not ten.
    const QJsonObject hung = student_named(results, QStringLiteral("陈二"));
    QCOMPARE(hung.value(QStringLiteral("timeouts")).toInt(), 3);
    QCOMPARE(hung.value(QStringLiteral("not_run")).toInt(), 7);
    QCOMPARE(
        hung.value(QStringLiteral("cases")).toArray().last().toObject().value("note").toString(),
        QStringLiteral("not run: gave up after 3 time-outs"));
    QCOMPARE(results.value(QStringLiteral("totals")).toObject().value("refused").toInt(), 3);
}

void TestGrade::plainFolderByTheCommand()
{
    // A folder name with a blank; a handed-in Linux program without execute permission (archives
    // often lose it); a program for another machine, which cannot start.
    for (const char *folder : {"张 三", "李 四", "王 五"})
        QDir().mkpath(bench.path(QStringLiteral("plain/")) + QString::fromUtf8(folder));
    for (const auto &file : queue_sources())
        bench.write(QStringLiteral("plain/张 三/") + QString::fromUtf8(file.first), file.second);
    QVERIFY(QFile::copy(QStringLiteral(ORVIMET_EXAMPLES_DIR "/queue.exe"),
                        bench.path(QStringLiteral("plain/李 四/queue"))));
    QFile::setPermissions(bench.path(QStringLiteral("plain/李 四/queue")), QFile::ReadOwner);
    QByteArray elf(64, '\0');
    elf.replace(0, 4,
                QByteArray("\x7f"
                           "ELF"));
    bench.write(QStringLiteral("plain/王 五/queue"), elf);
    Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    settings.positional = {bench.path(QStringLiteral("plain")).toStdString()};
    settings.grade.out = bench.path(QStringLiteral("out")).toStdString();
    {
        CoutCapture table;
        QCOMPARE(grade_command(settings), some_wrong);
        const QString said = QString::fromStdString(table.text());
        QVERIFY2(said.contains("results: " + bench.path("out") + "/results.json\n")
                     && said.contains("\nseed: 7\n"),
                 qPrintable(said));
        // The grade sheets and pages stand beside the results.
        for (const char *name : {"grades.csv", "report.html", "feedback.zip"})
            QVERIFY2(bench.exists(QStringLiteral("out/") + name), name);
    }
    QFile file(bench.path(QStringLiteral("out/results.json")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject plain = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(student_named(plain, QStringLiteral("张 三")).value("correct").toInt(), 10);
    QCOMPARE(student_named(plain, QStringLiteral("李 四")).value("correct").toInt(), 10);
    const QJsonObject cannot = student_named(plain, QStringLiteral("王 五"));
    QCOMPARE(cannot.value("status").toString(), QStringLiteral("could not start"));
    QVERIFY(cannot.value("message").toString().startsWith("could not start: "));
    QCOMPARE(cannot.value("correct").toInt(), 0);
    // The results are never overwritten unless asked.
    try {
        grade_command(settings);
        QFAIL("an existing results folder was replaced");
    } catch (const Failure &failure) {
        QVERIFY(failure.message.find("already exists") != std::string::npos);
    }
    settings.grade.force = true;
    CoutCapture quiet;
    QCOMPARE(grade_command(settings), some_wrong);
}

void TestGrade::namesPrintedAsTheTableShowsThem()
{
    // A folder name that would set the terminal's title, in the lines of --compare and of
    // --worksheet's notes; the first grading does not compile, the second does.
    const QString name = QString::fromUtf8("\x1b]0;owned\x07"
                                           "eve_2")
                         + QLatin1String(course);
    for (const QString &student : {name, QString::fromUtf8("Somebody_1") + QLatin1String(course)}) {
        QDir().mkpath(bench.path(QStringLiteral("escapes/")) + student);
        bench.write(QStringLiteral("escapes/") + student + QStringLiteral("queue.cpp"),
                    "int main( {\n");
    }
    bench.write(QStringLiteral("worksheet.csv"),
                "Identifier,Full name,Grade,Maximum Grade,Last modified (grade)\n"
                "Participant 1,Somebody,,100,-\n");
    Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    settings.positional = {bench.path(QStringLiteral("escapes")).toStdString()};
    settings.grade.out = bench.path(QStringLiteral("escapes-1")).toStdString();
    {
        CoutCapture quiet;
        grade_command(settings);
    }
    for (const auto &file : queue_sources())
        bench.write(QStringLiteral("escapes/") + name + QString::fromUtf8(file.first), file.second);
    settings.grade.out = bench.path(QStringLiteral("escapes-2")).toStdString();
    settings.grade.compare = bench.path(QStringLiteral("escapes-1")).toStdString();
    settings.grade.worksheet = bench.path(QStringLiteral("worksheet.csv")).toStdString();
    CoutCapture said;
    grade_command(settings);
    const std::string text = said.text();
    QVERIFY2(text.find('\x1b') == std::string::npos && text.find('\x07') == std::string::npos,
             text.c_str());
    QCOMPARE(std::count(text.begin(), text.end(), '\n') > 3, true);
    for (const char *line : {"\n  \\x1B]0;owned\\x07eve (2): ", "has no row"})
        QVERIFY2(text.find(line) != std::string::npos, text.c_str());
}

void TestGrade::recordsReadAsGraded()
{
    ClassResults read;
    std::string error;
    QVERIFY2(
        read_results(bench.path(QStringLiteral("results/results.json")).toStdString(), read, error),
        error.c_str());
    QCOMPARE(read.students.size(), outcome.students.size());
    // The writer writes every field: a field the reader lost would be missing here.
    for (std::size_t i = 0; i < read.students.size(); ++i)
        QCOMPARE(student_text(read.students[i], false), student_text(outcome.students[i], false));
    QCOMPARE(read.case_count, 10);
    QCOMPARE(read.seed, std::uint64_t(7));
    QCOMPARE(read.limits.wall.count(), qint64(1000));
}

void TestGrade::memoryCheckedClass_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    QTest::newRow("use after free") << "甲" << true;
    QTest::newRow("clean program") << "乙" << false;
}

void TestGrade::memoryCheckedClass()
{
    QFETCH(QString, name);
    QFETCH(bool, found);
    static QJsonObject checked;
    if (checked.isEmpty()) {
        for (const char *folder : {"checked/甲", "checked/乙"})
            QDir().mkpath(bench.path(QString::fromUtf8(folder)));
        bench.write(QStringLiteral("checked/甲/queue.cpp"),
                    "int main() { int *p = new int(1); delete p; return *p - 1; }\n");
        for (const auto &file : queue_sources())
            bench.write(QStringLiteral("checked/乙/") + QString::fromUtf8(file.first), file.second);
        ClassSettings work = class_work(QStringLiteral("checked"));
        work.memcheck = true;
        work.options = {suite_options[0]};
        const ClassOutcome done = grade_submissions(work, {}, {});
        QVERIFY2(done.error.empty(), done.error.c_str());
        checked = json_file(bench.path(QStringLiteral("checked-results/results.json")));
    }
    const QJsonObject s = student_named(checked, name);
    const QJsonObject memcheck = s.value("memcheck").toObject();
    QCOMPARE(memcheck.value("findings").toInt() > 0, found);
    QCOMPARE(memcheck.value("first").toString().contains("heap-use-after-free"), found);
    QCOMPARE(s.value("cases").toArray().first().toObject().value("memcheck").toString().isEmpty(),
             !found);
}

void TestGrade::answerLongerThanARecordKeeps()
{
    QDir().mkpath(bench.path(QStringLiteral("long/张三")));
    QVERIFY(QFile::copy(QStringLiteral(ORVIMET_LONG_ANSWER),
                        bench.path(QStringLiteral("long/张三/queue"))));
    Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    settings.positional = {bench.path(QStringLiteral("long")).toStdString()};
    settings.grade.out = bench.path(QStringLiteral("long-out")).toStdString();
    {
        CoutCapture quiet;
        QCOMPARE(grade_command(settings), some_wrong);
    }
    const QJsonObject record
        = student_named(json_file(bench.path("long-out/results.json")), QStringLiteral("张三"));
    const QJsonObject first = record.value("cases").toArray().first().toObject();
    QCOMPARE(first.value("student_bytes").toInt(), 100001);
    QCOMPARE(first.value("student").toString().size(), 4096);
    // The pages tell the whole size beside the part they show.
    QVERIFY(bench.read(QStringLiteral("long-out/report.html"))
                .contains(QStringLiteral("（共 100001 字节）").toUtf8()));
}

void TestGrade::shardsGradedApartMergeIntoOneRun()
{
    const QStringList names = {"甲", "乙", "丙", "丁", "戊"};
    std::set<int> shards;
    for (const QString &name : names) {
        QDir().mkpath(bench.path("shards/" + name));
        QVERIFY(QFile::copy(QStringLiteral(ORVIMET_EXAMPLES_DIR "/queue.exe"),
                            bench.path("shards/" + name + "/queue")));
        shards.insert(shard_of(name.toStdString(), 2));
    }
    QCOMPARE(shards.size(), std::size_t(2)); // both parts hold somebody
    Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    settings.positional = {bench.path(QStringLiteral("shards")).toStdString()};
    CoutCapture quiet;
    for (const int part : {0, 1, 2}) {
        settings.grade.out = bench.path("part" + QString::number(part)).toStdString();
        settings.shard = std::max(part, 1);
        settings.shards = part == 0 ? 1 : 2;
        QCOMPARE(grade_command(settings), all_correct);
    }
    settings.merge_inputs = {bench.path("part1").toStdString(), bench.path("part2").toStdString()};
    settings.grade.out = bench.path(QStringLiteral("merged")).toStdString();
    QCOMPARE(merge_command(settings), all_correct);
    // One run and the merged parts differ only in their dates and the times of the runs.
    QCOMPARE(without_times(json_file(bench.path("merged/results.json"))),
             without_times(json_file(bench.path("part0/results.json"))));
    // The parts' programs come along: each record names one that is there.
    for (const QJsonValue &s : json_file(bench.path("merged/results.json"))["students"].toArray()) {
        const QString program = s["program"].toString();
        QVERIFY(!program.isEmpty() && QFileInfo(bench.path("merged/") + program).isExecutable());
    }
}

void TestGrade::programOfSeveralNamedByTheClassFile_data()
{
    QTest::addColumn<QByteArray>("named"); // the class file's [build.sources]
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("correct");
    QTest::addColumn<QString>("message");
    QTest::newRow("none named") << QByteArray() << "several programs" << 0
                                << "2 files define main: queue_main.cpp, queue_v2.cpp";
    QTest::newRow("named by the folder")
        << QByteArray("\"张三_2021001_assignsubmission_file_\" = \"queue_v2.cpp\"") << "graded"
        << 10 << "";
    QTest::newRow("named by the id")
        << QByteArray("\"2021001\" = [\"queue_v2.cpp\"]") << "graded" << 10 << "";
    QTest::newRow("another student named") << QByteArray("\"2021002\" = \"queue_v2.cpp\"")
                                           << "several programs" << 0 << "2 files define main";
    QTest::newRow("a file not handed in")
        << QByteArray("\"2021001\" = \"queue_v3.cpp\"") << "not graded" << 0
        << "orvimet.toml:5 names queue_v3.cpp to build, which is not one of the sources";
}

void TestGrade::programOfSeveralNamedByTheClassFile()
{
    QFETCH(QByteArray, named);
    QFETCH(QString, status);
    QFETCH(int, correct);
    QFETCH(QString, message);
    static int row = 0;
    const QString root = QStringLiteral("several%1").arg(++row);
    // A late resubmission beside the first: the whole program again in one file.
    const QString folder = root + "/张三_2021001_assignsubmission_file_/";
    QDir().mkpath(bench.path(folder));
    for (const auto &file : queue_sources())
        bench.write(folder + QString::fromUtf8(file.first), file.second);
    bench.write(folder + "queue_v2.cpp", source("queue.cpp") + source("queue_main.cpp"));
    bench.write(root + "/orvimet.toml",
                "exercise = \"queue\"\n[limits]\nwall_seconds = 1\n[build.sources]\n" + named
                    + "\n");
    Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    settings.grade.config = bench.path(root + "/orvimet.toml").toStdString();
    apply_class_file(settings);
    settings.positional = {bench.path(root).toStdString()};
    settings.grade.out = bench.path(root + "-out").toStdString();
    {
        CoutCapture quiet;
        grade_command(settings);
    }
    const QJsonObject s
        = student_named(json_file(bench.path(root + "-out/results.json")), QStringLiteral("张三"));
    QCOMPARE(s.value("status").toString(), status);
    QCOMPARE(s.value("correct").toInt(), correct);
    QVERIFY2(s.value("message").toString().contains(message),
             qPrintable(s.value("message").toString()));
}

QTEST_GUILESS_MAIN(TestGrade)
#include "tst_grade.moc"

void TestGrade::whySaidInTheStudentsLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("student");
    QTest::addColumn<QString>("said"); // the page's line of why; English: results.json's message
    QTest::newRow("two mains, Chinese")
        << "zh_CN"
        << "甲"
        << "<p>2 个文件都定义了 main：queue_main.cpp、queue_v2.cpp</p>";
    QTest::newRow("empty, Chinese") << "zh_CN"
                                    << "乙"
                                    << "<p>未提交：queue.cpp 是空的</p>";
    QTest::newRow("does not compile, Chinese")
        << "zh_CN"
        << "丙"
        << "<p>编译失败：queue.cpp:1:2: error: #error no queue yet</p>";
    QTest::newRow("two mains, English") << "en"
                                        << "甲"
                                        << "<p>2 files define main: queue_main.cpp, "
                                           "queue_v2.cpp</p>";
    QTest::newRow("empty, English") << "en"
                                    << "乙"
                                    << "<p>nothing handed in: queue.cpp is empty</p>";
    QTest::newRow("does not compile, English")
        << "en"
        << "丙"
        << "<p>does not compile: queue.cpp:1:2: error: #error no queue yet</p>";
    QTest::newRow("a Windows program, Chinese") << "zh_CN"
                                                << "丁"
                                                << "<p>Windows 程序：请提交源代码</p>";
    QTest::newRow("nothing, Chinese") << "zh_CN"
                                      << "戊"
                                      << "<p>未提交</p>";
    QTest::newRow("an archive in an archive, Chinese")
        << "zh_CN"
        << "己"
        << "<p>未提交（压缩包里的压缩包不会被解压）</p>";
    QTest::newRow("a link in an archive, Chinese") << "zh_CN"
                                                   << "庚"
                                                   << "<p>work.zip：链接：queue.cpp</p>";
    QTest::newRow("a link in an archive, English") << "en"
                                                   << "庚"
                                                   << "<p>work.zip: a link: queue.cpp</p>";
    QTest::newRow("a Windows program, English") << "en"
                                                << "丁"
                                                << "<p>a Windows program: hand in the sources</p>";
    QTest::newRow("nothing, English") << "en"
                                      << "戊"
                                      << "<p>nothing handed in</p>";
    QTest::newRow("an archive in an archive, English")
        << "en"
        << "己"
        << "<p>nothing handed in (an archive inside an archive is not unpacked)</p>";
}

void TestGrade::whySaidInTheStudentsLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, student);
    QFETCH(QString, said);
    if (built.isEmpty()) {
        for (const char *folder : {"甲", "乙", "丙", "丁", "戊", "己", "庚"})
            QDir().mkpath(bench.path(QStringLiteral("said/")) + QString::fromUtf8(folder));
        auto sources = queue_sources();
        sources.append({"queue_v2.cpp", source("queue_main.cpp")});
        for (const auto &file : sources)
            bench.write(QStringLiteral("said/甲/") + QString::fromUtf8(file.first), file.second);
        bench.write(QStringLiteral("said/乙/queue.cpp"), "// the queue comes here\n\n");
        bench.write(QStringLiteral("said/丙/queue.cpp"), "#error no queue yet\n");
        QByteArray pe(256, '\0');
        pe[0] = 'M', pe[1] = 'Z', pe[0x3c] = char(0x80);
        pe.replace(0x80, 4, QByteArray("PE\0\0", 4));
        bench.write(QStringLiteral("said/丁/queue.exe"), pe);
        Zip inner, outer;
        inner.add("queue.cpp", source("queue.cpp"), true);
        outer.add("inner.zip", inner.bytes(), true);
        bench.write(QStringLiteral("said/己/work.zip"), outer.bytes());
        Zip link;
        link.add("queue.cpp", "/etc/passwd", false, 0120777);
        bench.write(QStringLiteral("said/庚/work.zip"), link.bytes());
        const ClassOutcome done = grade_submissions(class_work(QStringLiteral("said")), {}, {});
        QVERIFY2(done.error.empty(), done.error.c_str());
        built = json_file(bench.path(QStringLiteral("said-results/results.json")));
    }
    const QString folder = QStringLiteral("said-") + language;
    QDir().mkpath(bench.path(folder));
    bench.write(folder + QStringLiteral("/results.json"), QJsonDocument(built).toJson());
    GradebookOptions options;
    options.language = language.toStdString();
    std::string error;
    QVERIFY2(write_outputs(bench.path(folder).toStdString(), options, error) <= 1, error.c_str());
    QFile page(
        bench.path(folder + QStringLiteral("/feedback/") + student + QStringLiteral(".html")));
    QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
    const QString html = QString::fromUtf8(page.readAll());
    QVERIFY2(html.contains(said), qPrintable(html));
    if (language == QLatin1String("en"))
        QCOMPARE("<p>" + student_named(built, student).value("message").toString() + "</p>", said);
}

void TestGrade::programsKeptForTheTeacher_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("kept");
    QTest::newRow("built and right") << "张三" << true;
    QTest::newRow("built and wrong") << "赵六" << true;
    QTest::newRow("does not compile") << "钱七" << false;
    QTest::newRow("a Windows program") << "吴十" << false;
}

// The teacher tries a student's program from the results folder: it answers as it answered in
// the grading, and is the grader's copy, not the student's file.
void TestGrade::programsKeptForTheTeacher()
{
    QFETCH(QString, name);
    QFETCH(bool, kept);
    const QJsonObject s = student_named(results, name);
    const QString program = s.value(QStringLiteral("program")).toString();
    const QString folder = bench.path(QStringLiteral("results/programs/")) + name + "_"
                           + s.value(QStringLiteral("id")).toString();
    QCOMPARE(QFileInfo::exists(folder), kept);
    QCOMPARE(!program.isEmpty(), kept);
    if (!kept)
        return;
    const QFileInfo file(bench.path(QStringLiteral("results/")) + program);
    QCOMPARE(file.absoluteFilePath(), folder + QStringLiteral("/queue"));
    QVERIFY(file.isFile() && !file.isSymLink());
    QCOMPARE(file.permissions() & (QFile::ExeOwner | QFile::ExeOther | QFile::WriteOther),
             QFile::ExeOwner | QFile::ExeOther);
    for (const QJsonValue &c : s.value(QStringLiteral("cases")).toArray()) {
        const QJsonObject o = c.toObject();
        QCOMPARE(answer_of(file.absoluteFilePath(), o.value(QStringLiteral("options")).toString()),
                 o.value(QStringLiteral("student")).toString());
    }
}

void TestGrade::programsOfHostileNamesStayInside()
{
    // A name the pages make "Participant" meets a student of that name; one that is an option.
    const QStringList names = {QStringLiteral("-rf"), QStringLiteral("a\nb"), QStringLiteral("-"),
                               QStringLiteral("Participant"), QStringLiteral("\x1b[31m")};
    for (const QString &name : names) {
        QDir().mkpath(bench.path(QStringLiteral("hostile/")) + name);
        for (const auto &file : queue_sources())
            bench.write(QStringLiteral("hostile/") + name + "/" + QString::fromUtf8(file.first),
                        file.second);
    }
    const ClassOutcome done = grade_submissions(class_work(QStringLiteral("hostile")), {}, {});
    QVERIFY2(done.error.empty(), done.error.c_str());
    const QString root
        = QDir(bench.path(QStringLiteral("hostile-results/programs"))).canonicalPath();
    QSet<QString> kept;
    for (const StudentRecord &s : done.students) {
        QCOMPARE(s.status, Status::Graded);
        const QString program = QString::fromStdString(s.program);
        QVERIFY2(!program.isEmpty(), s.folder.c_str());
        const QFileInfo file(bench.path(QStringLiteral("hostile-results/")) + program);
        QVERIFY2(file.isFile(), qPrintable(program));
        QCOMPARE(QFileInfo(file.canonicalPath()).canonicalPath(), root);
        kept.insert(file.canonicalFilePath());
    }
    QCOMPARE(kept.size(), names.size());
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
             names.size());
    // The report tells the teacher where each is; the student's page does not.
    GradebookOptions options;
    options.language = "en";
    std::string error;
    QVERIFY2(
        write_outputs(bench.path(QStringLiteral("hostile-results")).toStdString(), options, error)
            <= 1,
        error.c_str());
    QFile report(bench.path(QStringLiteral("hostile-results/report.html")));
    QVERIFY(report.open(QIODevice::ReadOnly));
    QVERIFY(report.readAll().contains(
        "<p>The program, to try in the window or with explore: programs/rf/queue</p>"));
    QFile page(bench.path(QStringLiteral("hostile-results/feedback/rf.html")));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(!page.readAll().contains("programs/"));
}

// A student who hands in again is regraded alone: the program kept for the teacher is the new one,
// where the old one was.
void TestGrade::regradedProgramReplacesTheKeptOne()
{
    for (const char *name : {"amy", "ben"}) {
        QDir().mkpath(bench.path(QStringLiteral("again/")) + QLatin1String(name));
        for (const auto &file :
             queue_sources("#define ORVIMET_FAULT \"dequeue_from_back\"\n" + source("queue.cpp")))
            bench.write(QStringLiteral("again/") + QLatin1String(name) + "/"
                            + QString::fromUtf8(file.first),
                        file.second);
    }
    Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    settings.positional = {bench.path(QStringLiteral("again")).toStdString()};
    settings.grade.out = bench.path(QStringLiteral("again-out")).toStdString();
    {
        CoutCapture quiet;
        QCOMPARE(grade_command(settings), some_wrong);
    }
    const QString amy = bench.path(QStringLiteral("again-out/programs/amy/queue"));
    const QJsonObject first = student_named(json_file(bench.path("again-out/results.json")), "amy");
    int n = 0; // a case the faulty queue answers wrong
    while (first["cases"][n]["verdict"].toString() != QLatin1String("wrong"))
        ++n;
    const QString options = first["cases"][n]["options"].toString();
    const QString wrong = answer_of(amy, options);
    QCOMPARE(wrong, first["cases"][n]["student"].toString());

    bench.write(QStringLiteral("again/amy/queue.cpp"), source("queue.cpp"));
    settings.grade.only = "amy";
    {
        CoutCapture quiet;
        QCOMPARE(grade_command(settings), all_correct);
    }
    const QJsonObject now = student_named(json_file(bench.path("again-out/results.json")), "amy");
    QCOMPARE(now["program"].toString(), QStringLiteral("programs/amy/queue"));
    QVERIFY(answer_of(amy, options) != wrong);
    QCOMPARE(answer_of(amy, options), now["cases"][n]["student"].toString());
}

// The extended list finds faults; its grade weighs them as the ten strings do. A queue that
// removes from the back answers 4 of the ten and 104 of the other 112 strings: counted string by
// string 88.5 points, weighed by the groups shipped 44.81, against 40 on the ten.
void TestGrade::extendedListGradedAsTheTen()
{
    for (const char *name : {"back", "right"}) {
        QDir().mkpath(bench.path(QStringLiteral("extended/")) + QLatin1String(name));
        const QByteArray fault
            = name == QByteArray("back") ? "#define ORVIMET_FAULT \"dequeue_from_back\"\n" : "";
        for (const auto &file : queue_sources(fault + source("queue.cpp")))
            bench.write(QStringLiteral("extended/") + QLatin1String(name) + "/"
                            + QString::fromUtf8(file.first),
                        file.second);
    }
    Settings settings = class_settings(QStringLiteral(ORVIMET_RESOURCE_DIR "/b.exe"));
    settings.cases = "extended";
    settings.positional = {bench.path(QStringLiteral("extended")).toStdString()};
    settings.grade.out = bench.path(QStringLiteral("extended-out")).toStdString();
    {
        CoutCapture quiet;
        QCOMPARE(grade_command(settings), some_wrong);
    }
    const QJsonObject graded = json_file(bench.path("extended-out/results.json"));
    const QJsonObject back = student_named(graded, "back");
    QVERIFY(back["cases"].toArray().size() > 100);
    int right_of_ten = 0;
    for (int i = 0; i < 10; ++i)
        right_of_ten += back["cases"][i]["verdict"].toString() == QLatin1String("correct");
    QCOMPARE(right_of_ten, 4);
    QVERIFY(back["correct"].toInt() > 100);
    const double points = back["points"].toDouble();
    QVERIFY2(points >= 40 && points <= 50, qPrintable(QString::number(points)));
    QCOMPARE(student_named(graded, "right")["points"].toDouble(), 100.0);
}
