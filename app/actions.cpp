// The three actions that run no program: choosing the program, reset and help.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::on_toolButton_clicked() {}

void MainWindow::on_pushButton_2_clicked() {}

void MainWindow::on_help_clicked() {}
