#include "classwindow/casematrix.h"

#include "classwindow/classmodel.h"

#include <QAbstractProxyModel>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

QColor verdict_colour(const std::string &verdict)
{
    if (verdict == "correct")
        return QColor(76, 175, 80);
    if (verdict == "wrong")
        return QColor(229, 57, 53);
    if (verdict == "timeout")
        return QColor(255, 152, 0);
    if (verdict == "crash")
        return QColor(142, 36, 170);
    if (verdict == "not run")
        return QColor(176, 176, 176);
    return QColor(236, 236, 236); // not graded, or no case at all
}

CaseMatrix::CaseMatrix(ClassModel *model, QAbstractProxyModel *order, QWidget *parent)
    : QAbstractScrollArea(parent)
    , model_(model)
    , order_(order)
{
    setObjectName(QStringLiteral("caseMatrix"));
    // Walked by the arrow keys as the table is, so that a teacher need not reach for the mouse.
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    connect(order_, &QAbstractItemModel::modelReset, this, &CaseMatrix::refresh);
    connect(order_, &QAbstractItemModel::layoutChanged, this, &CaseMatrix::refresh);
    connect(order_, &QAbstractItemModel::rowsInserted, this, &CaseMatrix::refresh);
    connect(order_, &QAbstractItemModel::rowsRemoved, this, &CaseMatrix::refresh);
    connect(model_, &QAbstractItemModel::dataChanged, this, &CaseMatrix::refresh);
    refresh();
}

void CaseMatrix::refresh()
{
    cases_ = model_->case_count();
    wrong_.fill(0, cases_);
    for (int row = 0; row < model_->rowCount(); ++row) {
        const StudentRecord &s = model_->student(row);
        for (int c = 0; c < cases_ && c < int(s.cases.size()); ++c) {
            const Verdict v = s.cases[std::size_t(c)].verdict;
            wrong_[c] += v == Verdict::Wrong || v == Verdict::Timeout || v == Verdict::Crash;
        }
    }
    update_scroll_bars();
    viewport()->update();
}

