#pragma once

#include "analysis/PictureBox.h"
#include "analysis/Results.h"

// The results window's picture. Beside its drawing it keeps what it shows
// (the model's grid, with one survey's results or none), which is where a
// screen reader reads the grid as a table (ResultsAccessible.cpp), and a
// current cell, which the arrow keys move while it has the focus.
class ResultsPicture : public PictureBox
{
    Q_OBJECT
public:
    explicit ResultsPicture(QWidget* parent = nullptr);

    // What the drawing shows from now on; draws nothing itself. A cell's
    // band is told whether or not the drawing fills it.
    void SetShown(const ResultsGrid& grid);
    const ResultsGrid& Shown() const { return m_shown; }

    // The cell the keys stand on; -1, -1 while the grid has no cells.
    int CurrentRow() const { return m_row; }
    int CurrentColumn() const { return m_col; }
    void SetCurrentCell(int row, int col);

    // What a cell says: its mean as shown, "no answers", or, before a survey
    // is shown, that none is; and the band of its mean.
    QString CellValue(int row, int col) const;
    QString CellBand(int row, int col) const;
    // A cell in the box's pixels.
    QRect CellRect(int row, int col) const;

    // The current cell is where the picture's focus stands, for whatever
    // follows the focus (a magnifier, the scroll area it is in).
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

Q_SIGNALS:
    // The current cell moved; the window scrolls it into view.
    void CurrentCellChanged(const QRect& cell);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ResultsGrid m_shown;
    int m_row = -1;
    int m_col = -1;
};
