// The manual test and the automatic suite end to end: text typed into the window, buttons
// clicked, the real reference programs and the sample student programs run.
#include "judge/suitecases.h"
#include "windowsupport.h"

class TestDrivers : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        bench = new Workbench;
        bench->real_references();
        window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    void cleanup()
    {
        delete window;
        delete bench;
    }

    void manualJudgedCorrect();
    void manualJudgedWrong();
    void manualRefusals_data();
    void manualRefusals();
    void manualReplacesEarlierContent();
    void suiteOnSamplePrograms_data();
    void suiteOnSamplePrograms();
    void suiteOptionsArriveUnchanged();
    void suiteOnMissingProgram();
    void suiteRefusals_data();
    void suiteRefusals();

private:
    // A copy of a sample program in lab/ of the working directory.
    QString sample(const QString &name)
    {
        QDir().mkpath(bench->path("lab"));
        const QString target = bench->path("lab/" + name);
        if (!QFile::copy(QStringLiteral(ORVIMET_EXAMPLES_DIR "/") + name, target))
            qFatal("sample program %s missing", qPrintable(name));
        return target;
    }

    Workbench *bench = nullptr;
    MainWindow *window = nullptr;
};

void TestDrivers::manualJudgedCorrect()
{
    fill(*window, sample("queue.exe"), "  queue -S 5 -I 1 2 3 -O 1");
    click(*window, "radioButton_2");
    CoutCapture cout;
    click(*window, "pushButton");
    const QString line = bench->path("lab/queue -S 5 -I 1 2 3 -O 1");
    QCOMPARE(output_text(*window), "执行命令：" + line
                                       + "\n用户输出:S 5 I 1 2 3 O 2 3\n标准输出:S 5 I 1 2 3 O 2 "
                                         "3\n答案正确！\n");
    QCOMPARE(QString::fromStdString(cout.text()),
             line + "\ncommand:" + line + "\nS 5 I 1 2 3 O 2 3Qprocess\n");
    // The answer the program left in the working directory now stands beside the program.
    QCOMPARE(bench->read("lab/queue.txt"), QByteArray("S 5 I 1 2 3 O 2 3"));
    QVERIFY(!bench->exists("queue.txt"));
}

void TestDrivers::manualJudgedWrong()
{
    fill(*window, sample("queue.exe"), "queue -S 5 -I 1 2 3 -O 1");
    click(*window, "radioButton"); // the stack exercise: the queue's answer differs
    click(*window, "pushButton");
    QCOMPARE(output_text(*window), "执行命令：" + bench->path("lab/queue -S 5 -I 1 2 3 -O 1")
                                       + "\n用户输出:S 5 I 1 2 3 O 2 3\n标准输出:S 5 I 1 2 3 O 1 "
                                         "2\n答案错误！\n");
}

void TestDrivers::manualRefusals_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("diagnostics");
    QTest::newRow("both empty") << ""
                                << ""
                                << "请选择文件位置！"
                                << "";
    QTest::newRow("location empty") << ""
                                    << "queue -N"
                                    << "请选择文件位置！"
                                    << "";
    QTest::newRow("command empty") << "/lab/queue.exe"
                                   << ""
                                   << "请输入命令！"
                                   << "";
    QTest::newRow("command of blanks") << "/lab/queue.exe"
                                       << "   "
                                       << "请输入命令！"
                                       << "";
    QTest::newRow("missing program") << "/nowhere/queue.exe"
                                     << "queue -N"
                                     << "不存在该应用程序，请检查命令格式！！！/nowhere/queue.exe"
                                     << "/nowhere/queue -N\n";
}

void TestDrivers::manualRefusals()
{
    QFETCH(QString, location);
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(QString, diagnostics);
    fill(*window, location, command);
    output_area(*window)->setPlainText("earlier");
    CoutCapture cout;
    click(*window, "pushButton");
    QCOMPARE(output_text(*window), message);
    QCOMPARE(QString::fromStdString(cout.text()), diagnostics);
}

void TestDrivers::manualReplacesEarlierContent()
{
    fill(*window, sample("stack.exe"), "stack -S 2 -I 7");
    output_area(*window)->setPlainText("earlier report");
    click(*window, "pushButton");
    QVERIFY(output_text(*window).startsWith("执行命令："));
    QVERIFY(output_text(*window).endsWith("用户输出:S 2 I 7\n标准输出:S 2 I 7\n答案正确！\n"));
}

