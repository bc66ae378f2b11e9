#include "app/mainwindow.h"

#include "app/childprocess.h"
#include "ui_mainwindow.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Orvimet V3.0"));
    setFixedSize(600, 350);
    setObjectName(QStringLiteral("mainWindow"));
    // Matches the window alone through its object name, so no child widget takes the picture.
    setStyleSheet(QStringLiteral("#mainWindow{border-image:url(:/file/background);}"));
    ui->radioButton->setChecked(true);
    // The output area is read-only: nothing can be undone there, so no undo step is recorded.
    ui->label_5->setUndoRedoEnabled(false);
    // No parent: the window deletes it itself, after the widgets.
    process = new_window_process();
    connect(process, &QProcess::errorOccurred, this, &MainWindow::processError);
}

MainWindow::~MainWindow()
{
    delete ui;
    delete process;
}

// Both drivers read the exercise the same way; radioButton_3 is never queried: 2 means "neither
// of the other two".
int MainWindow::exercise_choice() const
{
    if (ui->radioButton->isChecked())
        return 0;
    return ui->radioButton_2->isChecked() ? 1 : 2;
}
