#include "analysis/frmModelTable.h"

#include "analysis/ReportMenu.h"
#include "analysis/Results.h"
#include "analysis/ResultsDrawing.h"
#include "analysis/ResultsLayout.h"
#include "analysis/ResultsPicture.h"
#include "data/SurveyFile.h"
#include "data/Surveys.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QToolTip>

using namespace ResultsLayout;

namespace {

void fillList(QListWidget* list, const QStringList& names, const QList<qint64>& numbers)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* item = new QListWidgetItem(names.at(i), list);
        item->setData(Qt::UserRole, numbers.at(i));
    }
}

void readList(const QListWidget* list, QStringList& names, QList<qint64>& numbers)
{
    for (int i = 0; i < list->count(); ++i) {
        names.append(list->item(i)->text());
        numbers.append(list->item(i)->data(Qt::UserRole).toLongLong());
    }
}

} // namespace

frmModelTable::frmModelTable()
    : Form("frmModelTable", QStringLiteral("Quelt Analysis"), kClientWidth, kClientHeight)
{
    Label1 = Control<QLabel>("Label1", 240, 120, 6495, 375);
    Label1->setText(QStringLiteral("Results of the Personnel Behavior Based Quelt Model"));
    QFont heading = Label1->font();
    heading.setBold(true);
    Label1->setFont(heading);

    Label2 = Control<QLabel>("Label2", 240, 480, 855, 375);
    Label2->setText(QStringLiteral("Survey"));

    cmbSurvey = Control<QComboBox>("cmbSurvey", 1080, 480, 1815, 315);
    cmbSurvey->setEditable(false);

    butResults = Control<QPushButton>("butResults", 3000, 480, 1455, 375);
    butResults->setText(QStringLiteral("Show Results"));

    chkColorCoding = Control<QCheckBox>("chkColorCoding", 240, 960, 3015, 255);
    chkColorCoding->setText(QStringLiteral("Color Coding"));
    chkColorCoding->setChecked(true);

    // The frame is the picture's border; inside it, the picture itself.
    picTableArea = Control<QScrollArea>("picTableArea", kPictureLeft, kPictureTop, kPictureWidth,
                                        kPictureHeight);
    picTableArea->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    picTableArea->setWidgetResizable(true);
    // The picture takes the focus, and its keys move cell by cell; the rest
    // of them scroll it.
    picTableArea->setFocusPolicy(Qt::NoFocus);
    picTable = new ResultsPicture;
    picTable->setObjectName(QStringLiteral("picTable"));
    picTableArea->setWidget(picTable);

    lstRows = Control<QListWidget>("lstRows", 8640, 240, 855, 255);
    lstRows->setVisible(false);
    lstCols = Control<QListWidget>("lstCols", 9840, 240, 855, 255);
    lstCols->setVisible(false);
    lstRows->setAccessibleName(QStringLiteral("Model rows"));
    lstCols->setAccessibleName(QStringLiteral("Model columns"));

    // Right of Color Coding, above the picture.
    lblShown = Control<QLabel>("lblShown", 3480, 960, 7335, 255);
    NameBy(cmbSurvey, Label2);
    picTable->setAccessibleName(QStringLiteral("Results grid"));
    // A name cut short in the picture shows whole in a tool tip.
    picTable->installEventFilter(this);
    picTableArea->setAccessibleName(QStringLiteral("Results"));

    SetTabOrder({picTable, cmbSurvey, butResults, chkColorCoding});
    SetEscapeCloses(true);
    // The top controls stay whole; the picture shrinks to a few cells.
    SetClientMinimumTwips(4695, 4000);
    connect(picTable, &ResultsPicture::CurrentCellChanged, this, [this](const QRect& cell) {
        const QPoint centre = cell.center();
        picTableArea->ensureVisible(centre.x(), centre.y(), cell.width() / 2 + 4,
                                    cell.height() / 2 + 4);
    });
    mnuReport = new ReportMenu(this, {picTableArea, picTable});

    connect(butResults, &QPushButton::clicked, this,
            Handler(this, &frmModelTable::butResults_Click));
    // Neither redraws: the line above the picture says what Show Results
    // would change.
    connect(cmbSurvey, &QComboBox::currentIndexChanged, this,
            Handler(this, &frmModelTable::ShowWhatIsShown));
    connect(chkColorCoding, &QCheckBox::toggled, this,
            Handler(this, &frmModelTable::ShowWhatIsShown));
    ShowWhatIsShown();
}

namespace {

QString colouring(bool colour)
{
    return colour ? QStringLiteral(", colour coded") : QStringLiteral(" without colour coding");
}

} // namespace

