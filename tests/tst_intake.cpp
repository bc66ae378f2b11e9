// Taking in a class as a teacher receives it: archives and folders in the course website's
// layouts and plain ones, what each student handed in, and hostile archives, which must be
// refused without a byte landing outside the unpack folder. The archives are made here with
// libarchive, as Windows, Linux and the course website write them.
#include "intake/intake.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

namespace {

struct Item
{
    QByteArray name; // written as bytes, with no mark of their encoding, as Windows does
    QByteArray data;
    char type = 'f';  // f file, d folder, l symbolic link, h hard link, p fifo
    qint64 zeros = 0; // that many zero bytes after `data`
};
using Items = QVector<Item>;

Item file(const QByteArray &name, const QByteArray &data = "int main() { return 0; }\n")
{
    return {name, data, 'f', 0};
}
Item folder(const QByteArray &name)
{
    return {name, {}, 'd', 0};
}

QByteArray elf()
{
    return "\x7f" + QByteArray("ELF").leftJustified(127, '\0');
}
// A DOS header pointing at a PE signature, as every Windows program starts.
QByteArray pe()
{
    QByteArray b(0x100, '\0');
    b[0] = 'M', b[1] = 'Z', b[0x3c] = char(0x80);
    b.replace(0x80, 4, QByteArray("PE\0\0", 4));
    return b;
}
QByteArray noise(int bytes)
{
    QVector<quint32> words(bytes / 4);
    QRandomGenerator::global()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char *>(words.constData()), bytes);
}

la_ssize_t append(archive *, void *into, const void *buffer, size_t size)
{
    static_cast<QByteArray *>(into)->append(static_cast<const char *>(buffer), int(size));
    return la_ssize_t(size);
}

