#include "survey/frmSurvey.h"

#include "data/Answers.h"
#include "data/Questions.h"
#include "data/SurveyFile.h"
#include "data/Surveys.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextBox.h"
#include "platform/TextSet.h"
#include "questions/ModelLists.h"
#include "survey/SurveyQuestionControl.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QWheelEvent>
#include <algorithm>

namespace {

constexpr int kLayoutRows = 32;
constexpr int kRowPitch = 500;
constexpr int kRowWidth = 8415;
constexpr int kRowHeight = 375;
constexpr int kMinPanelHeight = 20000;
// A cell of up to this many questions gets a row for each at once. A cell can
// hold tens of thousands; their rows would take seconds and hundreds of
// megabytes, so beyond this a row is made when the panel scrolls near it.
constexpr qsizetype kRowsMadeAtOnce = 256;
// How far below the viewport rows are made ahead, in rows.
constexpr int kRowsAhead = 32;

} // namespace

frmSurvey::frmSurvey() : Form("frmSurvey", QStringLiteral("Complete Survey"), 9450, 7305)
{
    Label1 = Control<QLabel>("Label1", 240, 240, 1455, 255);
    Label1->setText(QStringLiteral("Completed by"));
    txtCompletedBy = Control<TextBox>("txtCompletedBy", 1800, 240, 2535, 285);
    txtCompletedBy->SetLocked(true);
    Label2 = Control<QLabel>("Label2", 240, 600, 1095, 375);
    Label2->setText(QStringLiteral("Company"));
    txtCompany = Control<TextBox>("txtCompany", 1800, 600, 2535, 285);
    txtCompany->SetLocked(true);
    Label8 = Control<QLabel>("Label8", 5760, 240, 1575, 375);
    Label8->setText(QStringLiteral("Survey Number"));
    cmbSurveyID = Control<QComboBox>("cmbSurveyID", 7200, 240, 1095, 315);

    cmbModelRow = Control<QComboBox>("cmbModelRow", 360, 1080, 2535, 315);
    lstModelRow = Control<QListWidget>("lstModelRow", 3000, 1080, 1095, 255);
    lstModelRow->setVisible(false);
    cmbModelCol = Control<QComboBox>("cmbModelCol", 360, 1440, 2535, 315);
    lstModelCol = Control<QListWidget>("lstModelCol", 3000, 1440, 1095, 255);
    lstModelCol->setVisible(false);

    Label3 = Control<QLabel>("Label3", 6120, 2160, 255, 255);
    Label4 = Control<QLabel>("Label4", 6720, 2160, 255, 255);
    Label5 = Control<QLabel>("Label5", 7320, 2160, 255, 255);
    Label6 = Control<QLabel>("Label6", 7920, 2160, 255, 255);
    Label7 = Control<QLabel>("Label7", 8400, 2160, 375, 255);
    QLabel* headings[] = {Label3, Label4, Label5, Label6, Label7};
    for (int i = 0; i < 5; ++i)
        headings[i]->setText(QString::number(i));

    Picture1 = Control<QFrame>("Picture1", 360, 2520, 8655, 3975);
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(2);
    // Children of a frame may paint over its border; the panel lives in an
    // inner area of exactly the viewport's client size, which clips it.
    auto* viewport = new QWidget(Picture1);
    viewport->setGeometry(Picture1->contentsRect());
    Picture2 = new QWidget(viewport);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    PlaceTwips(Picture2, 0, 0, kRowWidth, kMinPanelHeight);
    for (int i = 0; i < kLayoutRows; ++i)
        AddQuestionRow();
    // The wheel over the questions scrolls them as the bar would.
    Picture1->installEventFilter(this);

    VScroll1 = Control<QScrollBar>("VScroll1", 9015, 2520, 255, 3975);
    VScroll1->setOrientation(Qt::Vertical);

    butSubmit = Control<QPushButton>("butSubmit", 360, 6720, 975, 375);
    butSubmit->setText(QStringLiteral("Submit"));

    PlaceScoreHeadings();

    SetTabOrder({txtCompletedBy, txtCompany, butSubmit, cmbModelRow, cmbModelCol, VScroll1,
                 SurveyQuestionControl1.front()});
    for (int i = 1; i < kLayoutRows; ++i)
        setTabOrder(SurveyQuestionControl1[i - 1], SurveyQuestionControl1[i]);
    setTabOrder(SurveyQuestionControl1.back(), cmbSurveyID);

    connect(cmbSurveyID, &QComboBox::activated, this, Handler(this, &frmSurvey::cmbSurveyID_Click));
    connect(cmbModelRow, &QComboBox::activated, this, Handler(this, &frmSurvey::cmbModelRow_Click));
    connect(cmbModelCol, &QComboBox::activated, this, Handler(this, &frmSurvey::cmbModelCol_Click));
    connect(VScroll1, &QScrollBar::valueChanged, this, Handler(this, &frmSurvey::VScroll1_Change));
    connect(VScroll1, &QScrollBar::sliderMoved, this, Handler(this, &frmSurvey::VScroll1_Scroll));
    connect(butSubmit, &QPushButton::clicked, this, Handler(this, &frmSurvey::butSubmit_Click));
    connect(VScroll1, &QScrollBar::valueChanged, this, Handler(this, &frmSurvey::MakeRowsInView));
    connect(VScroll1, &QScrollBar::sliderMoved, this, Handler(this, &frmSurvey::MakeRowsInView));
}

