// The results window at scale: the whole Show Results click, where its time
// goes, and the window's first show.

#include "BenchSupport.h"
#include "LargeDb.h"
#include "ServerBench.h"
#include "SqliteLimits.h"

#include "analysis/PictureBox.h"
#include "analysis/Results.h"
#include "analysis/ResultsDrawing.h"
#include "analysis/frmModelTable.h"
#include "platform/DbEngine.h"
#include "platform/Twips.h"

#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QScrollArea>

namespace {

// The click on a file; `change` first alters a private copy of it.
void showResults(benchmark::State& state, const QString& file,
                 void (*change)(const QString&) = nullptr)
{
    Bench::Folder folder(file, change ? Bench::Folder::Copy : Bench::Folder::Share);
    if (change)
        change(folder.FilePath());
    Bench::Messages messages(state);
    const QWidget* form = ShowForm<frmModelTable>();
    Bench::Settle();
    auto* surveys = Ui::Find<QComboBox>(form, QStringLiteral("cmbSurvey"));
    surveys->setCurrentIndex(surveys->findText(QString::number(BenchLimits::kSurvey)));
    auto* results = Ui::Find<QAbstractButton>(form, QStringLiteral("butResults"));
    for (auto _ : state) {
        results->click();
        // The repaint the click asked for is part of what the user waits for.
        Bench::Settle();
    }
}

void BM_ShowResults_Program(benchmark::State& state)
{
    showResults(state, BenchData::LargeDb());
}
BENCHMARK(BM_ShowResults_Program)->Unit(benchmark::kMillisecond);

// The largest model, as made, without its indexes, and with statistics that
// would send the engine's planner astray.
void BM_Hundred_ShowResults_Program(benchmark::State& state)
{
    showResults(state, BenchData::HundredDb());
}
BENCHMARK(BM_Hundred_ShowResults_Program)->Unit(benchmark::kMillisecond);

void BM_Hundred_ShowResults_NoIndex(benchmark::State& state)
{
    showResults(state, BenchData::HundredDb(), BenchData::DropIndexes);
}
BENCHMARK(BM_Hundred_ShowResults_NoIndex)->Unit(benchmark::kMillisecond);

void BM_Hundred_ShowResults_Forged(benchmark::State& state)
{
    showResults(state, BenchData::HundredDb(), BenchData::ForgeStatistics);
}
BENCHMARK(BM_Hundred_ShowResults_Forged)->Unit(benchmark::kMillisecond);

// The same click with the large model on the benchmark server.
void BM_Server_ShowResults_Program(benchmark::State& state)
{
    QString why;
    const QString location = BenchServer::LargeDb(&why);
    if (location.isEmpty())
        return state.SkipWithError(qPrintable(why));
    DBEngine::SetSurveyDatabaseName(location);
    BM_ShowResults_Program(state);
    DBEngine::SetSurveyDatabaseName(QStringLiteral("quelt.mdb"));
}
BENCHMARK(BM_Server_ShowResults_Program)->Unit(benchmark::kMillisecond);

// The click in two halves: the queries through the program's engine layer...
void BM_ShowResults_Part_Queries(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Share);
    for (auto _ : state) {
        Database db = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
        ResultsGrid grid = LoadModelGrid(db);
        ComputeResults(db, BenchLimits::kSurvey, grid);
        db.Close();
        benchmark::DoNotOptimize(grid.cells.size());
    }
}
BENCHMARK(BM_ShowResults_Part_Queries)->Unit(benchmark::kMillisecond);

// ...and the picture: cleared, cells filled and printed, names and lines, and
// the part of it the window shows repainted.
void BM_ShowResults_Part_Drawing(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Share);
    Database db = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
    ResultsGrid grid = LoadModelGrid(db);
    ComputeResults(db, BenchLimits::kSurvey, grid);
    db.Close();
    // The picture in a scroll area of the window's size, as the window has it.
    QScrollArea area;
    area.setWidgetResizable(true);
    area.resize(TwipsToPxX(10575), TwipsToPxY(9495));
    auto* box = new PictureBox;
    area.setWidget(box);
    box->SetPictureSize(GridSizePx(grid, box->font(), *box));
    area.show();
    Bench::Settle();
    for (auto _ : state) {
        box->Cls();
        box->Draw([&grid](QPainter& painter) { DrawResults(painter, grid, true); });
        box->Draw([&grid](QPainter& painter) { DrawGrid(painter, grid); });
        Bench::Settle();
    }
}
BENCHMARK(BM_ShowResults_Part_Drawing)->Unit(benchmark::kMillisecond);

void firstShow(benchmark::State& state, const QString& file)
{
    Bench::Folder folder(file, Bench::Folder::Share);
    Bench::Messages messages(state);
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        frmModelTable* form = ShowForm<frmModelTable>();
        Bench::Settle();
        state.SetIterationTime(Bench::Seconds(start));
        form->close();
        Bench::Settle();
    }
}

// The window built and shown with its survey picker and name lists given
// their items in one call each, and its picture sized and the empty grid
// drawn from the same names: all a first show needs but reading the file.
void firstShowLimit(benchmark::State& state, const QString& file)
{
    using BenchLimits::Column;
    const QStringList ids = Bench::Strings(Column(file, "SELECT id FROM survey"));
    ResultsGrid grid;
    grid.rowNames =
        Bench::Strings(Column(file, "SELECT name FROM model_row ORDER BY row_number"));
    grid.colNames =
        Bench::Strings(Column(file, "SELECT name FROM model_column ORDER BY col_number"));
    for (const QString& number :
         Bench::Strings(Column(file, "SELECT row_number FROM model_row ORDER BY row_number")))
        grid.rowNumbers.append(number.toLongLong());
    for (const QString& number : Bench::Strings(
             Column(file, "SELECT col_number FROM model_column ORDER BY col_number")))
        grid.colNumbers.append(number.toLongLong());
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        auto* form = new frmModelTable;
        auto* surveys = Ui::Find<QComboBox>(form, QStringLiteral("cmbSurvey"));
        surveys->addItems(ids);
        surveys->setCurrentIndex(-1);
        Ui::Find<QListWidget>(form, QStringLiteral("lstRows"))->addItems(grid.rowNames);
        Ui::Find<QListWidget>(form, QStringLiteral("lstCols"))->addItems(grid.colNames);
        auto* picture = Ui::Find<PictureBox>(form, QStringLiteral("picTable"));
        picture->SetPictureSize(GridSizePx(grid, picture->font(), *picture));
        picture->Draw([&grid](QPainter& painter) { DrawGrid(painter, grid); });
        form->show();
        Bench::Settle();
        state.SetIterationTime(Bench::Seconds(start));
        form->close();
        Bench::Settle();
    }
}

void BM_FirstShow_Results_Large(benchmark::State& state)
{
    firstShow(state, BenchData::LargeDb());
}
BENCHMARK(BM_FirstShow_Results_Large)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FirstShow_Results_Large_Limit(benchmark::State& state)
{
    firstShowLimit(state, BenchData::LargeDb());
}
BENCHMARK(BM_FirstShow_Results_Large_Limit)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FirstShow_Results_ManySurveys(benchmark::State& state)
{
    firstShow(state, BenchData::ManySurveysDb());
}
BENCHMARK(BM_FirstShow_Results_ManySurveys)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FirstShow_Results_ManySurveys_Limit(benchmark::State& state)
{
    firstShowLimit(state, BenchData::ManySurveysDb());
}
BENCHMARK(BM_FirstShow_Results_ManySurveys_Limit)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
