#pragma once

// Shared by the tests that run child programs: a temporary working directory, copies of the
// fixture program under the names the grader expects, capture of the diagnostic lines. The
// window's own helpers are in windowsupport.h.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <iostream>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

// Collects what goes to std::cout while it lives.
class CoutCapture
{
public:
    CoutCapture()
        : saved(std::cout.rdbuf(buffer.rdbuf()))
    {}
    ~CoutCapture() { std::cout.rdbuf(saved); }
    std::string text() const { return buffer.str(); }

private:
    std::ostringstream buffer;
    std::streambuf *saved;
};

// A fresh temporary directory made the working directory, as the grader's users have one.
class Workbench
{
public:
    Workbench()
        : previous(QDir::currentPath())
    {
        QVERIFY(dir.isValid());
        QVERIFY(QDir::setCurrent(dir.path()));
    }
    ~Workbench() { QDir::setCurrent(previous); }

    QString path(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? dir.path() : dir.filePath(relative);
    }
    // The absolute path of `relative` with a trailing "/" when it names a directory.
    std::string dir_s(const QString &relative = QString()) const
    {
        return (path(relative) + QLatin1Char('/')).toStdString();
    }

    // Copies the fixture program to `relative` (directories are created) with the actions of
    // `script` (one a line; none: it acts on its arguments).
    void program(const QString &relative, const QByteArray &script = QByteArray()) const
    {
        const QString target = path(relative);
        QDir().mkpath(QFileInfo(target).path());
        QFile::remove(target);
        QVERIFY(QFile::copy(QStringLiteral(ORVIMET_FIXTURE), target));
        if (!script.isNull())
            write(relative + QStringLiteral(".do"), script);
    }

    // Links the real reference programs in as ./resource/.
    void real_references() const
    {
        QVERIFY(
            QFile::link(QStringLiteral(ORVIMET_RESOURCE_DIR), path(QStringLiteral("resource"))));
    }

    void write(const QString &relative, const QByteArray &content) const
    {
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray read(const QString &relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool exists(const QString &relative) const { return QFileInfo::exists(path(relative)); }

private:
    QTemporaryDir dir;
    QString previous;
};

// While it lives, the process can open no descriptor more: every call that would gets EMFILE.
class NoDescriptorLeft
{
public:
    NoDescriptorLeft()
    {
        ::getrlimit(RLIMIT_NOFILE, &saved);
        const int lowest_free = ::dup(0);
        ::close(lowest_free);
        const rlimit none{static_cast<rlim_t>(lowest_free), saved.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &none);
    }
    ~NoDescriptorLeft() { ::setrlimit(RLIMIT_NOFILE, &saved); }
    NoDescriptorLeft(const NoDescriptorLeft &) = delete;
    NoDescriptorLeft &operator=(const NoDescriptorLeft &) = delete;

private:
    rlimit saved{};
};

inline QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

// How many processes run the program file `path` (zombies have no program any more).
inline int processes_running(const QString &path)
{
    const QString program = QFileInfo(path).canonicalFilePath();
    int count = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        count += QFile::symLinkTarget("/proc/" + pid + "/exe") == program;
    return count;
}

// Starts a window program headless and returns once its window has been built, with what it
// printed meanwhile: Qt reports each connection by name while the form is set up, the help
// button's last, so the log then holds "on_help_clicked". The environment already set on
// `program`, else the test's own, is handed on.
inline QByteArray start_window_program(QProcess &program, const QString &path,
                                       const QStringList &arguments = {})
{
    QProcessEnvironment environment = program.processEnvironment();
    if (environment.isEmpty())
        environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("qt.core.qmetaobject.connectslotsbyname.debug=true"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(path, arguments);
    if (!program.waitForStarted())
        return program.errorString().toUtf8();
    QByteArray log;
    while (!log.contains("on_help_clicked") && program.waitForReadyRead())
        log += program.readAll();
    return log;
}
