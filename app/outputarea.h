#pragma once

// Writing to the output area. Everything shown there is plain text: a student's answer such as
// "<b>5</b>" must appear as those characters, so Qt's guess whether a text is mark-up is never
// consulted. Paragraphs come out as QTextEdit::append and setText make them for plain text.

#include <QString>
#include <string>

class QTextEdit;

// Replaces the whole content, like QTextEdit::setText with a plain text.
void show_text(QTextEdit *area, const std::string &utf8);

// Adds the text as a new paragraph at the end, like QTextEdit::append with a plain text.
void append_text(QTextEdit *area, const std::string &utf8);

// While one lives, what is appended to its area is gathered and added in one insertion when it
// ends, with the same paragraphs. A slot that appends many times never lets the window repaint
// before it returns, so nothing shows meanwhile; laying out and scrolling after every paragraph
// would be work that nobody sees. Not nested; show_text still replaces everything at once.
class GatheredAppends
{
public:
    explicit GatheredAppends(QTextEdit *area);
    ~GatheredAppends();
    GatheredAppends(const GatheredAppends &) = delete;
    GatheredAppends &operator=(const GatheredAppends &) = delete;
};
