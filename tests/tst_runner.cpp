// Running a child program through the window's process object, and reporting its errors.
#include "windowsupport.h"

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void init() { window = new MainWindow; }
    void cleanup() { delete window; }

    void capturedOutput_data();
    void capturedOutput();
    void standardInputAtEndOfFile();
    void failedStart_data();
    void failedStart();
    void crashReported();
    void twoRunsInARow();
    void backgroundChildDoesNotHoldTheRun();
    void errorNames();

private:
    QString fixture(const QString &actions) const
    {
        return QStringLiteral(ORVIMET_FIXTURE " ") + actions;
    }
    MainWindow *window = nullptr;
};

void TestRunner::capturedOutput_data()
{
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("nothing") << "exit:0" << QByteArray();
    QTest::newRow("standard error is not read") << "err:oops" << QByteArray();
    QTest::newRow("cut at the first NUL") << "out:1\\s2\\03" << QByteArray("1 2");
    QTest::newRow("CR LF kept") << "out:1\\r\\n2\\r\\n" << QByteArray("1\r\n2\r\n");
    QTest::newRow("exit code 1 is no error") << "out:E exit:1" << QByteArray("E");
    QTest::newRow("quoted argument keeps its blanks")
        << "args \"a  b\" c" << QByteArray("[args][a  b][c]");
    QTest::newRow("large output") << "big:3000000" << QByteArray();
}

void TestRunner::capturedOutput()
{
    QFETCH(QString, actions);
    QFETCH(QByteArray, output);
    CoutCapture cout;
    const std::string result = call_start_process(*window, fixture(actions));
    if (actions.startsWith(QLatin1String("big:")))
        QCOMPARE(result.size(), std::size_t(3000000));
    else
        QCOMPARE(bytes(result), output);
    QCOMPARE(output_text(*window), QString());
    QCOMPARE(cout.text(), std::string());
}

void TestRunner::standardInputAtEndOfFile()
{
    QCOMPARE(call_start_process(*window, fixture("stdin")), std::string("eof"));
}

void TestRunner::failedStart_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("blank in the program path") << "prog dir/queue.exe -S 5";
    QTest::newRow("file that is no program") << "notes.txt -S 5";
    QTest::newRow("missing program") << "./missing.exe";
}

void TestRunner::failedStart()
{
    QFETCH(QString, command);
    Workbench bench;
    bench.program("prog dir/queue.exe");
    bench.write("notes.txt", "1 2 3");
    CoutCapture cout;
    QCOMPARE(call_start_process(*window, command), std::string());
    QCOMPARE(output_text(*window), QStringLiteral("程序运行出错:\nFailedToStart"));
    QCOMPARE(cout.text(), std::string("启动失败\n"));
}

void TestRunner::crashReported()
{
    QCOMPARE(call_start_process(*window, fixture("out:1\\s2 crash")), std::string("1 2"));
    QCOMPARE(output_text(*window), QStringLiteral("程序运行出错:\nCrashed"));
}

void TestRunner::twoRunsInARow()
{
    QCOMPARE(call_start_process(*window, fixture("out:first")), std::string("first"));
    QCOMPARE(call_start_process(*window, fixture("out:second")), std::string("second"));
    QCOMPARE(call_start_process(*window, fixture("crash")), std::string());
    QCOMPARE(call_start_process(*window, fixture("out:third")), std::string("third"));
}

void TestRunner::backgroundChildDoesNotHoldTheRun()
{
    // The program exits at once; its own child keeps the output pipe open for a minute. The
    // run must end with the program, not with the child.
    QCOMPARE(call_start_process(*window, fixture("out:1 spawn:60000")), std::string("1"));
    QCOMPARE(call_start_process(*window, fixture("out:2")), std::string("2"));
}

void TestRunner::errorNames()
{
    const char *names[]
        = {"FailedToStart", "Crashed", "Timedout", "ReadError", "WriteError", "UnknownError"};
    for (int e = QProcess::FailedToStart; e <= QProcess::UnknownError; ++e) {
        int result = -1;
        QVERIFY(QMetaObject::invokeMethod(
            window, "processError", Qt::DirectConnection, Q_RETURN_ARG(int, result),
            Q_ARG(QProcess::ProcessError, QProcess::ProcessError(e))));
        QCOMPARE(result, 0);
        QVERIFY(output_text(*window).endsWith(QStringLiteral("程序运行出错:\n") + names[e]));
    }
    QCOMPARE(output_area(*window)->document()->blockCount(), 12);
}

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
