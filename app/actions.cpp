// The three actions that run no program: choosing the program, reset and help.
#include "app/mainwindow.h"

#include "app/outputarea.h"
#include "app/startfolder.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

void MainWindow::on_toolButton_clicked()
{
    // "*.exe" stands where the directory goes: the dialog opens in the working directory (or,
    // working in the window's own folder, in the last program's folder or the home folder) with
    // "*.exe" proposed as the file name, and no name filter hides files of other kinds.
    const QString own_folder
        = start_folder(true, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                       QString())
              .folder;
    const QString directory = dialog_directory(tr("*.exe"), ui->location->text(),
                                               QDir::currentPath(), own_folder, QDir::homePath());
    const QString caption = tr("打开文件");
    const QString path = QFileDialog::getOpenFileName(this, caption, directory, QString());
    if (path.isNull())
        return;
    ui->location->setText(path);
}

void MainWindow::on_pushButton_2_clicked()
{
    ui->location->clear();
    ui->input->clear();
    ui->label_5->clear();
}

void MainWindow::on_help_clicked()
{
    show_text(ui->label_5, "1.程序的输入输出见说明文档。\n\n"
                           "2.程序中一定不要输出一些无关的信息，否则可能会导致程序判断出错！\n\n"
                           "3.用户程序所在目录不要包含中文和空格等特殊字符！\n\n"
                           "4.发现问题请在QQ群里及时反馈!\n\n"
                           "版本号：V3.0\n\n"
                           "单位：Halvorn");
}
