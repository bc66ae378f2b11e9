// The class window, driven by object names as a teacher would drive it: the made-up hostile class
// of classresults.h opened, sorted, filtered, shown anonymously and walked with the keyboard.
#include "app/mainwindow.h"
#include "classresults.h"
#include "classwindow/casematrix.h"
#include "classwindow/classmodel.h"
#include "classwindow/classwindow.h"
#include "classwindow/detailpane.h"
#include "classwindow/similaritypane.h"
#include "gradebook/gradebook.h"
#include "gradebook/language.h"
#include "gradebook/similarityreport.h"
#include "similarityclass.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

// A class of plain folders, each with a ready-made Linux program named as the exercise's.
void hand_in(const QString &folder, const QString &program)
{
    QDir().mkpath(folder);
    QFile::remove(folder + QStringLiteral("/queue"));
    QVERIFY(QFile::copy(program, folder + QStringLiteral("/queue")));
    QFile::setPermissions(folder + QStringLiteral("/queue"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Each student's record as results.json holds it, by folder: its bytes when the file holds them
// exactly as the record's own compact form, else empty. What a regrade must leave alone.
QMap<QString, QByteArray> records(const QString &results_json)
{
    QFile file(results_json);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    QMap<QString, QByteArray> parts;
    const QJsonArray students
        = QJsonDocument::fromJson(text).object().value(QStringLiteral("students")).toArray();
    for (const QJsonValue &student : students) {
        const QByteArray bytes = QJsonDocument(student.toObject()).toJson(QJsonDocument::Compact);
        parts.insert(student.toObject().value(QStringLiteral("folder")).toString(),
                     text.contains(bytes) ? bytes : QByteArray());
    }
    return parts;
}

// The hostile class in which Ann (row 3) and 张三 (row 5) handed in the same sources, written
// into `dir`.
QString copies_planted(const QTemporaryDir &dir)
{
    QJsonObject document = class_json(hostile_class());
    QJsonArray students = document.value(QStringLiteral("students")).toArray();
    const auto folder = [&](int i) { return students[i].toObject().value("folder").toString(); };
    for (const auto &pair : {std::pair<int, int>{3, 5}, std::pair<int, int>{5, 3}}) {
        QJsonObject s = students[pair.first].toObject();
        s.insert(QStringLiteral("copies"), QJsonArray{folder(pair.second)});
        students[pair.first] = s;
    }
    document.insert(QStringLiteral("students"), students);
    QFile file(dir.filePath(QStringLiteral("results.json")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(to_bytes(document));
    return dir.path();
}

QStringList column(QTableView *table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        texts << table->model()->index(row, column).data().toString();
    return texts;
}

} // namespace

class TestClassWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void markupShownAsText();
    void sorting_data();
    void sorting();
    void filtering_data();
    void filtering();
    void anonymousHidesEveryName();
    void copiesNamedAsTheTableNamesThem_data();
    void copiesNamedAsTheTableNamesThem();
    void similarityTab_data();
    void similarityTab();
    void textsFromTheSharedTranslation_data();
    void textsFromTheSharedTranslation();
    void rewriteTakesInOnlyWhatChanged_data();
    void rewriteTakesInOnlyWhatChanged();
    void keyboard_data();
    void keyboard();
    void matrixClickSelectsStudentAndCase();
    void openDetails_data();
    void openDetails();
    void changedRowsMarked();
    void regradeOneStudent();
    void cancelKeepsWhatIsDone();

private:
    QAction *action(const char *name) const
    {
        auto *found = window->findChild<QAction *>(QString::fromLatin1(name));
        [&] { QVERIFY2(found, name); }();
        return found;
    }
    QString current_name() const
    {
        const int row = window->current_student();
        return row < 0 ? QString() : shown(window->model()->student(row).name);
    }

    QTemporaryDir dir;
    ClassWindow *window = nullptr;
    QTableView *table = nullptr;
};

void TestClassWindow::init()
{
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("results.json")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(to_bytes(class_json(hostile_class())));
    file.close();
    window = new ClassWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->open_results(dir.path()));
    table = window->findChild<QTableView *>(QStringLiteral("studentsTable"));
    QVERIFY(table);
}

void TestClassWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void TestClassWindow::markupShownAsText()
{
    QCOMPARE(table->model()->rowCount(), hostile_class().size());
    QVERIFY(column(table, ClassModel::Name).contains(QStringLiteral("<b>Bold</b>")));
    // The student whose answer is an image that would run script: the answer is text, and its
    // first differing word (the third) is the one marked.
    window->select_student(1, 5);
    auto *text = window->findChild<QPlainTextEdit *>(QStringLiteral("detailText"));
    QVERIFY(text);
    QVERIFY2(text->toPlainText().contains(QStringLiteral("<img src=x onerror=")),
             qPrintable(text->toPlainText()));
    auto *pane = window->findChild<DetailPane *>(QStringLiteral("detailPane"));
    QCOMPARE(pane->marked_word(), QStringLiteral("onerror=\"document.title='pwned'\">"));
    // A compiler's log with mark-up, as it was written.
    window->select_student(4);
    QVERIFY(text->toPlainText().contains(QStringLiteral("main.cpp:1: error: <b>stray</b>")));
}

void TestClassWindow::sorting_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    // Numbers sort as numbers (10 above 8), students without points after those with 0.
    QTest::newRow("most correct first") << int(ClassModel::Correct) << true << ".hidden"
                                        << "Bob";
    QTest::newRow("fewest points first") << int(ClassModel::Points) << false << "李四"
                                         << ".hidden";
    QTest::newRow("most time-outs first") << int(ClassModel::Timeouts) << true << "王_小明"
                                          << "Bob";
    QTest::newRow("by id") << int(ClassModel::Id) << false << "Ann"
                           << "=cmd|\"a,b\"\nx";
}

void TestClassWindow::sorting()
{
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QString, first);
    QFETCH(QString, last);
    table->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    const QStringList names = ::column(table, ClassModel::Name);
    QCOMPARE(names.first(), first);
    // Ties (students who were not graded) keep no particular order: only the ends are certain.
    if (column != ClassModel::Correct && column != ClassModel::Timeouts)
        QCOMPARE(names.last(), last);
}

