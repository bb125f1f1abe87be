#include "LargeDb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <sqlite3.h>
#include <stdexcept>

namespace BenchData {

namespace {

// Bump when the content changes, so a stale cache is not measured.
constexpr const char* kVersion = "v3";

void check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void runTool(const QStringList& args)
{
    QProcess p;
    p.start(QueltDbTool(), args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        throw std::runtime_error("quelt-db failed: " + p.readAllStandardError().toStdString());
}

QStringList names(const QString& stem, int n)
{
    QStringList list;
    for (int i = 0; i < n; ++i)
        list << QStringLiteral("%1 %2").arg(stem).arg(i + 1);
    return list;
}

class Sqlite
{
public:
    explicit Sqlite(const QString& path)
    {
        check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db,
              "open");
    }
    ~Sqlite() { sqlite3_close(db); }
    void exec(const char* sql) { check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql); }
    sqlite3_stmt* prepare(const char* sql)
    {
        sqlite3_stmt* s = nullptr;
        check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db, sql);
        return s;
    }
    void step(sqlite3_stmt* s)
    {
        check(sqlite3_step(s), db, "step");
        sqlite3_reset(s);
    }
    sqlite3* db = nullptr;
};

// Makes `path` through `make` unless it exists; a half-made file never stays.
template <class F>
QString cached(const QString& name, F make)
{
    const QString path = QDir(CacheDir()).filePath(name);
    if (QFile::exists(path))
        return path;
    QDir().mkpath(CacheDir());
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    make(partial);
    if (!QFile::rename(partial, path))
        throw std::runtime_error("cannot move the benchmark file into the cache");
    return path;
}

