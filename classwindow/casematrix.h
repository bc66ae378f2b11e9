#pragma once

// Students × cases, one coloured cell each, in the students table's order. Painted directly, only
// the cells in sight, rather than through an item view: 300 students × 101 cases are 30 300
// cells, which an item view would ask its model for one role at a time on every scroll.

#include <QAbstractScrollArea>

class ClassModel;
class QAbstractProxyModel;

class CaseMatrix : public QAbstractScrollArea
{
    Q_OBJECT

public:
    CaseMatrix(ClassModel *model, QAbstractProxyModel *order, QWidget *parent = nullptr);

    // The cell outlined: a row of `order`, a case; -1 for none.
    void set_current(int row, int case_index);
    int current_row() const { return row_; }
    int current_case() const { return case_; }
    // How many students got each case wrong (wrong, time-out or crash), for the header.
    const QVector<int> &wrong_counts() const { return wrong_; }
    // The cell at a point of the viewport: {row, case}, or {-1, -1}.
    QPair<int, int> cell_at(const QPoint &point) const;
    QRect cell_rect(int row, int case_index) const;

    static constexpr int cell_width = 22, cell_height = 16, header_height = 20, name_width = 140;

signals:
    // A cell chosen by a click or by the arrow keys.
    void cell_clicked(int row, int case_index);
    // Enter on the current cell: its details wanted.
    void open_details();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void refresh();
    void update_scroll_bars();

    ClassModel *model_;
    QAbstractProxyModel *order_;
    QVector<int> wrong_;
    int cases_ = 0;
    int row_ = -1, case_ = -1;
};

// A verdict's colour in the matrix and the detail pane.
QColor verdict_colour(const std::string &verdict);