// "zip" or "tar.gz". Written in the "C" locale, so names go in as the bytes given.
QByteArray make_archive(const QString &format, const Items &items)
{
    const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = uselocale(c);
    archive *a = archive_write_new();
    if (format == "zip") {
        archive_write_set_format_zip(a);
    } else {
        archive_write_set_format_gnutar(a);
        archive_write_add_filter_gzip(a);
    }
    QByteArray bytes;
    archive_write_open(a, &bytes, nullptr, append, nullptr);
    for (const Item &item : items) {
        archive_entry *e = archive_entry_new();
        archive_entry_copy_pathname(e, item.name.constData());
        archive_entry_set_perm(e, 0644);
        const mode_t type = item.type == 'd'   ? AE_IFDIR
                            : item.type == 'l' ? AE_IFLNK
                            : item.type == 'p' ? AE_IFIFO
                                               : AE_IFREG;
        archive_entry_set_filetype(e, type);
        if (item.type == 'l')
            archive_entry_copy_symlink(e, item.data.constData());
        if (item.type == 'h')
            archive_entry_copy_hardlink(e, item.data.constData());
        if (item.type == 'f')
            archive_entry_set_size(e, item.data.size() + item.zeros);
        archive_write_header(a, e);
        if (item.type == 'f') {
            archive_write_data(a, item.data.constData(), size_t(item.data.size()));
            const QByteArray zeros(1 << 16, '\0');
            for (qint64 left = item.zeros; left > 0; left -= zeros.size())
                archive_write_data(a, zeros.constData(), size_t(qMin<qint64>(left, zeros.size())));
        }
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    uselocale(previous);
    freelocale(c);
    return bytes;
}

void write_file(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

void write_tree(const QString &root, const Items &items)
{
    QDir().mkpath(root);
    for (const Item &item : items) {
        const QString path = root + '/' + QString::fromUtf8(item.name);
        if (item.type == 'd')
            QDir().mkpath(path);
        else if (item.type == 'l')
            QVERIFY(QFile::link(QString::fromUtf8(item.data), path));
        else
            write_file(path, item.data);
    }
}

const char *kind_name(SubmissionKind kind)
{
    static const char *const names[]
        = {"Sources", "LinuxProgram", "WindowsProgram", "Nothing", "Refused"};
    return names[int(kind)];
}

QString base_name(const std::string &path)
{
    return QFileInfo(QString::fromStdString(path)).fileName();
}

// The small bounds every row is taken in with, so that bombs and floods stay quick to make.
IntakeLimits test_limits()
{
    IntakeLimits limits;
    limits.entries = 20;
    limits.unpacked_bytes = 4 << 20;
    limits.file_bytes = 2 << 20;
    limits.ratio = 50;
    limits.class_entries = 100;
    limits.class_unpacked_bytes = 8 << 20;
    return limits;
}

// The rows' hostile entries aim at the temporary folder itself: "@TMP@" stands for it.
Items aimed(Items items, const QByteArray &tmp)
{
    for (Item &item : items)
        item.name.replace("@TMP@", tmp);
    return items;
}

const QByteArray gbk_queue_cpp = "\xb6\xd3\xc1\xd0.cpp"; // 队列.cpp
const QByteArray gbk_wang_wu = "\xcd\xf5\xce\xe5";       // 王五
// 栈 in GBK is D5 BB, which is also valid UTF-8 (U+057B): read alone, a name cannot tell.
const QByteArray gbk_stack_cpp = "\xd5\xbb.cpp"; // 栈.cpp

} // namespace

Q_DECLARE_METATYPE(Item)
Q_DECLARE_METATYPE(Items)

class TestIntake : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir.reset(new QTemporaryDir);
        QVERIFY(QDir().mkdir(dir->filePath("unpack")));
    }

    // Nothing of any row lands beside the class and the unpack folder, nor leaves a file
    // named as the hostile entries name theirs.
    void cleanup()
    {
        const QStringList top = QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden);
        QCOMPARE(top.filter(QRegularExpression("^(?!class|unpack|\\.)")), QStringList());
        QDirIterator all(dir->path(), QDir::AllEntries | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
        while (all.hasNext())
            QVERIFY2(!all.next().contains("escaped"), qPrintable(all.filePath()));
    }

    // One student's folder, "张 三", in a plain class folder: its files as they are, or one
    // archive of them alone.
    void submission_data()
    {
        QTest::addColumn<QString>("as"); // "folder", "zip" or "tar.gz"
        QTest::addColumn<Items>("items");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("files"); // the sources, or the program, by name
        QTest::addColumn<QString>("message");

        const auto row = [](const char *name, const char *as, const Items &items, const char *kind,
                            const char *files, const char *message = "") {
            QTest::newRow(name) << QString(as) << items << QString(kind) << QString(files)
                                << QString(message);
        };
        const Items project{file("queue/queue/main.cpp"),
                            file("queue/queue/queue.h"),
                            file("queue/x64/Debug/queue.exe", pe()),
                            file("queue/queue.sln"),
                            file("build/CMakeFiles/CompilerIdCXX/CMakeCXXCompilerId.cpp"),
                            file("__MACOSX/queue/queue/._main.cpp")};
        row("a Visual Studio project, its build output left out", "folder", project, "Sources",
            "main.cpp");
        row("the same in the student's zip", "zip", project, "Sources", "main.cpp");
        row("sources in the student's tar.gz", "tar.gz",
            {file("a.cc"), file("b.CXX"), file("q.hpp")}, "Sources", "a.cc,b.CXX");
        row("a GBK-named source in the student's zip", "zip", {file("src/" + gbk_queue_cpp)},
            "Sources", "队列.cpp");
        row("a GBK name that is also valid UTF-8, in the student's zip", "zip",
            {file(gbk_stack_cpp)}, "Sources", "栈.cpp");
        row("the same beside a GBK name that is not", "zip",
            {file(gbk_stack_cpp), file("src/" + gbk_queue_cpp)}, "Sources", "队列.cpp,栈.cpp");
        row("UTF-8 names that read as GBK as well, beside Chinese in UTF-8", "zip",
            {file("café.cpp"), file("队列.cpp")}, "Sources", "café.cpp,队列.cpp");
        row("Cyrillic in UTF-8, which no Chinese in GBK reads as", "tar.gz", {file("стек.cpp")},
            "Sources", "стек.cpp");
        row("a Linux program named for the exercise", "folder", {file("queue", elf())},
            "LinuxProgram", "queue");
        row("a Linux program named queue.exe", "zip", {file("bin/Queue.exe", elf())},
            "LinuxProgram", "Queue.exe");
        row("a Linux program under another name", "folder", {file("a.out", elf())}, "Nothing", "",
            "nothing handed in");
        row("a Windows program", "folder", {file("queue.exe", pe())}, "WindowsProgram", "queue.exe",
            "a Windows program: hand in the sources");
        row("MZ without a PE signature", "folder", {file("queue.exe", "MZ" + QByteArray(99, 'x'))},
            "Nothing", "", "nothing handed in");
        row("an empty folder", "folder", {}, "Nothing", "", "nothing handed in");
        row("a link to sources elsewhere is not followed", "folder",
            {{"src", QFileInfo(__FILE__).absolutePath().toUtf8(), 'l', 0}}, "Nothing", "",
            "nothing handed in");
        row("a zip beside a report, no sources of its own", "folder",
            {file("report.pdf", "%PDF-1.4\n"), file("code.zip", make_archive("zip", project))},
            "Sources", "main.cpp");
        row("a zip beside sources is left packed", "folder",
            {file("main.cpp"), file("old.zip", make_archive("zip", {file("old.cpp")}))}, "Sources",
            "main.cpp");
        row("a zip in the student's zip is not unpacked", "zip",
            {file("inner.zip", make_archive("zip", {file("m.cpp")}))}, "Nothing", "",
            "not unpacked");

        // Links and fifos only a tar holds.
        const auto refused
            = [&](const char *name, const Items &items, const char *why, const char *as = "zip") {
                  row(name, as, items, "Refused", "", why);
              };
        refused("a path leaving its folder", {file("ok.cpp"), file("../escaped.cpp")},
                "leaves its folder");
        refused("a Windows path leaving its folder", {file("..\\..\\escaped.cpp")},
                "leaves its folder");
        refused("an absolute path", {file("@TMP@/escaped.cpp")}, "an absolute path");
        refused("a symbolic link", {{"escaped", "@TMP@", 'l', 0}, file("escaped/x.cpp")},
                "a link: escaped");
        refused("a hard link", {file("a.cpp"), {"escaped.cpp", "a.cpp", 'h', 0}}, "a link",
                "tar.gz");
        refused("a fifo", {{"escaped", {}, 'p', 0}}, "a device file or fifo", "tar.gz");
        refused("the same name twice", {file("main.cpp"), file("main.cpp", "#error\n")},
                "the same name twice: main.cpp");
        refused("a file where a folder was", {file("src"), file("src/main.cpp")},
                "the same name twice");
        Items flood;
        for (int i = 0; i < 21; ++i)
            flood << file("f" + QByteArray::number(i) + ".cpp");
        refused("more entries than the bound", flood, "more than 20 entries");
        refused("more bytes than the bound",
                {file("a.bin", noise(3 << 19)), file("b.bin", noise(3 << 19)),
                 file("c.bin", noise(3 << 19))},
                "unpacks to more than 4 MiB");
        refused("a file larger than the bound", {file("big.bin", noise(3 << 20))},
                "a file larger than 2 MiB: big.bin");
        refused("a zip bomb", {{"main.cpp", {}, 'f', qint64(30) << 20}}, "a zip bomb");
    }
    void submission()
    {
        QFETCH(QString, as);
        QFETCH(Items, items);
        QFETCH(QString, kind);
        QFETCH(QString, files);
        QFETCH(QString, message);
        const QString student = dir->filePath("class/张 三");
        items = aimed(items, dir->path().toUtf8());
        if (as == "folder")
            write_tree(student, items);
        else
            write_file(student + "/work." + as, make_archive(as, items));

        const Intake in = take_in(dir->filePath("class").toStdString(),
                                  dir->filePath("unpack").toStdString(), "queue", test_limits());
        QCOMPARE(QString::fromStdString(in.error), QString());
        QCOMPARE(in.students.size(), size_t(1));
        const Submission &s = in.students[0];
        QCOMPARE(QString::fromStdString(s.full_name), QString("张 三"));
        QCOMPARE(QString::fromStdString(s.id), QString());
        QCOMPARE(QString(kind_name(s.kind)), kind);
        QVERIFY2(QString::fromStdString(s.message).contains(message), s.message.c_str());
        QStringList names;
        for (const std::string &source : s.sources)
            names << base_name(source);
        if (!s.program.empty())
            names << base_name(s.program);
        QCOMPARE(names.join(','), files);
        if (s.kind == SubmissionKind::Refused) {
            QDirIterator left(dir->filePath("unpack"), QDir::Files | QDir::Hidden | QDir::System,
                              QDirIterator::Subdirectories);
            QVERIFY2(!left.hasNext(), "a refused archive is removed again");
        }
    }

    void classLayouts_data()
    {
        QTest::addColumn<QString>("as");
        QTest::addColumn<Items>("items");
        QTest::addColumn<QStringList>("students"); // "name|id|kind", as sorted
        QTest::addColumn<bool>("fromCourseWebsite");

        const QByteArray bomb = make_archive("zip", {{"main.cpp", {}, 'f', qint64(30) << 20}});
        QTest::newRow("the course website's download")
            << "zip"
            << Items{file("张三_101_assignsubmission_file_/queue.cpp"),
                     file("李四_102_assignsubmission_file/queue.exe", pe()),
                     folder("Participant_103_assignsubmission_file_/"),
                     file(gbk_wang_wu + "_104_assignsubmission_file_/" + gbk_queue_cpp),
                     file("赵六_105_assignsubmission_file_/src.zip", bomb)}
            << QStringList{"Participant|103|Nothing", "张三|101|Sources", "李四|102|WindowsProgram",
                           "王五|104|Sources", "赵六|105|Refused"}
            << true;
        QTest::newRow("the old download, flat")
            << "zip"
            << Items{file("张三_101_assignsubmission_file_queue.cpp"),
                     file("张三_101_assignsubmission_file_queue.h"),
                     file("李四_102_assignsubmission_file_src.zip",
                          make_archive("zip", {file("src/main.cpp")})),
                     file("王五_104_assignsubmission_file_queue", elf())}
            << QStringList{"张三|101|Sources", "李四|102|Sources", "王五|104|LinuxProgram"} << true;
        QTest::newRow("a plain class folder, zipped with its folder")
            << "tar.gz"
            << Items{file("class1/alice/queue.cpp"), folder("class1/bob/"),
                     file("class1/张 三/queue", elf())}
            << QStringList{"alice||Sources", "bob||Nothing", "张 三||LinuxProgram"} << false;
        QTest::newRow("a plain class folder beside other files and archives")
            << "folder"
            << Items{file("alice/main.cpp"),
                     file("grades.csv", "name,points\n"),
                     file("bob.tar.gz", make_archive("tar.gz", {file("bob/main.cpp")})),
                     file("张三_101_assignsubmission_file_/queue.cpp"),
                     folder("Mary Ann_Lee_5_assignsubmission_file_"),
                     folder("李四_x1_assignsubmission_file_"),
                     file("张三_101_assignsubmission_onlinetext_/onlinetext.html")}
            << QStringList{"Mary Ann_Lee|5|Nothing", "alice||Sources", "bob||Sources",
                           "张三|101|Sources", "李四_x1_assignsubmission_file_||Nothing"}
            << false;
    }
    void classLayouts()
    {
        QFETCH(QString, as);
        QFETCH(Items, items);
        QFETCH(QStringList, students);
        QFETCH(bool, fromCourseWebsite);
        QString submissions = dir->filePath("class");
        if (as == "folder")
            write_tree(submissions, items);
        else
            write_file(submissions += "." + as, make_archive(as, items));

        const Intake in = take_in(submissions.toStdString(), dir->filePath("unpack").toStdString(),
                                  "queue", test_limits());
        QCOMPARE(QString::fromStdString(in.error), QString());
        QStringList got;
        for (const Submission &s : in.students)
            got << QString::fromStdString(s.full_name + "|" + s.id + "|") + kind_name(s.kind);
        QCOMPARE(got, students);
        QCOMPARE(in.from_course_website, fromCourseWebsite);
    }

    // One student's entries in the class's archive break a bound of a student's own: that
    // student is refused, or the one entry skipped with a note, and the other is taken in.
    void oneStudentsShare_data()
    {
        QTest::addColumn<Items>("items"); // 李四's, besides queue.cpp
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("a compressible log")
            << Items{{"log.txt", {}, 'f', qint64(3) << 19}} << "Refused"
            << "in the class's archive, this student's files unpack to more than 50 times";
        QTest::newRow("more bytes than a student's bound")
            << Items{file("a.bin", noise(3 << 19)), file("b.bin", noise(3 << 19)),
                     file("c.bin", noise(3 << 19))}
            << "Refused"
            << "in the class's archive, this student's files unpack to more than 4 MiB";
        QTest::newRow("a name of 90 Chinese characters")
            << Items{file(QString(90, QChar(0x6C49)).toUtf8() + ".txt", "x")} << "Sources"
            << "skipped: a name too long: 李四_102_assignsubmission_file_/汉汉";
        QTest::newRow("a file over the bound")
            << Items{file("big.bin", noise(3 << 20))} << "Sources"
            << "skipped: a file larger than 2 MiB: 李四_102_assignsubmission_file_/big.bin";
        QTest::newRow("a link") << Items{{"passwd", "/etc/passwd", 'l', 0}} << "Sources"
                                << "skipped: a link: ";
    }
    void oneStudentsShare()
    {
        QFETCH(Items, items);
        QFETCH(QString, kind);
        QFETCH(QString, message);
        const QByteArray other = "李四_102_assignsubmission_file_/";
        Items all{file("张三_101_assignsubmission_file_/queue.cpp"), file(other + "queue.cpp")};
        for (Item item : items) {
            item.name.prepend(other);
            all << item;
        }
        write_file(dir->filePath("class.zip"), make_archive("zip", all));
        const Intake in = take_in(dir->filePath("class.zip").toStdString(),
                                  dir->filePath("unpack").toStdString(), "queue", test_limits());
        QCOMPARE(QString::fromStdString(in.error), QString());
        QCOMPARE(in.students.size(), std::size_t(2));
        const Submission &li = in.students[1], &zhang = in.students[0];
        QCOMPARE(QString::fromStdString(zhang.full_name + " " + kind_name(zhang.kind)),
                 QString("张三 Sources"));
        QCOMPARE(QString(kind_name(li.kind)), kind);
        QVERIFY2(QString::fromStdString(li.message).startsWith(message), li.message.c_str());
        // The note's kind and values say what the message says, for the pages' languages.
        if (li.kind == SubmissionKind::Sources) {
            QCOMPARE(li.skipped.size(), std::size_t(1));
            QCOMPARE("skipped: " + refusal_text(li.skipped[0].first, li.skipped[0].second),
                     li.message);
        }
        // Cut, a name keeps whole characters.
        QCOMPARE(QString::fromUtf8(li.message.c_str()).toStdString(), li.message);
    }

    // The class's own archive broken: the class's error, and no student taken in.
    void hostileClassArchive_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray student = "张三_101_assignsubmission_file_/";
        QTest::newRow("a path leaving its folder")
            << make_archive("zip", {file(student + "q.cpp"), file("../../escaped.cpp")})
            << "leaves its folder";
        Items many;
        for (int i = 0; i < 6; ++i)
            many << file(QByteArray::number(i) + "_10" + QByteArray::number(i)
                             + "_assignsubmission_file_/n.bin",
                         noise(3 << 19));
        QTest::newRow("more bytes than the class's bound")
            << make_archive("zip", many) << "unpacks to more than 8 MiB";
        Items entries;
        for (int i = 0; i < 101; ++i)
            entries << file(student + QByteArray::number(i) + ".cpp");
        QTest::newRow("more entries than the class's bound")
            << make_archive("zip", entries) << "more than 100 entries";
        QTest::newRow("not an archive") << QByteArray("PK but no zip") << "cannot be read";
        QTest::newRow("no student in it")
            << make_archive("zip", {file("readme.txt", "hello")}) << "no student's folder";
    }
    void hostileClassArchive()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        write_file(dir->filePath("class.zip"), bytes);
        const Intake in = take_in(dir->filePath("class.zip").toStdString(),
                                  dir->filePath("unpack").toStdString(), "queue", test_limits());
        QVERIFY2(QString::fromStdString(in.error).contains(error), in.error.c_str());
        QVERIFY(in.students.empty());
    }

private:
    QScopedPointer<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestIntake)
#include "tst_intake.moc"
