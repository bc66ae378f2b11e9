#include "classwindow/classwindow.h"

#include "app/mainwindow.h"
#include "building/building.h"
#include "classwindow/casematrix.h"
#include "classwindow/classmodel.h"
#include "classwindow/detailpane.h"
#include "classwindow/gradingrun.h"
#include "classwindow/similaritypane.h"
#include "gradebook/gradebook.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QThreadPool>
#include <QVBoxLayout>

namespace {

bool has_wrong_case(const StudentRecord &s)
{
    return s.wrong + s.timeouts + s.crashes > 0;
}

int first_failed_case(const StudentRecord &s)
{
    for (std::size_t i = 0; i < s.cases.size(); ++i)
        if (s.cases[i].verdict != Verdict::Correct)
            return int(i);
    return s.cases.empty() ? -1 : 0;
}

} // namespace

ClassWindow::ClassWindow(QWidget *parent)
    : QMainWindow(parent)
    , model_(new ClassModel(this))
    , filter_(new StudentFilter(this))
    , table_(new QTableView)
    , detail_(new DetailPane(model_))
    , status_filter_(new QComboBox)
    , text_filter_(new QLineEdit)
    , status_label_(new QLabel)
    , progress_(new QProgressBar)
    , run_(new GradingRun(this))
    , cli_(QCoreApplication::applicationDirPath() + QStringLiteral("/orvimet-cli"))
{
    setObjectName(QStringLiteral("ClassWindow"));
    setWindowTitle(tr("Orvimet class"));
    filter_->setSourceModel(model_);
    filter_->setSortRole(ClassModel::SortRole);
    filter_->setDynamicSortFilter(true);
    matrix_ = new CaseMatrix(model_, filter_);

    table_->setObjectName(QStringLiteral("studentsTable"));
    table_->setModel(filter_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder); // the order of results.json until asked
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Names and folders are plain text already: the view draws display texts as they are.
    status_filter_->setObjectName(QStringLiteral("statusFilter"));
    text_filter_->setObjectName(QStringLiteral("textFilter"));
    text_filter_->setPlaceholderText(tr("Find a student"));
    text_filter_->setClearButtonEnabled(true);
    progress_->setObjectName(QStringLiteral("gradingProgress"));
    status_label_->setObjectName(QStringLiteral("gradingStatus"));
    progress_->setVisible(false);

    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel(tr("Status:")));
    filters->addWidget(status_filter_);
    filters->addWidget(text_filter_, 1);
    auto *top = new QWidget;
    auto *top_layout = new QVBoxLayout(top);
    top_layout->setContentsMargins(0, 0, 0, 0);
    top_layout->addLayout(filters);
    top_layout->addWidget(table_);
    similarity_ = new SimilarityPane(model_);
    auto *views = new QTabWidget;
    views->setObjectName(QStringLiteral("views"));
    views->addTab(matrix_, tr("Cases"));
    views->addTab(similarity_, tr("Similarity"));
    auto *bottom = new QSplitter(Qt::Horizontal);
    bottom->addWidget(views);
    bottom->addWidget(detail_);
    bottom->setStretchFactor(0, 3);
    bottom->setStretchFactor(1, 2);
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(top);
    split->addWidget(bottom);
    setCentralWidget(split);
    statusBar()->addWidget(status_label_, 1);
    statusBar()->addPermanentWidget(progress_);
    resize(1200, 800);

    build_menus();
    update_status_filter();

    connect(status_filter_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { filter_->set_status(status_filter_->currentData().toString()); });
    connect(text_filter_, &QLineEdit::textChanged, filter_, &StudentFilter::set_text);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (selecting_)
            return;
        case_ = -2;
        on_selection();
    });
    connect(matrix_, &CaseMatrix::cell_clicked, this, [this](int row, int case_index) {
        select_student(filter_->mapToSource(filter_->index(row, 0)).row(), case_index);
    });
    connect(matrix_, &CaseMatrix::open_details, this, [this] { show_details(); });
    connect(similarity_, &SimilarityPane::student_chosen, this,
            [this](int row) { select_student(row); });
    connect(detail_, &DetailPane::open_manual_test, this, [this] { open_manual_test(); });
    connect(run_, &GradingRun::results_changed, this, &ClassWindow::reload);
    connect(run_, &GradingRun::finished, this, &ClassWindow::grading_done);
}

ClassWindow::~ClassWindow() = default;