void CaseMatrix::update_scroll_bars()
{
    const QSize area = viewport()->size();
    horizontalScrollBar()->setRange(0, qMax(0, name_width + cases_ * cell_width - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(cell_width);
    verticalScrollBar()->setRange(
        0, qMax(0, header_height + order_->rowCount() * cell_height - area.height()));
    verticalScrollBar()->setPageStep(area.height());
    verticalScrollBar()->setSingleStep(cell_height);
}

void CaseMatrix::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    update_scroll_bars();
}

QRect CaseMatrix::cell_rect(int row, int case_index) const
{
    return QRect(name_width + case_index * cell_width - horizontalScrollBar()->value(),
                 header_height + row * cell_height - verticalScrollBar()->value(), cell_width,
                 cell_height);
}

QPair<int, int> CaseMatrix::cell_at(const QPoint &point) const
{
    if (point.x() < name_width || point.y() < header_height)
        return {-1, -1};
    const int c = (point.x() - name_width + horizontalScrollBar()->value()) / cell_width;
    const int r = (point.y() - header_height + verticalScrollBar()->value()) / cell_height;
    if (c >= cases_ || r >= order_->rowCount())
        return {-1, -1};
    return {r, c};
}

void CaseMatrix::set_current(int row, int case_index)
{
    row_ = row;
    case_ = case_index;
    if (row >= 0) {
        // Keep the cell in sight, as an item view keeps its current item.
        const QRect cell = cell_rect(row, qMax(0, case_index));
        const QRect body = viewport()->rect().adjusted(name_width, header_height, 0, 0);
        if (cell.top() < body.top())
            verticalScrollBar()->setValue(verticalScrollBar()->value() - (body.top() - cell.top()));
        else if (cell.bottom() > body.bottom())
            verticalScrollBar()->setValue(verticalScrollBar()->value()
                                          + (cell.bottom() - body.bottom()));
        if (case_index >= 0 && cell.left() < body.left())
            horizontalScrollBar()->setValue(horizontalScrollBar()->value()
                                            - (body.left() - cell.left()));
        else if (case_index >= 0 && cell.right() > body.right())
            horizontalScrollBar()->setValue(horizontalScrollBar()->value()
                                            + (cell.right() - body.right()));
    }
    viewport()->update();
}

void CaseMatrix::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().base());
    const int dx = horizontalScrollBar()->value(), dy = verticalScrollBar()->value();
    const int rows = order_->rowCount();
    const int first_row = qMax(0, dy / cell_height);
    const int last_row = qMin(rows - 1, (dy + viewport()->height()) / cell_height);
    const int first_case = qMax(0, dx / cell_width);
    const int last_case = qMin(cases_ - 1, (dx + viewport()->width()) / cell_width);

    for (int r = first_row; r <= last_row; ++r) {
        const int source = order_->mapToSource(order_->index(r, 0)).row();
        const StudentRecord &s = model_->student(source);
        for (int c = first_case; c <= last_case; ++c) {
            const std::string verdict
                = c < int(s.cases.size()) ? word(s.cases[std::size_t(c)].verdict) : std::string();
            painter.fillRect(cell_rect(r, c).adjusted(0, 0, -1, -1), verdict_colour(verdict));
        }
    }
    // The names and the header stay in place while the cells scroll beneath them.
    painter.fillRect(0, 0, name_width, viewport()->height(), palette().window());
    painter.setPen(palette().color(QPalette::WindowText));
    for (int r = first_row; r <= last_row; ++r) {
        const int source = order_->mapToSource(order_->index(r, 0)).row();
        const QRect name(4, header_height + r * cell_height - dy, name_width - 8, cell_height);
        // Plain text: drawText never reads mark-up.
        painter.drawText(name, Qt::AlignVCenter | Qt::AlignLeft,
                         painter.fontMetrics().elidedText(model_->shown_name(source),
                                                          Qt::ElideRight, name.width()));
    }
    painter.fillRect(0, 0, viewport()->width(), header_height, palette().window());
    QFont small = font();
    small.setPointSizeF(font().pointSizeF() * 0.8);
    painter.setFont(small);
    for (int c = first_case; c <= last_case; ++c) {
        const QRect head(name_width + c * cell_width - dx, 0, cell_width, header_height);
        painter.setPen(wrong_[c] * 2 > rows ? QColor(198, 40, 40)
                                            : palette().color(QPalette::WindowText));
        painter.drawText(head, Qt::AlignCenter, QString::number(wrong_[c]));
    }
    painter.fillRect(0, 0, name_width, header_height, palette().window());
    if (row_ >= 0 && row_ < rows) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        const QRect line(name_width, header_height + row_ * cell_height - dy,
                         cases_ * cell_width - dx, cell_height);
        painter.drawRect(line.adjusted(0, 0, -1, -1));
        if (case_ >= 0 && case_ < cases_) {
            painter.setPen(QPen(Qt::black, 2));
            painter.drawRect(cell_rect(row_, case_).adjusted(1, 1, -2, -2));
        }
    }
}

void CaseMatrix::mousePressEvent(QMouseEvent *event)
{
    const QPair<int, int> cell = cell_at(event->pos());
    if (cell.first < 0)
        return;
    set_current(cell.first, cell.second);
    emit cell_clicked(cell.first, cell.second);
}

void CaseMatrix::keyPressEvent(QKeyEvent *event)
{
    const int rows = order_->rowCount();
    if (rows == 0 || cases_ == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit open_details();
        return;
    }
    const int page = qMax(1, (viewport()->height() - header_height) / cell_height);
    int row = qBound(0, row_, rows - 1), c = qBound(0, case_, cases_ - 1);
    switch (event->key()) {
    case Qt::Key_Left:
        c = qMax(0, c - 1);
        break;
    case Qt::Key_Right:
        c = qMin(cases_ - 1, c + 1);
        break;
    case Qt::Key_Up:
        row = qMax(0, row - 1);
        break;
    case Qt::Key_Down:
        row = qMin(rows - 1, row + 1);
        break;
    case Qt::Key_PageUp:
        row = qMax(0, row - page);
        break;
    case Qt::Key_PageDown:
        row = qMin(rows - 1, row + page);
        break;
    case Qt::Key_Home:
        c = 0;
        break;
    case Qt::Key_End:
        c = cases_ - 1;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    set_current(row, c);
    emit cell_clicked(row, c);
}

bool CaseMatrix::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (help->pos().y() < header_height && help->pos().x() >= name_width) {
            const int c
                = (help->pos().x() - name_width + horizontalScrollBar()->value()) / cell_width;
            if (c < cases_)
                QToolTip::showText(help->globalPos(),
                                   tr("Case %1: %n wrong", nullptr, wrong_[c]).arg(c + 1), this);
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}
