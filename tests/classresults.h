#pragma once

// results.json of a made-up class, its students written as `orvimet-cli grade` writes them, for the
// tests of the grade sheets and pages. Its students include hostile ones: a program that prints
// HTML that would run script, answers with bytes that are not UTF-8 (written as \xHH), a name that
// was GBK in its archive, a name meant to hide its feedback folder, and an answer cut at 4096
// bytes.

#include "results/resultsjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// The title a hostile page script would set, were it ever to run.
inline const char hostile_title[] = "pwned";

struct FixtureStudent
{
    QString name, id, status;
    QString verdicts; // one letter a case: c correct, w wrong, t timeout, x crash, n not graded
    QString answer = QStringLiteral("S 5 I 1 2 3");
    int findings = 0;
};

// The student's record as the grading would make it, written by the results' own writer.
inline QJsonObject student_json(const FixtureStudent &student)
{
    StudentRecord s;
    s.name = student.name.toStdString();
    s.id = student.id.toStdString();
    s.folder = s.name + "_" + s.id + "_assignsubmission_file_";
    const std::optional<Status> status = status_named(student.status.toStdString());
    s.status = status.value_or(Status::NotGraded);
    s.message = s.status == Status::Graded ? "" : "why not";
    s.build_hash = "9f2c" + s.id;
    if (s.status == Status::DoesNotCompile)
        s.build_log = "main.cpp:1: error: <b>stray</b>";
    const std::string reference = "S 5 I 1 2 3";
    for (int i = 0; i < student.verdicts.size(); ++i) {
        const char v = student.verdicts[i].toLatin1();
        CaseRecord c;
        c.options = "-S 5 -I 1 2 3 -N " + std::to_string(i);
        c.verdict = v == 'c'   ? Verdict::Correct
                    : v == 'w' ? Verdict::Wrong
                    : v == 't' ? Verdict::Timeout
                    : v == 'x' ? Verdict::Crash
                               : Verdict::NotGraded;
        c.ending = v == 'c' || v == 'w' ? Ending::Exit : v == 'x' ? Ending::Crash : Ending::Timeout;
        if (c.ending == Ending::Exit)
            c.exit_code = 0;
        c.seconds = 0.004;
        const std::string answer = v == 'c' ? reference : student.answer.toStdString();
        c.student = kept_answer(answer);
        // A long answer stands for one of a megabyte, cut.
        c.student_bytes = answer.size() > kept_answer_bytes ? 1 << 20 : answer.size();
        c.reference = reference;
        c.reference_bytes = static_cast<std::int64_t>(reference.size());
        if (v != 'c') {
            c.difference = 2;
            c.student_word = student.answer.section(QLatin1Char(' '), 2, 2).toStdString();
            c.reference_word = "I";
        }
        s.cases.push_back(c);
    }
    recount(s);
    s.memcheck_findings = student.findings;
    s.memcheck_first = student.findings ? "heap-use-after-free" : "";
    s.memcheck_extended_shrunk = student.findings ? "-S 1 -I -2147483648" : "";
    if (s.wrong > 0) {
        s.has_counterexample = true;
        s.counterexample_options = "-S 2 -I 0 1 -O 1";
        s.counterexample_original = "-S 5";
        s.counterexample_steps = 7;
    }
    return QJsonDocument::fromJson(student_text(s, true)).object();
}

inline QJsonObject class_json(const QList<FixtureStudent> &roster)
{
    QJsonArray students;
    QJsonObject totals{{"students", roster.size()},
                       {"graded", 0},
                       {"does_not_compile", 0},
                       {"nothing_handed_in", 0},
                       {"windows_program", 0},
                       {"could_not_start", 0},
                       {"refused", 0},
                       {"missing", 0}};
    for (const FixtureStudent &student : roster) {
        students.append(student_json(student));
        QString key = student.status;
        key.remove(QStringLiteral("a ")).replace(' ', '_');
        totals.insert(key, totals.value(key).toInt() + 1);
    }
    return QJsonObject{
        {"format", "orvimet-results"},
        {"format_version", 1},
        {"orvimet", "3.0"},
        {"date", "2026-12-08T10:15:00Z"},
        {"complete", true},
        {"exercise", "queue"},
        {"submissions", "/home/t/class.zip"},
        {"from_course_website", true},
        {"cases", QJsonObject{{"source", "ten"}, {"count", 10}, {"seed", 42}, {"explore", 0}}},
        {"limits", QJsonObject{{"wall_seconds", 10}}},
        {"sandbox", true},
        {"build",
         QJsonObject{{"compiler", "g++"}, {"flags", QJsonArray{"-O2"}}, {"memcheck", false}}},
        {"give_up_after", 3},
        {"shard", QJsonObject{{"part", 1}, {"of", 1}}},
        {"scoring",
         QJsonObject{{"points", 100}, {"memcheck_penalty", 0}, {"groups", QJsonArray()}}},
        {"totals", totals},
        {"students", students}};
}

// The class the page tests grade, in the order of the names' bytes, as the intake sorts them.
inline QList<FixtureStudent> hostile_class()
{
    const QString script
        = QStringLiteral("<script>document.title='%1'</script>").arg(hostile_title);
    const QString image
        = QStringLiteral("<img src=x onerror=\"document.title='%1'\">").arg(hostile_title);
    return {
        {".hidden", "106", "graded", "cccccccccc"},
        {"<b>Bold</b>", "107", "graded", "cccccwwwww", image},
        {"=cmd|\"a,b\"\nx", "108", "nothing handed in", ""},
        {"Ann", "101", "graded", "ccccccccww", script, 1},
        {"Bob", "102", "does not compile", ""},
        {"张三", "104", "graded", "cwwwwwwwww", QString(5000, QLatin1Char('9'))},
        {"李四", "105", "not graded", ""},
        {"王_小明", "103", "graded", "ccccctttww", QStringLiteral("S 5 \\xB5\\xC4 2")},
    };
}

inline QByteArray to_bytes(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}
