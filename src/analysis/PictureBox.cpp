#include "analysis/PictureBox.h"

#include <QPaintEvent>
#include <QPainter>

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
    setMinimumSize(size);
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
    for (const Drawing& drawing : m_drawings) {
        painter.save();
        drawing(painter);
        painter.restore();
    }
}
