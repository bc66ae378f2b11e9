#pragma once

// A grading run from the window: a child `orvimet-cli grade ...`, followed through the
// results.json it rewrites about once a second.
//
// A child rather than worker threads in this process: the console grader already owns every part
// of a grading that must not go wrong (signals end it cleanly with results.json marked
// incomplete, sandboxes and scratch folders are removed, builds run under their limits), and a
// window that only watches a file can neither stall the grading nor be stalled by it. Cancelling
// is the console's own interruption (SIGTERM, as Ctrl+C), which keeps every finished record.
// The progress is read from results.json, which the child rewrites as students finish: its
// status line is drawn only on a terminal, and the file already says how many are done.

#include <QDateTime>
#include <QObject>
#include <QProcess>
#include <QStringList>

class QTimer;

class GradingRun : public QObject
{
    Q_OBJECT

public:
    explicit GradingRun(QObject *parent = nullptr);
    ~GradingRun() override;

    // Starts `program` with `arguments`, following `results_json`. False when one is running.
    bool start(const QString &program, const QStringList &arguments, const QString &results_json);
    void cancel();
    bool running() const;
    bool cancelled() const { return cancelled_; }
    // What the child printed, standard output and error together.
    QString output() const { return output_; }

signals:
    // results.json was rewritten (or appeared).
    void results_changed();
    void finished(int exit_code, bool cancelled);

private:
    void poll();

    QProcess *process_;
    QTimer *timer_;
    QString results_;
    QDateTime seen_;
    qint64 seen_size_ = -1;
    bool cancelled_ = false;
    QString output_;
};

// How far a grading is, from a results.json being written: students with a record, and the class.
struct GradingProgress
{
    int done = 0, total = 0;
    QString student; // the last one with a record
    bool complete = false;
};
