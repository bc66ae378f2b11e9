// The actions that run no program: choosing the program with the file dialog, reset and help.
#include "app/application.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

namespace {

// What the dialog showed while it was open.
struct DialogSeen
{
    bool opened = false;
    QWidget *parent = nullptr;
    QString caption;
    QString proposed_name;
    QString directory;
    QString cancel; // the text of the dialog's cancel button
};

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogProposesExeInWorkingDirectory();
    void dialogInOwnFolder_data();
    void dialogInOwnFolder();
    void chooseProgram_data();
    void chooseProgram();

    void reset_data();
    void reset();

    void help_data();
    void help();

private:
    // Clicks toolButton; while the modal dialog runs its own loop, `act` gets the dialog and
    // must close it.
    DialogSeen click_through_dialog(const std::function<void(QFileDialog *)> &act);

    QTemporaryDir work_dir;
    MainWindow *window = nullptr;
    QLineEdit *location = nullptr;
    QLineEdit *input = nullptr;
    QTextBrowser *output = nullptr;
};

void TestActions::initTestCase()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    // As the window's process loads them; scripts/deps.sh installs them.
    QVERIFY2(load_qt_translations(*qApp), "Qt's Chinese translations are not installed");
    QVERIFY(work_dir.isValid());
    // The dialog opens in the working directory; a fresh one keeps its listing small and known.
    QVERIFY(QDir::setCurrent(work_dir.path()));
}

void TestActions::init()
{
    window = new MainWindow;
    window->show();
    location = window->findChild<QLineEdit *>("location");
    input = window->findChild<QLineEdit *>("input");
    output = window->findChild<QTextBrowser *>("label_5");
    QVERIFY(location);
    QVERIFY(input);
    QVERIFY(output);
}

void TestActions::cleanup()
{
    delete window;
    window = nullptr;
}

DialogSeen TestActions::click_through_dialog(const std::function<void(QFileDialog *)> &act)
{
    auto *button = window->findChild<QToolButton *>("toolButton");
    if (!button)
        return {};
    DialogSeen seen;
    QTimer::singleShot(0, this, [&seen, &act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen.opened = true;
        seen.parent = dialog->parentWidget();
        seen.caption = dialog->windowTitle();
        if (auto *name = dialog->findChild<QLineEdit *>("fileNameEdit"))
            seen.proposed_name = name->text();
        seen.directory = dialog->directory().absolutePath();
        if (auto *buttons = dialog->findChild<QDialogButtonBox *>())
            seen.cancel = buttons->button(QDialogButtonBox::Cancel)->text();
        act(dialog);
        // Whatever `act` did, the dialog must not stay open and block the test.
        if (dialog->isVisible())
            dialog->reject();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    return seen;
}

void TestActions::dialogProposesExeInWorkingDirectory()
{
    const DialogSeen seen = click_through_dialog([](QFileDialog *dialog) { dialog->reject(); });
    QVERIFY(seen.opened);
    QCOMPARE(seen.parent, static_cast<QWidget *>(window));
    QCOMPARE(seen.caption, QStringLiteral("打开文件"));
    QCOMPARE(seen.proposed_name, QStringLiteral("*.exe"));
    QCOMPARE(seen.directory, QDir::current().absolutePath());
}

void TestActions::dialogInOwnFolder_data()
{
    // The program in `location` (relative to the test's folder) and where the dialog opens.
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("opensIn");
    QTest::newRow("no program chosen yet") << ""
                                           << "home";
    QTest::newRow("program chosen before") << "lab/queue.exe"
                                           << "lab";
    QTest::newRow("program's folder gone") << "gone/queue.exe"
                                           << "home";
    QTest::newRow("relative location") << "queue.exe"
                                       << "home";
}

void TestActions::dialogInOwnFolder()
{
    QFETCH(QString, location);
    QFETCH(QString, opensIn);
    const QDir root(work_dir.path());
    QVERIFY(root.mkpath(QStringLiteral("data/orvimet")) && root.mkpath(QStringLiteral("home"))
            && root.mkpath(QStringLiteral("lab")));
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toUtf8());
    qputenv("HOME", root.filePath(QStringLiteral("home")).toUtf8());
    QVERIFY(QDir::setCurrent(root.filePath(QStringLiteral("data/orvimet"))));
    this->location->setText(location.contains(QLatin1Char('/')) ? root.filePath(location)
                                                                : location);
    const DialogSeen seen = click_through_dialog([](QFileDialog *dialog) { dialog->reject(); });
    QVERIFY(QDir::setCurrent(work_dir.path()));
    QVERIFY(seen.opened);
    QCOMPARE(seen.directory, root.filePath(opensIn));
    QCOMPARE(seen.proposed_name, QStringLiteral("*.exe"));
    // Qt's own texts speak the window's language.
    QCOMPARE(seen.cancel, QStringLiteral("取消"));
}

void TestActions::chooseProgram_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("accept");

    QTest::newRow("cancel keeps an empty location") << QString() << false;
    QTest::newRow("cancel keeps a typed location") << QStringLiteral("C:/lab/queue.exe") << false;
    QTest::newRow("choice fills an empty location") << QString() << true;
    QTest::newRow("choice replaces a typed location") << QStringLiteral("C:/lab/other.exe") << true;
}

