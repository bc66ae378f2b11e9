// The main window as built: its widgets, their wiring, and start-up and shutdown.
#include "app/mainwindow.h"
#include "windowsupport.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <memory>

namespace {

// Reaches QObject's protected connection queries without deriving from the widgets' classes.
struct SignalPeek : QObject
{
    using QObject::isSignalConnected;
    using QObject::receivers;
};

// Geometry null: placed by the window's own layout. That includes the menu bar, which the window
// lays out again as soon as its size is fixed, so the form's 551 x 23 never survives construction.
struct Row
{
    const char *name, *cls, *parent;
    QRect geometry;
    const char *text;
    bool button; // its clicked() runs the window's slot on_<name>_clicked()
};

const Row table[] = {
    {"centralWidget", "QWidget", "mainWindow", {}, "", false},
    {"label", "QLabel", "centralWidget", {40, 90, 54, 12}, "程序位置", false},
    {"label_2", "QLabel", "centralWidget", {40, 50, 54, 12}, "实验类型", false},
    {"label_3", "QLabel", "centralWidget", {40, 120, 54, 12}, "输入", false},
    {"label_4", "QLabel", "centralWidget", {40, 160, 54, 12}, "输出", false},
    {"pushButton", "QPushButton", "centralWidget", {460, 70, 75, 23}, "测试", true},
    {"location", "QLineEdit", "centralWidget", {110, 90, 261, 20}, "", false},
    {"input", "QLineEdit", "centralWidget", {110, 120, 261, 20}, "", false},
    {"toolButton", "QToolButton", "centralWidget", {380, 90, 37, 18}, "...", true},
    {"pushButton_2", "QPushButton", "centralWidget", {460, 190, 75, 23}, "复位", true},
    {"pushButton_3", "QPushButton", "centralWidget", {460, 130, 75, 23}, "自动测试", true},
    {"radioButton_2", "QRadioButton", "centralWidget", {200, 50, 89, 16}, "队列", false},
    {"radioButton", "QRadioButton", "centralWidget", {110, 50, 61, 16}, "栈", false},
    {"label_5", "QTextBrowser", "centralWidget", {110, 150, 261, 141}, "", false},
    {"help", "QPushButton", "centralWidget", {460, 250, 75, 23}, "帮助", true},
    {"radioButton_3", "QRadioButton", "centralWidget", {290, 50, 89, 16}, "栈模拟队列", false},
    {"menuBar", "QMenuBar", "mainWindow", {}, "", false},
    {"mainToolBar", "QToolBar", "mainWindow", {}, "", false},
    {"statusBar", "QStatusBar", "mainWindow", {}, "", false},
};

QString textOf(const QObject *object)
{
    if (auto edit = qobject_cast<const QTextEdit *>(object))
        return edit->toPlainText();
    return object->property("text").toString();
}

template<class T>
QWidget *make()
{
    return new T;
}

// A widget of the class as it comes, to tell the class's own connections from added ones.
QWidget *freshWidget(const QByteArray &cls)
{
    static const QHash<QByteArray, QWidget *(*)()> makers{
        {"QWidget", &make<QWidget>},           {"QLabel", &make<QLabel>},
        {"QPushButton", &make<QPushButton>},   {"QLineEdit", &make<QLineEdit>},
        {"QToolButton", &make<QToolButton>},   {"QRadioButton", &make<QRadioButton>},
        {"QTextBrowser", &make<QTextBrowser>}, {"QMenuBar", &make<QMenuBar>},
        {"QToolBar", &make<QToolBar>},         {"QStatusBar", &make<QStatusBar>}};
    const auto maker = makers.value(cls);
    return maker ? maker() : nullptr;
}

QStringList tableNames(const char *parent)
{
    QStringList result;
    for (const Row &row : table)
        if (qstrcmp(row.parent, parent) == 0)
            result << QString::fromLatin1(row.name);
    return result;
}

QStringList objectNames(const QObjectList &objects)
{
    QStringList result;
    for (const QObject *object : objects)
        if (object->isWidgetType())
            result << object->objectName();
    return result;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { window = new MainWindow; }
    void cleanup() { delete window; }

    void initialState();
    void widgets_data();
    void widgets();
    void windowParts();
    void creationOrder();
    void outputAreaIsReadOnly();
    void radioButtons_data();
    void radioButtons();
    void privateSlots_data();
    void privateSlots();
    void classMetaObject();
    void wiring_data() { widgets_data(); }
    void wiring();
    void closingEndsTheEventLoop();
    void unknownArgumentsChangeNothing();
    void installedReferences_data();
    void installedReferences();
    void childEndsWithWindow_data();
    void childEndsWithWindow();

private:
    template<class T = QWidget>
    T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    bool shown()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window);
    }
    MainWindow *window = nullptr;
};

