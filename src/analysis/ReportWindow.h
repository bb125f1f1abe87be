#pragma once

#include "analysis/Report.h"
#include "platform/Form.h"

#include <functional>

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
    // `picture` names the picture box, and `spoken` is what a screen reader
    // calls it; its area is named after it + "Area". The window may narrow
    // to `minimumWidth` twips, which keep its top row whole.
    ReportWindow(const char* name, const QString& title, const QString& heading,
                 const char* picture, const QString& spoken, int minimumWidth);

    // The picture takes what room the window has beyond its layout, or gives
    // it up, so that its scroll bars stay in view.
    void Form_Resize() override;

    // Every survey as a picker lists it: "number (company)".
    static QStringList SurveyChoices(const QList<SurveyEntry>& surveys);
    // The survey number of such an entry.
    static SurveyNumber ChosenSurvey(const QString& choice);

    // Reads the report within one limit for the whole click, then replaces
    // the picture with it, as Color Coding says now, and says where its means
    // count answers no window stores. `shown` says what it shows.
    void ShowReport(const ReportRequest& request,
                    const std::function<QString(const Report&)>& shown);
};
