#include "classwindow/detailpane.h"

#include "classwindow/classmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

QPair<int, int> word_span(const QString &answer, int index)
{
    // Every blank separates and empty pieces are no words, as judge/judgecore.h splits.
    int word = 0;
    int i = 0;
    const int n = int(answer.size());
    while (i < n) {
        while (i < n && answer[i] == QLatin1Char(' '))
            ++i;
        if (i == n)
            break;
        const int start = i;
        while (i < n && answer[i] != QLatin1Char(' '))
            ++i;
        if (word++ == index)
            return {start, i - start};
    }
    return {-1, 0};
}

DetailPane::DetailPane(ClassModel *model, QWidget *parent)
    : QWidget(parent)
    , model_(model)
    , text_(new QPlainTextEdit(this))
    , copy_(new QPushButton(tr("Copy counterexample"), this))
    , manual_(new QPushButton(tr("Open in the manual test"), this))
{
    setObjectName(QStringLiteral("detailPane"));
    text_->setObjectName(QStringLiteral("detailText"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    copy_->setObjectName(QStringLiteral("copyCounterexample"));
    manual_->setObjectName(QStringLiteral("openManualTest"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addWidget(manual_);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    connect(copy_, &QPushButton::clicked, this, &DetailPane::copy_counterexample);
    connect(manual_, &QPushButton::clicked, this, &DetailPane::open_manual_test);
    show_student(-1, -1);
}

void DetailPane::show_student(int row, int case_index)
{
    row_ = row;
    case_ = case_index;
    marked_.clear();
    text_->clear();
    const bool valid = row >= 0 && row < model_->rowCount();
    copy_->setEnabled(valid && model_->student(row).has_counterexample);
    if (!valid) {
        manual_->setEnabled(false);
        return;
    }
    const StudentRecord &s = model_->student(row);
    const bool has_case = case_index >= 0 && case_index < int(s.cases.size());
    manual_->setEnabled(s.status == Status::Graded);

    QTextCursor cursor(text_->document());
    QTextCharFormat plain;
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    const auto line = [&](const QString &text, const QTextCharFormat &format) {
        cursor.insertText(text, format);
        cursor.insertText(QStringLiteral("\n"), plain);
    };
    const auto section = [&](const QString &title) {
        cursor.insertText(QStringLiteral("\n"), plain);
        line(title, heading);
    };

    line(model_->shown_name(row) + QStringLiteral(" — ") + ClassModel::status_text(word(s.status)),
         heading);
    if (!s.message.empty())
        line(shown(s.message), plain);
    if (has_case) {
        const CaseRecord &c = s.cases[std::size_t(case_index)];
        section(
            tr("Case %1: %2").arg(case_index + 1).arg(ClassModel::status_text(word(c.verdict))));
        line(tr("Options: %1").arg(shown(c.options)), plain);
        if (!c.note.empty())
            line(shown(c.note), plain);
        const QString answer = shown(c.student);
        cursor.insertText(tr("Student's answer: "), heading);
        const int answer_start = cursor.position();
        line(answer, plain);
        if (c.student_bytes > std::int64_t(c.student.size()))
            line(tr("(%1 bytes in all)").arg(c.student_bytes), plain);
        cursor.insertText(tr("Reference answer: "), heading);
        line(shown(c.reference), plain);
        if (c.difference >= 0) {
            const QPair<int, int> span = word_span(answer, c.difference);
            if (span.first >= 0) {
                QTextCursor mark(text_->document());
                mark.setPosition(answer_start + span.first);
                mark.setPosition(answer_start + span.first + span.second, QTextCursor::KeepAnchor);
                QTextCharFormat marked;
                marked.setBackground(QColor(255, 213, 79));
                marked.setFontWeight(QFont::Bold);
                mark.mergeCharFormat(marked);
                marked_ = mark.selectedText();
            }
            line(tr("First difference: word %1, \"%2\" where the reference has \"%3\"")
                     .arg(c.difference + 1)
                     .arg(shown(c.student_word), shown(c.reference_word)),
                 plain);
        }
        if (!c.memcheck.empty())
            line(tr("Memory: %1").arg(shown(c.memcheck)), plain);
    }
    if (s.has_counterexample) {
        section(tr("Counterexample (shrunk in %1 steps)").arg(s.counterexample_steps));
        line(shown(s.counterexample_options), plain);
    }
    if (s.memcheck_findings > 0) {
        section(tr("Memory findings: %1").arg(s.memcheck_findings));
        line(shown(s.memcheck_first), plain);
        // The string to rerun it with, shrunk: an explored one is a case for everybody, one of
        // the extended list's was run by the memory check alone.
        if (!s.memcheck_shrunk.empty())
            line(tr("Shrunk to: %1").arg(shown(s.memcheck_shrunk)), plain);
        if (!s.memcheck_extended_shrunk.empty())
            line(tr("On the extended list, shrunk to: %1").arg(shown(s.memcheck_extended_shrunk)),
                 plain);
    }
    // As the table names them: by name and id, or the participants' numbers while anonymous;
    // never by their folders, which carry the names.
    const QString similar = model_->index(row, ClassModel::SimilarTo).data().toString();
    if (!similar.isEmpty()) {
        section(tr("Similar to"));
        line(similar, plain);
    }
    section(tr("Build log (%n warning(s))", nullptr, s.build_warnings));
    line(shown(s.build_log), plain);
    text_->moveCursor(QTextCursor::Start);
}

void DetailPane::copy_counterexample()
{
    if (row_ >= 0 && row_ < model_->rowCount())
        QApplication::clipboard()->setText(shown(model_->student(row_).counterexample_options));
}
