#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class QPainter;

// A drawing surface that keeps what is drawn on it, so the drawing comes back
// whenever the window is uncovered, restored, resized or scrolled. It keeps
// the drawing itself, replayed in order over a white background on every
// paint, rather than an image of it: at the largest grid such an image is
// large, and clearing and filling it cost as much as the drawing
// (bench/results.md). Drawings are laid out at the box's own dots per inch,
// which are the screen's, in DrawingFont, and drawn as much larger as the
// windows' layouts are (LayoutScale): at the box's own font again.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    using Drawing = std::function<void(QPainter&)>;

    explicit PictureBox(QWidget* parent = nullptr);

    // Adds to the persistent drawing, drawn over what is there already.
    void Draw(Drawing drawing);
    // The box is no smaller than a drawing of this size, so its scroll area
    // shows the rest.
    void SetPictureSize(const QSize& size);
    // Clears the whole drawing to the background.
    void Cls();

    // How much larger than laid out the drawings are drawn.
    double Scale() const;
    // The font the drawings are laid out in: the box's, as much smaller.
    QFont DrawingFont() const;
    // A point of the box in the drawings' pixels, and a rectangle of the
    // drawings' in the box's.
    QPoint ToDrawing(const QPoint& px) const;
    QRect FromDrawing(const QRectF& area) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Drawing> m_drawings;
};
