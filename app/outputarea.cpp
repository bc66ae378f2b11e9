#include "app/outputarea.h"

#include "judge/utf8.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// What a GatheredAppends holds back. Everything runs on the GUI thread.
struct Gathering
{
    QTextEdit *area = nullptr;
    QString text;       // the paragraphs, each after a paragraph separator unless it comes first
    bool empty = false; // whether the area would be empty with the text added
};
Gathering gathering;

// Inserts plain text at the end as one edit and follows it when the reader was at the end.
void insert_at_end(QTextEdit *area, const QString &text, bool new_block)
{
    QScrollBar *bar = area->verticalScrollBar();
    const bool at_bottom = bar->value() >= bar->maximum();
    QTextCursor cursor(area->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    if (new_block)
        cursor.insertBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    if (at_bottom)
        bar->setValue(bar->maximum());
}

} // namespace

void show_text(QTextEdit *area, const std::string &utf8)
{
    if (gathering.area == area) {
        gathering.text.clear();
        gathering.empty = utf8.empty();
    }
    area->setPlainText(from_utf8(utf8));
}

void append_text(QTextEdit *area, const std::string &utf8)
{
    if (gathering.area != area) {
        insert_at_end(area, from_utf8(utf8), !area->document()->isEmpty());
        return;
    }
    // A paragraph separator makes a new block just as insertBlock does; a line feed would not
    // do, since it pairs with a carriage return ending the paragraph before.
    if (!gathering.empty)
        gathering.text += QChar(QChar::ParagraphSeparator);
    gathering.text += from_utf8(utf8);
    gathering.empty = gathering.empty && utf8.empty();
}

GatheredAppends::GatheredAppends(QTextEdit *area)
{
    gathering = {area, QString(), area->document()->isEmpty()};
}

GatheredAppends::~GatheredAppends()
{
    QTextEdit *area = gathering.area;
    const QString text = std::move(gathering.text);
    gathering = {};
    if (!text.isEmpty())
        insert_at_end(area, text, false);
}