void TestMainWindow::initialState()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Orvimet V3.0"));
    QCOMPARE(window->objectName(), QStringLiteral("mainWindow"));
    QVERIFY(window->isWindow());
    QCOMPARE(window->parentWidget(), nullptr);
    QCOMPARE(window->styleSheet(),
             QStringLiteral("#mainWindow{border-image:url(:/file/background);}"));
    // The empty texts of location, input and label_5 stand in the widget table.
    const QSize fixed(600, 350);
    QVERIFY(shown());
    QCOMPARE(window->size(), fixed);
    QCOMPARE(window->minimumSize(), fixed);
    QCOMPARE(window->maximumSize(), fixed);
    window->resize(800, 500);
    QCOMPARE(window->size(), fixed);
}

void TestMainWindow::widgets_data()
{
    QTest::addColumn<QByteArray>("cls");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("button");
    for (const Row &row : table)
        QTest::newRow(row.name) << QByteArray(row.cls) << QString::fromLatin1(row.parent)
                                << row.geometry << QString::fromUtf8(row.text) << row.button;
}

void TestMainWindow::widgets()
{
    QFETCH(QByteArray, cls);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QWidget *widget = window->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(QByteArray(widget->metaObject()->className()), cls);
    QVERIFY(widget->parent());
    QCOMPARE(widget->parent()->objectName(), parent);
    QCOMPARE(textOf(widget), text);
    if (!geometry.isNull())
        QCOMPARE(widget->geometry(), geometry);
    QVERIFY(widget->isEnabled() && widget->toolTip().isEmpty() && widget->styleSheet().isEmpty());
    QCOMPARE(widget->property("placeholderText").toString(), QString());

    const bool ownFont = name == QLatin1String("label_2");
    QCOMPARE(widget->testAttribute(Qt::WA_SetFont), ownFont);
    QFont font = QApplication::font(widget);
    if (ownFont) {
        font.setFamily(QStringLiteral("宋体"));
        font.setPointSize(9);
    }
    // Every attribute but those two as the application's default.
    QCOMPARE(widget->font().toString(), font.toString());

    // No layout manager moves the controls once the window is shown.
    QVERIFY(shown());
    if (parent == QLatin1String("centralWidget"))
        QCOMPARE(widget->geometry(), geometry);
}

void TestMainWindow::windowParts()
{
    auto central = child("centralWidget");
    auto menuBar = child<QMenuBar>("menuBar");
    auto toolBar = child<QToolBar>("mainToolBar");
    auto statusBar = child<QStatusBar>("statusBar");
    QVERIFY(central && menuBar && toolBar && statusBar);
    QCOMPARE(window->centralWidget(), central);
    QCOMPARE(window->menuWidget(), menuBar);
    QCOMPARE(window->statusBar(), statusBar);
    QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QVERIFY(!window->toolBarBreak(toolBar));
    QCOMPARE(window->findChildren<QToolBar *>().size(), 1);
    QVERIFY(menuBar->actions().isEmpty());
    QVERIFY(toolBar->actions().isEmpty());
    QCOMPARE(statusBar->currentMessage(), QString());
    QCOMPARE(central->layout(), nullptr);
}