void TestClassWindow::filtering_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("anonymous");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("graded") << "graded"
                            << "" << false
                            << QStringList{".hidden", "<b>Bold</b>", "Ann", "张三", "王_小明"};
    QTest::newRow("by name, any case") << ""
                                       << "ann" << false << QStringList{"Ann"};
    QTest::newRow("by id") << ""
                           << "107" << false << QStringList{"<b>Bold</b>"};
    QTest::newRow("status and text") << "does not compile"
                                     << "Ann" << false << QStringList{};
    // Anonymous: the names are no longer found, the participants' numbers are.
    QTest::newRow("hidden name") << ""
                                 << "Ann" << true << QStringList{};
    QTest::newRow("participant") << ""
                                 << "Participant 101" << true << QStringList{"Participant 101"};
}

void TestClassWindow::filtering()
{
    QFETCH(QString, status);
    QFETCH(QString, text);
    QFETCH(bool, anonymous);
    QFETCH(QStringList, names);
    action("actionAnonymous")->setChecked(anonymous);
    auto *statuses = window->findChild<QComboBox *>(QStringLiteral("statusFilter"));
    auto *find = window->findChild<QLineEdit *>(QStringLiteral("textFilter"));
    QVERIFY(statuses && find);
    const int index = status.isEmpty() ? 0 : statuses->findText(status);
    QVERIFY(index >= 0);
    statuses->setCurrentIndex(index);
    QTest::keyClicks(find, text);
    QCOMPARE(column(table, ClassModel::Name), names);
}

void TestClassWindow::anonymousHidesEveryName()
{
    action("actionAnonymous")->trigger();
    auto *text = window->findChild<QPlainTextEdit *>(QStringLiteral("detailText"));
    for (int row = 0; row < window->model()->rowCount(); ++row) {
        window->select_student(row);
        const QString name = shown(window->model()->student(row).name);
        for (int c = 0; c < table->model()->columnCount(); ++c)
            QVERIFY(!table->model()->index(row, c).data().toString().contains(name));
        QVERIFY2(!text->toPlainText().contains(name), qPrintable(text->toPlainText()));
    }
    action("actionAnonymous")->trigger();
    QVERIFY(column(table, ClassModel::Name).contains(QStringLiteral("Ann")));
}