void ClassWindow::build_menus()
{
    const auto add
        = [this](QMenu *menu, const char *name, const QString &text, const QKeySequence &keys,
                 const std::function<void()> &slot, bool needs_results = true) {
              QAction *action = menu->addAction(text);
              action->setObjectName(QString::fromLatin1(name));
              action->setShortcut(keys);
              connect(action, &QAction::triggered, this, slot);
              if (needs_results)
                  needs_results_ << action;
              return action;
          };
    QMenu *file = menuBar()->addMenu(tr("&Class"));
    add(
        file, "actionOpen", tr("&Open results..."), QKeySequence::Open, [this] { open_dialog(); },
        false);
    add(
        file, "actionGrade", tr("&Grade submissions..."), QKeySequence(QStringLiteral("Ctrl+G")),
        [this] { grade_dialog(); }, false);
    cancel_ = file->addAction(tr("&Cancel grading"));
    cancel_->setObjectName(QStringLiteral("actionCancel"));
    cancel_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+X")));
    cancel_->setEnabled(false);
    connect(cancel_, &QAction::triggered, run_, &GradingRun::cancel);
    add(file, "actionCompare", tr("Compare with an &earlier grading..."),
        QKeySequence(QStringLiteral("Ctrl+Shift+O")), [this] { compare_dialog(); });
    add(file, "actionExport", tr("&Export grades, worksheet, feedback and report"),
        QKeySequence(QStringLiteral("Ctrl+E")), [this] { export_outputs(); });
    file->addSeparator();
    QAction *quit = file->addAction(tr("&Quit"));
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu *student = menuBar()->addMenu(tr("&Student"));
    add(student, "actionNextStudent", tr("&Next student"),
        QKeySequence(QStringLiteral("Ctrl+Down")),
        [this] { move_to(1, [](int) { return true; }); });
    add(student, "actionPreviousStudent", tr("&Previous student"),
        QKeySequence(QStringLiteral("Ctrl+Up")), [this] { move_to(-1, [](int) { return true; }); });
    add(student, "actionNextWrong", tr("Next with a &wrong case"),
        QKeySequence(QStringLiteral("Ctrl+Shift+W")),
        [this] { move_to(1, [this](int row) { return has_wrong_case(model_->student(row)); }); });
    add(student, "actionNextFlagged", tr("Next &flagged (similar, copy, memory finding)"),
        QKeySequence(QStringLiteral("Ctrl+Shift+F")),
        [this] { move_to(1, [this](int row) { return model_->flagged(row); }); });
    student->addSeparator();
    add(student, "actionDetails", tr("Open &details"), QKeySequence(QStringLiteral("Ctrl+D")),
        [this] { show_details(); });
    add(student, "actionRegrade", tr("&Regrade"), QKeySequence(QStringLiteral("Ctrl+R")),
        [this] { regrade(); });
    add(student, "actionManualTest", tr("Open in the &manual test"),
        QKeySequence(QStringLiteral("Ctrl+T")), [this] { open_manual_test(); });

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *anonymous = view->addAction(tr("&Anonymous"));
    anonymous->setObjectName(QStringLiteral("actionAnonymous"));
    anonymous->setCheckable(true);
    anonymous->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+A")));
    connect(anonymous, &QAction::toggled, this, [this](bool on) {
        model_->set_anonymous(on);
        filter_->invalidate();
        matrix_->viewport()->update();
        on_selection();
    });
    QAction *find = view->addAction(tr("&Find a student"));
    find->setObjectName(QStringLiteral("actionFind"));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] {
        text_filter_->setFocus();
        text_filter_->selectAll();
    });
    for (QAction *action : std::as_const(needs_results_))
        action->setEnabled(false);
}

int ClassWindow::current_student() const
{
    const QModelIndex current = table_->currentIndex();
    return current.isValid() ? filter_->mapToSource(current).row() : -1;
}

void ClassWindow::select_student(int model_row, int case_index)
{
    const QModelIndex index = filter_->mapFromSource(model_->index(model_row, 0));
    if (!index.isValid())
        return;
    // The view follows its selection model's signals to repaint: they are not blocked, only
    // this window's own reaction to them, which would choose the case itself.
    selecting_ = true;
    table_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect
                                                         | QItemSelectionModel::Rows);
    selecting_ = false;
    table_->scrollTo(index);
    case_ = case_index;
    on_selection();
}

void ClassWindow::on_selection()
{
    const int row = current_student();
    if (row < 0) {
        detail_->show_student(-1, -1);
        matrix_->set_current(-1, -1);
        return;
    }
    if (case_ == -2)
        case_ = first_failed_case(model_->student(row));
    detail_->show_student(row, case_);
    matrix_->set_current(table_->currentIndex().row(), case_);
}

