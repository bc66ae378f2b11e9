#pragma once

// The grader's one window. Its members are defined in this folder, one file per subsystem:
//   mainwindow.cpp  construction          actions.cpp  the file dialog, reset and help
//   runner.cpp      start_process and processError
//   judge.cpp       auto_test             manual.cpp   the manual test
//   suite.cpp       the automatic suite
// Slots only read and write widgets and hand the byte-level work to the free functions declared
// in judge/judgecore.h and judge/cutting.h.

#include <QMainWindow>
#include <QProcess>
#include <string>

namespace Ui {
class MainWindow;
}

// The slots take and return std::string by value; written as `string` so that the meta-object
// records the type name "string".
using std::string;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void on_toolButton_clicked();
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushButton_3_clicked();
    bool auto_test(string location_s, string command_s, string input, int flag_stack);
    string start_process(QString command);
    int processError(QProcess::ProcessError error);
    void on_help_clicked();

private:
    int exercise_choice() const;

    Ui::MainWindow *ui;
    QProcess *process;
};