void TestClassWindow::copiesNamedAsTheTableNamesThem_data()
{
    QTest::addColumn<bool>("anonymous");
    QTest::addColumn<QString>("shown"); // Ann's copy, as her row says it
    QTest::newRow("by name and id") << false << "张三 (104)";
    QTest::newRow("anonymous: by the participant alone") << true << "";
}

void TestClassWindow::copiesNamedAsTheTableNamesThem()
{
    QFETCH(bool, anonymous);
    QFETCH(QString, shown);
    QVERIFY(window->open_results(copies_planted(dir)));
    action("actionAnonymous")->setChecked(anonymous);
    const QString cell = window->model()->index(3, ClassModel::SimilarTo).data().toString();
    QCOMPARE(cell, (anonymous ? window->model()->shown_name(5) : shown) + " 100%");
    QVERIFY2(!cell.contains(QStringLiteral("assignsubmission")), qPrintable(cell));
}

void TestClassWindow::similarityTab_data()
{
    QTest::addColumn<bool>("anonymous");
    QTest::addColumn<QStringList>("pairs"); // as the tab lists them, "student | other"
    QTest::addColumn<QString>("annRow");    // Ann's cell of the table's "similar to"
    QTest::newRow("named as the table names them")
        << false
        << QStringList{"<b>Bold</b> (107) | =cmd|\"a,b\"\nx (108)", "Ann (101) | 张三 (104)"}
        << "张三 (104) 100%";
    QTest::newRow("anonymous: the participants alone")
        << true
        << QStringList{"Participant 101 | Participant 104", "Participant 107 | Participant 108"}
        << "Participant 104 100%";
}

void TestClassWindow::similarityTab()
{
    QFETCH(bool, anonymous);
    QFETCH(QStringList, pairs);
    QFETCH(QString, annRow);
    // The class's sources compared as a grading compares them: Ann and 张三 hand in one
    // solution, <b>Bold</b> and =cmd... another, .hidden and 王_小明 their own.
    const QList<FixtureStudent> roster = hostile_class();
    const unsigned plans[] = {3, 2, 2, 1, 0, 1, 0, 4};
    std::vector<StudentSources> sources;
    std::vector<std::string> folders;
    for (int i = 0; i < roster.size(); ++i) {
        if (plans[i] == 0)
            continue;
        StackPlan plan;
        plan.choices = plan.names = plan.order = plan.style = plans[i];
        const FixtureStudent &f = roster[i];
        sources.push_back(stack_solution((f.name + " (" + f.id + ")").toStdString(), plan));
        folders.push_back((f.name + "_" + f.id + "_assignsubmission_file_").toStdString());
    }
    const ClassSimilarity similarity = compare_class(sources, stack_template());
    GradebookOptions options;
    options.similarity = &similarity;
    options.similarity_folders = folders;
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), options, error), 0);
    QVERIFY2(
        write_similarity_outputs(dir.path().toStdString(), similarity, sources, Language(), error),
        error.c_str());
    QVERIFY(window->open_results(dir.path()));
    action("actionAnonymous")->setChecked(anonymous);

    auto *pane = window->findChild<SimilarityPane *>(QStringLiteral("similarityPane"));
    auto *list = window->findChild<QTableView *>(QStringLiteral("similarityTable"));
    QVERIFY(pane && list);
    window->findChild<QTabWidget *>(QStringLiteral("views"))->setCurrentWidget(pane);
    QStringList listed;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        listed << list->model()->index(row, SimilarityModel::Student).data().toString() + " | "
                      + list->model()->index(row, SimilarityModel::Other).data().toString();
    listed.sort();
    QCOMPARE(listed, pairs);
    QCOMPARE(window->model()->index(3, ClassModel::SimilarTo).data().toString(), annRow);
    const QString groups = window->findChild<QLabel *>(QStringLiteral("similarityGroups"))->text();
    if (anonymous)
        for (const FixtureStudent &f : roster)
            QVERIFY2(!groups.contains(f.name), qPrintable(groups));
    else
        QVERIFY2(groups.contains(QStringLiteral("Ann (101), 张三 (104)")), qPrintable(groups));

    // Choosing Ann's pair moves the students table to her, and offers the pair's page.
    const QModelIndex ann
        = list->model()
              ->match(list->model()->index(0, SimilarityModel::Student), Qt::DisplayRole,
                      pairs.filter("101").value(0).section(" | ", 0, 0), 1, Qt::MatchExactly)
              .value(0);
    QVERIFY(ann.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(ann).center());
    QCOMPARE(current_name(), QStringLiteral("Ann"));
    // The page names both students: offered only while names are shown.
    QCOMPARE(window->findChild<QPushButton *>(QStringLiteral("openPairPage"))->isEnabled(),
             !anonymous);
    if (anonymous)
        return;
    QFile page(pane->page().toLocalFile());
    QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(pane->page().toString()));
    QVERIFY(QFileInfo(page).absolutePath().startsWith(QDir(dir.path()).absolutePath()));
    const QString html = QString::fromUtf8(page.readAll());
    QVERIFY(html.contains(QStringLiteral("Ann (101)"))
            && html.contains(QStringLiteral("张三 (104)")));
    // Every pair's page is found, that of names similarity.csv quotes against spreadsheets too.
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        list->setCurrentIndex(list->model()->index(row, 0));
        QVERIFY2(!pane->page().isEmpty(), qPrintable(listed.value(row)));
    }
}