void ClassWindow::move_to(int step, const std::function<bool(int)> &wanted)
{
    const int rows = filter_->rowCount();
    if (rows == 0)
        return;
    int at
        = table_->currentIndex().isValid() ? table_->currentIndex().row() : (step > 0 ? -1 : rows);
    for (at += step; at >= 0 && at < rows; at += step) {
        const int row = filter_->mapToSource(filter_->index(at, 0)).row();
        if (wanted(row)) {
            select_student(row);
            return;
        }
    }
    statusBar()->showMessage(tr("No further student"), 3000);
}

bool ClassWindow::open_results(const QString &path)
{
    QString error;
    if (!model_->open(path, error)) {
        status_label_->setText(tr("Cannot open %1: %2").arg(path, error));
        return false;
    }
    results_folder_ = model_->results_folder();
    setWindowTitle(tr("Orvimet class — %1").arg(results_folder_));
    update_status_filter();
    for (QAction *action : std::as_const(needs_results_))
        action->setEnabled(true);
    status_label_->setText(
        tr("%n student(s), %1 cases", nullptr, model_->rowCount()).arg(model_->case_count()));
    if (model_->rowCount() > 0 && current_student() < 0)
        select_student(filter_->mapToSource(filter_->index(0, 0)).row());
    return true;
}

bool ClassWindow::compare_with(const QString &path)
{
    QString error;
    if (!model_->compare_with(path, error)) {
        status_label_->setText(tr("Cannot open %1: %2").arg(path, error));
        return false;
    }
    compare_path_ = QFileInfo(path).absoluteFilePath();
    return true;
}

void ClassWindow::update_status_filter()
{
    const QString chosen = status_filter_->currentData().toString();
    QStringList statuses;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QString status = shown(word(model_->student(row).status));
        if (!statuses.contains(status))
            statuses << status;
    }
    const QSignalBlocker quiet(status_filter_);
    status_filter_->clear();
    status_filter_->addItem(tr("all"), QString());
    for (const QString &status : statuses)
        status_filter_->addItem(ClassModel::status_text(status.toStdString()), status);
    status_filter_->setCurrentIndex(qMax(0, status_filter_->findData(chosen)));
}

void ClassWindow::open_dialog()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open a results folder"));
    if (!folder.isEmpty())
        open_results(folder);
}

void ClassWindow::compare_dialog()
{
    const QString folder
        = QFileDialog::getExistingDirectory(this, tr("Open an earlier grading of the class"));
    if (!folder.isEmpty())
        compare_with(folder);
}

void ClassWindow::grade_dialog()
{
    const QString submissions = QFileDialog::getOpenFileName(
        this, tr("Grade an archive of submissions"), QString(),
        tr("Archives (*.zip *.tar *.tar.gz *.tgz *.7z);;All files (*)"));
    if (submissions.isEmpty())
        return;
    const QString config = QFileDialog::getOpenFileName(this, tr("The class file"), QString(),
                                                        tr("Class files (*.toml)"));
    if (config.isEmpty())
        return;
    const QString out = QFileDialog::getSaveFileName(this, tr("The results folder"));
    if (!out.isEmpty())
        start_grading(submissions, out, {QStringLiteral("--config"), config});
}

bool ClassWindow::start_grading(const QString &submissions, const QString &results_folder,
                                const QStringList &arguments)
{
    if (run_->running())
        return false;
    results_folder_ = QFileInfo(results_folder).absoluteFilePath();
    regrading_.clear();
    QStringList words{QStringLiteral("grade"), QStringLiteral("--out"), results_folder_};
    words << arguments << QStringLiteral("--") << submissions;
    progress_->setRange(0, 0);
    progress_->setVisible(true);
    cancel_->setEnabled(true);
    status_label_->setText(tr("Grading %1").arg(submissions));
    started_.start();
    return run_->start(cli_, words, results_folder_ + QStringLiteral("/results.json"));
}

void ClassWindow::regrade()
{
    const int row = current_student();
    if (row < 0 || run_->running() || results_folder_.isEmpty())
        return;
    regrading_ = shown(model_->student(row).folder);
    progress_->setRange(0, 0);
    progress_->setVisible(true);
    cancel_->setEnabled(true);
    // By the name as shown: the folder holds the student's name, which anonymous grading hides.
    regrading_shown_ = model_->shown_name(row);
    status_label_->setText(tr("Regrading %1").arg(regrading_shown_));
    run_->start(cli_,
                {QStringLiteral("grade"), QStringLiteral("--only"), regrading_,
                 QStringLiteral("--out"), results_folder_},
                results_folder_ + QStringLiteral("/results.json"));
}

