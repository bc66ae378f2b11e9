#pragma once

// results.json of a made-up class, as `orvimet-cli grade` writes it, for the tests of the grade
// sheets and pages. Its students include hostile ones: a program that prints HTML that would run
// script, answers with bytes that are not UTF-8 (written as \xHH), a name that was GBK in its
// archive, a name meant to hide its feedback folder, and an answer cut at 4096 bytes.

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

inline QJsonObject student_json(const FixtureStudent &student)
{
    QJsonArray cases;
    int correct = 0, wrong = 0, timeouts = 0, crashes = 0, not_graded = 0;
    for (int i = 0; i < student.verdicts.size(); ++i) {
        const QChar v = student.verdicts[i];
        const bool ok = v == QLatin1Char('c');
        correct += ok;
        wrong += v == QLatin1Char('w');
        timeouts += v == QLatin1Char('t');
        crashes += v == QLatin1Char('x');
        not_graded += v == QLatin1Char('n');
        const QString verdict = ok                      ? "correct"
                                : v == QLatin1Char('w') ? "wrong"
                                : v == QLatin1Char('t') ? "timeout"
                                : v == QLatin1Char('x') ? "crash"
                                                        : "not graded";
        const QString reference = QStringLiteral("S 5 I 1 2 3");
        const QString answer = ok ? reference : student.answer;
        cases.append(QJsonObject{
            {"options", QStringLiteral("-S 5 -I 1 2 3 -N %1").arg(i)},
            {"verdict", verdict},
            {"ending", ok || v == QLatin1Char('w') ? "exit" : "timeout"},
            {"exit_code", 0},
            {"signal", 0},
            {"seconds", 0.004},
            {"student", answer.left(4096)},
            {"student_bytes", answer.toUtf8().size() > 4096 ? 1 << 20 : answer.toUtf8().size()},
            {"reference", reference},
            {"reference_bytes", reference.size()},
            {"difference", ok ? QJsonValue() : QJsonValue(2)},
            {"student_word", ok ? "" : answer.section(QLatin1Char(' '), 2, 2)},
            {"reference_word", ok ? "" : "I"},
            {"note", ""},
            {"memcheck", ""}});
    }
    const QString folder = student.name + "_" + student.id + "_assignsubmission_file_";
    QJsonObject s{{"folder", folder},
                  {"name", student.name},
                  {"id", student.id},
                  {"status", student.status},
                  {"message", student.status == "graded" ? "" : "why not"},
                  {"build", QJsonObject{{"from_cache", false},
                                        {"warnings", 0},
                                        {"log", student.status == "does not compile"
                                                    ? "main.cpp:1: error: <b>stray</b>"
                                                    : ""},
                                        {"hash", "9f2c"}}},
                  {"memcheck", QJsonObject{{"findings", student.findings},
                                           {"first", student.findings ? "heap-use-after-free" : ""},
                                           {"evasion", ""}}},
                  {"copies", QJsonArray()},
                  {"correct", correct},
                  {"wrong", wrong},
                  {"timeouts", timeouts},
                  {"crashes", crashes},
                  {"not_run", 0},
                  {"not_graded", not_graded},
                  {"cases", cases}};
    if (wrong > 0)
        s.insert("counterexample",
                 QJsonObject{{"options", "-S 2 -I 0 1 -O 1"}, {"original", "-S 5"}, {"steps", 7}});
    return s;
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
