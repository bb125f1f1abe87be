#include "analysis/ReportWindow.h"

#include "analysis/PictureBox.h"
#include "analysis/ReportFiles.h"
#include "analysis/ReportMenu.h"
#include "analysis/ResultsLayout.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>

using namespace ResultsLayout;

ReportWindow::ReportWindow(const char* name, const QString& title, const QString& heading,
                           const char* pictureName, const QString& spoken, int minimumWidth)
    : Form(name, title, kClientWidth, kClientHeight)
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
    pictureArea = NewControl<QScrollArea>(Client(), pictureId + QStringLiteral("Area"),
                                          kPictureLeft, kPictureTop, kPictureWidth, kPictureHeight);
    pictureArea->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pictureArea->setWidgetResizable(true);
    pictureArea->setFocusPolicy(Qt::StrongFocus);
    pictureArea->setAccessibleName(spoken);
    picture = new PictureBox;
    picture->setObjectName(pictureId);
    picture->setAccessibleName(spoken + QStringLiteral(" grid"));
    pictureArea->setWidget(picture);
    mnuReport = new ReportMenu(this, {pictureArea, picture});

    SetEscapeCloses(true);
    // The top controls stay whole; the picture shrinks to a few cells.
    SetClientMinimumTwips(minimumWidth, 4000);
}

void ReportWindow::Form_Resize()
{
    if (pictureArea)
        pictureArea->setGeometry(
            GrownTwipsRect(kPictureLeft, kPictureTop, kPictureWidth, kPictureHeight));
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

void ReportWindow::ShowReport(const ReportRequest& request,
                              const std::function<QString(const Report&)>& shown)
{
    // One limit for the whole click, however many surveys it reads.
    // Everything is read before the picture is touched: a failed query
    // leaves the previous picture as it was.
    const EngineAction click;
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    Report report = ComputeReport(db, request);
    const bool colour = chkColorCoding->isChecked();
    const QFont font = picture->DrawingFont();
    const QSize size = ReportPictureSize(report, font, *picture);
    picture->Cls();
    picture->SetPictureSize(size);
    picture->Draw([report, colour, size, font](QPainter& painter) {
        PaintReport(painter, report, colour, size, font);
    });
    const QString said = shown(report);
    lblShown->setText(said);
    picture->setAccessibleDescription(said + u'\n' + NamesInFull(report.grid));
    pictureArea->setAccessibleDescription(picture->accessibleDescription());
    const QString note = OutsideScoresNote(report);
    mnuReport->Show(std::move(report), colour);
    if (!note.isEmpty())
        MessageBox::Show(
            QStringLiteral("In %1; run quelt-db check on %2.").arg(note, db.FileName()), this);
}
