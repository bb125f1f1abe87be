#pragma once

#include <QPointer>
#include <QWidget>
#include <initializer_list>

#include "platform/Twips.h"

class QLabel;

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
    Form(const char* name, const QString& title, int clientWidthTwips, int clientHeightTwips);

    // True once the user has closed it; such an instance is never shown again.
    bool IsClosing() const { return m_closing; }
    // True during the Form_Show that follows Form_Load: what Load has just read
    // need not be read again.
    bool IsFirstShow() const { return m_firstShow; }

protected:
    // Runs once, right after the window and its controls are built.
    virtual void Form_Load() {}
    // Runs every time the window is shown through ShowForm, also when it was
    // visible already.
    virtual void Form_Show() {}

    void closeEvent(QCloseEvent* event) override;

    // Creates a control of this window (or of `parent`), named and placed by
    // its twip layout.
    template <class W>
    W* Control(const char* name, int left, int top, int width, int height,
               QWidget* parent = nullptr)
    {
        return NewControl<W>(parent ? parent : this, QString::fromLatin1(name), left, top, width,
                             height);
    }

    // A label of this window showing `caption`.
    QLabel* Caption(const char* name, int left, int top, int width, int height,
                    const QString& caption);

private:
    template <class T>
    friend T* ShowForm();
    bool m_closing = false;
    bool m_firstShow = false;
};

// Tab order from a list already sorted by tab index.
void SetTabOrder(std::initializer_list<QWidget*> widgets);

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
        FormSlot<T>() = created;
        form = created;
    }
    if (form->isMinimized())
        form->showNormal();
    else
        form->show();
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