frmSurvey::~frmSurvey() = default;

void frmSurvey::AddQuestionRow()
{
    const int index = int(SurveyQuestionControl1.size());
    auto* row = new SurveyQuestionControl(Picture2);
    row->setObjectName(QStringLiteral("SurveyQuestionControl1(%1)").arg(index));
    PlaceTwips(row, 0, kRowPitch * index, kRowWidth, kRowHeight);
    // A row added to a window on show is not shown by Qt on its own.
    row->setVisible(true);
    if (!SurveyQuestionControl1.empty())
        setTabOrder(SurveyQuestionControl1.back(), row);
    SurveyQuestionControl1.push_back(row);
}

// The headings stand centred over the option buttons of the rows as they are
// drawn, whatever the viewport's border and the style's button make up.
void frmSurvey::PlaceScoreHeadings()
{
    QLabel* headings[] = {Label3, Label4, Label5, Label6, Label7};
    const SurveyQuestionControl* row = SurveyQuestionControl1.front();
    for (int i = 0; i < 5; ++i) {
        const QRadioButton* option = row->optChoice[i];
        QStyleOptionButton styleOption;
        styleOption.initFrom(option);
        const QRect indicator =
            option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &styleOption, option);
        const QPoint centre = option->mapTo(this, indicator.center());
        QLabel* heading = headings[i];
        heading->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        heading->move(centre.x() - heading->width() / 2, heading->y());
    }
}

void frmSurvey::Form_Load()
{
    LoadSurveyIds();
    LoadModelLists();
    LoadCellQuestions();
}

// Surveys stored while this window lives (by the new survey window, say) are
// offered as soon as the window is shown again. Right after Load the list is
// as fresh as a second read would make it.
void frmSurvey::Form_Show()
{
    if (!IsFirstShow())
        LoadSurveyIds();
}

// Adds every survey number not yet on offer, keeping the user's choice.
void frmSurvey::LoadSurveyIds()
{
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    AddNewItems(cmbSurveyID, ReadSurveyNumbers(db));
}

void frmSurvey::LoadModelLists()
{
    ::LoadModelLists(cmbModelRow, lstModelRow, cmbModelCol, lstModelCol);
}

void frmSurvey::LoadCellQuestions()
{
    m_shownRow = -1;
    m_shownCol = -1;
    QList<CellQuestion> questions;
    try {
        questions = ReadCellQuestions();
    } catch (...) {
        // A cell with a bad question stays empty instead of showing in part.
        ShowQuestions({});
        throw;
    }
    ShowQuestions(questions);
    m_shownRow = cmbModelRow->currentIndex();
    m_shownCol = cmbModelCol->currentIndex();
}

// The questions of the chosen cell; none while a row or column is not chosen.
QList<CellQuestion> frmSurvey::ReadCellQuestions() const
{
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    if (!rowNumber || !colNumber)
        return {};
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    return ::ReadCellQuestions(db, *rowNumber, *colNumber);
}

// Puts the questions into the first rows and empties the others. A row that
// shows a question before and after is refilled where it stands: emptying
// every row first and showing it again made each of its six parts hide, show
// and repaint for nothing. Rows a larger cell needed before are let go.
void frmSurvey::ShowQuestions(const QList<CellQuestion>& questions)
{
    m_questions = questions;
    const std::size_t needed = std::size_t(
        questions.size() > kRowsMadeAtOnce ? kLayoutRows
                                           : std::max<qsizetype>(kLayoutRows, questions.size()));
    while (SurveyQuestionControl1.size() > needed) {
        delete SurveyQuestionControl1.back();
        SurveyQuestionControl1.pop_back();
    }
    while (SurveyQuestionControl1.size() < needed)
        AddQuestionRow();
    Picture2->resize(Picture2->width(), TwipsToPxY(PanelHeight()));
    for (std::size_t n = 0; n < SurveyQuestionControl1.size(); ++n)
        FillRow(n);
    SetupScrollBar();
    MakeRowsInView();
}

