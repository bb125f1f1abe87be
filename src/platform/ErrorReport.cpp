#include "platform/ErrorReport.h"

#include "platform/MessageBox.h"
#include "platform/QueltError.h"

#include <QDebug>
#include <new>

void ReportError(const QString& text, QWidget* window)
{
    qWarning().noquote() << "QueltProject error:" << text;
    MessageBox::Show(text, window);
}

void RunGuarded(QWidget* window, const std::function<void()>& body)
{
    try {
        body();
    } catch (const QueltError& e) {
        ReportError(e.message(), window);
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
