#include "survey/frmSurvey.h"

#include "data/Answers.h"
#include "data/Corrections.h"
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

#include <QAction>
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

const QString kChooseToSeeStored =
    QStringLiteral("Choose a survey and a cell to see the answers stored for them.");

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
    NameBy(txtCompletedBy, Label1);
    NameBy(txtCompany, Label2);
    Label8->setBuddy(cmbSurveyID);
    cmbSurveyID->setAccessibleName(QStringLiteral("Survey number"));

    cmbModelRow = Control<QComboBox>("cmbModelRow", 360, 1080, 2535, 315);
    lstModelRow = Control<QListWidget>("lstModelRow", 3000, 1080, 1095, 255);
    lstModelRow->setVisible(false);
    cmbModelCol = Control<QComboBox>("cmbModelCol", 360, 1440, 2535, 315);
    lstModelCol = Control<QListWidget>("lstModelCol", 3000, 1440, 1095, 255);
    lstModelCol->setVisible(false);
    cmbModelRow->setAccessibleName(QStringLiteral("Model row"));
    cmbModelCol->setAccessibleName(QStringLiteral("Model column"));
    lstModelRow->setAccessibleName(QStringLiteral("Model row numbers"));
    lstModelCol->setAccessibleName(QStringLiteral("Model column numbers"));

    Label3 = Control<QLabel>("Label3", 6120, 2160, 255, 255);
    Label4 = Control<QLabel>("Label4", 6720, 2160, 255, 255);
    Label5 = Control<QLabel>("Label5", 7320, 2160, 255, 255);
    Label6 = Control<QLabel>("Label6", 7920, 2160, 255, 255);
    Label7 = Control<QLabel>("Label7", 8400, 2160, 375, 255);
    QLabel* headings[] = {Label3, Label4, Label5, Label6, Label7};
    for (int i = 0; i < 5; ++i) {
        headings[i]->setText(QString::number(i));
        // Read alone, "4" would say nothing of what it heads.
        headings[i]->setAccessibleName(QStringLiteral("Score %1").arg(i));
        headings[i]->setAccessibleDescription(QStringLiteral("Heading of the options below"));
    }

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
    Picture1->setAccessibleName(QStringLiteral("Questions"));
    Picture2->setAccessibleName(QStringLiteral("Questions of the cell"));

    VScroll1 = Control<QScrollBar>("VScroll1", 9015, 2520, 255, 3975);
    VScroll1->setOrientation(Qt::Vertical);
    VScroll1->setAccessibleName(QStringLiteral("Scroll the questions"));
    // The bar takes the focus in its turn, and then its keys scroll.
    VScroll1->setFocusPolicy(Qt::StrongFocus);
    // The wheel scrolls by rows, over the questions as over the bar.
    Picture1->installEventFilter(this);
    VScroll1->installEventFilter(this);

    butSubmit = Control<QPushButton>("butSubmit", 360, 6720, 975, 375);
    // Alt+S submits from wherever the keys are.
    butSubmit->setText(QStringLiteral("&Submit"));
    // Beside Submit, in the window's free lower right.
    lblStored = Control<QLabel>("lblStored", 1560, 6720, 7455, 375);
    lblStored->setText(kChooseToSeeStored);
    // Beside the cell it acts on, away from Submit.
    butWithdraw = Control<QPushButton>("butWithdraw", 7200, 1080, 1815, 375);
    butWithdraw->setText(QStringLiteral("Withdraw Cell"));

    PlaceScoreHeadings();

    SetTabOrder({txtCompletedBy, txtCompany, butSubmit, cmbModelRow, cmbModelCol, VScroll1});
    OrderTabs(0);

    // The next and the previous cell of the model, row by row, without
    // picking a row and a column again.
    actNextCell = new QAction(this);
    actNextCell->setObjectName(QStringLiteral("actNextCell"));
    actNextCell->setShortcut(Qt::CTRL | Qt::Key_PageDown);
    addAction(actNextCell);
    actPreviousCell = new QAction(this);
    actPreviousCell->setObjectName(QStringLiteral("actPreviousCell"));
    actPreviousCell->setShortcut(Qt::CTRL | Qt::Key_PageUp);
    addAction(actPreviousCell);

    connect(cmbSurveyID, &QComboBox::activated, this, Handler(this, &frmSurvey::cmbSurveyID_Click));
    connect(cmbModelRow, &QComboBox::activated, this, Handler(this, &frmSurvey::cmbModelRow_Click));
    connect(cmbModelCol, &QComboBox::activated, this, Handler(this, &frmSurvey::cmbModelCol_Click));
    connect(VScroll1, &QScrollBar::valueChanged, this, Handler(this, &frmSurvey::VScroll1_Change));
    connect(VScroll1, &QScrollBar::sliderMoved, this, Handler(this, &frmSurvey::VScroll1_Scroll));
    connect(butSubmit, &QPushButton::clicked, this, Handler(this, &frmSurvey::butSubmit_Click));
    connect(butWithdraw, &QPushButton::clicked, this, Handler(this, &frmSurvey::butWithdraw_Click));
    connect(actNextCell, &QAction::triggered, this, Handler(this, &frmSurvey::actNextCell_Click));
    connect(actPreviousCell, &QAction::triggered, this,
            Handler(this, &frmSurvey::actPreviousCell_Click));
    connect(qApp, &QApplication::focusChanged, this, Handler(this, &frmSurvey::Row_Focus));
    connect(VScroll1, &QScrollBar::valueChanged, this, Handler(this, &frmSurvey::MakeRowsInView));
    connect(VScroll1, &QScrollBar::sliderMoved, this, Handler(this, &frmSurvey::MakeRowsInView));
}