void TestClassWindow::textsFromTheSharedTranslation_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("chinese");
    // What the window shows, by the piece that shows it, with the Chinese file loaded.
    QTest::newRow("a menu") << "menu"
                            << "班级(&C)";
    QTest::newRow("a participant") << "participant"
                                   << "参与人101";
    QTest::newRow("a status the window had left in English") << "several programs"
                                                             << "多个程序";
    QTest::newRow("the detail pane") << "copy"
                                     << "复制反例";
    QTest::newRow("the similarity tab") << "page"
                                        << "打开这一对的页面";
}

void TestClassWindow::textsFromTheSharedTranslation()
{
    QFETCH(QString, shown);
    QFETCH(QString, chinese);
    // Loaded as orvimet-class loads it: the files of what students receive.
    QTranslator texts;
    std::string error;
    QVERIFY2(load_translation(texts, "zh_CN", error), error.c_str());
    QCoreApplication::installTranslator(&texts);
    ClassWindow translated;
    QVERIFY(translated.open_results(dir.path()));
    const auto button = [&](const char *name) {
        return translated.findChild<QPushButton *>(QString::fromLatin1(name))->text();
    };
    const QString text = shown == "menu"          ? translated.menuBar()->actions().value(0)->text()
                         : shown == "participant" ? (translated.model()->set_anonymous(true),
                                                     translated.model()->shown_name(3))
                         : shown == "copy"        ? button("copyCounterexample")
                         : shown == "page"        ? button("openPairPage")
                                                  : ClassModel::status_text(shown.toStdString());
    QCoreApplication::removeTranslator(&texts);
    QCOMPARE(text, chinese);
}

