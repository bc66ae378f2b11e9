// The grade command's time left while students are built or graded side by side, some of them
// far slower than the rest: the estimate must neither grow while one program runs into its
// time-out nor hide which student the class waits for.
#include "cli/progress.h"

#include <QtTest>

namespace {

using Jobs = QVector<ProgressJob>;

ProgressJob done(double started, double finished)
{
    return {"done", started, finished};
}
ProgressJob running(const char *student, double started)
{
    return {student, started, -1};
}

} // namespace

Q_DECLARE_METATYPE(Jobs)

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void timeLeft_data()
    {
        QTest::addColumn<Jobs>("jobs");
        QTest::addColumn<int>("notStarted");
        QTest::addColumn<int>("workers");
        QTest::addColumn<double>("now");
        QTest::addColumn<bool>("known");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("waitingFor");
        QTest::addColumn<double>("waited");

        QTest::newRow("nobody done yet: nothing to judge by")
            << Jobs{running("a", 0)} << 5 << 1 << 30.0 << false << 0.0 << "" << 0.0;
        QTest::newRow("one worker: the rest whole, the one in hand its remainder")
            << Jobs{done(0, 2), done(2, 4), done(4, 6), running("d", 6)} << 5 << 1 << 6.5 << true
            << 11.5 << "" << 0.0;
        QTest::newRow("two workers share the rest")
            << Jobs{done(0, 2), done(0, 2), done(2, 4), done(2, 4)} << 4 << 2 << 4.0 << true << 4.0
            << "" << 0.0;
        QTest::newRow("a slow student done does not move the typical time")
            << Jobs{done(0, 1), done(1, 2), done(2, 3), done(3, 23)} << 2 << 1 << 23.0 << true
            << 2.0 << "" << 0.0;
        QTest::newRow("a run a little past the typical time is not waited for")
            << Jobs{done(0, 2), done(2, 4), running("c", 4)} << 0 << 1 << 9.0 << true << 0.0 << ""
            << 0.0;
        QTest::newRow("one runs into its time-out: the rest go on the other worker")
            << Jobs{done(0, 1), done(0, 1), done(1, 2),         done(1, 2),
                    done(2, 3), done(2, 3), running("hung", 3), running("e", 17.8)}
            << 3 << 2 << 18.0 << true << 3.8 << "hung" << 15.0;
        // The same class a little later and much later: the estimate holds.
        const Jobs hung{done(0, 1), done(0, 1), done(1, 2), done(1, 2), running("hung", 2)};
        QTest::newRow("the rest without the hung one")
            << hung << 3 << 2 << 10.0 << true << 3.0 << "hung" << 8.0;
        QTest::newRow("the same when it has run on")
            << hung << 3 << 2 << 60.0 << true << 3.0 << "hung" << 58.0;
        QTest::newRow("only the hung one is left: it is named, no time is made up")
            << Jobs{done(0, 1), done(1, 2), done(2, 3), running("hung", 3)} << 0 << 1 << 33.0
            << true << 0.0 << "hung" << 30.0;
        QTest::newRow("the longest-running of two hung ones is named")
            << Jobs{done(0, 1), done(0, 1), running("later", 20), running("first", 10)} << 0 << 2
            << 40.0 << true << 0.0 << "first" << 30.0;
    }
    void timeLeft()
    {
        QFETCH(Jobs, jobs);
        QFETCH(int, notStarted);
        QFETCH(int, workers);
        QFETCH(double, now);
        QFETCH(bool, known);
        QFETCH(double, seconds);
        QFETCH(QString, waitingFor);
        QFETCH(double, waited);
        const TimeLeft left = time_left(std::vector<ProgressJob>(jobs.begin(), jobs.end()),
                                        notStarted, workers, now);
        QCOMPARE(left.known, known);
        QVERIFY2(qAbs(left.seconds - seconds) < 1e-9, qPrintable(QString::number(left.seconds)));
        QCOMPARE(QString::fromStdString(left.waiting_for), waitingFor);
        QVERIFY2(qAbs(left.waited - waited) < 1e-9, qPrintable(QString::number(left.waited)));
    }
};

QTEST_GUILESS_MAIN(TestProgress)
#include "tst_progress.moc"
