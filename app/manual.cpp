// The manual test: one command typed by the user, judged against the reference program.
#include "app/mainwindow.h"

#include "app/outputarea.h"
#include "judge/cutting.h"
#include "ui_mainwindow.h"

#include <iostream>

void MainWindow::on_pushButton_clicked()
{
    const string location = ui->location->text().toUtf8().toStdString();
    if (location.empty()) {
        show_text(ui->label_5, "请选择文件位置！");
        return;
    }
    const string location_s = program_directory(location);
    const string typed = ui->input->text().toUtf8().toStdString();
    const auto [command_s, input] = split_command(typed);
    if (command_s.empty()) {
        show_text(ui->label_5, "请输入命令！");
        return;
    }
    std::cout << location_s << command_s << input << std::endl;
    const int flag_stack = exercise_choice();
    show_text(ui->label_5, string());
    auto_test(location_s, command_s, input, flag_stack);
}
