// The answering window at scale: a full cell's Submit, choosing a cell, and
// its first show, each beside what the engine and the toolkit alone need.

#include "BenchSupport.h"
#include "LargeDb.h"
#include "ServerBench.h"
#include "SqliteLimits.h"

#include "data/Questions.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/MessageBox.h"
#include "survey/SurveyQuestionControl.h"
#include "survey/frmSurvey.h"

#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <vector>

namespace {

int indexOfNumber(const QListWidget* numbers, int number)
{
    const QList<QListWidgetItem*> found =
        numbers->findItems(QString::number(number), Qt::MatchExactly);
    return found.isEmpty() ? -1 : numbers->row(found.first());
}

// The window's controls, found by name as the tests find them.
QComboBox* combo(const QWidget* form, const char* name)
{
    return Ui::Find<QComboBox>(form, QLatin1String(name));
}

QListWidget* list(const QWidget* form, const char* name)
{
    return Ui::Find<QListWidget>(form, QLatin1String(name));
}

// Every question row, in order.
std::vector<SurveyQuestionControl*> rows(const QWidget* form)
{
    std::vector<SurveyQuestionControl*> all(form->findChildren<SurveyQuestionControl*>().size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = Ui::Row(form, int(i));
    return all;
}

// The window open on survey kSurvey with the cell (row, col) on show.
QWidget* openOnCell(int row, int col)
{
    QWidget* form = ShowForm<frmSurvey>();
    Bench::Settle();
    QComboBox* surveys = combo(form, "cmbSurveyID");
    Bench::Pick(surveys, surveys->findText(QString::number(BenchLimits::kSurvey)));
    Bench::Pick(combo(form, "cmbModelRow"), indexOfNumber(list(form, "lstModelRow"), row));
    Bench::Pick(combo(form, "cmbModelCol"), indexOfNumber(list(form, "lstModelCol"), col));
    Bench::Settle();
    return form;
}

// A full cell's Submit on the large file, the click until "Survey
// Submitted": a cell's first Submit of the survey, or a Submit again, the
// question this asks answered Add or Replace in advance. Before each timed
// click the cell holds for the survey what such a Submit meets, and the
// window shows it: nothing (taken out after every click), or one set of
// answers (Add's taken away after every click, Replace's the one that the
// next click replaces).
enum class Submit { First, Add, Replace };

void submitFullCell(benchmark::State& state, Submit kind)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Copy);
    Bench::Messages messages(state, {QStringLiteral("Survey Submitted")});
    QString choice = QStringLiteral("Cancel");
    MessageBox::SetChoiceHandler([&](const QString&, const QStringList& buttons, QWidget*) {
        return int(buttons.indexOf(choice));
    });
    const QString location = DBEngine::SurveyDatabaseName();
    const auto takeOut = [&] {
        OpenSurveyDatabaseAsIs(location, false)
            .Execute(Sql::DeleteAnswers(Sql::AnswersInCell(
                BenchLimits::kSurvey, BenchLimits::kSubmitRow, BenchLimits::kSubmitCol)));
    };
    if (kind == Submit::First)
        takeOut();
    QWidget* form = openOnCell(BenchLimits::kSubmitRow, BenchLimits::kSubmitCol);
    int scored = 0;
    for (SurveyQuestionControl* row : rows(form)) {
        if (row->Get_QuestionID() > -1)
            Ui::Option(row, scored++ % 5)->setChecked(true);
    }
    if (scored != BenchData::kQuestionsPerCell)
        state.SkipWithError("the cell does not show a full set of questions");
    auto* submit = Ui::Find<QAbstractButton>(form, QStringLiteral("butSubmit"));
    // Whatever ran before on a server, the survey holds a set of answers in
    // the cell now: stored where there was none, else nothing (Cancel).
    if (kind != Submit::First) {
        submit->click();
        Bench::Settle();
    }
    choice = kind == Submit::Add ? QStringLiteral("Add") : QStringLiteral("Replace");
    const Bench::AnswersAdded added(location, BenchLimits::kSurvey);
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        submit->click();
        Bench::Settle();
        state.SetIterationTime(Bench::Seconds(start));
        if (kind == Submit::Replace)
            continue;
        if (kind == Submit::First)
            takeOut();
        else
            added.TakeAway();
        ShowForm<frmSurvey>();
        Bench::Settle();
    }
    // A server's survey holds answers in every cell again, as its other
    // benchmarks expect.
    if (kind == Submit::First) {
        submit->click();
        Bench::Settle();
    }
    MessageBox::SetChoiceHandler({});
}

