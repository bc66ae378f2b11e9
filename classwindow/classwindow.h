#pragma once

// The teacher's window over a graded class. How the pieces meet:
//   ClassModel (classmodel.h)   the records of results.json, one row a student
//   StudentFilter               the table's sorting and filtering; its order is the matrix's too
//   CaseMatrix (casematrix.h)   students × cases, painted
//   DetailPane (detailpane.h)   one student and one case as text
//   SimilarityPane              the flagged pairs and copies, a tab beside the matrix
//   GradingRun (gradingrun.h)   a child orvimet-cli grading, followed through results.json
// The current student is a row of the model; the table, the matrix and the detail pane follow
// it. Every action is in the menus with its shortcut; object names are the tests' handles.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

struct ClassResults;
class CaseMatrix;
class ClassModel;
class DetailPane;
class GradingRun;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTableView;
class SimilarityPane;
class StudentFilter;
class MainWindow;

class ClassWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ClassWindow(QWidget *parent = nullptr);
    ~ClassWindow() override;

    // A results folder (or its results.json): shown; false with a message in the status bar.
    bool open_results(const QString &path);
    // A folder or archive of submissions, graded into `results_folder` by a child orvimet-cli
    // with `arguments` added (--config FILE, --exercise ...), followed as it goes.
    bool start_grading(const QString &submissions, const QString &results_folder,
                       const QStringList &arguments);
    bool compare_with(const QString &path);
    // The orvimet-cli to run: beside this program unless set.
    void set_cli(const QString &path) { cli_ = path; }

    // The current student as a row of the model, -1 for none, and the case in view.
    int current_student() const;
    int current_case() const { return case_; }
    void select_student(int model_row, int case_index = -2);
    ClassModel *model() const { return model_; }
    GradingRun *grading() const { return run_; }
    // The student's window of the last "open in the manual test".
    MainWindow *manual_test() const { return manual_.get(); }

signals:
    void grading_finished(int exit_code);
    void exported(bool written);

private:
    void build_menus();
    void move_to(int step, const std::function<bool(int)> &wanted);
    void on_selection();
    void open_dialog();
    void grade_dialog();
    void compare_dialog();
    void export_outputs();
    void regrade();
    void open_manual_test();
    void show_details();
    void reload();
    void take_results(const QString &folder, const std::shared_ptr<ClassResults> &results,
                      std::vector<QByteArray> digests);
    void show_results(ClassResults results, std::vector<QByteArray> digests);
    void show_progress();
    void grading_done(int exit_code, bool cancelled);
    void update_status_filter();

    ClassModel *model_;
    StudentFilter *filter_;
    QTableView *table_;
    CaseMatrix *matrix_;
    DetailPane *detail_;
    SimilarityPane *similarity_;
    QComboBox *status_filter_;
    QLineEdit *text_filter_;
    QLabel *status_label_;
    QProgressBar *progress_;
    GradingRun *run_;
    QString cli_;
    QString results_folder_;
    QString regrading_; // the folder of the student being regraded, else empty
    QString regrading_shown_;
    QElapsedTimer started_;
    QString compare_path_; // the earlier grading the rows are compared with
    bool exporting_ = false;
    int case_ = -1;
    bool selecting_ = false;
    bool reading_ = false, read_again_ = false;
    static constexpr int not_finished = -1000;
    int finished_ = not_finished; // the exit status of a grading whose last state is being read
    std::unique_ptr<MainWindow> manual_;
    std::unique_ptr<QTemporaryDir> manual_folder_;
    QList<QAction *> needs_results_;
    QAction *cancel_ = nullptr;
};