void TestClassWindow::rewriteTakesInOnlyWhatChanged_data()
{
    QTest::addColumn<QList<int>>("held");    // students of hostile_class() the window holds
    QTest::addColumn<QList<int>>("written"); // and those of the rewritten file
    QTest::addColumn<int>("regraded");       // a student whose record the file changes, or -1
    QTest::addColumn<QString>("told");       // what the views are told: rows inserted, changed
    // The class in results.json's order: .hidden, <b>Bold</b>, =cmd..., Ann, Bob, 张三, 李四,
    // 王_小明.
    const QList<int> all{0, 1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("the same file again") << all << all << -1 << "";
    QTest::newRow("students finished out of order, inserted where the file has them")
        << QList<int>{0, 3, 4, 7} << all << -1 << "inserted 1-2, inserted 5-6";
    QTest::newRow("one student regraded") << all << all << 4 << "changed 4-4";
    QTest::newRow("a finished student and a regraded one")
        << QList<int>{0, 1, 2, 3, 4, 5, 6} << all << 1 << "inserted 7-7, changed 1-1";
    QTest::newRow("a student gone: taken whole")
        << all << QList<int>{0, 1, 2, 4, 5, 6, 7} << -1 << "reset";
}

void TestClassWindow::rewriteTakesInOnlyWhatChanged()
{
    QFETCH(QList<int>, held);
    QFETCH(QList<int>, written);
    QFETCH(int, regraded);
    QFETCH(QString, told);
    const auto results = [](const QList<int> &students, int regraded) {
        QList<FixtureStudent> roster;
        for (int i : students) {
            roster << hostile_class()[i];
            if (i == regraded)
                roster.last().verdicts = QStringLiteral("cccccccccc");
        }
        ClassResults parsed;
        std::string error;
        parse_results(to_bytes(class_json(roster)), parsed, error);
        return parsed;
    };
    ClassModel *model = window->model();
    model->take(dir.path(), results(held, -1));
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->student(row).name == "Ann")
            window->select_student(row);
    QStringList said;
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex &, int first, int last) {
                said << QStringLiteral("inserted %1-%2").arg(first).arg(last);
            });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex &first, const QModelIndex &last) {
                said << QStringLiteral("changed %1-%2").arg(first.row()).arg(last.row());
            });
    connect(model, &QAbstractItemModel::modelReset, this, [&] { said << QStringLiteral("reset"); });
    model->take(dir.path(), results(written, regraded));
    disconnect(model, nullptr, this, nullptr);
    QCOMPARE(said.join(QStringLiteral(", ")), told);
    // What the model holds is the file's, whatever it was told.
    ClassModel fresh;
    fresh.take(dir.path(), results(written, regraded));
    QCOMPARE(model->rowCount(), written.size());
    for (int row = 0; row < model->rowCount(); ++row) {
        const int i = written[row];
        QCOMPARE(shown(model->student(row).name), hostile_class()[i].name);
        QCOMPARE(model->student(row).correct,
                 i == regraded ? 10 : int(hostile_class()[i].verdicts.count(QLatin1Char('c'))));
        QCOMPARE(model->points(row), fresh.points(row));
    }
    // The table stays on the student it was on, wherever the rows around it went.
    if (told != "reset")
        QCOMPARE(current_name(), QStringLiteral("Ann"));
}

void TestClassWindow::keyboard_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("caseIndex");
    // The class in results.json's order: .hidden, <b>Bold</b>, =cmd..., Ann, Bob, 张三, 李四,
    // 王_小明. A student opens at the first case not correct.
    QTest::newRow("next") << ".hidden" << QKeySequence(QStringLiteral("Ctrl+Down")) << "<b>Bold</b>"
                          << 5;
    QTest::newRow("previous") << "Ann" << QKeySequence(QStringLiteral("Ctrl+Up"))
                              << "=cmd|\"a,b\"\nx" << -1;
    QTest::newRow("next with a wrong case skips the rest")
        << "Ann" << QKeySequence(QStringLiteral("Ctrl+Shift+W")) << "张三" << 1;
    QTest::newRow("time-outs count as wrong")
        << "李四" << QKeySequence(QStringLiteral("Ctrl+Shift+W")) << "王_小明" << 5;
    QTest::newRow("next flagged: a memory finding")
        << ".hidden" << QKeySequence(QStringLiteral("Ctrl+Shift+F")) << "Ann" << 8;
    QTest::newRow("none further stays")
        << "王_小明" << QKeySequence(QStringLiteral("Ctrl+Down")) << "王_小明" << 5;
}

void TestClassWindow::keyboard()
{
    QFETCH(QString, from);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, to);
    QFETCH(int, caseIndex);
    for (int row = 0; row < window->model()->rowCount(); ++row)
        if (shown(window->model()->student(row).name) == from)
            window->select_student(row);
    QCOMPARE(current_name(), from);
    table->setFocus();
    // The table repaints the rows whose selection it is told changed.
    QSignalSpy told(table->selectionModel(), &QItemSelectionModel::selectionChanged);
    QTest::keySequence(window, keys);
    QCOMPARE(current_name(), to);
    QCOMPARE(told.isEmpty(), from == to);
    QCOMPARE(window->current_case(), caseIndex);
}