void TestActions::chooseProgram()
{
    QFETCH(QString, before);
    QFETCH(bool, accept);

    QTemporaryDir lab;
    QVERIFY(lab.isValid());
    const QString program = lab.filePath(QStringLiteral("queue.exe"));
    QFile file(program);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    location->setText(before);
    const DialogSeen seen = click_through_dialog([&](QFileDialog *dialog) {
        if (!accept) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(lab.path());
        dialog->selectFile(program);
        // Public through QDialog; runs the file dialog's own accept, as the Open button does.
        static_cast<QDialog *>(dialog)->accept();
    });
    QVERIFY(seen.opened);
    QCOMPARE(location->text(), accept ? QFileInfo(program).absoluteFilePath() : before);
}

void TestActions::reset_data()
{
    QTest::addColumn<QString>("radio");

    QTest::newRow("stack stays chosen") << QStringLiteral("radioButton");
    QTest::newRow("queue stays chosen") << QStringLiteral("radioButton_2");
    QTest::newRow("stack queue stays chosen") << QStringLiteral("radioButton_3");
}

void TestActions::reset()
{
    QFETCH(QString, radio);

    auto *chosen = window->findChild<QRadioButton *>(radio);
    auto *reset_button = window->findChild<QPushButton *>("pushButton_2");
    QVERIFY(chosen);
    QVERIFY(reset_button);
    chosen->setChecked(true);
    location->setText(QStringLiteral("C:/lab/queue.exe"));
    input->setText(QStringLiteral("queue -S 5 -I 1 2"));
    output->setPlainText(QStringLiteral("答案正确！"));

    QTest::mouseClick(reset_button, Qt::LeftButton);
    QCOMPARE(location->text(), QString());
    QCOMPARE(input->text(), QString());
    QCOMPARE(output->toPlainText(), QString());
    const QList<QRadioButton *> radios = window->findChildren<QRadioButton *>();
    QCOMPARE(radios.size(), 3);
    for (QRadioButton *r : radios)
        QCOMPARE(r->isChecked(), r == chosen);

    // Both drivers now find no program and say so instead of running anything.
    for (const char *driver : {"pushButton", "pushButton_3"}) {
        auto *button = window->findChild<QPushButton *>(driver);
        QVERIFY2(button, driver);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(output->toPlainText(), QStringLiteral("请选择文件位置！"));
    }
}

void TestActions::help_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("presses");

    QTest::newRow("empty area") << QString() << 1;
    QTest::newRow("replaces a report") << QStringLiteral("command:queue -N\n答案错误！") << 1;
    QTest::newRow("twice shows it once") << QString() << 2;
    QTest::newRow("twice after a report") << QStringLiteral("共10个测试样例\n正确个数：7") << 2;
}

void TestActions::help()
{
    QFETCH(QString, before);
    QFETCH(int, presses);

    const QStringList paragraphs = {
        QStringLiteral("1.程序的输入输出见说明文档。"),
        QStringLiteral("2.程序中一定不要输出一些无关的信息，否则可能会导致程序判断出错！"),
        QStringLiteral("3.用户程序所在目录不要包含中文和空格等特殊字符！"),
        QStringLiteral("4.发现问题请在QQ群里及时反馈!"),
        QStringLiteral("版本号：V3.0"),
        QStringLiteral("单位：Halvorn"),
    };
    auto *help_button = window->findChild<QPushButton *>("help");
    QVERIFY(help_button);
    output->setPlainText(before);

    for (int i = 0; i < presses; ++i)
        QTest::mouseClick(help_button, Qt::LeftButton);
    QCOMPARE(output->toPlainText(), paragraphs.join(QStringLiteral("\n\n")));
    // One block per paragraph and one per empty line between them: plain text, no mark-up.
    QCOMPARE(output->document()->blockCount(), 2 * paragraphs.size() - 1);
}

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