void frmSurvey::OrderTabs(std::size_t from)
{
    QWidget* previous = VScroll1;
    if (from > 0)
        previous = SurveyQuestionControl1[from - 1]->optChoice.back();
    for (std::size_t i = from; i < SurveyQuestionControl1.size(); ++i) {
        for (QRadioButton* option : SurveyQuestionControl1[i]->optChoice) {
            setTabOrder(previous, option);
            previous = option;
        }
    }
    setTabOrder(previous, cmbSurveyID);
    // Last, out of the way from one cell to the next.
    setTabOrder(cmbSurveyID, butWithdraw);
    m_tabbedRows = SurveyQuestionControl1.size();
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
        QLabel* heading = headings[i];
        const QPoint centre = option->mapTo(heading->parentWidget(), indicator.center());
        heading->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        heading->move(centre.x() - heading->width() / 2, heading->y());
    }
}

void frmSurvey::Form_Load()
{
    LoadSurveyIds(OpenSurveyDatabase(DBEngine::SurveyDatabaseName()));
    LoadModelLists();
    LoadCellQuestions();
}

// Surveys stored while this window lives (by the new survey window, say) are
// offered as soon as the window is shown again, and what is stored for the
// survey on show is read again. Right after Load the list is as fresh as a
// second read would make it.
void frmSurvey::Form_Show()
{
    WarnIfNothingCanBeStored();
    if (IsFirstShow())
        return;
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    LoadSurveyIds(db);
    ShowStoredAnswers(db);
}

bool frmSurvey::Form_QueryUnload()
{
    return DiscardUnsubmitted();
}

bool frmSurvey::DiscardUnsubmitted()
{
    int unsubmitted = 0;
    for (const SurveyQuestionControl* row : SurveyQuestionControl1)
        unsubmitted += row->Has_Unsubmitted_Score() ? 1 : 0;
    if (unsubmitted == 0)
        return true;
    if (!MessageBox::Ask(QStringLiteral("%1 of this cell %2 not submitted. Discard %3?")
                             .arg(Counted(unsubmitted, QStringLiteral("score")),
                                  unsubmitted == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                                  unsubmitted == 1 ? QStringLiteral("it") : QStringLiteral("them")),
                         this))
        return false;
    for (SurveyQuestionControl* row : SurveyQuestionControl1) {
        if (row->Has_Unsubmitted_Score())
            row->Clear_Value();
    }
    return true;
}