void TestMainWindow::creationOrder()
{
    auto central = child("centralWidget");
    QVERIFY(central);
    const QStringList inCentral = tableNames("centralWidget");
    QCOMPARE(objectNames(central->children()), inCentral);
    // The window's own layout adds unnamed widgets of its own.
    QStringList ofWindow = objectNames(window->children());
    ofWindow.removeAll(QString());
    QCOMPARE(ofWindow, tableNames("mainWindow"));

    // Tab visits the controls in creation order.
    QStringList expected, visited;
    for (const QString &name : inCentral)
        if (window->findChild<QWidget *>(name)->focusPolicy() & Qt::TabFocus)
            expected << name;
    QCOMPARE(expected.size(), 11);
    for (QWidget *widget = window->nextInFocusChain(); widget != window;
         widget = widget->nextInFocusChain())
        if (expected.contains(widget->objectName()))
            visited << widget->objectName();
    QCOMPARE(visited, expected);
}

void TestMainWindow::outputAreaIsReadOnly()
{
    auto out = child<QTextBrowser>("label_5");
    auto input = child<QLineEdit>("input");
    auto location = child<QLineEdit>("location");
    QVERIFY(out && input && location);
    QVERIFY(shown());
    // Keys do arrive: the line edits take them.
    QTest::keyClicks(input, QStringLiteral("-S 5"));
    QCOMPARE(input->text(), QStringLiteral("-S 5"));

    out->setPlainText(QStringLiteral("report"));
    QTest::keyClicks(out, QStringLiteral("abc"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete})
        QTest::keyClick(out, key);
    QTest::keyClick(out, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(out->textCursor().hasSelection());
    QCOMPARE(out->toPlainText(), QStringLiteral("report"));
    QVERIFY(out->isReadOnly());

    // Enter in a line edit starts nothing.
    QTest::keyClick(input, Qt::Key_Return);
    QTest::keyClick(location, Qt::Key_Enter);
    QCOMPARE(out->toPlainText(), QStringLiteral("report"));
    QCOMPARE(input->text(), QStringLiteral("-S 5"));
}

void TestMainWindow::radioButtons_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("checked");
    QTest::newRow("at start") << QStringList() << "radioButton";
    QTest::newRow("queue") << QStringList{"radioButton_2"} << "radioButton_2";
    QTest::newRow("stack queue") << QStringList{"radioButton_3"} << "radioButton_3";
    QTest::newRow("back to stack") << QStringList{"radioButton_2", "radioButton"} << "radioButton";
    QTest::newRow("queue after stack queue")
        << QStringList{"radioButton_3", "radioButton_2"} << "radioButton_2";
    QTest::newRow("checked one again")
        << QStringList{"radioButton_3", "radioButton_3"} << "radioButton_3";
}

void TestMainWindow::radioButtons()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, checked);
    auto out = child<QTextBrowser>("label_5");
    QVERIFY(out);
    out->setPlainText(QStringLiteral("report"));
    QVERIFY(shown());
    for (const QString &name : clicks) {
        auto button = window->findChild<QRadioButton *>(name);
        QVERIFY(button);
        // On the indicator: the label of "栈" is narrower than its button.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    for (const char *name : {"radioButton", "radioButton_2", "radioButton_3"})
        QCOMPARE(child<QRadioButton>(name)->isChecked(), checked == QLatin1String(name));
    QCOMPARE(out->toPlainText(), QStringLiteral("report"));
}

void TestMainWindow::privateSlots_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("returns");
    QTest::addColumn<QByteArray>("parameters");
    QTest::newRow("on_toolButton_clicked()") << 0 << QByteArray("void") << QByteArray();
    QTest::newRow("on_pushButton_clicked()") << 1 << QByteArray("void") << QByteArray();
    QTest::newRow("on_pushButton_2_clicked()") << 2 << QByteArray("void") << QByteArray();
    QTest::newRow("on_pushButton_3_clicked()") << 3 << QByteArray("void") << QByteArray();
    QTest::newRow("auto_test(string,string,string,int)")
        << 4 << QByteArray("bool") << QByteArray("location_s,command_s,input,flag_stack");
    QTest::newRow("start_process(QString)") << 5 << QByteArray("string") << QByteArray("command");
    QTest::newRow("processError(QProcess::ProcessError)")
        << 6 << QByteArray("int") << QByteArray("error");
    QTest::newRow("on_help_clicked()") << 7 << QByteArray("void") << QByteArray();
}

