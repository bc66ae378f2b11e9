#include "gradebook/pages.h"

#include "gradebook/language.h"
#include "gradebook/sheets.h"
#include "judge/utf8.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonObject>
#include <archive.h>
#include <archive_entry.h>
#include <kainjow/mustache.hpp>

#include <algorithm>
#include <ctime>
#include <map>

using kainjow::mustache::data;
using kainjow::mustache::mustache;

namespace {

// Shared by both pages: plain, printable, readable without any script.
const char style[] = R"(
body { font-family: sans-serif; margin: 1.5em auto; max-width: 70em; color: #222; }
h1 { font-size: 1.5em; } h2 { font-size: 1.25em; margin-top: 1.5em; } h3 { font-size: 1.05em; }
table { border-collapse: collapse; margin: .5em 0; }
th, td { border: 1px solid #ccc; padding: .2em .45em; text-align: left; vertical-align: top; }
th { background: #f2f2f2; }
table.cases { width: 100%; table-layout: fixed; }
table.cases col.n { width: 3em; } table.cases col.options { width: 34%; } table.cases col.verdict { width: 8em; }
table.cases td { overflow-wrap: anywhere; }
table.cases td:nth-child(n+4), pre { white-space: pre-wrap; word-break: break-all; font-family: monospace; }
table.cases td:nth-child(2) { font-family: monospace; }
pre { background: #f7f7f7; padding: .5em; border: 1px solid #ddd; max-height: 30em; overflow: auto; }
pre.command { user-select: all; }
mark { background: #ffd54d; }
tr.wrong td, tr.timeout td, tr.crash td, tr.not-run td { background: #fff1f0; }
.status { font-size: 1.15em; } .cut { color: #666; font-size: .85em; }
details { margin: .4em 0; } summary { cursor: pointer; }
th[data-dir=asc]::after { content: " \25B2"; } th[data-dir=desc]::after { content: " \25BC"; }
#students th { cursor: pointer; }
svg rect { fill: #4a7bb7; } svg text { font-size: 11px; fill: #333; }
)";

const char details_template[] = R"(<div class="details">
<p class="status">{{status}}{{#has_points}} · <b>{{points_line}}</b>{{/has_points}}</p>
{{#has_message}}<p>{{message}}</p>
{{/has_message}}{{#has_counts}}<p>{{counts_line}}</p>
{{/has_counts}}{{#has_log}}<h3>{{log_heading}}</h3>
<pre>{{log}}</pre>
{{/has_log}}{{#has_memcheck}}<h3>{{memcheck_heading}}</h3>
<pre>{{memcheck_first}}</pre>
{{#has_memcheck_command}}<pre class="command">{{memcheck_command}}</pre>
{{/has_memcheck_command}}{{/has_memcheck}}{{#has_counterexample}}<h3>{{command_heading}}</h3>
<pre class="command">{{command}}</pre>
{{/has_counterexample}}{{#has_cases}}<h3>{{cases_heading}}</h3>
<table class="cases"><colgroup><col class="n"><col class="options"><col class="verdict"><col><col></colgroup><thead><tr><th>#</th><th>{{options_heading}}</th><th>{{verdict_heading}}</th><th>{{answer_heading}}</th><th>{{expected_heading}}</th></tr></thead>
<tbody>
{{{rows}}}</tbody></table>
{{/has_cases}}</div>
)";

// The rows of the cases' table, each rendered on its own: a class holds tens of thousands.
const char same_row_template[]
    = R"(<tr><td>{{n}}<td>{{options}}{{#options_cut}}<span class="cut">{{options_note}}</span>{{/options_cut}}<td>{{verdict}}<td colspan="2">{{#reference}}{{before}}{{#cut}}<span class="cut">{{note}}</span>{{/cut}}{{/reference}}
)";

const char case_row_template[]
    = R"(<tr class="{{row_class}}"><td>{{n}}<td>{{options}}{{#options_cut}}<span class="cut">{{options_note}}</span>{{/options_cut}}<td>{{verdict}}{{#has_note}}<br><span class="cut">{{note}}</span>{{/has_note}}{{#has_case_memcheck}}<br><span class="cut">{{case_memcheck}}</span>{{/has_case_memcheck}}<td>{{#student}}{{before}}{{#has_mark}}<mark>{{marked}}</mark>{{/has_mark}}{{after}}{{#cut}}<span class="cut">{{note}}</span>{{/cut}}{{/student}}<td>{{#reference}}{{before}}{{#has_mark}}<mark>{{marked}}</mark>{{/has_mark}}{{after}}{{#cut}}<span class="cut">{{note}}</span>{{/cut}}{{/reference}}
)";

const char feedback_template[] = R"(<!DOCTYPE html>
<html lang="{{lang}}"><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{title}}</title>
<style>{{{style}}}</style></head>
<body>
<h1>{{heading}}</h1>
<p>{{name}}{{#has_id}} · {{participant}}{{/has_id}} · {{graded}}</p>
{{{details}}}
</body></html>
)";

const char report_template[] = R"(<!DOCTYPE html>
<html lang="{{lang}}"><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; script-src '{{script_hash}}'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{title}}</title>
<style>{{{style}}}</style></head>
<body>
<h1>{{title}}</h1>
<p>{{graded_line}}</p>
{{{similarity}}}{{#incomplete}}<p><b>{{t_incomplete}}</b></p>
{{/incomplete}}<h2>{{t_summary}}</h2>
<table id="counts"><thead><tr><th>{{t_status}}</th><th>{{t_students}}</th></tr></thead><tbody>
{{#counts}}<tr><td>{{status}}</td><td>{{count}}</td></tr>
{{/counts}}</tbody></table>
<p>{{t_mean}} <b id="mean">{{mean}}</b> · {{t_median}} <b id="median">{{median}}</b> · {{scored_line}}</p>
<svg id="histogram" xmlns="http://www.w3.org/2000/svg" width="{{svg_width}}" height="{{svg_height}}" role="img" aria-label="{{t_histogram}}">
{{#bars}}<rect x="{{x}}" y="{{y}}" width="{{width}}" height="{{height}}"><title>{{label}}: {{count}}</title></rect><text x="{{x}}" y="{{label_y}}">{{low}}</text><text x="{{x}}" y="{{count_y}}">{{count}}</text>
{{/bars}}</svg>
{{#has_changes}}<h2>{{changes_heading}}</h2>
<table id="changes"><thead><tr><th>{{t_name}}</th><th>{{t_id}}</th><th>{{t_status_before}}</th><th>{{t_status_now}}</th><th>{{t_points_before}}</th><th>{{t_points_now}}</th></tr></thead><tbody>
{{#changes}}<tr><td>{{name}}</td><td>{{id}}</td><td>{{old_status}}</td><td>{{new_status}}</td><td>{{old_points}}</td><td>{{new_points}}</td></tr>
{{/changes}}</tbody></table>
{{/has_changes}}<h2>{{t_students}}</h2>
<table id="students"><thead><tr><th data-type="text">{{t_name}}</th><th data-type="num">{{t_id}}</th><th data-type="text">{{t_status}}</th><th data-type="num">{{t_points}}</th><th data-type="num">{{t_correct}}</th><th data-type="num">{{t_wrong}}</th><th data-type="num">{{t_timeouts}}</th><th data-type="num">{{t_crashes}}</th><th data-type="num">{{t_findings}}</th><th data-type="text">{{t_copies}}</th></tr></thead>
<tbody>
{{#rows}}<tr><td><a href="#s{{n}}">{{name}}</a></td><td>{{id}}</td><td>{{status}}</td><td data-v="{{points_key}}">{{points}}</td><td>{{correct}}</td><td>{{wrong}}</td><td>{{timeouts}}</td><td>{{crashes}}</td><td>{{findings}}</td><td>{{copies}}</td></tr>
{{/rows}}</tbody></table>
<h2>{{t_details}}</h2>
)";

// Then each student's details, already HTML as student_details made them: they follow their
// summary as they are, not through a template, for they are most of the report's megabytes.
const char report_summary_template[]
    = R"(<details id="s{{n}}"><summary>{{name}} {{id}} · {{status}} · {{points}}</summary>
{{#has_copies}}<p>{{copies_line}}</p>
{{/has_copies}}{{#has_program}}<p>{{program_line}}</p>
{{/has_program}})";

const char report_end_template[] = R"(<script>{{{script}}}</script>
</body></html>
)";

// Sorts the students' table by a clicked header; a second click reverses. Numbers compare as
// numbers (a cell's data-v when it has one), texts in the Chinese collation, ties keep the order
// they had.
const char sort_script[]
    = R"(document.querySelectorAll('#students th').forEach(function (th, column) {
  th.addEventListener('click', function () {
    var body = document.querySelector('#students tbody');
    var numeric = th.getAttribute('data-type') === 'num';
    var up = th.getAttribute('data-dir') !== 'asc';
    document.querySelectorAll('#students th').forEach(function (h) { h.removeAttribute('data-dir'); });
    th.setAttribute('data-dir', up ? 'asc' : 'desc');
    var key = function (row) {
      var cell = row.cells[column];
      var text = cell.hasAttribute('data-v') ? cell.getAttribute('data-v') : cell.textContent;
      return numeric ? (text === '' ? -Infinity : parseFloat(text)) : text;
    };
    var rows = Array.prototype.map.call(body.rows, function (row, i) { return [key(row), i, row]; });
    rows.sort(function (a, b) {
      var order = numeric ? a[0] - b[0] : a[0].localeCompare(b[0], 'zh');
      return (up ? order : -order) || a[1] - b[1];
    });
    rows.forEach(function (r) { body.appendChild(r[2]); });
  });
});
)";

mustache &compiled(const char *text)
{
    // Templates are parsed once for each thread that renders; rendering is what a class of 300
    // students repeats, on every core.
    thread_local std::map<const char *, mustache> cache;
    auto found = cache.find(text);
    if (found == cache.end()) {
        found = cache.emplace(text, mustache(text)).first;
        found->second.set_custom_escape(escape_html);
    }
    return found->second;
}

void render(const char *text, const data &values, std::string &out)
{
    compiled(text).render(values, [&out](const std::string &piece) { out += piece; });
}

std::string render(const char *text, const data &values)
{
    std::string out;
    render(text, values, out);
    return out;
}

// A value goes into the template data by moving: data::set copies it whole, which for every
// case of every student (each row, both answers) and the report's details was more work than
// rendering them.
void put(data &object, const std::string &key, data &&value)
{
    object[key] = std::move(value);
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// An answer split around its word number `word` (none when -1 or beyond what was kept).
// Long options and the expected answers of correct cases are shown in part, with their size: a
// case of ten thousand values would otherwise fill every student's details with the same 50 kB,
// and the report holds every student's. What a wrong case printed keeps its results' length.
constexpr std::size_t shown_options_bytes = 1024;
constexpr std::size_t shown_correct_answer_bytes = 256;
const char cut_note[] = QT_TRANSLATE_NOOP("Feedback", " … (%1 bytes)");

// The first `limit` bytes of `text`, cut before a character's continuation bytes.
std::string shown_part(const std::string &text, std::size_t limit)
{
    return text.substr(0, utf8_cut(text, limit));
}

data answer_data(const std::string &answer, std::int64_t size, int word, const Language &language)
{
    data d;
    std::size_t begin = answer.size(), end = answer.size();
    if (word >= 0) {
        int index = -1;
        for (std::size_t i = 0; i < answer.size();) {
            while (i < answer.size() && is_blank(answer[i]))
                ++i;
            if (i == answer.size())
                break;
            std::size_t j = i;
            while (j < answer.size() && !is_blank(answer[j]))
                ++j;
            if (++index == word) {
                begin = i;
                end = j;
                break;
            }
            i = j;
        }
    }
    put(d, "before", answer.substr(0, begin));
    put(d, "marked", answer.substr(begin, end - begin));
    put(d, "has_mark", end > begin);
    put(d, "after", answer.substr(end));
    const bool cut = size > static_cast<std::int64_t>(answer.size());
    put(d, "cut", cut);
    if (cut)
        put(d, "note", fill(language.text(cut_note), {std::to_string(size)}));
    return d;
}

const char *row_class(const std::string &verdict)
{
    static const char *const known[] = {"correct", "wrong", "timeout", "crash"};
    for (const char *name : known)
        if (verdict == name)
            return name;
    return verdict == "not run" ? "not-run" : "other";
}

// The words of statuses and verdicts as results.json writes them, and of the exercises: marked
// here for the translations, looked up by the words themselves.
[[maybe_unused]] const char *const result_words[] = {
    QT_TRANSLATE_NOOP("Feedback", "graded"),
    QT_TRANSLATE_NOOP("Feedback", "does not compile"),
    QT_TRANSLATE_NOOP("Feedback", "several programs"),
    QT_TRANSLATE_NOOP("Feedback", "nothing handed in"),
    QT_TRANSLATE_NOOP("Feedback", "a Windows program"),
    QT_TRANSLATE_NOOP("Feedback", "could not start"),
    QT_TRANSLATE_NOOP("Feedback", "refused"),
    QT_TRANSLATE_NOOP("Feedback", "missing"),
    QT_TRANSLATE_NOOP("Feedback", "not graded"),
    QT_TRANSLATE_NOOP("Feedback", "correct"),
    QT_TRANSLATE_NOOP("Feedback", "wrong"),
    QT_TRANSLATE_NOOP("Feedback", "timeout"),
    QT_TRANSLATE_NOOP("Feedback", "crash"),
    QT_TRANSLATE_NOOP("Feedback", "not run"),
    QT_TRANSLATE_NOOP("Feedback", "stack"),
    QT_TRANSLATE_NOOP("Feedback", "queue"),
    QT_TRANSLATE_NOOP("Feedback", "stackqueue"),
};

std::string cases_text(const ClassResults &results, const Language &language)
{
    // "ten" and "extended" are the built-in lists; any other source is a case file's path.
    [[maybe_unused]] const char *const lists[]
        = {QT_TRANSLATE_NOOP("Feedback", "ten"), QT_TRANSLATE_NOOP("Feedback", "extended")};
    std::string text = language.text(results.cases.c_str());
    if (results.case_count > 0)
        text = fill(language.text(QT_TRANSLATE_NOOP("Feedback", "%1, %2 per student")),
                    {text, std::to_string(results.case_count)});
    return text;
}

// The sentence of an archive's refusal (or an entry's skipping), as the translations know it;
// none for another kind.
const char *refusal_pattern(Reason reason)
{
    switch (reason) {
    case Reason::RefusedUnreadable:
        return QT_TRANSLATE_NOOP("Taking", "cannot be read: %1");
    case Reason::RefusedTooManyEntries:
        return QT_TRANSLATE_NOOP("Taking", "more than %1 entries");
    case Reason::RefusedNameUnreadable:
        return QT_TRANSLATE_NOOP("Taking", "an entry whose name cannot be read");
    case Reason::RefusedAbsolutePath:
        return QT_TRANSLATE_NOOP("Taking", "an absolute path: %1");
    case Reason::RefusedLeavesFolder:
        return QT_TRANSLATE_NOOP("Taking", "a path that leaves its folder: %1");
    case Reason::RefusedTooDeep:
        return QT_TRANSLATE_NOOP("Taking", "folders nested more than %1 deep: %2");
    case Reason::RefusedLink:
        return QT_TRANSLATE_NOOP("Taking", "a link: %1");
    case Reason::RefusedDevice:
        return QT_TRANSLATE_NOOP("Taking", "a device file or fifo: %1");
    case Reason::RefusedSameName:
        return QT_TRANSLATE_NOOP("Taking", "the same name twice: %1");
    case Reason::RefusedNameTooLong:
        return QT_TRANSLATE_NOOP("Taking", "a name too long: %1");
    case Reason::RefusedFileTooLarge:
        return QT_TRANSLATE_NOOP("Taking", "a file larger than %1: %2");
    case Reason::RefusedTooLarge:
        return QT_TRANSLATE_NOOP("Taking", "unpacks to more than %1");
    case Reason::RefusedRatio:
        return QT_TRANSLATE_NOOP("Taking", "unpacks to more than %1 times its size (a zip bomb)");
    default:
        return nullptr;
    }
}

// The intake's and the grader's sentences, in the page's language ("Taking" context); the
// grader's own error and the class file's line stay as they were written, for the teacher.
std::string taking_message(const StudentRecord &s, const Language &l)
{
    const auto in = [&](const char *source) { return l.text_in("Taking", source); };
    const std::vector<std::string> &v = s.reasons;
    const std::string first = v.empty() ? std::string() : v.front();
    // A refusal names the student's archive first, when there is one: "work.zip: a link: x".
    const auto refused = [&](const std::string &pattern) {
        const std::string said
            = fill(pattern, v.empty() ? v : std::vector<std::string>(v.begin() + 1, v.end()));
        return first.empty() ? said
                             : fill(in(QT_TRANSLATE_NOOP("Taking", "%1: %2")), {first, said});
    };
    if (const char *pattern = refusal_pattern(s.reason))
        return refused(in(pattern));
    switch (s.reason) {
    case Reason::CouldNotStart:
        return fill(in(QT_TRANSLATE_NOOP("Taking", "could not start: %1")), {first});
    case Reason::GraderBuild:
        return fill(in(QT_TRANSLATE_NOOP("Taking", "the grader could not build it: %1")), {first});
    case Reason::GraderProgram:
        return fill(
            in(QT_TRANSLATE_NOOP("Taking", "the grader could not take the built program: %1")),
            {first});
    case Reason::Interrupted:
        return in(QT_TRANSLATE_NOOP("Taking", "the grading was interrupted"));
    case Reason::NotHandedInSource:
        return fill(
            in(QT_TRANSLATE_NOOP(
                "Taking", "%1 names %2 to build, which is not one of the sources handed in")),
            {first, v.size() > 1 ? v[1] : std::string()});
    case Reason::WindowsProgram:
        return in(QT_TRANSLATE_NOOP("Taking", "a Windows program: hand in the sources"));
    case Reason::NothingHandedIn:
        return in(QT_TRANSLATE_NOOP("Taking", "nothing handed in"));
    case Reason::NestedArchive:
        return in(QT_TRANSLATE_NOOP(
            "Taking", "nothing handed in (an archive inside an archive is not unpacked)"));
    case Reason::OneArchive:
        return in(QT_TRANSLATE_NOOP(
            "Taking",
            "nothing handed in (only one archive of a folder without sources is unpacked)"));
    case Reason::ShareTooLarge:
        return fill(in(QT_TRANSLATE_NOOP(
                        "Taking",
                        "in the class's archive, this student's files unpack to more than %1 MiB")),
                    {first});
    case Reason::ShareRatio:
        return fill(in(QT_TRANSLATE_NOOP("Taking", "in the class's archive, this student's files "
                                                   "unpack to more than %1 times their size (a zip "
                                                   "bomb)")),
                    {first});
    default:
        break;
    }
    return s.message;
}

// Why a student has no program, in the page's language: building's kind of problem through the
// translation ("Building" context), its values as building gave them; the compiler's own line
// stays as the compiler wrote it; the grader's and the intake's kinds are said by
// taking_message. A record without a kind (an older file, an intake's message with notes of
// skipped entries) keeps its message. In English each sentence is byte for byte the message the
// grading wrote.
std::string status_message(const StudentRecord &s, const Language &l)
{
    const auto in
        = [&](const char *source, int n = -1) { return l.text_in("Building", source, n); };
    const std::vector<std::string> &v = s.reasons;
    const std::string first = v.empty() ? std::string() : v.front();
    std::string names;
    for (const std::string &name : v)
        names += (names.empty() ? "" : in(QT_TRANSLATE_NOOP("Building", ", "))) + name;
    const int count = static_cast<int>(v.size());
    switch (s.reason) {
    case Reason::None:
        break;
    case Reason::CompilerError:
    case Reason::Unreadable:
        return fill(in(QT_TRANSLATE_NOOP("Building", "does not compile: %1")), {first});
    case Reason::NoSource:
        return in(QT_TRANSLATE_NOOP("Building", "does not compile: no C++ source"));
    case Reason::BuildTimeout:
        return fill(
            in(QT_TRANSLATE_NOOP("Building", "does not compile: the build took longer than %1 s")),
            {first});
    case Reason::CompilerCpu:
        return fill(
            in(QT_TRANSLATE_NOOP("Building",
                                 "does not compile: the compiler used more than %1 s of CPU time")),
            {first});
    case Reason::CompilerMemory:
        return fill(
            in(QT_TRANSLATE_NOOP(
                "Building", "does not compile: the compiler needed more than %1 MiB of memory")),
            {first});
    case Reason::CompilerFile:
        return fill(
            in(QT_TRANSLATE_NOOP("Building",
                                 "does not compile: the compiler wrote a file larger than %1 MiB")),
            {first});
    case Reason::ProgramTooLarge:
        return fill(in(QT_TRANSLATE_NOOP("Building",
                                         "does not compile: the program is larger than %1 MiB")),
                    {first});
    case Reason::CompilerKilled:
        return in(QT_TRANSLATE_NOOP(
            "Building",
            "does not compile: the compiler was killed at a limit of CPU time or memory"));
    case Reason::CompilerSignal:
        return fill(
            in(QT_TRANSLATE_NOOP("Building", "does not compile: the compiler ended by signal %1")),
            {first});
    case Reason::CompilerSilent:
        return in(QT_TRANSLATE_NOOP("Building",
                                    "does not compile: the compiler failed without a message"));
    case Reason::Empty:
        return fill(in(QT_TRANSLATE_N_NOOP("Building", "nothing handed in: %1 is empty"), count),
                    {names});
    case Reason::SeveralMains:
        return fill(in(QT_TRANSLATE_N_NOOP("Building", "%n files define main: %1"), count),
                    {names});
    default:
        return taking_message(s, l);
    }
    return s.message;
}

// The message with the notes of entries skipped in the student's share of the class's archive
// after it, as the intake wrote them: "skipped: a link: x; ...; and 2 more".
std::string said_message(const StudentRecord &s, const Language &l)
{
    if (s.skipped.empty())
        return status_message(s, l);
    const auto in = [&](const char *source, int n = -1) { return l.text_in("Taking", source, n); };
    std::string notes;
    for (const auto &[reason, values] : s.skipped) {
        const char *pattern = refusal_pattern(reason);
        notes += (notes.empty() ? "" : in(QT_TRANSLATE_NOOP("Taking", "; ")))
                 + (pattern ? fill(in(pattern), values) : std::string());
    }
    if (s.skipped_more > 0)
        notes += in(QT_TRANSLATE_N_NOOP("Taking", "; and %n more"), s.skipped_more);
    notes = fill(in(QT_TRANSLATE_NOOP("Taking", "skipped: %1")), {notes});
    if (s.reason == Reason::None)
        return notes;
    return status_message(s, l) + in(QT_TRANSLATE_NOOP("Taking", "; ")) + notes;
}

std::string csp_hash(const char *script)
{
    return "sha256-"
           + QCryptographicHash::hash(QByteArray(script), QCryptographicHash::Sha256)
                 .toBase64()
                 .toStdString();
}

} // namespace

std::string student_details(const ClassResults &results, const StudentRecord &s,
                            std::optional<double> points, const ScoringRule &rule,
                            const Language &language)
{
    const Language &l = language;
    data d;
    put(d, "status", l.text(word(s.status).c_str()));
    put(d, "has_points", points.has_value());
    put(d, "points_line",
        fill(l.text(QT_TRANSLATE_NOOP("Feedback", "%1 of %2 points")),
             {points ? points_text(*points) : std::string(), points_text(rule.points)}));
    put(d, "message", said_message(s, l));
    put(d, "has_message", !s.message.empty());
    put(d, "has_counts", s.status == Status::Graded);
    const std::string separator = l.text(QT_TRANSLATE_NOOP("Feedback", ", "));
    put(d, "counts_line",
        fill(l.text(QT_TRANSLATE_N_NOOP("Feedback", "Of %n case(s): %1."),
                    static_cast<int>(s.cases.size())),
             {l.text(QT_TRANSLATE_N_NOOP("Feedback", "%n correct"), s.correct) + separator
              + l.text(QT_TRANSLATE_N_NOOP("Feedback", "%n wrong"), s.wrong) + separator
              + l.text(QT_TRANSLATE_N_NOOP("Feedback", "%n time-out(s)"), s.timeouts) + separator
              + l.text(QT_TRANSLATE_N_NOOP("Feedback", "%n crash(es)"), s.crashes)}));
    put(d, "has_log", !s.build_log.empty());
    put(d, "log", s.build_log);
    put(d, "log_heading",
        l.text(QT_TRANSLATE_N_NOOP("Feedback", "Compiler messages (%n warning(s))"),
               s.build_warnings));
    put(d, "has_memcheck", s.memcheck_findings > 0);
    put(d, "memcheck_heading",
        fill(l.text(QT_TRANSLATE_NOOP("Feedback", "Memory findings: %1")),
             {std::to_string(s.memcheck_findings)}));
    put(d, "memcheck_first", s.memcheck_first);
    // A finding on a string of the extended list, which is no case: the string to rerun.
    put(d, "has_memcheck_command", !s.memcheck_extended_shrunk.empty());
    put(d, "memcheck_command",
        "./" + results.exercise + (s.memcheck_extended_shrunk.rfind(' ', 0) == 0 ? "" : " ")
            + s.memcheck_extended_shrunk);
    put(d, "command_heading", l.text(QT_TRANSLATE_NOOP("Feedback", "A short command that fails")));
    put(d, "cases_heading", l.text(QT_TRANSLATE_NOOP("Feedback", "Cases")));
    put(d, "options_heading", l.text(QT_TRANSLATE_NOOP("Feedback", "Options")));
    put(d, "verdict_heading", l.text(QT_TRANSLATE_NOOP("Feedback", "Verdict")));
    put(d, "answer_heading", l.text(QT_TRANSLATE_NOOP("Feedback", "Program's answer")));
    put(d, "expected_heading", l.text(QT_TRANSLATE_NOOP("Feedback", "Expected answer")));
    put(d, "has_counterexample", s.has_counterexample);
    put(d, "command", "./" + results.exercise + " " + s.counterexample_options);
    put(d, "has_cases", !s.cases.empty());
    // The rows go in whole: a list of template data is copied as it grows, row by row.
    std::string rows;
    for (std::size_t i = 0; i < s.cases.size(); ++i) {
        const CaseRecord &c = s.cases[i];
        data row;
        // Numbered from 1, as the handout and the class file's groups number them.
        put(row, "n", std::to_string(i + 1));
        put(row, "options", shown_part(c.options, shown_options_bytes));
        put(row, "options_cut", c.options.size() > shown_options_bytes);
        if (c.options.size() > shown_options_bytes)
            put(row, "options_note", fill(l.text(cut_note), {std::to_string(c.options.size())}));
        // A correct answer is the expected one: shown once, in a row of few cells, since most
        // rows of a class are such rows and the report holds them all.
        if (c.verdict == Verdict::Correct && c.note.empty() && c.memcheck.empty()) {
            put(row, "reference",
                answer_data(shown_part(c.reference, shown_correct_answer_bytes),
                            std::max<std::int64_t>(c.reference_bytes,
                                                   static_cast<std::int64_t>(c.reference.size())),
                            -1, l));
            put(row, "verdict", l.text(word(c.verdict).c_str()));
            render(same_row_template, row, rows);
            continue;
        }
        put(row, "row_class", row_class(word(c.verdict)));
        put(row, "verdict", l.text(word(c.verdict).c_str()));
        put(row, "note", c.note);
        put(row, "has_note", !c.note.empty());
        put(row, "case_memcheck", c.memcheck);
        put(row, "has_case_memcheck", !c.memcheck.empty());
        put(row, "student", answer_data(c.student, c.student_bytes, c.difference, l));
        put(row, "reference", answer_data(c.reference, c.reference_bytes, c.difference, l));
        render(case_row_template, row, rows);
    }
    put(d, "rows", std::move(rows));
    return render(details_template, d);
}

std::string feedback_page(const ClassResults &results, const StudentRecord &s,
                          const std::string &details, const Language &language)
{
    const Language &l = language;
    const std::string exercise = l.text(results.exercise.c_str());
    data d;
    put(d, "style", style);
    put(d, "lang", l.html_name());
    put(d, "title", fill(l.text(QT_TRANSLATE_NOOP("Feedback", "Feedback: %1")), {exercise}));
    put(d, "heading",
        fill(l.text(QT_TRANSLATE_NOOP("Feedback", "Feedback on your %1 program")), {exercise}));
    put(d, "name", s.name);
    put(d, "participant", fill(l.text(QT_TRANSLATE_NOOP("Feedback", "participant %1")), {s.id}));
    put(d, "has_id", !s.id.empty());
    put(d, "graded", fill(l.text(QT_TRANSLATE_NOOP("Feedback", "graded %1")), {results.date}));
    put(d, "details", details);
    return render(feedback_template, d);
}

std::string class_report(const ClassResults &results,
                         const std::vector<std::optional<double>> &points, const ScoringRule &rule,
                         const std::vector<std::string> &details,
                         const std::vector<Change> &changes, const std::string &compared_date,
                         const Language &language, const std::string &similarity)
{
    const Language &l = language;
    data d;
    put(d, "lang", l.html_name());
    put(d, "similarity", similarity);
    put(d, "title",
        fill(l.text(QT_TRANSLATE_NOOP("Feedback", "Class report: %1")),
             {l.text(results.exercise.c_str())}));
    put(d, "graded_line",
        fill(l.text(QT_TRANSLATE_NOOP("Feedback", "Graded %1 · %2 students · cases: %3")),
             {results.date, std::to_string(results.students.size()), cases_text(results, l)}));
    const std::pair<const char *, const char *> words[] = {
        {"t_incomplete", QT_TRANSLATE_NOOP("Feedback", "This grading did not finish: students "
                                                       "may be missing.")},
        {"t_summary", QT_TRANSLATE_NOOP("Feedback", "Summary")},
        {"t_status", QT_TRANSLATE_NOOP("Feedback", "Status")},
        {"t_students", QT_TRANSLATE_NOOP("Feedback", "Students")},
        {"t_mean", QT_TRANSLATE_NOOP("Feedback", "Mean")},
        {"t_median", QT_TRANSLATE_NOOP("Feedback", "median")},
        {"t_histogram", QT_TRANSLATE_NOOP("Feedback", "Histogram of points")},
        {"t_name", QT_TRANSLATE_NOOP("Feedback", "Name")},
        {"t_id", QT_TRANSLATE_NOOP("Feedback", "Id")},
        {"t_status_before", QT_TRANSLATE_NOOP("Feedback", "Status before")},
        {"t_status_now", QT_TRANSLATE_NOOP("Feedback", "Status now")},
        {"t_points_before", QT_TRANSLATE_NOOP("Feedback", "Points before")},
        {"t_points_now", QT_TRANSLATE_NOOP("Feedback", "Points now")},
        {"t_points", QT_TRANSLATE_NOOP("Feedback", "Points")},
        {"t_correct", QT_TRANSLATE_NOOP("Feedback", "Correct")},
        {"t_wrong", QT_TRANSLATE_NOOP("Feedback", "Wrong")},
        {"t_timeouts", QT_TRANSLATE_NOOP("Feedback", "Time-outs")},
        {"t_crashes", QT_TRANSLATE_NOOP("Feedback", "Crashes")},
        {"t_findings", QT_TRANSLATE_NOOP("Feedback", "Memory findings")},
        {"t_copies", QT_TRANSLATE_NOOP("Feedback", "Exact copy of")},
        {"t_details", QT_TRANSLATE_NOOP("Feedback", "Details")},
    };
    for (const auto &[key, text] : words)
        put(d, key, l.text(text));
    put(d, "changes_heading",
        fill(l.text(QT_TRANSLATE_NOOP("Feedback", "Changes since the grading of %1")),
             {compared_date}));
    put(d, "style", style);
    put(d, "script", sort_script);
    put(d, "script_hash", csp_hash(sort_script));
    put(d, "incomplete", !results.complete);

    std::vector<std::pair<std::string, int>> counts;
    for (const StudentRecord &s : results.students) {
        auto found = std::find_if(counts.begin(), counts.end(),
                                  [&](const auto &c) { return c.first == word(s.status); });
        if (found == counts.end())
            counts.emplace_back(word(s.status), 1);
        else
            ++found->second;
    }
    data count_list{data::type::list};
    for (const auto &[status, count] : counts) {
        data row;
        put(row, "status", l.text(status.c_str()));
        put(row, "count", std::to_string(count));
        count_list.push_back(row);
    }
    put(d, "counts", std::move(count_list));

    std::vector<double> scored;
    for (const auto &p : points)
        if (p)
            scored.push_back(*p);
    std::sort(scored.begin(), scored.end());
    double mean = 0;
    for (double p : scored)
        mean += p;
    const std::size_t n = scored.size();
    put(d, "scored_line",
        fill(
            l.text(QT_TRANSLATE_N_NOOP("Feedback", "points of %1, over %n student(s) with points."),
                   static_cast<int>(n)),
            {points_text(rule.points)}));
    put(d, "mean", n ? points_text(mean / double(n)) : "-");
    put(d, "median",
        n ? points_text(n % 2 ? scored[n / 2] : (scored[n / 2 - 1] + scored[n / 2]) / 2) : "-");

    // Ten bins of a tenth of the maximum each, from its low end to below its high end, and a bar
    // of its own for the full maximum: folded into the last bin, a class's 10s read as 9s.
    constexpr int bins = 11, bar = 40, chart = 140, top = 16;
    int bin_counts[bins] = {};
    for (double p : scored)
        ++bin_counts[p >= rule.points ? bins - 1
                                      : std::clamp(static_cast<int>(p / rule.points * 10), 0, 9)];
    const int tallest = std::max(1, *std::max_element(bin_counts, bin_counts + bins));
    data bars{data::type::list};
    for (int b = 0; b < bins; ++b) {
        const int height = bin_counts[b] * chart / tallest;
        const std::string low = points_text(rule.points * b / 10);
        data bar_data;
        put(bar_data, "x", std::to_string(b * (bar + 4) + 2));
        put(bar_data, "y", std::to_string(top + chart - height));
        put(bar_data, "width", std::to_string(bar));
        put(bar_data, "height", std::to_string(height));
        put(bar_data, "count", std::to_string(bin_counts[b]));
        put(bar_data, "count_y", std::to_string(top + chart - height - 3));
        put(bar_data, "label_y", std::to_string(top + chart + 14));
        put(bar_data, "low", low);
        put(bar_data, "label",
            b == bins - 1 ? low
                          : fill(l.text(QT_TRANSLATE_NOOP("Feedback", "%1 to under %2")),
                                 {low, points_text(rule.points * (b + 1) / 10)}));
        bars.push_back(bar_data);
    }
    put(d, "bars", std::move(bars));
    put(d, "svg_width", std::to_string(bins * (bar + 4)));
    put(d, "svg_height", std::to_string(top + chart + 20));

    put(d, "has_changes", !changes.empty());
    put(d, "compared_date", compared_date);
    data change_list{data::type::list};
    for (const Change &c : changes) {
        data row;
        put(row, "name", c.name);
        put(row, "id", c.id);
        put(row, "old_status", c.old_status.empty() ? "-" : l.text(c.old_status.c_str()));
        put(row, "new_status", c.new_status.empty() ? "-" : l.text(c.new_status.c_str()));
        put(row, "old_points", c.old_points ? points_text(*c.old_points) : "-");
        put(row, "new_points", c.new_points ? points_text(*c.new_points) : "-");
        change_list.push_back(row);
    }
    put(d, "changes", std::move(change_list));

    data rows{data::type::list};
    std::vector<data> summaries;
    summaries.reserve(results.students.size());
    std::size_t size = 0;
    for (std::size_t i = 0; i < results.students.size(); ++i) {
        const StudentRecord &s = results.students[i];
        std::string copies;
        for (const std::string &copy : copy_names(results, s))
            copies += (copies.empty() ? "" : ", ") + copy;
        data row;
        put(row, "n", std::to_string(i));
        put(row, "name", s.name);
        put(row, "id", s.id);
        put(row, "status", l.text(word(s.status).c_str()));
        put(row, "points", points[i] ? points_text(*points[i]) : "-");
        put(row, "points_key", points[i] ? points_text(*points[i]) : "");
        put(row, "correct", std::to_string(s.correct));
        put(row, "wrong", std::to_string(s.wrong));
        put(row, "timeouts", std::to_string(s.timeouts));
        put(row, "crashes", std::to_string(s.crashes));
        put(row, "findings", std::to_string(s.memcheck_findings));
        put(row, "has_copies", !copies.empty());
        put(row, "copies_line",
            fill(l.text(QT_TRANSLATE_NOOP("Feedback", "The sources are identical to those of %1.")),
                 {copies}));
        put(row, "copies", std::move(copies));
        // For the teacher alone: the report's summary, never the student's page.
        put(row, "has_program", !s.program.empty());
        put(row, "program_line",
            fill(l.text_in("Programs",
                           QT_TRANSLATE_NOOP("Programs",
                                             "The program, to try in the window or with explore: "
                                             "%1")),
                 {s.program}));
        rows.push_back(row);
        summaries.push_back(std::move(row));
        size += details[i].size() + 1024;
    }
    put(d, "rows", std::move(rows));
    std::string report = render(report_template, d);
    report.reserve(report.size() + size);
    for (std::size_t i = 0; i < summaries.size(); ++i) {
        render(report_summary_template, summaries[i], report);
        report += details[i];
        report += "</details>\n";
    }
    render(report_end_template, d, report);
    return report;
}

std::string escape_html(const std::string &text)
{
    // Most of a page is program answers and options with nothing to escape: they are copied in
    // runs, not byte by byte.
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    std::size_t done = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char *entity;
        switch (text[i]) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '\'':
            entity = "&apos;";
            break;
        default:
            continue;
        }
        out.append(text, done, i - done);
        out += entity;
        done = i + 1;
    }
    out.append(text, done, std::string::npos);
    return out;
}

std::string feedback_folder(const StudentRecord &s)
{
    if (s.id.empty() || s.id.size() > 18
        || !std::all_of(s.id.begin(), s.id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return folder_name_part(s.name) + "_" + s.id + "_assignfeedback_file";
}

bool make_zip(const std::vector<ZipEntry> &entries, std::string &zip, std::string &error)
{
    zip.clear();
    archive *writer = archive_write_new();
    archive_write_set_format_zip(writer);
    // Names are written as UTF-8 and flagged so; unflagged names are read in the local code page
    // by Windows tools, which turns Chinese names into noise.
    archive_write_set_options(writer, "zip:hdrcharset=UTF-8");
    // The fastest deflate: the pages repeat themselves so much that it packs them nearly as
    // small as the default level, in a fraction of its time (a library without the option keeps
    // its default).
    archive_write_set_options(writer, "zip:compression-level=1");
    const auto write = [](archive *, void *out, const void *buffer, size_t length) -> la_ssize_t {
        static_cast<std::string *>(out)->append(static_cast<const char *>(buffer), length);
        return static_cast<la_ssize_t>(length);
    };
    bool ok = archive_write_open(writer, &zip, nullptr, write, nullptr) == ARCHIVE_OK;
    const std::time_t now = std::time(nullptr);
    for (const ZipEntry &e : entries) {
        if (!ok)
            break;
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, e.path.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(e.bytes.size()));
        archive_entry_set_mtime(entry, now, 0);
        ok = archive_write_header(writer, entry) == ARCHIVE_OK
             && archive_write_data(writer, e.bytes.data(), e.bytes.size())
                    == static_cast<la_ssize_t>(e.bytes.size());
        archive_entry_free(entry);
    }
    if (ok)
        ok = archive_write_close(writer) == ARCHIVE_OK;
    if (!ok)
        error = std::string("feedback.zip: ")
                + (archive_error_string(writer) ? archive_error_string(writer)
                                                : "could not be written");
    archive_write_free(writer);
    return ok;
}