// Adds every survey number not yet on offer, keeping the user's choice.
void frmSurvey::LoadSurveyIds(const Database& db)
{
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
    lblStored->setText(kChooseToSeeStored);
    m_storedScores.clear();
    // A new cell starts at its first question, not where the last one was
    // left, which could show a short cell as empty.
    VScroll1->setValue(0);
    // No questions, and nothing to open, while a row or column is not chosen.
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    std::optional<Database> db;
    QList<CellQuestion> questions;
    try {
        if (rowNumber && colNumber) {
            db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
            questions = ReadCellQuestions(*db, *rowNumber, *colNumber);
        }
    } catch (...) {
        // A cell with a bad question stays empty instead of showing in part.
        ShowQuestions({});
        throw;
    }
    ShowQuestions(questions);
    m_shownRow = cmbModelRow->currentIndex();
    m_shownCol = cmbModelCol->currentIndex();
    if (db)
        ShowStoredAnswers(*db);
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
        const CellQuestion& question = m_questions.at(qsizetype(n));
        row->Set_Question(question.id, question.text, question.label);
        row->Set_Stored(m_storedScores.value(question.id));
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
    // Rows made or let go since the tab order was set join it or leave it.
    if (SurveyQuestionControl1.size() != m_tabbedRows)
        OrderTabs(std::min(m_tabbedRows, SurveyQuestionControl1.size()));
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

// One notch of the wheel moves the questions by as many rows as the desktop
// scrolls lines (three unless set otherwise); the bar's own wheel step, five
// of its small changes, was most of a page.
bool frmSurvey::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == Picture1 || watched == VScroll1) && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const double notches = wheel->angleDelta().y() / 120.0;
        VScroll1->setValue(VScroll1->value() -
                           qRound(notches * QApplication::wheelScrollLines() * kRowPitch));
        return true;
    }
    return Form::eventFilter(watched, event);
}

// A question row that takes the focus, by Tab or an arrow key, scrolls into
// view: the bar moves and the panel with it.
void frmSurvey::Row_Focus()
{
    const QWidget* focused = QApplication::focusWidget();
    if (!focused || !Picture2->isAncestorOf(focused))
        return;
    while (focused->parentWidget() != Picture2)
        focused = focused->parentWidget();
    const int top = PxToTwipsY(focused->y());
    const int bottom = PxToTwipsY(focused->y() + focused->height());
    const int viewport = ViewportHeight();
    if (top < VScroll1->value())
        VScroll1->setValue(top);
    else if (bottom > VScroll1->value() + viewport)
        VScroll1->setValue(bottom - viewport);
}

void frmSurvey::cmbSurveyID_Click()
{
    const QString picked = cmbSurveyID->currentText();
    // Scores chosen while a survey is on show are that survey's; with none
    // on show yet, the first one chosen takes them.
    if (!m_shownSurvey.isEmpty() && picked != m_shownSurvey && !DiscardUnsubmitted()) {
        cmbSurveyID->setCurrentIndex(cmbSurveyID->findText(m_shownSurvey));
        return;
    }
    m_shownSurvey.clear();
    lblStored->setText(kChooseToSeeStored);
    ShowStoredScores({});
    const SurveyNumber surveyId = ParseSurveyNumber(picked);
    {
        const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        // A survey that is gone shows no header rather than the last one's.
        const SurveyHeader header = ReadSurveyHeader(db, surveyId).value_or(SurveyHeader{});
        // Long texts show from their start.
        txtCompletedBy->setText(header.completedBy);
        txtCompletedBy->setCursorPosition(0);
        txtCompany->setText(header.company);
        txtCompany->setCursorPosition(0);
        m_shownSurvey = picked;
        ShowStoredAnswers(db);
    }
}