void frmSurvey::FillRow(std::size_t n)
{
    SurveyQuestionControl* row = SurveyQuestionControl1[n];
    // A score belongs to the question it was given for, never to the next
    // question that lands in the same row.
    row->Clear_Value();
    if (qsizetype(n) < m_questions.size()) {
        row->Show_Question();
        row->Set_Question(m_questions.at(qsizetype(n)).id, m_questions.at(qsizetype(n)).text);
        PlaceTwips(row, 0, kRowPitch * int(n), kRowWidth, kRowHeight);
    } else {
        row->Hide_Question();
    }
}

// Makes the rows of a large cell down to a little below what the viewport
// shows, so every question the user can reach has its row.
void frmSurvey::MakeRowsInView()
{
    const qsizetype reach = (ViewportHeight() - ScrollValue()) / kRowPitch + 1 + kRowsAhead;
    const std::size_t wanted = std::size_t(std::min(m_questions.size(), reach));
    while (SurveyQuestionControl1.size() < wanted) {
        AddQuestionRow();
        FillRow(SurveyQuestionControl1.size() - 1);
    }
}

int frmSurvey::PanelHeight() const
{
    const qsizetype rows = std::max(qsizetype(SurveyQuestionControl1.size()), m_questions.size());
    return std::max(kMinPanelHeight, kRowPitch * int(rows));
}

int frmSurvey::ViewportHeight() const
{
    return PxToTwipsY(Picture1->contentsRect().height());
}

// The bar's value in twips runs from 0 (panel at the top) down to V - P (panel
// at the bottom). Qt keeps a range upwards, so it holds the negated value.
void frmSurvey::SetupScrollBar()
{
    const int viewport = ViewportHeight();
    VScroll1->setRange(0, std::max(0, PanelHeight() - viewport));
    VScroll1->setPageStep(viewport);
    VScroll1->setSingleStep(qRound(viewport / 5.0));
}

int frmSurvey::ScrollValue() const
{
    // While the thumb is dragged its position runs ahead of Qt's value.
    return -VScroll1->sliderPosition();
}

void frmSurvey::VScroll1_Change()
{
    Picture2->move(Picture2->x(), TwipsToPxY(ScrollValue()));
}

void frmSurvey::VScroll1_Scroll()
{
    Picture2->move(Picture2->x(), TwipsToPxY(ScrollValue()));
}

bool frmSurvey::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Picture1 && event->type() == QEvent::Wheel) {
        QApplication::sendEvent(VScroll1, event);
        return true;
    }
    return Form::eventFilter(watched, event);
}

void frmSurvey::cmbSurveyID_Click()
{
    const SurveyNumber surveyId = ParseSurveyNumber(cmbSurveyID->currentText());
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    // A survey that is gone shows no header rather than the last one's.
    const SurveyHeader header = ReadSurveyHeader(db, surveyId).value_or(SurveyHeader{});
    txtCompletedBy->setText(header.completedBy);
    txtCompany->setText(header.company);
}

void frmSurvey::cmbModelRow_Click()
{
    if (cmbModelRow->currentIndex() == m_shownRow)
        return;
    LoadCellQuestions();
}

void frmSurvey::cmbModelCol_Click()
{
    if (cmbModelCol->currentIndex() == m_shownCol)
        return;
    LoadCellQuestions();
}

void frmSurvey::butSubmit_Click()
{
    if (cmbSurveyID->currentIndex() < 0) {
        MessageBox::Show(QStringLiteral("Choose a survey first."), this);
        return;
    }
    const SurveyNumber surveyId = ParseSurveyNumber(cmbSurveyID->currentText());

    QList<Answer> answers;
    for (const SurveyQuestionControl* row : SurveyQuestionControl1) {
        const qint16 score = row->Get_Value();
        const qint16 questionId = row->Get_QuestionID();
        if (score > -1 && questionId > -1)
            answers.append({questionId, score});
    }
    if (answers.isEmpty()) {
        MessageBox::Show(
            QStringLiteral("Nothing was stored: no question of this cell has a score."), this);
        return;
    }

    {
        // Closed before the message waits for the user.
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        StoreCellAnswers(db, surveyId, answers);
    }
    MessageBox::Show(QStringLiteral("Survey Submitted"), this);
}
