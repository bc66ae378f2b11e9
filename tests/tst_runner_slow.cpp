// A child that outlives one 30-second wait is waited for across several.
#include "windowsupport.h"

class TestRunnerSlow : public QObject
{
    Q_OBJECT

private slots:
    void longRunWaitedForInSlices()
    {
        MainWindow window;
        const std::string out = call_start_process(
            window, QStringLiteral(ORVIMET_FIXTURE " out:before sleep:45000 out:\\safter"));
        QCOMPARE(out, std::string("before after"));
        QCOMPARE(output_text(window), QString());
    }
};

QTEST_MAIN(TestRunnerSlow)
#include "tst_runner_slow.moc"