void TestMainWindow::privateSlots()
{
    QFETCH(int, index);
    QFETCH(QByteArray, returns);
    QFETCH(QByteArray, parameters);
    const QMetaObject *meta = window->metaObject();
    const int absolute = meta->methodOffset() + index;
    QCOMPARE(meta->indexOfSlot(QTest::currentDataTag()), absolute);
    const QMetaMethod method = meta->method(absolute);
    QCOMPARE(method.methodSignature(), QByteArray(QTest::currentDataTag()));
    QCOMPARE(method.methodType(), QMetaMethod::Slot);
    QCOMPARE(method.access(), QMetaMethod::Private);
    QCOMPARE(QByteArray(method.typeName()), returns);
    QCOMPARE(method.parameterNames().join(','), parameters);
}

void TestMainWindow::classMetaObject()
{
    const QMetaObject *meta = window->metaObject();
    QCOMPARE(meta, &MainWindow::staticMetaObject);
    QCOMPARE(QByteArray(meta->className()), QByteArray("MainWindow"));
    QCOMPARE(meta->superClass(), &QMainWindow::staticMetaObject);
    // The eight slots are all the class adds: no signal, no other slot or invokable.
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 8);
    QCOMPARE(window->qt_metacast("MainWindow"), static_cast<void *>(window));
    QCOMPARE(window->qt_metacast(nullptr), nullptr);
    QCOMPARE(window->qt_metacast("QMainWindow"),
             static_cast<void *>(static_cast<QMainWindow *>(window)));
    QCOMPARE(window->qt_metacast("NoSuchClass"), nullptr);
}

void TestMainWindow::wiring()
{
    QFETCH(bool, button);
    const QByteArray name = QTest::currentDataTag();
    QObject *widget = window->findChild<QWidget *>(QString::fromLatin1(name));
    QVERIFY(widget);
    const QMetaObject *meta = widget->metaObject();
    const std::unique_ptr<QWidget> fresh(freshWidget(meta->className()));
    QVERIFY(fresh);
    const auto connected = [](const QObject *object, const QMetaMethod &signal) {
        return (object->*&SignalPeek::isSignalConnected)(signal);
    };
    // Some classes connect signals to their own parts; anything beyond that is wiring. The
    // signals of QObject itself (destroyed, objectNameChanged) serve Qt's bookkeeping.
    for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
        const QMetaMethod signal = meta->method(i);
        if (signal.methodType() != QMetaMethod::Signal || (button && signal.name() == "clicked"))
            continue;
        QVERIFY2(connected(widget, signal) == connected(fresh.get(), signal),
                 signal.methodSignature().constData());
    }
    if (!button)
        return;
    // Exactly one connection of clicked(), and it leads to the button's own slot.
    QCOMPARE((widget->*&SignalPeek::receivers)(SIGNAL(clicked(bool))), 1);
    QVERIFY(QObject::disconnect(widget, SIGNAL(clicked(bool)), window,
                                QByteArray("1on_" + name + "_clicked()").constData()));
}

void TestMainWindow::closingEndsTheEventLoop()
{
    QVERIFY(QApplication::quitOnLastWindowClosed());
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    window->show();
    QTimer::singleShot(0, window, &QWidget::close);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!window->isVisible());
    QCOMPARE(lastClosed.count(), 1);
}

