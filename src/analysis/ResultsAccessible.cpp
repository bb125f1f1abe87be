// The results grid as a screen reader reads it: a table whose column and row
// headings are the model's full names, and whose cells say their mean (or
// "no answers") and its band, all read from what the picture shows.

#include "analysis/ResultsPicture.h"
#include "platform/Accessible.h"

#include <QAccessibleWidget>
#include <QHash>
#include <memory>

namespace {

class ResultsTableAccessible;

// A column heading (row -1), a row heading (column -1) or a cell.
class GridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    GridCellAccessible(ResultsTableAccessible* table, ResultsPicture* picture, int row, int col)
        : m_table(table), m_picture(picture), m_row(row), m_col(col)
    {
    }

    bool isValid() const override
    {
        return m_picture && m_row < m_picture->Shown().RowCount() &&
               m_col < m_picture->Shown().ColCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text which) const override
    {
        if (!isValid())
            return {};
        const ResultsGrid& grid = m_picture->Shown();
        switch (which) {
        case QAccessible::Name:
            if (m_row < 0)
                return grid.colNames.at(m_col);
            if (m_col < 0)
                return grid.rowNames.at(m_row);
            return m_picture->CellValue(m_row, m_col);
        case QAccessible::Description:
            return m_row >= 0 && m_col >= 0 ? m_picture->CellBand(m_row, m_col) : QString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        // A heading stands in the band before its row or column.
        const QRect first = m_picture->CellRect(std::max(m_row, 0), std::max(m_col, 0));
        QRect area = first;
        if (m_row < 0)
            area.moveBottom(first.top() - 1);
        if (m_col < 0)
            area.moveRight(first.left() - 1);
        return QRect(m_picture->mapToGlobal(area.topLeft()), area.size());
    }

    QAccessible::Role role() const override
    {
        if (m_row < 0)
            return QAccessible::ColumnHeader;
        return m_col < 0 ? QAccessible::RowHeader : QAccessible::Cell;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        if (m_row >= 0 && m_col >= 0) {
            state.focusable = true;
            state.focused = isValid() && m_picture->hasFocus() &&
                            m_picture->CurrentRow() == m_row && m_picture->CurrentColumn() == m_col;
        }
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    bool isSelected() const override { return state().focused; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    int columnIndex() const override { return m_col; }
    int rowIndex() const override { return m_row; }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    QAccessibleInterface* table() const override;

private:
    ResultsTableAccessible* m_table;
    QPointer<ResultsPicture> m_picture;
    int m_row;
    int m_col;
};

class ResultsTableAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit ResultsTableAccessible(ResultsPicture* picture)
        : QAccessibleWidget(picture, QAccessible::Table)
    {
    }

    ~ResultsTableAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The interface of a heading (row or column -1) or cell, made once.
    QAccessibleInterface* Cell(int row, int col) const
    {
        const ResultsGrid& grid = Picture()->Shown();
        if (row < -1 || col < -1 || (row < 0 && col < 0) || row >= grid.RowCount() ||
            col >= grid.ColCount())
            return nullptr;
        const quint64 key = (quint64(quint32(row + 1)) << 32) | quint32(col + 1);
        if (const auto found = m_cells.constFind(key); found != m_cells.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* cell =
            new GridCellAccessible(const_cast<ResultsTableAccessible*>(this), Picture(), row, col);
        m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }

    // Children: the column headings, then each row's heading and cells.
    int childCount() const override
    {
        const ResultsGrid& grid = Picture()->Shown();
        return grid.ColCount() + grid.RowCount() * (grid.ColCount() + 1);
    }
    QAccessibleInterface* child(int index) const override
    {
        const int cols = Picture()->Shown().ColCount();
        if (index < 0)
            return nullptr;
        if (index < cols)
            return Cell(-1, index);
        index -= cols;
        return Cell(index / (cols + 1), index % (cols + 1) - 1);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const QAccessibleTableCellInterface* cell =
            const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        if (!cell || child->parent() != this)
            return -1;
        const int cols = Picture()->Shown().ColCount();
        if (cell->rowIndex() < 0)
            return cell->columnIndex();
        return cols + cell->rowIndex() * (cols + 1) + cell->columnIndex() + 1;
    }
    QAccessibleInterface* focusChild() const override
    {
        if (!Picture()->hasFocus())
            return nullptr;
        return Cell(Picture()->CurrentRow(), Picture()->CurrentColumn());
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        return row >= 0 && column >= 0 ? Cell(row, column) : nullptr;
    }
    int selectedCellCount() const override { return int(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QAccessibleInterface* current = focusChild();
        return current ? QList<QAccessibleInterface*>{current} : QList<QAccessibleInterface*>{};
    }
    QString columnDescription(int column) const override
    {
        const ResultsGrid& grid = Picture()->Shown();
        return column >= 0 && column < grid.ColCount() ? grid.colNames.at(column) : QString();
    }
    QString rowDescription(int row) const override
    {
        const ResultsGrid& grid = Picture()->Shown();
        return row >= 0 && row < grid.RowCount() ? grid.rowNames.at(row) : QString();
    }
    int columnCount() const override { return Picture()->Shown().ColCount(); }
    int rowCount() const override { return Picture()->Shown().RowCount(); }
    int selectedColumnCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    int selectedRowCount() const override { return 0; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    // Every cell reads what the picture shows when asked: nothing to redo.
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    ResultsPicture* Picture() const { return static_cast<ResultsPicture*>(widget()); }

    mutable QHash<quint64, QAccessible::Id> m_cells;
};

QWindow* GridCellAccessible::window() const
{
    return m_table->window();
}

QAccessibleInterface* GridCellAccessible::parent() const
{
    return m_table;
}

QList<QAccessibleInterface*> GridCellAccessible::columnHeaderCells() const
{
    if (m_row < 0 || m_col < 0)
        return {};
    return {m_table->Cell(-1, m_col)};
}

QList<QAccessibleInterface*> GridCellAccessible::rowHeaderCells() const
{
    if (m_row < 0 || m_col < 0)
        return {};
    return {m_table->Cell(m_row, -1)};
}

QAccessibleInterface* GridCellAccessible::table() const
{
    return m_table;
}

} // namespace

void InstallResultsAccessibility()
{
    UseAccessibleInterface<ResultsPicture, ResultsTableAccessible>();
}
