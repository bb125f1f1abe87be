#include "analysis/ReportWindow.h"

#include "analysis/PictureBox.h"
#include "analysis/ReportFiles.h"
#include "analysis/ReportMenu.h"
#include "platform/Convert.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>

ReportWindow::ReportWindow(const char* name, const QString& title, const QString& heading,
                           const char* pictureName)
    : Form(name, title, 11235, 11085)
{
    Label1 = Control<QLabel>("Label1", 240, 120, 8000, 375);
    Label1->setText(heading);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    chkColorCoding = Control<QCheckBox>("chkColorCoding", 240, 960, 3015, 255);
    chkColorCoding->setText(QStringLiteral("Color Coding"));
    chkColorCoding->setChecked(true);
    lblShown = Control<QLabel>("lblShown", 3480, 960, 7335, 255);
    lblShown->setText(QStringLiteral("Nothing shown yet."));

    const QString pictureId = QString::fromLatin1(pictureName);
    pictureArea =
        NewControl<QScrollArea>(this, pictureId + QStringLiteral("Area"), 240, 1320, 10575, 9495);
    pictureArea->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pictureArea->setWidgetResizable(true);
    pictureArea->setFocusPolicy(Qt::StrongFocus);
    picture = new PictureBox;
    picture->setObjectName(pictureId);
    pictureArea->setWidget(picture);
    mnuReport = new ReportMenu(this, {pictureArea, picture});
}

QStringList ReportWindow::SurveyChoices(const QList<SurveyEntry>& surveys)
{
    QStringList choices;
    for (const SurveyEntry& entry : surveys)
        choices.append(QStringLiteral("%1 (%2)").arg(DecimalText(entry.id), entry.header.company));
    return choices;
}

SurveyNumber ReportWindow::ChosenSurvey(const QString& choice)
{
    return ParseSurveyNumber(choice.section(u' ', 0, 0));
}

void ReportWindow::ShowReport(Report report, const QString& shown)
{
    const bool colour = chkColorCoding->isChecked();
    picture->Cls();
    const QSize size = ReportPictureSize(report, *picture);
    picture->SetPictureSize(size);
    picture->Draw(
        [report, colour, size](QPainter& painter) { PaintReport(painter, report, colour, size); });
    lblShown->setText(shown);
    picture->setAccessibleDescription(shown + u'\n' + NamesInFull(report.grid));
    mnuReport->Show(std::move(report), colour);
}
