// The automatic suite: the chosen program judged on the ten fixed option strings.
#include "app/mainwindow.h"

#include "app/outputarea.h"
#include "judge/cutting.h"
#include "judge/suitecases.h"
#include "ui_mainwindow.h"

#include <iostream>

void MainWindow::on_pushButton_3_clicked()
{
    const int flag_stack = exercise_choice();
    std::cout << "flag_stack:" << flag_stack << std::endl;
    const QString location_text = ui->location->text();
    const string location = location_text.toUtf8().toStdString();
    std::cout << "location_s:" << location << std::endl;
    // A location of "/" characters alone names no program: refused like an empty one.
    const string command_s = suite_program_name(location);
    if (command_s.empty()) {
        show_text(ui->label_5, "请选择文件位置！");
        return;
    }
    const string location_s = program_directory(location);
    std::cout << location_s << std::endl;
    ui->label_5->setPlainText(QStringLiteral("正在测试") + location_text
                              + QStringLiteral("......."));

    int correct = 0;
    const GatheredAppends gathered(ui->label_5);
    for (const char *options : suite_options) {
        if (auto_test(location_s, command_s, options, flag_stack))
            ++correct;
    }
    append_text(ui->label_5, "共10个测试样例\n正确个数：" + std::to_string(correct) + "\n错误个数："
                                 + std::to_string(10 - correct));
}
