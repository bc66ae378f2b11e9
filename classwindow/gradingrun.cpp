#include "classwindow/gradingrun.h"

#include <QFileInfo>
#include <QTimer>

GradingRun::GradingRun(QObject *parent)
    : QObject(parent)
    , process_(new QProcess(this))
    , timer_(new QTimer(this))
{
    process_->setProcessChannelMode(QProcess::MergedChannels);
    // The file is renamed into place, which a file watcher loses track of; a look at its time
    // and size four times a second costs nothing and sees every rewrite.
    timer_->setInterval(250);
    connect(timer_, &QTimer::timeout, this, &GradingRun::poll);
    connect(process_, &QProcess::readyRead, this,
            [this] { output_ += QString::fromUtf8(process_->readAll()); });
    connect(process_, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this](int code, QProcess::ExitStatus status) {
                timer_->stop();
                output_ += QString::fromUtf8(process_->readAll());
                poll();
                emit finished(status == QProcess::NormalExit ? code : -1, cancelled_);
            });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        timer_->stop();
        output_ += process_->errorString();
        emit finished(-1, false);
    });
}

GradingRun::~GradingRun()
{
    // A window closed mid-grading interrupts the child and waits for it to write what is done.
    if (running()) {
        process_->terminate();
        process_->waitForFinished(30000);
    }
}

bool GradingRun::start(const QString &program, const QStringList &arguments,
                       const QString &results_json)
{
    if (running())
        return false;
    results_ = results_json;
    const QFileInfo info(results_);
    seen_ = info.exists() ? info.lastModified() : QDateTime();
    seen_size_ = info.exists() ? info.size() : -1;
    cancelled_ = false;
    output_.clear();
    timer_->start();
    process_->start(program, arguments);
    return true;
}

void GradingRun::cancel()
{
    if (!running())
        return;
    cancelled_ = true;
    process_->terminate();
}

bool GradingRun::running() const
{
    return process_->state() != QProcess::NotRunning;
}

void GradingRun::poll()
{
    const QFileInfo info(results_);
    if (!info.exists())
        return;
    const QDateTime modified = info.lastModified();
    if (modified == seen_ && info.size() == seen_size_)
        return;
    seen_ = modified;
    seen_size_ = info.size();
    emit results_changed();
}