void frmSurvey::ChooseSurvey(SurveyNumber surveyId)
{
    const int at = cmbSurveyID->findText(DecimalText(surveyId));
    if (at >= 0) {
        cmbSurveyID->setCurrentIndex(at);
        cmbSurveyID_Click();
    }
    cmbModelRow->setFocus();
}

void frmSurvey::actNextCell_Click()
{
    MoveToCell(1);
}

void frmSurvey::actPreviousCell_Click()
{
    MoveToCell(-1);
}

void frmSurvey::MoveToCell(int step)
{
    const int cols = cmbModelCol->count();
    const int cells = cmbModelRow->count() * cols;
    if (cells == 0)
        return;
    const int row = cmbModelRow->currentIndex();
    const int col = cmbModelCol->currentIndex();
    // Without a whole cell chosen, the first one that fits what is.
    int at = std::max(row, 0) * cols + std::max(col, 0);
    if (row >= 0 && col >= 0)
        at += step;
    if (at < 0 || at >= cells || !DiscardUnsubmitted())
        return;
    cmbModelRow->setCurrentIndex(at / cols);
    cmbModelCol->setCurrentIndex(at % cols);
    LoadCellQuestions();
    // The keys go on scoring, from the cell's first question.
    const SurveyQuestionControl* first = SurveyQuestionControl1.front();
    if (first->Has_Question())
        first->optChoice.front()->setFocus(Qt::OtherFocusReason);
}

void frmSurvey::cmbModelRow_Click()
{
    if (cmbModelRow->currentIndex() == m_shownRow)
        return;
    if (!DiscardUnsubmitted()) {
        cmbModelRow->setCurrentIndex(m_shownRow);
        return;
    }
    LoadCellQuestions();
}

void frmSurvey::cmbModelCol_Click()
{
    if (cmbModelCol->currentIndex() == m_shownCol)
        return;
    if (!DiscardUnsubmitted()) {
        cmbModelCol->setCurrentIndex(m_shownCol);
        return;
    }
    LoadCellQuestions();
}

// Read only: what earlier Submits stored stays as it is, and a second Submit
// of the cell shows as a second set of answers.
void frmSurvey::ShowStoredAnswers(const Database& db)
{
    if (m_shownSurvey.isEmpty() || m_shownRow < 0 || m_shownCol < 0) {
        lblStored->setText(kChooseToSeeStored);
        ShowStoredScores({});
        return;
    }
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    if (!rowNumber || !colNumber)
        return;
    const SurveyNumber surveyId = ParseSurveyNumber(m_shownSurvey);
    ShowStored(surveyId, ReadStoredInCell(db, surveyId, *rowNumber, *colNumber));
}

void frmSurvey::ShowStoredScores(const QHash<qint64, QStringList>& scores)
{
    m_storedScores = scores;
    for (SurveyQuestionControl* row : SurveyQuestionControl1) {
        if (row->Has_Question())
            row->Set_Stored(m_storedScores.value(row->Get_QuestionID()));
    }
}