void ClassWindow::reload()
{
    // results.json of a large class takes the better part of a second to read: it is read on a
    // worker thread and taken in here, so that the window keeps answering while a class is
    // graded. One read at a time; a rewrite meanwhile is read once that one is taken.
    if (reading_) {
        read_again_ = true;
        return;
    }
    reading_ = true;
    const QString folder = results_folder_;
    const QPointer<ClassWindow> self(this);
    QThreadPool::globalInstance()->start([self, folder] {
        auto results = std::make_shared<ClassResults>();
        auto digests = std::make_shared<std::vector<QByteArray>>();
        QString error;
        const bool read = ClassModel::read(folder, *results, error);
        if (read)
            *digests = ClassModel::digests(*results);
        QMetaObject::invokeMethod(
            qApp,
            [self, folder, results, digests, read] {
                if (self)
                    self->take_results(folder, read ? results : nullptr, std::move(*digests));
            },
            Qt::QueuedConnection);
    });
}

void ClassWindow::take_results(const QString &folder, const std::shared_ptr<ClassResults> &results,
                               std::vector<QByteArray> digests)
{
    reading_ = false;
    // A file being replaced is read at the next look.
    if (results && folder == results_folder_)
        show_results(std::move(*results), std::move(digests));
    if (read_again_) {
        read_again_ = false;
        reload();
    } else if (finished_ != not_finished) {
        const int code = finished_;
        finished_ = not_finished;
        emit grading_finished(code);
    }
}

void ClassWindow::show_results(ClassResults results, std::vector<QByteArray> digests)
{
    const int row = current_student();
    const std::string folder = row >= 0 ? model_->student(row).folder : std::string();
    const int keep_case = case_;
    model_->take(results_folder_, std::move(results), std::move(digests));
    if (!needs_results_.isEmpty() && !needs_results_.first()->isEnabled())
        for (QAction *action : std::as_const(needs_results_))
            action->setEnabled(true);
    update_status_filter();
    show_progress();
    for (int r = 0; r < model_->rowCount(); ++r)
        if (!folder.empty() && model_->student(r).folder == folder) {
            select_student(r, keep_case);
            return;
        }
    if (current_student() < 0 && model_->rowCount() > 0)
        select_student(filter_->mapToSource(filter_->index(0, 0)).row());
}

