#include "analysis/PictureBox.h"

#include "platform/QueltError.h"
#include "platform/Twips.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

constexpr double kMetresPerInch = 0.0254;

QImage blankImage(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    // One inch on the screen: the pixels that 1440 twips take.
    image.setDotsPerMeterX(qRound(TwipsToPxX(1440) / kMetresPerInch));
    image.setDotsPerMeterY(qRound(TwipsToPxY(1440) / kMetresPerInch));
    return image;
}

} // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), m_image(blankImage(QSize(1, 1)))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::SetPictureSize(const QSize& size)
{
    if (!grow(size))
        throw QueltError(QStringLiteral("The picture of %1 x %2 pixels is too large to be made.")
                             .arg(size.width())
                             .arg(size.height()));
    setMinimumSize(size);
}

void PictureBox::Cls()
{
    m_image.fill(Qt::white);
    update();
}

bool PictureBox::grow(const QSize& size)
{
    const QSize wanted = m_image.size().expandedTo(size);
    if (wanted == m_image.size())
        return true;
    QImage larger = blankImage(wanted);
    if (larger.isNull())
        return false;
    QPainter painter(&larger);
    painter.drawImage(0, 0, m_image);
    painter.end();
    m_image = std::move(larger);
    return true;
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), m_image, event->rect());
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    // The box never outgrows its picture by more than the space it is shown
    // in, which is always small enough to have.
    grow(size());
    QWidget::resizeEvent(event);
}
