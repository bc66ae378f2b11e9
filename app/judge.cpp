// Judging one case: the student's program and the reference program run with the same options,
// and their answers are compared word by word.
#include "app/mainwindow.h"

#include "app/outputarea.h"
#include "judge/installation.h"
#include "judge/judgecore.h"
#include "judge/outputfiles.h"
#include "judge/utf8.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <iostream>

bool MainWindow::auto_test(string location_s, string command_s, string input, int flag_stack)
{
    const CaseFiles files = case_files(location_s, command_s, input);
    if (!is_readable_file(files.program_path)) {
        show_text(ui->label_5, "不存在该应用程序，请检查命令格式！！！" + files.program_path);
        return false;
    }
    const StudentAnswer answer = student_answer(files, [&] {
        std::cout << "command:" << files.command_line << std::endl;
        append_text(ui->label_5, "执行命令：" + files.command_line);
        return start_process(from_utf8(files.command_line));
    });
    std::cout << answer.taken << "Qprocess" << std::endl;
    if (!answer.unread.empty()) {
        // The grader's own want, not the program's answer: no verdict at all.
        append_text(ui->label_5, "未能评判：" + answer.unread);
        return false;
    }
    const string &student_text = answer.text;

    const WindowReference reference
        = window_reference(flag_stack, QCoreApplication::applicationDirPath());
    if (reference.prefix.empty()) {
        // Names every place tried, so that a missing or misplaced installation can be told apart.
        string message = "标准程序不存在！";
        for (const string &path : reference.looked)
            message += "\n" + path;
        show_text(ui->label_5, message);
        return false;
    }
    const string reference_text = start_process(from_utf8(reference.prefix + input));
    const bool correct = compare_answers(student_text, reference_text).equal();
    append_text(ui->label_5, judgement_report(student_text, reference_text, correct));
    return correct;
}