// The line and the rows' scores come from one read, so they always agree.
void frmSurvey::ShowStored(SurveyNumber surveyId, const StoredInCell& stored)
{
    ShowStoredScores(stored.scores);
    // A large cell has rows only for the questions scrolled to so far.
    const qint64 questions = m_questions.size();
    if (stored.answers == 0) {
        lblStored->setText(
            QStringLiteral("Survey %1 has no answers stored in this cell yet.").arg(surveyId));
        return;
    }
    lblStored->setText(QStringLiteral("Survey %1 has %2 stored in this cell, to %3 of its %4.")
                           .arg(surveyId)
                           .arg(Counted(stored.answers, QStringLiteral("answer")))
                           .arg(stored.questions)
                           .arg(Counted(questions, QStringLiteral("question"))));
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
        // Any number a question holds, 0 and below too, is stored: a score
        // the user gave is never left out behind "Survey Submitted".
        const qint16 score = row->Get_Value();
        if (score > -1 && row->Has_Question())
            answers.append({row->Get_QuestionID(), score});
    }
    // Scores stand only in the rows of a cell on show.
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    if (answers.isEmpty() || !rowNumber || !colNumber) {
        MessageBox::Show(
            QStringLiteral("Nothing was stored: no question of this cell has a score."), this);
        return;
    }

    std::optional<StoredInCell> stored;
    qint64 held = 0;
    {
        // Closed before a message waits for the user.
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        // Rows that show nothing stored are most often the cell's first
        // Submit, stored at once; unless the cell holds answers after all,
        // stored meanwhile, which are shown and asked about as any others.
        if (m_storedScores.isEmpty())
            stored = StoreFirstCellAnswers(db, surveyId, answers, *rowNumber, *colNumber);
        if (!stored) {
            const StoredInCell already = ReadStoredInCell(db, surveyId, *rowNumber, *colNumber);
            held = already.answers;
            if (held == 0)
                stored = StoreCellAnswers(db, surveyId, answers, *rowNumber, *colNumber);
            else
                ShowStored(surveyId, already);
        }
    }
    if (!stored) {
        // A cell submitted before is most often a mistake being put right.
        const int choice = MessageBox::Choose(
            QStringLiteral("This cell already holds %1 for survey %2. Replace the stored answers "
                           "of the questions you scored, or Add these as another set?")
                .arg(Counted(held, QStringLiteral("answer")))
                .arg(surveyId),
            {QStringLiteral("Replace"), QStringLiteral("Add"), QStringLiteral("Cancel")}, this);
        if (choice == 2)
            return;
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        stored = choice == 0 ? ReplaceCellAnswers(db, surveyId, answers, *rowNumber, *colNumber)
                             : StoreCellAnswers(db, surveyId, answers, *rowNumber, *colNumber);
    }
    for (SurveyQuestionControl* row : SurveyQuestionControl1)
        row->Mark_Submitted();
    MessageBox::Show(QStringLiteral("Survey Submitted"), this);
    ShowStored(surveyId, *stored);
}

void frmSurvey::butWithdraw_Click()
{
    if (cmbSurveyID->currentIndex() < 0) {
        MessageBox::Show(QStringLiteral("Choose a survey first."), this);
        return;
    }
    const SurveyNumber surveyId = ParseSurveyNumber(cmbSurveyID->currentText());
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    if (!rowNumber || !colNumber) {
        MessageBox::Show(QStringLiteral("Choose a model row and a model column first."), this);
        return;
    }
    StoredInCell stored;
    {
        const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        stored = ReadStoredInCell(db, surveyId, *rowNumber, *colNumber);
    }
    ShowStored(surveyId, stored);
    if (stored.answers == 0) {
        MessageBox::Show(QStringLiteral("Survey %1 has no answers stored in this cell; nothing "
                                        "was withdrawn.")
                             .arg(surveyId),
                         this);
        return;
    }
    if (!MessageBox::Ask(QStringLiteral("Withdraw the %1 of survey %2 in this cell? The results "
                                        "no longer count them; the history keeps them.")
                             .arg(Counted(stored.answers, QStringLiteral("answer")))
                             .arg(surveyId),
                         this))
        return;
    qint64 moved = 0;
    {
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        moved = WithdrawCellAnswers(db, surveyId, *rowNumber, *colNumber);
        stored = ReadStoredInCell(db, surveyId, *rowNumber, *colNumber);
    }
    ShowStored(surveyId, stored);
    MessageBox::Show(QStringLiteral("Withdrew %1 of survey %2 from this cell.")
                         .arg(Counted(moved, QStringLiteral("answer")))
                         .arg(surveyId),
                     this);
}