void TestClassWindow::matrixClickSelectsStudentAndCase()
{
    auto *matrix = window->findChild<CaseMatrix *>(QStringLiteral("caseMatrix"));
    QVERIFY(matrix);
    // A case's header counts wrong answers, time-outs and crashes alike.
    QCOMPARE(matrix->wrong_counts().value(0), 0);
    QCOMPARE(matrix->wrong_counts().value(5), 3);
    QCOMPARE(matrix->wrong_counts().value(9), 4);
    // Sorted, the matrix's rows are the table's.
    table->sortByColumn(ClassModel::Correct, Qt::AscendingOrder);
    const int last = table->model()->rowCount() - 1;
    QTest::mouseClick(matrix->viewport(), Qt::LeftButton, {}, matrix->cell_rect(last, 3).center());
    QCOMPARE(current_name(), QStringLiteral(".hidden"));
    QCOMPARE(window->current_case(), 3);
    QCOMPARE(table->currentIndex().row(), last);
}

void TestClassWindow::openDetails_data()
{
    QTest::addColumn<QString>("student");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("caseIndex");     // the case clicked or reached in the matrix
    QTest::addColumn<QStringList>("lines"); // lines the pane shows, as plain text
    QTest::addColumn<QString>("marked");    // the first differing word, marked
    const QString image = QStringLiteral("<img src=x onerror=\"document.title='%1'\">")
                              .arg(QString::fromLatin1(hostile_title));
    QTest::newRow("table, Down and Ctrl+D: the first failing case, mark-up as text")
        << "<b>Bold</b>"
        << "table keys" << -1
        << QStringList{"<b>Bold</b> — graded",          "Case 6: wrong",
                       "Options: -S 5 -I 1 2 3 -N 5",   "Student's answer: " + image,
                       "Reference answer: S 5 I 1 2 3", "-S 2 -I 0 1 -O 1"}
        << image.section(QLatin1Char(' '), 2);
    QTest::newRow("table, click: a compiler's log as it was written")
        << "Bob"
        << "table click" << -1
        << QStringList{"Bob — does not compile", "why not", "main.cpp:1: error: <b>stray</b>"}
        << "";
    QTest::newRow("matrix, click: the case clicked")
        << "王_小明"
        << "matrix click" << 6
        << QStringList{"Case 7: timeout", "Options: -S 5 -I 1 2 3 -N 6",
                       "Student's answer: S 5 \\xB5\\xC4 2"}
        << "\\xB5\\xC4";
    QTest::newRow("matrix, arrows and Enter: the case reached")
        << "张三"
        << "matrix keys" << 3
        << QStringList{"Case 4: wrong", "(1048576 bytes in all)", "Reference answer: S 5 I 1 2 3"}
        << "";
    QTest::newRow("table, click: a copy named as the table names it")
        << "Ann"
        << "table click" << -1 << QStringList{"Similar to", "张三 (104) 100%"} << "";
    QTest::newRow("table click: a memory finding with the string to rerun it")
        << "Ann"
        << "table click" << -1
        << QStringList{"Memory findings: 1", "heap-use-after-free",
                       "On the extended list, shrunk to: -S 1 -I -2147483648"}
        << "";
}

void TestClassWindow::openDetails()
{
    QFETCH(QString, student);
    QFETCH(QString, how);
    QFETCH(int, caseIndex);
    QFETCH(QStringList, lines);
    QFETCH(QString, marked);
    QVERIFY(window->open_results(copies_planted(dir)));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    int row = 0;
    while (row < window->model()->rowCount()
           && shown(window->model()->student(row).name) != student)
        ++row;
    auto *matrix = window->findChild<CaseMatrix *>(QStringLiteral("caseMatrix"));
    auto *text = window->findChild<QPlainTextEdit *>(QStringLiteral("detailText"));
    // The table and the matrix in results.json's order: a row of either is a row of the model.
    if (how == "table keys") {
        window->select_student(row - 1);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down);
        QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+D")));
    } else if (how == "table click") {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(row, 0)).center());
    } else {
        QTest::mouseClick(matrix->viewport(), Qt::LeftButton, {},
                          matrix->cell_rect(row, how == "matrix keys" ? 0 : caseIndex).center());
        if (how == "matrix keys") {
            for (int c = 0; c < caseIndex; ++c)
                QTest::keyClick(matrix, Qt::Key_Right);
            QTest::keyClick(matrix, Qt::Key_Return);
        }
    }
    QCOMPARE(current_name(), student);
    const QStringList shown_lines = text->toPlainText().split(QLatin1Char('\n'));
    for (const QString &line : lines)
        QVERIFY2(shown_lines.contains(line), qPrintable(line + "\n---\n" + text->toPlainText()));
    QCOMPARE(window->findChild<DetailPane *>(QStringLiteral("detailPane"))->marked_word(), marked);
    // Opened by keyboard, the pane takes the focus, to be read and copied from.
    if (how.endsWith(QLatin1String("keys")))
        QVERIFY(text->hasFocus());
}