void frmModelTable::ShowWhatIsShown()
{
    const QString chosen = cmbSurvey->currentIndex() < 0 ? QString() : cmbSurvey->currentText();
    const bool colour = chkColorCoding->isChecked();
    const QString next =
        chosen.isEmpty()
            ? QString()
            : QStringLiteral("Show Results shows survey %1%2.").arg(chosen, colouring(colour));
    if (m_shownSurvey.isEmpty()) {
        lblShown->setText(
            QStringLiteral("No survey shown yet: ") +
            (chosen.isEmpty() ? QStringLiteral("choose one, then Show Results.") : next));
        picTable->setAccessibleDescription(
            QStringLiteral("The model's rows and columns; no survey is shown.\n") +
            NamesInFull(ModelGrid()));
        picTableArea->setAccessibleDescription(picTable->accessibleDescription());
        return;
    }
    const QString shown =
        QStringLiteral("Showing survey %1%2.").arg(m_shownSurvey, colouring(m_shownColour));
    const bool current = chosen == m_shownSurvey && colour == m_shownColour;
    lblShown->setText(current ? shown : shown + u' ' + next);
    picTable->setAccessibleDescription(
        QStringLiteral("The mean score of survey %1 in every cell of the model%2.\n")
            .arg(m_shownSurvey, colouring(m_shownColour)) +
        NamesInFull(ModelGrid()));
    picTableArea->setAccessibleDescription(picTable->accessibleDescription());
}

void frmModelTable::Form_Load()
{
    {
        const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        LoadColumnNames(db);
        LoadRowNames(db);
        LoadSurveyIds(db);
    }
    FitPicture();
    picTable->SetShown(ModelGrid());
    DrawGrid();
    ShowWhatIsShown();
}

void frmModelTable::Form_Resize()
{
    if (picTableArea)
        picTableArea->setGeometry(
            GrownTwipsRect(kPictureLeft, kPictureTop, kPictureWidth, kPictureHeight));
}

bool frmModelTable::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == picTable && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString name = NameAt(ModelGrid(), picTable->ToDrawing(help->pos()), *picTable);
        // As rich text, a long name wraps to a readable width; escaped, a
        // name is never read as markup.
        if (name.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(
                help->globalPos(),
                QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(name.toHtmlEscaped()),
                picTable);
        return true;
    }
    return Form::eventFilter(watched, event);
}

void frmModelTable::Form_Show()
{
    // Surveys started since the window was opened become choosable; right
    // after Load the list is as fresh as a second read would make it.
    if (!IsFirstShow())
        LoadSurveyIds(OpenSurveyDatabase(DBEngine::SurveyDatabaseName()));
}

void frmModelTable::butResults_Click()
{
    if (cmbSurvey->currentIndex() < 0)
        return;
    const SurveyNumber surveyId = ParseSurveyNumber(cmbSurvey->currentText());

    // One limit for the whole click, however many statements the file makes
    // it take. Everything is read before the picture is touched: a failed
    // query leaves the previous picture as it was.
    const EngineAction click;
    ResultsGrid results = ModelGrid();
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    ComputeResults(db, surveyId, results);

    picTable->Cls();
    picTable->SetShown(results);
    DrawResults(results);
    DrawGrid();
    m_shownSurvey = cmbSurvey->currentText();
    m_shownColour = chkColorCoding->isChecked();
    mnuReport->Show(surveyId, results, m_shownColour);
    ShowWhatIsShown();
    if (const QString note = OutsideScoresNote(results); !note.isEmpty())
        MessageBox::Show(QStringLiteral("Survey %1: %2; run quelt-db check on %3.")
                             .arg(m_shownSurvey, note, db.FileName()),
                         this);
}

void frmModelTable::LoadColumnNames(const Database& db)
{
    ResultsGrid grid;
    LoadModelColumns(db, grid);
    fillList(lstCols, grid.colNames, grid.colNumbers);
}

void frmModelTable::LoadRowNames(const Database& db)
{
    ResultsGrid grid;
    LoadModelRows(db, grid);
    fillList(lstRows, grid.rowNames, grid.rowNumbers);
}

// Adds the survey numbers not listed yet, in the order the engine gives
// them, and keeps the current choice.
void frmModelTable::LoadSurveyIds(const Database& db)
{
    AddNewItems(cmbSurvey, ReadSurveyNumbers(db));
}

void frmModelTable::FitPicture()
{
    picTable->SetPictureSize(GridSizePx(ModelGrid(), picTable->DrawingFont(), *picTable));
}

void frmModelTable::DrawGrid()
{
    picTable->Draw([grid = ModelGrid()](QPainter& painter) {
        ::DrawGrid(painter, grid);
        ::DrawLegend(painter, grid);
    });
}

void frmModelTable::DrawResults(const ResultsGrid& results)
{
    picTable->Draw([results, colorCoding = chkColorCoding->isChecked()](QPainter& painter) {
        ::DrawResults(painter, results, colorCoding);
    });
}

ResultsGrid frmModelTable::ModelGrid() const
{
    ResultsGrid grid;
    readList(lstRows, grid.rowNames, grid.rowNumbers);
    readList(lstCols, grid.colNames, grid.colNumbers);
    return grid;
}
