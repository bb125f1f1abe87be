#pragma once

#include "analysis/Report.h"

#include <QObject>
#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

// The context menu of a results picture: Copy (the grid as tab-separated
// text and as a picture), Save As (PNG, PDF, SVG or CSV, the files quelt-db
// report writes) and Print with a preview. It opens with the right mouse
// button, the menu key and Shift+F10, and offers nothing until a report is
// shown.
class ReportMenu : public QObject
{
    Q_OBJECT
public:
    // `window` stands over the dialogs and any failure; `pictures` are the
    // widgets (the picture and the area that scrolls it) that open the menu.
    ReportMenu(QWidget* window, std::initializer_list<QWidget*> pictures);

    // What the picture shows now: one survey's computed results...
    void Show(SurveyNumber survey, const ResultsGrid& results, bool colour);
    // ... or a whole report.
    void Show(Report report, bool colour);

    QMenu* mnuReport = nullptr;
    QAction* miCopy = nullptr;
    QAction* miSaveAs = nullptr;
    QAction* miPrint = nullptr;

private:
    void miCopy_Click();
    void miSaveAs_Click();
    void miPrint_Click();
    void popUp(QWidget* picture, const QPoint& at);
    // The shown report, its header read for a one-survey result.
    const Report& shown();
    Report withQuestions();

    QWidget* m_window;
    std::optional<Report> m_report;
    // A one-survey result whose header is read when first needed.
    std::optional<SurveyNumber> m_survey;
    bool m_colour = true;
};
