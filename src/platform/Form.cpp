#include "platform/Form.h"

#include "platform/Accessible.h"
#include "platform/DbEngine.h"
#include "platform/FileAccess.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QVBoxLayout>

namespace {

// The user's settings file of the program (~/.config/quelt/quelt.ini).
QSettings programSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quelt"),
                     QStringLiteral("quelt"));
}

QString placementKey(const QWidget* window, const char* what)
{
    return QStringLiteral("windows/%1/%2").arg(window->objectName(), QLatin1String(what));
}

// The screen's area for windows that holds the point, or the primary
// screen's when no screen does.
QRect availableAt(const QPoint& point)
{
    const QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

Form::Form(const char* name, const QString& title, int clientWidthTwips, int clientHeightTwips)
    : QWidget(nullptr), m_layoutWidth(clientWidthTwips), m_layoutHeight(clientHeightTwips)
{
    InstallAccessibility();
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("clientScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    // Keys reach it from the focused control; it is no tab stop of its own.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_client = new QWidget;
    m_client->setObjectName(QStringLiteral("clientArea"));
    m_client->setMinimumSize(TwipsToPxX(clientWidthTwips), TwipsToPxY(clientHeightTwips));
    m_client->installEventFilter(this);
    m_scroll->setWidget(m_client);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_scroll);
    SizeToClient();

    connect(qApp, &QApplication::focusChanged, this, &Form::ShowFocused, Qt::QueuedConnection);
}

void Form::SetMenuBar(QMenuBar* bar)
{
    m_menuBar = bar;
    layout()->setMenuBar(bar);
    SizeToClient();
}

void Form::SetClientMinimumTwips(int width, int height)
{
    const QSize layoutSize = m_client->minimumSize();
    m_client->setMinimumSize(TwipsToPxX(width), TwipsToPxY(height));
    // The window still opens at its layout's size.
    m_client->resize(layoutSize);
    SizeToClient(layoutSize);
}

QRect Form::GrownTwipsRect(int left, int top, int width, int height) const
{
    const QSize more =
        m_client->size() - QSize(TwipsToPxX(m_layoutWidth), TwipsToPxY(m_layoutHeight));
    return TwipsRect(left, top, width, height).adjusted(0, 0, more.width(), more.height());
}

void Form::SizeToClient(QSize client)
{
    if (!client.isValid())
        client = m_client->minimumSize();
    QSize size = client;
    if (m_menuBar)
        size.rheight() += m_menuBar->sizeHint().height();
    const QRect available = availableAt(isVisible() ? frameGeometry().center() : QPoint());
    if (available.isValid()) {
        // The frame's edges and title bar, once the desktop has given them.
        const QSize frame = frameGeometry().size() - geometry().size();
        size = size.boundedTo(available.size() - frame);
    }
    resize(size);
}

void Form::RestorePlacement()
{
    const QSettings settings = programSettings();
    const QByteArray saved = settings.value(placementKey(this, "geometry")).toByteArray();
    if (saved.isEmpty())
        return;
    const QSize designed = size();
    // Qt puts a window whose screen is gone onto one that exists.
    if (!restoreGeometry(saved))
        return;
    // A size chosen at another font no longer fits the controls it held.
    if (!qFuzzyCompare(settings.value(placementKey(this, "scale")).toDouble(), LayoutScale()))
        resize(designed);
}

void Form::KeepOnScreen()
{
    const QRect available = availableAt(frameGeometry().center());
    if (!available.isValid())
        return;
    // The frame as the desktop has drawn it, if it has by now.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QSize frame = outer.size() - inner.size();
    const QSize most = available.size() - frame;
    if (inner.width() > most.width() || inner.height() > most.height())
        resize(inner.size().boundedTo(most));
    QRect placed = frameGeometry();
    if (available.contains(placed))
        return;
    placed.moveLeft(
        qBound(available.left(), placed.left(), available.right() - placed.width() + 1));
    placed.moveTop(qBound(available.top(), placed.top(), available.bottom() - placed.height() + 1));
    move(placed.topLeft());
}

void Form::SavePlacement() const
{
    QSettings settings = programSettings();
    settings.setValue(placementKey(this, "geometry"), saveGeometry());
    settings.setValue(placementKey(this, "scale"), LayoutScale());
}

void Form::hideEvent(QHideEvent* event)
{
    SavePlacement();
    QWidget::hideEvent(event);
}

bool Form::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        Form_Resize();
    return QWidget::eventFilter(watched, event);
}

void Form::ShowFocused()
{
    QWidget* focused = QApplication::focusWidget();
    if (!focused || !m_client->isAncestorOf(focused))
        return;
    // Only the part of it that its own scrolling boxes show.
    QRect shown(focused->mapTo(m_client, QPoint(0, 0)), focused->size());
    for (QWidget* box = focused->parentWidget(); box && box != m_client; box = box->parentWidget())
        shown &= QRect(box->mapTo(m_client, QPoint(0, 0)), box->size());
    if (shown.isEmpty())
        return;
    const QPoint centre = shown.center();
    m_scroll->ensureVisible(centre.x(), centre.y(), shown.width() / 2 + 8, shown.height() / 2 + 8);
}

QLabel* Form::Caption(const char* name, int left, int top, int width, int height,
                      const QString& caption)
{
    auto* label = Control<QLabel>(name, left, top, width, height);
    label->setText(caption);
    return label;
}

void Form::closeEvent(QCloseEvent* event)
{
    if (!m_closing && !Form_QueryUnload()) {
        event->ignore();
        return;
    }
    m_closing = true;
    QWidget::closeEvent(event);
}

void NameBy(QWidget* control, QLabel* caption)
{
    caption->setBuddy(control);
    control->setAccessibleName(caption->text());
}

namespace {

// The control Tab would move to from `from`.
QWidget* nextTabStop(QWidget* from)
{
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(from->window()) && w->isEnabled() &&
            w->window() == from->window())
            return w;
    }
    return nullptr;
}

bool isEditableBox(const QWidget* w)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(w))
        return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(w))
        return !text->isReadOnly();
    return false;
}

} // namespace

void Form::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_escapeCloses) {
        close();
        return;
    }
    // A push button outside a dialog passes Return and Enter on unused;
    // they arrive here from the focused control.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget* focused = focusWidget();
        if (auto* button = qobject_cast<QPushButton*>(focused); button && button->isEnabled()) {
            button->click();
            return;
        }
        auto* box = qobject_cast<QLineEdit*>(focused);
        if (box && !box->isReadOnly()) {
            // Return moves on to the next box, as Tab does, and presses the
            // Return button only from the last: one stray Return never
            // stores a form half filled in.
            if (QWidget* next = nextTabStop(box); next && isEditableBox(next)) {
                next->setFocus(Qt::TabFocusReason);
                return;
            }
            if (m_returnButton && m_returnButton->isEnabled()) {
                m_returnButton->click();
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}

void Form::WarnIfNothingCanBeStored()
{
    const QString refusal = WriteRefusal(DBEngine::SurveyDatabaseName());
    if (refusal != m_writeRefusal && !refusal.isEmpty())
        MessageBox::Show(refusal, this);
    m_writeRefusal = refusal;
}

void SetTabOrder(std::initializer_list<QWidget*> widgets)
{
    QWidget* previous = nullptr;
    for (QWidget* w : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}
