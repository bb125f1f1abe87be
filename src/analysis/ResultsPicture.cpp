#include "analysis/ResultsPicture.h"

#include "analysis/ResultsDrawing.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

// The grid as a screen reader reads it (ResultsAccessible.cpp).
void InstallResultsAccessibility();

ResultsPicture::ResultsPicture(QWidget* parent) : PictureBox(parent)
{
    InstallResultsAccessibility();
    setFocusPolicy(Qt::StrongFocus);
}

void ResultsPicture::SetShown(const ResultsGrid& grid)
{
    m_shown = grid;
    if (m_shown.RowCount() == 0 || m_shown.ColCount() == 0)
        m_row = m_col = -1;
    else if (m_row < 0)
        m_row = m_col = 0;
    update();
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent reset(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&reset);
    }
}

void ResultsPicture::SetCurrentCell(int row, int col)
{
    if (m_shown.RowCount() == 0 || m_shown.ColCount() == 0)
        return;
    row = std::clamp(row, 0, m_shown.RowCount() - 1);
    col = std::clamp(col, 0, m_shown.ColCount() - 1);
    if (row == m_row && col == m_col)
        return;
    update(CellRect(m_row, m_col));
    m_row = row;
    m_col = col;
    update(CellRect(m_row, m_col));
    updateMicroFocus();
    Q_EMIT CurrentCellChanged(CellRect(m_row, m_col));
    if (hasFocus() && QAccessible::isActive()) {
        // The table's children are the column headings, then each row's
        // heading and cells.
        QAccessibleEvent moved(this, QAccessible::Focus);
        moved.setChild(m_shown.ColCount() + m_row * (m_shown.ColCount() + 1) + 1 + m_col);
        QAccessible::updateAccessibility(&moved);
    }
}

QString ResultsPicture::CellValue(int row, int col) const
{
    if (!m_shown.HasResults())
        return QStringLiteral("no survey shown");
    const ResultsCell& cell = m_shown.Cell(row, col);
    return cell.HasAnswers() ? MeanText(cell) : QStringLiteral("no answers");
}

QString ResultsPicture::CellBand(int row, int col) const
{
    if (!m_shown.HasResults() || !m_shown.Cell(row, col).HasAnswers())
        return QString();
    return QStringLiteral("band %1").arg(BandText(m_shown.Cell(row, col)));
}

QRect ResultsPicture::CellRect(int row, int col) const
{
    if (row < 0 || col < 0)
        return {};
    return FromDrawing(CellRectPx(row, col, *this));
}

QVariant ResultsPicture::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImCursorRectangle && m_row >= 0)
        return CellRect(m_row, m_col);
    return PictureBox::inputMethodQuery(query);
}

void ResultsPicture::keyPressEvent(QKeyEvent* event)
{
    int row = m_row;
    int col = m_col;
    switch (event->key()) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_Left:
        --col;
        break;
    case Qt::Key_Right:
        ++col;
        break;
    default:
        // Page Up, Page Down and the rest scroll the picture.
        PictureBox::keyPressEvent(event);
        return;
    }
    if (m_row >= 0)
        SetCurrentCell(row, col);
}

void ResultsPicture::focusInEvent(QFocusEvent* event)
{
    PictureBox::focusInEvent(event);
    update(CellRect(m_row, m_col));
    // Tabbed to, the picture shows where the keys stand; a window that opens
    // with the focus here shows its grid from the start.
    const bool tabbed =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (m_row >= 0 && tabbed)
        Q_EMIT CurrentCellChanged(CellRect(m_row, m_col));
}

void ResultsPicture::focusOutEvent(QFocusEvent* event)
{
    PictureBox::focusOutEvent(event);
    update(CellRect(m_row, m_col));
}

void ResultsPicture::paintEvent(QPaintEvent* event)
{
    PictureBox::paintEvent(event);
    if (!hasFocus() || m_row < 0)
        return;
    // The current cell, framed inside its lines so as to hide none of them.
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Highlight), 2);
    painter.setPen(pen);
    painter.drawRect(CellRect(m_row, m_col).adjusted(3, 3, -4, -4));
}
