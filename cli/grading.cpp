#include "cli/grading.h"

#include "drivers/cutting.h"
#include "judge/commandline.h"
#include "judge/judgecore.h"
#include "judge/outputfiles.h"
#include "judge/platform.h"
#include "judge/utf8.h"

#include <QDir>
#include <QString>

namespace {

std::string to_utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

// What the window's runner hands back: the output read as a C string.
std::string answer_of(const ChildRun &run)
{
    return until_nul(run.output.data(), run.output.size());
}

} // namespace

StudentProgram student_program(const std::string &given)
{
    const std::string path
        = to_utf8(QDir::cleanPath(QDir::current().absoluteFilePath(from_utf8(given))));
    return {given, program_directory(path), suite_program_name(path)};
}

bool program_exists(const StudentProgram &program)
{
    return is_readable_file(case_files(program.location_s, program.command_s, {}).program_path);
}

std::string program_answer_file(const StudentProgram &program)
{
    return case_files(program.location_s, program.command_s, {}).dir_output;
}

std::string reference_file_name(int flag_stack)
{
    // The window's reference table names the files; only the folder is the grader's choice.
    const std::string prefix = file_path(reference_prefix(flag_stack));
    return prefix.empty() ? prefix : suite_program_name(prefix);
}

std::string reference_command(const std::string &reference_path, const std::string &options)
{
    // The window's reference paths hold no blanks; a chosen folder may, so quote it.
    const bool quote = reference_path.find_first_of(" \t\"") != std::string::npos;
    return (quote ? '"' + reference_path + '"' : reference_path) + " " + options;
}

ReferenceAnswer run_reference(const Grading &grading, const std::string &options,
                              const std::string &workdir)
{
    ReferenceAnswer answer;
    answer.run = run_child(
        program_and_arguments(from_utf8(reference_command(grading.reference_path, options))),
        workdir, grading.timeout);
    answer.text = answer_of(answer.run);
    answer.run.output.clear();
    return answer;
}

CaseResult run_student(const Grading &grading, const StudentProgram &program,
                       const std::string &options, const std::string &workdir)
{
    CaseResult result;
    result.options = options;
    const CaseFiles files = case_files(program.location_s, program.command_s, options, workdir);
    result.command_line = files.command_line;
    remove_stale_outputs(files);
    result.run
        = run_child(program_and_arguments(from_utf8(files.command_line)), workdir, grading.timeout);
    result.student_text = normalise_answer(take_student_answer(files, answer_of(result.run)));
    result.run.output.clear();
    return result;
}

void compare_answers(CaseResult &result, const std::string &reference_text)
{
    result.reference_text = reference_text;
    const AnswerComparison comparison = compare_answers(result.student_text, reference_text);
    result.difference = comparison.index;
    result.student_token = comparison.student_word;
    result.reference_token = comparison.reference_word;
    result.correct
        = result.difference == std::string::npos && result.run.end != ChildRun::End::TimedOut;
}

CaseResult judge_case(const Grading &grading, const StudentProgram &program,
                      const std::string &options, const std::string &reference_text,
                      const std::string &workdir)
{
    CaseResult result = run_student(grading, program, options, workdir);
    compare_answers(result, reference_text);
    return result;
}
