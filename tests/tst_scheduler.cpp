// The part of a class a scheduler's task grades, read from the environments Slurm job arrays and
// Kubernetes Indexed Jobs give it: a wrong part grades some students twice and others never.
#include "cli/options.h"
#include "cli/scheduler.h"

#include <QtTest>

namespace {

Environment environment_of(const QStringList &variables)
{
    Environment environment;
    for (const QString &variable : variables) {
        const auto equals = variable.indexOf(QLatin1Char('='));
        environment[variable.left(equals).toStdString()] = variable.mid(equals + 1).toStdString();
    }
    return environment;
}

} // namespace

class TestScheduler : public QObject
{
    Q_OBJECT

private slots:
    void place_data();
    void place();
    void refusal_data();
    void refusal();
    void commandLine();
    void readmeShowsTheTestedScript();
};

void TestScheduler::place_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");

    const QStringList array_1_4{"SLURM_ARRAY_TASK_MIN=1", "SLURM_ARRAY_TASK_COUNT=4",
                                "SLURM_JOB_ID=77"};
    QTest::newRow("slurm array 1-4, last task")
        << "auto" << (array_1_4 + QStringList{"SLURM_ARRAY_TASK_ID=4"}) << 4 << 4;
    QTest::newRow("slurm array counted from 0")
        << "auto"
        << QStringList{"SLURM_ARRAY_TASK_ID=0", "SLURM_ARRAY_TASK_MIN=0",
                       "SLURM_ARRAY_TASK_COUNT=8"}
        << 1 << 8;
    QTest::newRow("slurm array 10-16:2")
        << "auto"
        << QStringList{"SLURM_ARRAY_TASK_ID=14", "SLURM_ARRAY_TASK_MIN=10",
                       "SLURM_ARRAY_TASK_STEP=2", "SLURM_ARRAY_TASK_COUNT=4"}
        << 3 << 4;
    QTest::newRow("slurm array with the same count given")
        << "auto/4" << (array_1_4 + QStringList{"SLURM_ARRAY_TASK_ID=2"}) << 2 << 4;
    QTest::newRow("kubernetes first pod")
        << "auto/3" << QStringList{"JOB_COMPLETION_INDEX=0"} << 1 << 3;
    QTest::newRow("kubernetes last pod")
        << "auto/3" << QStringList{"JOB_COMPLETION_INDEX=2"} << 3 << 3;
    QTest::newRow("slurm task running a pod's image")
        << "auto" << (array_1_4 + QStringList{"SLURM_ARRAY_TASK_ID=3", "JOB_COMPLETION_INDEX=0"})
        << 3 << 4;
}

void TestScheduler::place()
{
    QFETCH(QString, request);
    QFETCH(QStringList, environment);
    QFETCH(int, index);
    QFETCH(int, count);
    try {
        const ShardPlace place
            = scheduler_shard(request.toStdString(), environment_of(environment));
        QCOMPARE(place.index, index);
        QCOMPARE(place.count, count);
    } catch (const Failure &failure) {
        QFAIL(failure.message.c_str());
    }
}

void TestScheduler::refusal_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("message");

    const QStringList array_1_4{"SLURM_ARRAY_TASK_MIN=1", "SLURM_ARRAY_TASK_COUNT=4"};
    QTest::newRow("no scheduler") << "auto" << QStringList{"HOME=/root"}
                                  << "cannot take the shard from a scheduler: neither";
    QTest::newRow("slurm job that is no array")
        << "auto" << QStringList{"SLURM_JOB_ID=77"} << "cannot take the shard from Slurm: job 77";
    QTest::newRow("slurm array without its first task")
        << "auto" << QStringList{"SLURM_ARRAY_TASK_ID=3", "SLURM_ARRAY_TASK_COUNT=4"}
        << "cannot take the shard from the Slurm job array: SLURM_ARRAY_TASK_MIN is not set";
    QTest::newRow("slurm array given as a list")
        << "auto"
        << QStringList{"SLURM_ARRAY_TASK_ID=9", "SLURM_ARRAY_TASK_MIN=1",
                       "SLURM_ARRAY_TASK_COUNT=3"}
        << "cannot take the shard from the Slurm job array: task 9 is not one of 3";
    QTest::newRow("slurm task id not a number")
        << "auto" << (array_1_4 + QStringList{"SLURM_ARRAY_TASK_ID=-1"})
        << "cannot take the shard from the Slurm job array: SLURM_ARRAY_TASK_ID is '-1'";
    QTest::newRow("slurm array of another count")
        << "auto/3" << (array_1_4 + QStringList{"SLURM_ARRAY_TASK_ID=1"})
        << "the shard count 3 is not the Slurm job array's 4";
    QTest::newRow("kubernetes without a count")
        << "auto" << QStringList{"JOB_COMPLETION_INDEX=0"}
        << "cannot take the shard from the Kubernetes Indexed Job: it does not tell";
    QTest::newRow("kubernetes index beyond the count")
        << "auto/3" << QStringList{"JOB_COMPLETION_INDEX=3"}
        << "the Kubernetes completion index 3 is not below the shard count 3";
    QTest::newRow("no parts") << "auto/0" << QStringList{"JOB_COMPLETION_INDEX=0"}
                              << "invalid shard 'auto/0'";
}

void TestScheduler::refusal()
{
    QFETCH(QString, request);
    QFETCH(QStringList, environment);
    QFETCH(QString, message);
    try {
        const ShardPlace place
            = scheduler_shard(request.toStdString(), environment_of(environment));
        QFAIL(qPrintable(QStringLiteral("took shard %1/%2").arg(place.index).arg(place.count)));
    } catch (const Failure &failure) {
        const QString said = QString::fromStdString(failure.message);
        QVERIFY2(said.startsWith(message), qPrintable(said));
    }
}

// "auto" is left for the scheduler, not read as K/N, and init's --slurm takes a count of parts.
void TestScheduler::commandLine()
{
    const Invocation grade = parse_command_line({"grade", "-e", "queue", "--shard", "auto/3", "a"});
    QCOMPARE(QString::fromStdString(grade.settings.grade.scheduler_shard),
             QStringLiteral("auto/3"));
    const Invocation init = parse_command_line({"init", "--slurm", "4", "grade.sbatch"});
    QCOMPARE(init.settings.slurm_shards, 4);
    bool refused = false;
    try {
        parse_command_line({"init", "--slurm", "0"});
    } catch (const Failure &) {
        refused = true;
    }
    QVERIFY(refused);
}

// The README's Slurm example is what the Slurm test submits, not a copy that can drift from it.
void TestScheduler::readmeShowsTheTestedScript()
{
    QFile readme(QStringLiteral(ORVIMET_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QByteArray text = readme.readAll();
    const QByteArray marker = "<!-- The job script of orvimet-cli init --slurm 4";
    const auto start = text.indexOf("```sh\n", text.indexOf(marker));
    QVERIFY(text.contains(marker) && start >= 0);
    const auto end = text.indexOf("```\n", start + 6);
    QCOMPARE(text.mid(start + 6, end - start - 6).toStdString(), slurm_job_script(4));
}

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
