#pragma once

#include "analysis/Report.h"
#include "platform/Form.h"

class PictureBox;
class QCheckBox;
class QLabel;
class QScrollArea;
class ReportMenu;

// What the windows that draw a report over several surveys share with the
// results window: a title, Color Coding, a line that says what is shown, the
// picture in an area that scrolls it, and its Copy, Save As and Print.
class ReportWindow : public Form
{
    Q_OBJECT
public:
    QLabel* Label1 = nullptr;
    QCheckBox* chkColorCoding = nullptr;
    QLabel* lblShown = nullptr;
    QScrollArea* pictureArea = nullptr;
    PictureBox* picture = nullptr;
    ReportMenu* mnuReport = nullptr;

protected:
    // `picture` names the picture box; its area is named after it + "Area".
    ReportWindow(const char* name, const QString& title, const QString& heading,
                 const char* picture);

    // Every survey as a picker lists it: "number (company)".
    static QStringList SurveyChoices(const QList<SurveyEntry>& surveys);
    // The survey number of such an entry.
    static SurveyNumber ChosenSurvey(const QString& choice);

    // Replaces the picture with the report, as Color Coding says now.
    void ShowReport(Report report, const QString& shown);
};