void TestMainWindow::unknownArgumentsChangeNothing()
{
    QProcess program;
    const QByteArray log
        = start_window_program(program, QStringLiteral(ORVIMET_BUILD_DIR "/orvimet"),
                               {"--frobnicate", "x", "-S", "5", "-I", "1", "2"});
    QVERIFY2(log.contains("on_help_clicked"), log.constData());
    QCOMPARE(program.state(), QProcess::Running);
    // It keeps running until it is stopped from outside: ended by the signal, not by itself.
    program.terminate();
    QVERIFY(program.waitForFinished());
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
}

void TestMainWindow::installedReferences_data()
{
    // Where the window stands in a tree, and the copies of the queue reference program with their
    // answers ("-" answers wrong); the student answers "S 5". %1 in the outcome is the tree.
    QTest::addColumn<QString>("windowAt");
    QTest::addColumn<QStringList>("references");
    QTest::addColumn<QString>("outcome");
    const QString installed = QStringLiteral(ORVIMET_REFERENCE_FROM_BINDIR "/b.exe");
    QTest::newRow("installed, none in the working folder")
        << "bin" << QStringList{"bin/" + installed} << "答案正确！";
    QTest::newRow("the working folder's first")
        << "bin" << QStringList{"bin/" + installed + "-", "work/resource/b.exe"} << "答案正确！";
    QTest::newRow("installed below a folder with blanks")
        << "my apps/bin" << QStringList{"my apps/bin/" + installed} << "答案正确！";
    QTest::newRow("a build tree's own resource/ unused")
        << "build" << QStringList{"build/resource/b.exe"} << "标准程序不存在！\n./resource/b.exe\n";
    QTest::newRow("installed folder without the program")
        << "bin" << QStringList{"bin/" ORVIMET_REFERENCE_FROM_BINDIR "/a.exe"}
        << "标准程序不存在！\n./resource/b.exe\n%1/libexec/orvimet/resource/b.exe\n";
}

void TestMainWindow::installedReferences()
{
    QFETCH(QString, windowAt);
    QFETCH(QStringList, references);
    QFETCH(QString, outcome);
    Workbench tree;
    const QString window_path = tree.path(windowAt + QStringLiteral("/orvimet"));
    QVERIFY(QDir().mkpath(tree.path(windowAt)));
    QVERIFY(QFile::copy(QStringLiteral(ORVIMET_WINDOW_PRESS), window_path));
    for (QString reference : references) {
        const bool wrong = reference.endsWith(QLatin1Char('-'));
        reference.remove(QLatin1Char('-'));
        tree.program(QDir::cleanPath(reference), wrong ? "out:X" : "out:S\\s5");
    }
    tree.program(QStringLiteral("work/lab/queue.exe"), "out:S\\s5");

    QProcess window;
    window.setWorkingDirectory(tree.path(QStringLiteral("work")));
    start_window_program(window, window_path,
                         {tree.path(QStringLiteral("work/lab/queue.exe")),
                          QStringLiteral("queue -N"), QStringLiteral("radioButton_2")});
    QVERIFY(window.waitForFinished());
    const QString shown = QString::fromUtf8(window.readAll());
    QVERIFY2(shown.contains(outcome.replace(QStringLiteral("%1"), QDir::cleanPath(tree.path()))),
             qPrintable(shown));
}

void TestMainWindow::childEndsWithWindow_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("killed") << SIGKILL;
    QTest::newRow("terminated") << SIGTERM;
}

void TestMainWindow::childEndsWithWindow()
{
    QFETCH(int, signal);
    Workbench bench;
    bench.program(QStringLiteral("lab/queue.exe"), "sleep:60000");
    const QString hanging = bench.path(QStringLiteral("lab/queue.exe"));
    QProcess window;
    window.setWorkingDirectory(bench.path());
    start_window_program(window, QStringLiteral(ORVIMET_WINDOW_PRESS),
                         {hanging, QStringLiteral("queue -N")});
    QTRY_COMPARE(processes_running(hanging), 1);
    ::kill(static_cast<pid_t>(window.processId()), signal);
    QVERIFY(window.waitForFinished());
    QTRY_COMPARE(processes_running(hanging), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
