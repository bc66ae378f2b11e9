#pragma once

// The selected student and case: the build log, memory findings, the case's options, both answers
// with the first differing word marked, the shrunk counterexample. Everything a student's program
// or compiler wrote is shown as plain text; the marking is a format on the text, never mark-up.

#include <QWidget>

class ClassModel;
class QPlainTextEdit;
class QPushButton;

class DetailPane : public QWidget
{
    Q_OBJECT

public:
    explicit DetailPane(ClassModel *model, QWidget *parent = nullptr);

    // A row of the model and a case of that student (-1: the student alone).
    void show_student(int row, int case_index);
    int row() const { return row_; }
    int case_index() const { return case_; }
    // The text marked as the first differing word of the student's answer, empty for none.
    QString marked_word() const { return marked_; }

signals:
    void open_manual_test();

private:
    void copy_counterexample();

    ClassModel *model_;
    QPlainTextEdit *text_;
    QPushButton *copy_;
    QPushButton *manual_;
    int row_ = -1, case_ = -1;
    QString marked_;
};

// The span of word number `index` (from 0) of `answer`, words separated by blanks as the judge
// separates them: {start, length} in QString units, or {-1, 0} when there are fewer words.
QPair<int, int> word_span(const QString &answer, int index);
