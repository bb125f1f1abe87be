#pragma once

#include <QString>
#include <QStringList>

class TestDb;

// Shared by the reliability tests and by the program copy they run beside
// them (tests/reliability/submitter).
namespace Reliability {

// Every full-cell Submit of the copy that is killed scores the cell's
// questions with the base-5 digits of its own running number, so each
// Submit in the file can be told apart and checked whole.
constexpr int kCellQuestions = 5;
inline int SubmitScore(qint64 submit, int question)
{
    for (int q = 0; q < question; ++q)
        submit /= 5;
    return int(submit % 5);
}

// The two copies that share one file score survey number n's cell as this.
inline int CopyScore(int survey, int question)
{
    return (survey + question) % 5;
}

} // namespace Reliability

// Test-side helpers.
namespace Reliability {

// A count from the environment (how many kills, how many Submits), or the
// default `make test` uses.
int Count(const char* variable, int fallback);

// One measured line: printed, and kept in a summary file beside the test
// executable, which `make test` and `make soak` show.
void Report(const QString& line);

// SQLite's own check of the file: "ok" when sound.
QString IntegrityCheck(const TestDb& db);

// Every row of every table, table by table in rowid order, as text: what a
// fault must leave as it was.
QStringList Snapshot(const TestDb& db);

// True when every table of `before` still starts with the rows it had there,
// unchanged and in order; says which one did not in `why`.
bool Keeps(const QStringList& before, const QStringList& after, QString* why);

// The resident memory of this process in kB.
qint64 ResidentKb();

// Leaves the file as a copy of the program killed in mid-write leaves it: a
// second process writes and ends without closing the file. In the rollback
// journal's mode the journal stays beside the file, valid and unfinished; in
// WAL mode (which this switches the file to) the new row stays in the -wal.
void LeaveInterruptedWrite(const QString& path, bool wal);

// Leaves beside the file a journal as another program might: no pages, but
// at its end the name of a super-journal, `victim`, which the engine deletes
// once it has rolled the journal back.
void PlantSuperJournal(const QString& path, const QByteArray& victim);

// The file and every file the engine keeps beside it, name and bytes: what a
// command that only reads must leave exactly as it was.
QStringList FileAndCompanions(const QString& path);

// The built quelt-db, run to its end.
struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
};
ToolRun QueltDb(const QStringList& args);

// Every quelt-db command that opens an existing file, on `path`: the ones
// that only read and the ones that write (with a questions file and a copy's
// target made in `folder`).
QList<QStringList> CommandsOnFile(const QString& path, const QString& folder);

} // namespace Reliability
