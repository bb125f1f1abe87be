#pragma once

#include <QPointer>
#include <QWidget>
#include <initializer_list>

#include "platform/Twips.h"

class QLabel;
class QMenuBar;
class QPushButton;
class QScrollArea;

// A window that lives as one shared instance: created on first use (its
// Form_Load runs once), shown modeless without an owner, kept by Hide, and
// destroyed by the user's close box, after which the next use makes it anew.
class Form;
template <class T>
T* ShowForm();

class Form : public QWidget
{
    Q_OBJECT
public:
    // `name` is the window's objectName; the client area is given in twips.
    // The window opens no larger than the screen it is on: where the client
    // area does not fit, it scrolls (Tab and the focus bring the control
    // they reach into view). Where the user put the window, and its size,
    // are remembered for the next time it opens, also in the next run.
    Form(const char* name, const QString& title, int clientWidthTwips, int clientHeightTwips);

    // True once the user has closed it; such an instance is never shown again.
    bool IsClosing() const { return m_closing; }
    // True during the Form_Show that follows Form_Load: what Load has just read
    // need not be read again.
    bool IsFirstShow() const { return m_firstShow; }
    // Asks, where the window holds work that closing it would lose, whether
    // that may go; false keeps the window as it is. Also asked by the close
    // box, and by the main menu before it ends the program.
    bool QueryUnload() { return Form_QueryUnload(); }

protected:
    // Runs once, right after the window and its controls are built.
    virtual void Form_Load() {}
    // Runs every time the window is shown through ShowForm, also when it was
    // visible already.
    virtual void Form_Show() {}
    // Runs when the client area changes size (see SetClientMinimumTwips).
    virtual void Form_Resize() {}
    // True when the window may close; see QueryUnload.
    virtual bool Form_QueryUnload() { return true; }

    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Return and Enter press the focused push button, as Space does; in an
    // editable one-line box they move to the next box, or, when the next tab
    // stop is no box, press the window's Return button, if any. Escape
    // closes the window where SetEscapeCloses says so.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Where the twip layout stands: the client area, inside the window's
    // scrolling frame.
    QWidget* Client() const { return m_client; }
    // The window's menu bar, above the client area.
    void SetMenuBar(QMenuBar* bar);
    // Escape closes the window as its close box does, asking first where
    // something would be lost.
    void SetEscapeCloses(bool closes) { m_escapeCloses = closes; }
    // By default the client area keeps its layout's size and scrolls in a
    // smaller window; a window whose controls follow its size (Form_Resize)
    // lets it shrink this far before it scrolls.
    void SetClientMinimumTwips(int width, int height);
    // A control's place in the twip layout, grown by the room the client area
    // has beyond the layout's size, or shrunk by what it lacks: for the one
    // control that follows the window's size.
    QRect GrownTwipsRect(int left, int top, int width, int height) const;

    // The button that Return in the window's one-line boxes presses.
    void SetReturnButton(QPushButton* button) { m_returnButton = button; }
    // Tells the user, before anything is typed, when the survey database
    // cannot be written; once, until the file can be written again.
    void WarnIfNothingCanBeStored();

    // Creates a control of this window's client area (or of `parent`), named
    // and placed by its twip layout.
    template <class W>
    W* Control(const char* name, int left, int top, int width, int height,
               QWidget* parent = nullptr)
    {
        return NewControl<W>(parent ? parent : m_client, QString::fromLatin1(name), left, top,
                             width, height);
    }

    // A label of this window showing `caption`.
    QLabel* Caption(const char* name, int left, int top, int width, int height,
                    const QString& caption);

private:
    template <class T>
    friend T* ShowForm();
    // The window at its client area's size (by default its layout's), no
    // larger than the screen's area for windows.
    void SizeToClient(QSize client = QSize());
    // Back where the user last left it (Qt puts it on a screen that exists).
    void RestorePlacement();
    // No larger than the screen it is on, and wholly on it.
    void KeepOnScreen();
    void SavePlacement() const;
    // Brings the focused control into view, once the window has moved
    // whatever scrolls inside it.
    void ShowFocused();

    QScrollArea* m_scroll = nullptr;
    QWidget* m_client = nullptr;
    // The client area's size in the layout.
    int m_layoutWidth = 0;
    int m_layoutHeight = 0;
    QMenuBar* m_menuBar = nullptr;
    bool m_escapeCloses = false;
    bool m_closing = false;
    bool m_firstShow = false;
    QPushButton* m_returnButton = nullptr;
    // The last refusal told, so that showing the window again does not
    // repeat it.
    QString m_writeRefusal;
};

// Tab order from a list already sorted by tab index.
void SetTabOrder(std::initializer_list<QWidget*> widgets);

// A label names the control beside it: its caption becomes the control's
// accessible name, and the label points to the control.
void NameBy(QWidget* control, QLabel* caption);

template <class T>
QPointer<T>& FormSlot()
{
    static QPointer<T> instance;
    return instance;
}

// The live instance of a window, or nullptr when none exists.
template <class T>
T* FormInstance()
{
    T* form = FormSlot<T>().data();
    return (form && !form->IsClosing()) ? form : nullptr;
}

// Creates the window on first use (running Form_Load; a failed Load leaves no
// instance behind and passes the failure on), then shows it in front.
template <class T>
T* ShowForm()
{
    T* form = FormInstance<T>();
    const bool isNew = !form;
    if (isNew) {
        auto* created = new T();
        try {
            static_cast<Form*>(created)->Form_Load();
        } catch (...) {
            delete created;
            throw;
        }
        static_cast<Form*>(created)->RestorePlacement();
        FormSlot<T>() = created;
        form = created;
    }
    if (form->isMinimized())
        form->showNormal();
    else
        form->show();
    if (isNew)
        static_cast<Form*>(form)->KeepOnScreen();
    form->raise();
    form->activateWindow();
    Form* shown = form;
    shown->m_firstShow = isNew;
    try {
        shown->Form_Show();
    } catch (...) {
        shown->m_firstShow = false;
        throw;
    }
    shown->m_firstShow = false;
    return form;
}
