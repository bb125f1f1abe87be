#include "analysis/PictureBox.h"

#include "platform/Twips.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::Draw(Drawing drawing)
{
    m_drawings.push_back(std::move(drawing));
    update();
}

void PictureBox::SetPictureSize(const QSize& size)
{
    setMinimumSize(FromDrawing(QRectF(QPointF(0, 0), size)).size());
}

void PictureBox::Cls()
{
    m_drawings.clear();
    update();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    // An explicit clip tells the drawings which part is wanted, so what lies
    // outside it need not be drawn at all.
    painter.setClipRegion(event->region());
    painter.scale(Scale(), Scale());
    painter.setFont(DrawingFont());
    for (const Drawing& drawing : m_drawings) {
        painter.save();
        drawing(painter);
        painter.restore();
    }
}

double PictureBox::Scale() const
{
    return LayoutScale();
}

QFont PictureBox::DrawingFont() const
{
    QFont drawing = font();
    const double scale = Scale();
    if (scale == 1.0)
        return drawing;
    if (drawing.pointSizeF() > 0)
        drawing.setPointSizeF(drawing.pointSizeF() / scale);
    else
        drawing.setPixelSize(std::max(1, int(std::lround(drawing.pixelSize() / scale))));
    return drawing;
}

QPoint PictureBox::ToDrawing(const QPoint& px) const
{
    return QPoint(int(std::floor(px.x() / Scale())), int(std::floor(px.y() / Scale())));
}

QRect PictureBox::FromDrawing(const QRectF& area) const
{
    const double scale = Scale();
    const QPoint topLeft(int(std::floor(area.left() * scale)), int(std::floor(area.top() * scale)));
    const QPoint bottomRight(int(std::ceil(area.right() * scale)),
                             int(std::ceil(area.bottom() * scale)));
    return QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
}