void ClassWindow::show_progress()
{
    if (!run_->running() || !regrading_.isEmpty())
        return;
    const QJsonObject &document = model_->results().document;
    const int total = document.value(QStringLiteral("totals"))
                          .toObject()
                          .value(QStringLiteral("students"))
                          .toInt();
    int done = 0;
    QString last;
    // The file holds the students who are done, and only them.
    for (int row = 0; row < model_->rowCount(); ++row) {
        ++done;
        last = model_->shown_name(row);
    }
    progress_->setRange(0, qMax(1, total));
    progress_->setValue(done);
    // The time left as the console reckons it: the pace so far, over the students to come.
    QString left;
    if (done > 0 && done < total) {
        const qint64 seconds = started_.elapsed() / 1000 * (total - done) / done;
        left
            = tr(", about %1:%2 left").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    status_label_->setText(
        tr("Grading: %1 of %2 students%3; last: %4").arg(done).arg(total).arg(left, last));
}

void ClassWindow::grading_done(int exit_code, bool cancelled)
{
    progress_->setVisible(false);
    cancel_->setEnabled(false);
    QString said = run_->output().trimmed();
    said = said.mid(said.lastIndexOf(QLatin1Char('\n')) + 1);
    if (cancelled)
        status_label_->setText(tr("Grading cancelled; what was done is kept"));
    else if (exit_code < 0 || exit_code >= 2)
        status_label_->setText(tr("Grading ended with status %1: %2").arg(exit_code).arg(said));
    else
        status_label_->setText(regrading_.isEmpty() ? tr("Grading done")
                                                    : tr("Regraded %1").arg(regrading_shown_));
    regrading_.clear();
    // Said once the last state of results.json is shown.
    finished_ = exit_code;
    reload();
}

void ClassWindow::export_outputs()
{
    if (results_folder_.isEmpty() || exporting_)
        return;
    // The pages and the report of a large class take seconds to write: on a worker thread.
    exporting_ = true;
    status_label_->setText(tr("Writing grades.csv, the worksheet, feedback.zip and report.html"));
    const std::string folder = results_folder_.toStdString();
    const std::string earlier = compare_path_.toStdString();
    const QPointer<ClassWindow> self(this);
    QThreadPool::globalInstance()->start([self, folder, earlier] {
        GradebookOptions options;
        options.compare_with = earlier;
        auto said = std::make_shared<QStringList>();
        options.say = [said](const std::string &line) { *said << shown(line); };
        std::string error;
        const bool written = write_outputs(folder, options, error) == 0;
        QMetaObject::invokeMethod(
            qApp,
            [self, written, error, said] {
                if (!self)
                    return;
                self->exporting_ = false;
                self->status_label_->setText(
                    written ? tr("Written beside results.json: grades.csv, report.html, "
                                 "feedback.zip and the worksheet")
                            : tr("Cannot write the outputs: %1").arg(shown(error)));
                // What the gradebook said (changes since the earlier grading) names students:
                // shown as text, whatever their names hold.
                self->status_label_->setToolTip(
                    said->isEmpty() ? QString()
                                    : QStringLiteral("<p style='white-space:pre'>")
                                          + said->join(QLatin1Char('\n')).toHtmlEscaped()
                                          + QStringLiteral("</p>"));
                emit self->exported(written);
            },
            Qt::QueuedConnection);
    });
}

void ClassWindow::show_details()
{
    const int row = current_student();
    if (row < 0)
        return;
    if (case_ < 0)
        case_ = first_failed_case(model_->student(row));
    on_selection();
    detail_->setFocus();
    detail_->findChild<QWidget *>(QStringLiteral("detailText"))->setFocus();
}

void ClassWindow::open_manual_test()
{
    const int row = current_student();
    if (row < 0)
        return;
    const StudentRecord &s = model_->student(row);
    const QJsonObject &document = model_->results().document;
    const QString exercise = document.value(QStringLiteral("exercise")).toString();
    // The built program is in the cache of builds under the hash of its sources; a program
    // handed in ready-made is in the student's own folder.
    QString program;
    const QJsonObject record = [&] {
        for (const QJsonValue &v : document.value(QStringLiteral("students")).toArray())
            if (v.toObject().value(QStringLiteral("folder")).toString() == shown(s.folder))
                return v.toObject();
        return QJsonObject();
    }();
    const QString hash
        = record.value(QStringLiteral("build")).toObject().value(QStringLiteral("hash")).toString();
    const QString cache = shown(default_cache_folder());
    if (!hash.isEmpty() && !cache.isEmpty()
        && QFileInfo(cache + "/" + hash + QStringLiteral("/program")).isFile())
        program = cache + "/" + hash + QStringLiteral("/program");
    const QString handed_in = document.value(QStringLiteral("submissions")).toString() + "/"
                              + shown(s.folder) + "/" + exercise;
    if (program.isEmpty() && QFileInfo(handed_in).isFile())
        program = handed_in;
    if (program.isEmpty()) {
        status_label_->setText(tr("This student's program is not at hand: regrade to build it"));
        return;
    }
    // The student's window takes a program by the name typed before the options, as
    // `<name>.exe` beside the chosen one: the program is copied under that name into a folder of
    // the class window's own, never run from the cache or the student's folder.
    manual_folder_ = std::make_unique<QTemporaryDir>();
    const QString copy = manual_folder_->filePath(exercise + QStringLiteral(".exe"));
    if (!QFile::copy(program, copy)) {
        status_label_->setText(tr("Cannot copy the program to %1").arg(copy));
        return;
    }
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    manual_ = std::make_unique<MainWindow>();
    const auto set_text = [&](const char *name, const QString &text) {
        if (auto *edit = manual_->findChild<QLineEdit *>(QString::fromLatin1(name)))
            edit->setText(text);
    };
    set_text("location", copy);
    const int c = case_ >= 0 && case_ < int(s.cases.size()) ? case_ : first_failed_case(s);
    const QString options = c >= 0 ? shown(s.cases[std::size_t(c)].options) : QString();
    set_text("input", (exercise + " " + options).trimmed());
    const char *radio = exercise == QLatin1String("stack")   ? "radioButton"
                        : exercise == QLatin1String("queue") ? "radioButton_2"
                                                             : "radioButton_3";
    if (auto *button = manual_->findChild<QRadioButton *>(QString::fromLatin1(radio)))
        button->setChecked(true);
    manual_->show();
}
