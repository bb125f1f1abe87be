#include "shell/frmMainMenu.h"

#include "analysis/frmCompanyTrend.h"
#include "analysis/frmCompareSurveys.h"
#include "analysis/frmModelTable.h"
#include "platform/ErrorReport.h"
#include "questions/frmCorrectQuestion.h"
#include "questions/frmQuestion.h"
#include "survey/frmCorrectSurvey.h"
#include "survey/frmNewSurvey.h"
#include "survey/frmSurvey.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>

namespace {

constexpr int kClientWidth = 6675;
constexpr int kClientHeight = 3300;

QMenu* addMenu(QMenuBar* bar, const char* name, const QString& caption)
{
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

frmMainMenu::frmMainMenu()
    : Form("frmMainMenu", QStringLiteral("Quelt Analysis Software"), kClientWidth, kClientHeight)
{
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setAccessibleName(QStringLiteral("Main menu"));
    // The & marks each access key: Alt with it opens a menu, and within an
    // open menu the key alone chooses the item. The words stay as they were.
    menuQuestion = addMenu(menuBar, "menuQuestion", QStringLiteral("&Questions"));
    miAddQuestion = addItem(menuQuestion, "miAddQuestion", QStringLiteral("&Add Question"));
    menuSurvey = addMenu(menuBar, "menuSurvey", QStringLiteral("&Survey"));
    miCompleteSurvey =
        addItem(menuSurvey, "miCompleteSurvey", QStringLiteral("Answer &New Survey"));
    miModifySurveyAnswers =
        addItem(menuSurvey, "miModifySurveyAnswers", QStringLiteral("&Modify Survey Answers"));
    menuAnalysis = addMenu(menuBar, "menuAnalysis", QStringLiteral("&Analysis"));
    miQueltTable = addItem(menuAnalysis, "miQueltTable", QStringLiteral("&Quelt Analysis"));
    miCompareSurveys =
        addItem(menuAnalysis, "miCompareSurveys", QStringLiteral("&Compare Surveys"));
    miCompanyTrend = addItem(menuAnalysis, "miCompanyTrend", QStringLiteral("Company &Trend"));
    // Corrections come after the items they correct the work of.
    miCorrectQuestion =
        addItem(menuQuestion, "miCorrectQuestion", QStringLiteral("&Correct Question"));
    miCorrectSurvey =
        addItem(menuSurvey, "miCorrectSurvey", QStringLiteral("&Correct Survey Header"));

    // F10 opens the first menu, from where the arrow keys reach the others.
    auto* openMenus = new QAction(this);
    openMenus->setObjectName(QStringLiteral("actOpenMenuBar"));
    openMenus->setShortcut(Qt::Key_F10);
    addAction(openMenus);
    connect(openMenus, &QAction::triggered, this, Handler(this, &frmMainMenu::OpenMenuBar));

    SetMenuBar(menuBar);

    Label1 = Control<QLabel>("Label1", 600, 1200, 5295, 615);
    Label1->setText(QStringLiteral("Quelt Analysis Software"));
    QFont heading = Label1->font();
    // 24 pt at the design font, and as much larger as the layout is.
    heading.setPointSizeF(24 * LayoutScale());
    heading.setWeight(QFont::Normal);
    heading.setItalic(false);
    heading.setUnderline(false);
    Label1->setFont(heading);
    // The layout was made for a narrower face: let the title run on rather
    // than cut it, as long as it stays inside the window.
    Label1->resize(qMax(Label1->width(), Label1->sizeHint().width()), Label1->height());

    connect(miAddQuestion, &QAction::triggered, this, Handler(this, &frmMainMenu::miAddQuestion_Click));
    connect(miCompleteSurvey, &QAction::triggered, this,
            Handler(this, &frmMainMenu::miCompleteSurvey_Click));
    connect(miModifySurveyAnswers, &QAction::triggered, this,
            Handler(this, &frmMainMenu::miModifySurveyAnswers_Click));
    connect(miQueltTable, &QAction::triggered, this, Handler(this, &frmMainMenu::miQueltTable_Click));
    connect(miCorrectQuestion, &QAction::triggered, this,
            Handler(this, &frmMainMenu::miCorrectQuestion_Click));
    connect(miCorrectSurvey, &QAction::triggered, this,
            Handler(this, &frmMainMenu::miCorrectSurvey_Click));
    connect(miCompareSurveys, &QAction::triggered, this,
            Handler(this, &frmMainMenu::miCompareSurveys_Click));
    connect(miCompanyTrend, &QAction::triggered, this,
            Handler(this, &frmMainMenu::miCompanyTrend_Click));
}

void frmMainMenu::miAddQuestion_Click()
{
    ShowForm<frmQuestion>();
}

void frmMainMenu::miCompleteSurvey_Click()
{
    ShowForm<frmNewSurvey>();
}

void frmMainMenu::miModifySurveyAnswers_Click()
{
    ShowForm<frmSurvey>();
}

void frmMainMenu::miQueltTable_Click()
{
    ShowForm<frmModelTable>();
}

void frmMainMenu::miCorrectQuestion_Click()
{
    ShowForm<frmCorrectQuestion>();
}

void frmMainMenu::miCorrectSurvey_Click()
{
    ShowForm<frmCorrectSurvey>();
}

void frmMainMenu::miCompareSurveys_Click()
{
    ShowForm<frmCompareSurveys>();
}

void frmMainMenu::miCompanyTrend_Click()
{
    ShowForm<frmCompanyTrend>();
}

void frmMainMenu::OpenMenuBar()
{
    menuBar->setActiveAction(menuQuestion->menuAction());
}

void frmMainMenu::closeEvent(QCloseEvent* event)
{
    // Ending the program closes every window: each is asked first, and one
    // that must stay keeps the program running.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* form = qobject_cast<Form*>(window);
        if (form && form != this && !form->IsClosing() && !form->QueryUnload()) {
            event->ignore();
            return;
        }
    }
    Form::closeEvent(event);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && qobject_cast<Form*>(window))
            window->close();
    }
    QCoreApplication::quit();
}