// Questions cell by cell; surveys numbered 1 up; the first `answered` of
// them answering every question once, survey by survey, as Submits would.
void fillModel(const QString& path, int rows, int cols, int perCell, int surveys, int answered)
{
    runTool({QStringLiteral("init"), path, QStringLiteral("--rows"),
             names(QStringLiteral("Row"), rows).join(u';'), QStringLiteral("--cols"),
             names(QStringLiteral("Column"), cols).join(u';')});
    Sqlite db(path);
    db.exec("BEGIN IMMEDIATE");
    sqlite3_stmt* q = db.prepare(
        "INSERT INTO question (label, question_text, row_id, col_id) VALUES (?, ?, ?, ?)");
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            for (int k = 0; k < perCell; ++k) {
                const QByteArray label = QStringLiteral("%1.%2.%3").arg(r).arg(c).arg(k).toUtf8();
                const QByteArray text =
                    QStringLiteral("How well does the team handle item %1 of row %2, column %3?")
                        .arg(k + 1)
                        .arg(r + 1)
                        .arg(c + 1)
                        .toUtf8();
                sqlite3_bind_text(q, 1, label.constData(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(q, 2, text.constData(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(q, 3, r);
                sqlite3_bind_int(q, 4, c);
                db.step(q);
            }
        }
    }
    sqlite3_finalize(q);
    sqlite3_stmt* s = db.prepare("INSERT INTO survey (id, completed_by, company) VALUES (?, ?, ?)");
    sqlite3_stmt* a =
        db.prepare("INSERT INTO survey_results (survey_id, question_id, answer) VALUES (?, ?, ?)");
    QRandomGenerator random(31);
    const int questions = rows * cols * perCell;
    for (int survey = 1; survey <= surveys; ++survey) {
        sqlite3_bind_int(s, 1, survey);
        sqlite3_bind_text(s, 2, "Bench Person", -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 3, "Bench Company", -1, SQLITE_STATIC);
        db.step(s);
        for (int id = 1; survey <= answered && id <= questions; ++id) {
            sqlite3_bind_int(a, 1, survey);
            sqlite3_bind_int(a, 2, id);
            sqlite3_bind_int(a, 3, int(random.bounded(5)));
            db.step(a);
        }
    }
    sqlite3_finalize(s);
    sqlite3_finalize(a);
    db.exec("COMMIT");
}

void fillLarge(const QString& path)
{
    fillModel(path, kRows, kCols, kQuestionsPerCell, kSurveys, kSurveys);
}

void fillHundred(const QString& path)
{
    fillModel(path, kHundred, kHundred, kHundredQuestionsPerCell, 32767, kSurveys);
}

void fillManySurveys(const QString& path)
{
    runTool({QStringLiteral("demo"), path});
    Sqlite db(path);
    db.exec("BEGIN IMMEDIATE");
    sqlite3_stmt* s = db.prepare("INSERT INTO survey (id, completed_by, company) VALUES (?, ?, ?)");
    for (int survey = 4; survey <= 32767; ++survey) {
        sqlite3_bind_int(s, 1, survey);
        sqlite3_bind_text(s, 2, "Bench Person", -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 3, "Bench Company", -1, SQLITE_STATIC);
        db.step(s);
    }
    sqlite3_finalize(s);
    db.exec("COMMIT");
}

void fillLargeCell(const QString& path)
{
    runTool({QStringLiteral("init"), path, QStringLiteral("--rows"), QStringLiteral("A;B;C"),
             QStringLiteral("--cols"), QStringLiteral("X;Y;Z")});
    Sqlite db(path);
    db.exec("BEGIN IMMEDIATE");
    db.exec("INSERT INTO survey VALUES (1, 'Bench Person', 'Bench Company')");
    sqlite3_stmt* q = db.prepare(
        "INSERT INTO question (label, question_text, row_id, col_id) VALUES (?, ?, 1, 0)");
    for (int k = 0; k < kLargeCellQuestions; ++k) {
        const QByteArray label = QByteArray::number(k + 1);
        const QByteArray text =
            QStringLiteral("How well does the team handle item %1 of this cell?")
                .arg(k + 1)
                .toUtf8();
        sqlite3_bind_text(q, 1, label.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 2, text.constData(), -1, SQLITE_TRANSIENT);
        db.step(q);
    }
    sqlite3_finalize(q);
    db.exec("COMMIT");
}

} // namespace

QString CacheDir()
{
    const QString env = qEnvironmentVariable("QUELT_BENCH_CACHE");
    if (!env.isEmpty())
        return env;
    return QDir::homePath() + QStringLiteral("/.cache/quelt-bench/") + QLatin1String(kVersion);
}

QString QueltDbTool()
{
    return QStringLiteral(QUELT_DB_TOOL);
}

QString LargeDb()
{
    return cached(QStringLiteral("large.mdb"), fillLarge);
}

QString HundredDb()
{
    return cached(QStringLiteral("hundred.mdb"), fillHundred);
}

QString DemoDb()
{
    return cached(QStringLiteral("demo.mdb"),
                  [](const QString& path) { runTool({QStringLiteral("demo"), path}); });
}

QString ManySurveysDb()
{
    return cached(QStringLiteral("many-surveys.mdb"), fillManySurveys);
}

QString LargeCellDb()
{
    return cached(QStringLiteral("large-cell.mdb"), fillLargeCell);
}

void DropIndexes(const QString& path)
{
    Sqlite db(path);
    db.exec("DROP INDEX question_cell");
    db.exec("DROP INDEX survey_results_question");
}

void ForgeStatistics(const QString& path)
{
    Sqlite db(path);
    // Analysing only the catalogue makes the statistics table in no time.
    db.exec("ANALYZE sqlite_master");
    db.exec("DELETE FROM sqlite_stat1");
    db.exec("INSERT INTO sqlite_stat1 VALUES ('survey_results', 'survey_results_question', "
            "'3000000 3000000 3000000 3000000'), ('question', 'question_cell', '1 1 1'), "
            "('question', NULL, '1'), ('survey_results', NULL, '10')");
}

QString CopyToTemp(const QString& source, const QString& folder)
{
    const QString target = QDir(folder).filePath(QStringLiteral("quelt.mdb"));
    QFile::remove(target);
    if (!QFile::copy(source, target))
        throw std::runtime_error("cannot copy the benchmark file");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

} // namespace BenchData