void BM_Submit_Program(benchmark::State& state)
{
    submitFullCell(state, Submit::First);
}
BENCHMARK(BM_Submit_Program)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_SubmitAdd_Program(benchmark::State& state)
{
    submitFullCell(state, Submit::Add);
}
BENCHMARK(BM_SubmitAdd_Program)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_SubmitReplace_Program(benchmark::State& state)
{
    submitFullCell(state, Submit::Replace);
}
BENCHMARK(BM_SubmitReplace_Program)->Unit(benchmark::kMillisecond)->UseManualTime();

// The same Submits into the large model on the benchmark server.
void onServer(benchmark::State& state, void (*submit)(benchmark::State&))
{
    QString why;
    const QString location = BenchServer::LargeDb(&why);
    if (location.isEmpty())
        return state.SkipWithError(qPrintable(why));
    DBEngine::SetSurveyDatabaseName(location);
    submit(state);
    DBEngine::SetSurveyDatabaseName(QStringLiteral("quelt.mdb"));
}

void BM_Server_Submit_Program(benchmark::State& state)
{
    onServer(state, BM_Submit_Program);
}
BENCHMARK(BM_Server_Submit_Program)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_Server_SubmitAdd_Program(benchmark::State& state)
{
    onServer(state, BM_SubmitAdd_Program);
}
BENCHMARK(BM_Server_SubmitAdd_Program)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_Server_SubmitReplace_Program(benchmark::State& state)
{
    onServer(state, BM_SubmitReplace_Program);
}
BENCHMARK(BM_Server_SubmitReplace_Program)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_ChooseCell_Program(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Share);
    Bench::Messages messages(state);
    const QWidget* form = openOnCell(BenchLimits::kCellRow, BenchLimits::kCellCols[0]);
    const QListWidget* cols = list(form, "lstModelCol");
    const int picks[2] = {indexOfNumber(cols, BenchLimits::kCellCols[1]),
                          indexOfNumber(cols, BenchLimits::kCellCols[0])};
    QComboBox* pickCol = combo(form, "cmbModelCol");
    int pick = 0;
    for (auto _ : state) {
        Bench::Pick(pickCol, picks[pick]);
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
    const std::vector<SurveyQuestionControl*> shown =
        rows(openOnCell(BenchLimits::kCellRow, BenchLimits::kCellCols[0]));
    int pick = 1;
    for (auto _ : state) {
        BenchLimits::Db db(folder.FilePath());
        const auto questions =
            BenchLimits::CellQuestions(db, BenchLimits::kCellRow, BenchLimits::kCellCols[pick]);
        for (std::size_t n = 0; n < questions.size(); ++n) {
            shown[n]->Set_Question(qint16(questions[n].first),
                                   QString::fromStdString(questions[n].second));
        }
        Bench::Settle();
        pick = 1 - pick;
    }
}
BENCHMARK(BM_ChooseCell_Limit_StatementAndRows)->Unit(benchmark::kMillisecond);

// A cell of 32,003 questions chosen, from an empty cell of the same row, until
// its first rows are on screen; then the empty cell again, untimed.
void BM_LargeCell_Program(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeCellDb(), Bench::Folder::Share);
    Bench::Messages messages(state);
    QWidget* form = ShowForm<frmSurvey>();
    Bench::Settle();
    Bench::Pick(combo(form, "cmbModelRow"), 1);
    QComboBox* pickCol = combo(form, "cmbModelCol");
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        Bench::Pick(pickCol, 0);
        Bench::Settle();
        state.SetIterationTime(Bench::Seconds(start));
        Bench::Pick(pickCol, 1);
        Bench::Settle();
    }
}
BENCHMARK(BM_LargeCell_Program)->UseManualTime()->Unit(benchmark::kMillisecond);

// Reading the same cell's questions through the reader the window calls, the
// file opened as the window opens it, and nothing more: what the window adds
// to that is the cost of its rows.
void BM_LargeCell_Limit_ReadQuestions(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeCellDb(), Bench::Folder::Share);
    for (auto _ : state) {
        const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        const QList<CellQuestion> questions = ReadCellQuestions(db, 1, 0);
        if (questions.size() != BenchData::kLargeCellQuestions)
            state.SkipWithError("the cell does not hold its questions");
        benchmark::DoNotOptimize(questions.constData());
    }
}
BENCHMARK(BM_LargeCell_Limit_ReadQuestions)->Unit(benchmark::kMillisecond);

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
        const auto fill = [form](const char* name, const QStringList& items) {
            QComboBox* box = combo(form, name);
            box->addItems(items);
            box->setCurrentIndex(-1);
        };
        fill("cmbSurveyID", ids);
        fill("cmbModelRow", rowNames);
        list(form, "lstModelRow")->addItems(rowNumbers);
        fill("cmbModelCol", colNames);
        list(form, "lstModelCol")->addItems(colNumbers);
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
