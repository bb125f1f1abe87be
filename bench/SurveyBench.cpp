// The answering window at scale: a full cell's Submit, choosing a cell, and
// its first show, each beside what the engine and the toolkit alone need.

#include "BenchSupport.h"
#include "LargeDb.h"
#include "SqliteLimits.h"

#include "survey/SurveyQuestionControl.h"
#include "survey/frmSurvey.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {

int indexOfNumber(const QListWidget* numbers, int number)
{
    const QList<QListWidgetItem*> found =
        numbers->findItems(QString::number(number), Qt::MatchExactly);
    return found.isEmpty() ? -1 : numbers->row(found.first());
}

// The window open on survey kSurvey with the cell (row, col) on show.
frmSurvey* openOnCell(int row, int col)
{
    frmSurvey* form = ShowForm<frmSurvey>();
    Bench::Settle();
    Bench::Pick(form->cmbSurveyID,
                form->cmbSurveyID->findText(QString::number(BenchLimits::kSurvey)));
    Bench::Pick(form->cmbModelRow, indexOfNumber(form->lstModelRow, row));
    Bench::Pick(form->cmbModelCol, indexOfNumber(form->lstModelCol, col));
    Bench::Settle();
    return form;
}

void BM_Submit_Program(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Copy);
    Bench::Messages messages(state, {QStringLiteral("Survey Submitted")});
    frmSurvey* form = openOnCell(BenchLimits::kSubmitRow, BenchLimits::kSubmitCol);
    int scored = 0;
    for (SurveyQuestionControl* row : form->SurveyQuestionControl1) {
        if (row->Get_QuestionID() > -1)
            row->optChoice[scored++ % 5]->setChecked(true);
    }
    if (scored != BenchData::kQuestionsPerCell)
        state.SkipWithError("the cell does not show a full set of questions");
    for (auto _ : state) {
        form->butSubmit->click();
        Bench::Settle();
    }
}
BENCHMARK(BM_Submit_Program)->Unit(benchmark::kMillisecond);

void BM_ChooseCell_Program(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Share);
    Bench::Messages messages(state);
    frmSurvey* form = openOnCell(BenchLimits::kCellRow, BenchLimits::kCellCols[0]);
    const int picks[2] = {indexOfNumber(form->lstModelCol, BenchLimits::kCellCols[1]),
                          indexOfNumber(form->lstModelCol, BenchLimits::kCellCols[0])};
    int pick = 0;
    for (auto _ : state) {
        Bench::Pick(form->cmbModelCol, picks[pick]);
        // The refilled rows on screen are what the user waits for.
        Bench::Settle();
        pick = 1 - pick;
    }
}
BENCHMARK(BM_ChooseCell_Program)->Unit(benchmark::kMillisecond);

// The least a cell change needs: the cell's statement through the C API and
// its questions set on the window's own rows, then one repaint.
void BM_ChooseCell_Limit_StatementAndRows(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Share);
    Bench::Messages messages(state);
    frmSurvey* form = openOnCell(BenchLimits::kCellRow, BenchLimits::kCellCols[0]);
    int pick = 1;
    for (auto _ : state) {
        BenchLimits::Db db(folder.FilePath());
        const auto questions =
            BenchLimits::CellQuestions(db, BenchLimits::kCellRow, BenchLimits::kCellCols[pick]);
        for (std::size_t n = 0; n < questions.size(); ++n) {
            form->SurveyQuestionControl1[n]->Set_Question(
                qint16(questions[n].first), QString::fromStdString(questions[n].second));
        }
        Bench::Settle();
        pick = 1 - pick;
    }
}
BENCHMARK(BM_ChooseCell_Limit_StatementAndRows)->Unit(benchmark::kMillisecond);

// The window's first show: created, Load run, shown and painted.
void firstShow(benchmark::State& state, const QString& file)
{
    Bench::Folder folder(file, Bench::Folder::Share);
    Bench::Messages messages(state);
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        frmSurvey* form = ShowForm<frmSurvey>();
        Bench::Settle();
        state.SetIterationTime(Bench::Seconds(start));
        form->close();
        Bench::Settle();
    }
}

// The same window built and shown, its pickers given their items in one call
// each: what a first show needs beyond reading the lists.
void firstShowLimit(benchmark::State& state, const QString& file)
{
    using BenchLimits::Column;
    const QStringList ids = Bench::Strings(Column(file, "SELECT id FROM survey"));
    const QStringList rowNames = Bench::Strings(Column(file, "SELECT name FROM model_row"));
    const QStringList rowNumbers = Bench::Strings(Column(file, "SELECT row_number FROM model_row"));
    const QStringList colNames = Bench::Strings(Column(file, "SELECT name FROM model_column"));
    const QStringList colNumbers =
        Bench::Strings(Column(file, "SELECT col_number FROM model_column"));
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        auto* form = new frmSurvey;
        form->cmbSurveyID->addItems(ids);
        form->cmbSurveyID->setCurrentIndex(-1);
        form->cmbModelRow->addItems(rowNames);
        form->cmbModelRow->setCurrentIndex(-1);
        form->lstModelRow->addItems(rowNumbers);
        form->cmbModelCol->addItems(colNames);
        form->cmbModelCol->setCurrentIndex(-1);
        form->lstModelCol->addItems(colNumbers);
        form->show();
        Bench::Settle();
        state.SetIterationTime(Bench::Seconds(start));
        form->close();
        Bench::Settle();
    }
}

void BM_FirstShow_Survey_Large(benchmark::State& state)
{
    firstShow(state, BenchData::LargeDb());
}
BENCHMARK(BM_FirstShow_Survey_Large)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FirstShow_Survey_Large_Limit(benchmark::State& state)
{
    firstShowLimit(state, BenchData::LargeDb());
}
BENCHMARK(BM_FirstShow_Survey_Large_Limit)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FirstShow_Survey_ManySurveys(benchmark::State& state)
{
    firstShow(state, BenchData::ManySurveysDb());
}
BENCHMARK(BM_FirstShow_Survey_ManySurveys)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FirstShow_Survey_ManySurveys_Limit(benchmark::State& state)
{
    firstShowLimit(state, BenchData::ManySurveysDb());
}
BENCHMARK(BM_FirstShow_Survey_ManySurveys_Limit)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