void TestClassWindow::changedRowsMarked()
{
    // An earlier grading in which Bob's program compiled and 张三 had every case right.
    QList<FixtureStudent> earlier = hostile_class();
    earlier[4].status = QStringLiteral("graded");
    earlier[4].verdicts = QStringLiteral("cccccccccc");
    earlier[5].verdicts = QStringLiteral("cccccccccc");
    QTemporaryDir before;
    QFile file(before.filePath(QStringLiteral("results.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(to_bytes(class_json(earlier)));
    file.close();
    QVERIFY(window->compare_with(before.path()));
    QStringList changed;
    for (int row = 0; row < window->model()->rowCount(); ++row)
        if (window->model()->changed(row))
            changed << shown(window->model()->student(row).name);
    QCOMPARE(changed, (QStringList{"Bob", "张三"}));

    // Written from the window, the outputs say the same changes, the names as text.
    QSignalSpy exported(window, &ClassWindow::exported);
    window->findChild<QAction *>(QStringLiteral("actionExport"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(exported.size(), 1, 60000);
    QVERIFY(exported.first().first().toBool());
    for (const char *name : {"grades.csv", "report.html", "feedback.zip"})
        QVERIFY2(QFileInfo::exists(dir.filePath(QString::fromLatin1(name))), name);
    const QString said = window->findChild<QLabel *>(QStringLiteral("gradingStatus"))->toolTip();
    QVERIFY2(said.contains(QStringLiteral("Bob (102)")), qPrintable(said));
}

void TestClassWindow::regradeOneStudent()
{
    const QString submissions = dir.filePath(QStringLiteral("class"));
    for (const char *name : {"amy", "ben", "cat"})
        hand_in(submissions + "/" + name, QStringLiteral(ORVIMET_EXAMPLES_DIR "/queue.exe"));
    // Ben handed in his stack by mistake.
    hand_in(submissions + QStringLiteral("/ben"),
            QStringLiteral(ORVIMET_EXAMPLES_DIR "/stack.exe"));
    const QString out = dir.filePath(QStringLiteral("graded"));
    window->set_cli(QStringLiteral(ORVIMET_CLI));
    QSignalSpy finished(window, &ClassWindow::grading_finished);
    QVERIFY(window->start_grading(submissions, out,
                                  {"--exercise", "queue", "--jobs", "2", "--seed", "5"}));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 120000);
    QCOMPARE(window->model()->rowCount(), 3);
    const QMap<QString, QByteArray> before = records(out + QStringLiteral("/results.json"));
    QCOMPARE(before.size(), 3);
    QVERIFY(!before.values().contains(QByteArray()));

    // He hands in the queue; only his record is graded again.
    hand_in(submissions + QStringLiteral("/ben"),
            QStringLiteral(ORVIMET_EXAMPLES_DIR "/queue.exe"));
    window->select_student(1);
    QCOMPARE(shown(window->model()->student(1).folder), QStringLiteral("ben"));
    QCOMPARE(window->model()->student(1).correct, 4);
    // Graded anonymously: what the window says of the regrade names no one.
    window->findChild<QAction *>(QStringLiteral("actionAnonymous"))->trigger();
    window->findChild<QAction *>(QStringLiteral("actionRegrade"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 120000);
    const QString said = window->findChild<QLabel *>(QStringLiteral("gradingStatus"))->text();
    QVERIFY2(!said.contains(QStringLiteral("ben")), qPrintable(said));
    QCOMPARE(finished.last().first().toInt(), 0);
    const QMap<QString, QByteArray> after = records(out + QStringLiteral("/results.json"));
    QCOMPARE(after.value(QStringLiteral("amy")), before.value(QStringLiteral("amy")));
    QCOMPARE(after.value(QStringLiteral("cat")), before.value(QStringLiteral("cat")));
    QVERIFY(after.value(QStringLiteral("ben")) != before.value(QStringLiteral("ben")));
    // Its new sources are compared with the class again, as the grading's were.
    QVERIFY(after.value(QStringLiteral("ben")).contains("\"similar\":["));
    QCOMPARE(window->model()->student(1).correct, 10);
    // The window stays on the student it regraded.
    QCOMPARE(window->current_student(), 1);

    // A folder that is not one of the class's is refused, and the class's results stay as
    // they are.
    QFile results(out + QStringLiteral("/results.json"));
    QVERIFY(results.open(QIODevice::ReadOnly));
    const QByteArray graded = results.readAll();
    results.close();
    QProcess stranger;
    stranger.start(QStringLiteral(ORVIMET_CLI), {"grade", "--only", "dan", "--out", out});
    QVERIFY(stranger.waitForFinished(60000));
    QCOMPARE(stranger.exitCode(), 2);
    QVERIFY(stranger.readAllStandardError().contains("no student dan"));
    QVERIFY(results.open(QIODevice::ReadOnly));
    QCOMPARE(results.readAll(), graded);
    results.close();

    // His program in the student's window, on the case in view, as the manual test takes it.
    window->select_student(1, 7);
    window->findChild<QAction *>(QStringLiteral("actionManualTest"))->trigger();
    QWidget *manual = window->manual_test();
    QVERIFY(manual);
    const QString program = manual->findChild<QLineEdit *>(QStringLiteral("location"))->text();
    QVERIFY(QFileInfo(program).isExecutable());
    QCOMPARE(QFileInfo(program).fileName(), QStringLiteral("queue.exe"));
    QCOMPARE(manual->findChild<QLineEdit *>(QStringLiteral("input"))->text(),
             "queue " + shown(window->model()->student(1).cases[7].options));
    QVERIFY(manual->findChild<QRadioButton *>(QStringLiteral("radioButton_2"))->isChecked());
}

void TestClassWindow::cancelKeepsWhatIsDone()
{
    // Programs that never answer: each costs a few time-outs before it is given up.
    const QString submissions = dir.filePath(QStringLiteral("slow"));
    for (int i = 0; i < 8; ++i) {
        const QString folder = submissions + QStringLiteral("/s%1").arg(i);
        QDir().mkpath(folder);
        QFile source(folder + QStringLiteral("/queue.cpp"));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("#include <unistd.h>\nint main() { sleep(60); }\n");
    }
    const QString out = dir.filePath(QStringLiteral("cancelled"));
    window->set_cli(QStringLiteral(ORVIMET_CLI));
    QSignalSpy finished(window, &ClassWindow::grading_finished);
    QVERIFY(window->start_grading(
        submissions, out,
        {"--exercise", "queue", "--jobs", "1", "--timeout", "1", "--give-up-after", "3"}));
    // Cancelled once the first student of this grading is done.
    QTRY_VERIFY_WITH_TIMEOUT(window->model()->results_folder() == out
                                 && window->model()->rowCount() > 0
                                 && window->model()->student(0).status == Status::Graded,
                             120000);
    window->findChild<QAction *>(QStringLiteral("actionCancel"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
    ClassResults results;
    std::string error;
    QVERIFY2(read_results((out + QStringLiteral("/results.json")).toStdString(), results, error),
             error.c_str());
    QVERIFY(!results.complete);
    // Every student finished before the cancel is kept, as graded; the rest are not graded.
    QCOMPARE(results.students.front().status, Status::Graded);
    for (const StudentRecord &student : results.students)
        if (student.status == Status::Graded)
            QCOMPARE(student.timeouts, 3);
}

QTEST_MAIN(TestClassWindow)
#include "tst_classwindow.moc"
