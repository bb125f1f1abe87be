#pragma once

#include <QImage>
#include <QWidget>

// A drawing surface that keeps what is drawn on it in an image of its own, so
// the drawing comes back whenever the window is uncovered, restored or
// resized. The image is white where nothing is drawn and carries the screen's
// dots per inch, so drawings laid out in twips come out at the window's scale.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The persistent drawing. Draw on it, then update().
    QImage& Image() { return m_image; }
    // The drawing can hold at least this many pixels and the box is no
    // smaller; throws QueltError when no image of that size can be made.
    void SetPictureSize(const QSize& size);
    // Clears the whole drawing to the background.
    void Cls();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Grows the image to cover `size`, keeping what is drawn; false when the
    // memory for it cannot be had.
    bool grow(const QSize& size);

    QImage m_image;
};
