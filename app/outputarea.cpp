#include "app/outputarea.h"

#include "judge/utf8.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

void show_text(QTextEdit *area, const std::string &utf8)
{
    area->setPlainText(from_utf8(utf8));
}

void append_text(QTextEdit *area, const std::string &utf8)
{
    QScrollBar *bar = area->verticalScrollBar();
    const bool at_bottom = bar->value() >= bar->maximum();
    QTextCursor cursor(area->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    if (!area->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(from_utf8(utf8));
    cursor.endEditBlock();
    // Follow the new text when the reader was already at the end, as append does.
    if (at_bottom)
        bar->setValue(bar->maximum());
}
