#include "platform/ErrorReport.h"

#include "platform/MessageBox.h"
#include "platform/QueltError.h"
#include "platform/TerminalText.h"

#include <QDebug>
#include <new>

namespace {

// The box shows the text as it is; the line on standard error, which may be
// a terminal, shows it as `logged`, made visible.
void report(const QString& text, const QString& logged, QWidget* window)
{
    qWarning().noquote() << "QueltProject error:" << logged;
    MessageBox::Show(text, window);
}

} // namespace

void ReportError(const QString& text, QWidget* window)
{
    report(text, Visible(text), window);
}

void RunGuarded(QWidget* window, const std::function<void()>& body)
{
    try {
        body();
    } catch (const QueltError& e) {
        report(e.message(), e.VisibleMessage(), window);
    } catch (const std::bad_alloc&) {
        ReportError(
            QStringLiteral("The program ran out of memory; the last action was not finished."),
            window);
    } catch (const std::exception& e) {
        ReportError(QStringLiteral("The action failed: %1").arg(QString::fromLocal8Bit(e.what())),
                    window);
    } catch (...) {
        ReportError(QStringLiteral("The action failed for an unknown reason."), window);
    }
}