void TestDrivers::suiteOnSamplePrograms_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("radio");
    QTest::addColumn<bool>("allCorrect");
    QTest::newRow("stack") << "stack.exe" << QByteArray("radioButton") << true;
    QTest::newRow("queue") << "queue.exe" << QByteArray("radioButton_2") << true;
    QTest::newRow("two-stack queue") << "stackqueue.exe" << QByteArray("radioButton_3") << true;
    QTest::newRow("queue judged as a stack") << "queue.exe" << QByteArray("radioButton") << false;
    QTest::newRow("stack judged as a queue") << "stack.exe" << QByteArray("radioButton_3") << false;
}

void TestDrivers::suiteOnSamplePrograms()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, radio);
    QFETCH(bool, allCorrect);
    const QString location = sample(program);
    fill(*window, location, "ignored -S 1");
    click(*window, radio.constData());
    CoutCapture cout;
    click(*window, "pushButton_3");
    const QStringList lines = output_text(*window).split('\n');
    QCOMPARE(lines.first(), "正在测试" + location + ".......");
    QCOMPARE(lines.mid(lines.size() - 3, 1), QStringList{"共10个测试样例"});
    const int correct = lines.at(lines.size() - 2).mid(5).toInt();
    QCOMPARE(lines.at(lines.size() - 2), "正确个数：" + QString::number(correct));
    QCOMPARE(lines.last(), "错误个数：" + QString::number(10 - correct));
    QCOMPARE(lines.filter("执行命令：").size(), 10);
    if (allCorrect)
        QCOMPARE(correct, 10);
    else
        QVERIFY(correct < 10);
    const int flag = radio == "radioButton" ? 0 : radio == "radioButton_2" ? 1 : 2;
    QVERIFY(cout.text().rfind("flag_stack:" + std::to_string(flag) + "\nlocation_s:"
                                  + location.toStdString() + "\n" + bench->dir_s("lab") + "\n",
                              0)
            == 0);
}

void TestDrivers::suiteOptionsArriveUnchanged()
{
    bench->program("lab/rec.exe", "argsfile:" + bench->path("args.log").toUtf8());
    fill(*window, bench->path("lab/rec.exe"));
    click(*window, "pushButton_3");
    const QString text = output_text(*window);
    const QList<QByteArray> recorded = bench->read("args.log").split('\n');
    QCOMPARE(recorded.size(), 11);
    for (std::size_t i = 0; i < suite_options.size(); ++i) {
        const QString options = QString::fromLatin1(suite_options[i]);
        QVERIFY2(text.contains("执行命令：" + bench->path("lab/rec.exe") + options + "\n"),
                 suite_options[i]);
        const QStringList words = options.split(' ', Qt::SkipEmptyParts);
        QCOMPARE(recorded.at(int(i)), ("[" + words.join("][") + "]").toLatin1());
    }
    QVERIFY(text.endsWith("共10个测试样例\n正确个数：0\n错误个数：10"));
}

void TestDrivers::suiteOnMissingProgram()
{
    const QString location = bench->path("lab/absent.exe");
    fill(*window, location);
    click(*window, "pushButton_3");
    // Every case replaces the content with its report; the tally follows the last one.
    QCOMPARE(output_text(*window), "不存在该应用程序，请检查命令格式！！！" + location
                                       + "\n共10个测试样例\n正确个数：0\n错误个数：10");
}

void TestDrivers::suiteRefusals_data()
{
    QTest::addColumn<QString>("location");
    QTest::newRow("empty") << "";
    QTest::newRow("one slash") << "/";
    QTest::newRow("slashes only") << "///";
}

void TestDrivers::suiteRefusals()
{
    QFETCH(QString, location);
    fill(*window, location);
    click(*window, "radioButton_2");
    output_area(*window)->setPlainText("earlier");
    CoutCapture cout;
    click(*window, "pushButton_3");
    QCOMPARE(output_text(*window), QStringLiteral("请选择文件位置！"));
    QCOMPARE(QString::fromStdString(cout.text()), "flag_stack:1\nlocation_s:" + location + "\n");
}

QTEST_MAIN(TestDrivers)
#include "tst_drivers.moc"
