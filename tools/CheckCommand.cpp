#include "Command.h"

#include "data/Corrections.h"
#include "data/FileChecks.h"
#include "data/Schema.h"
#include "data/ServerChecks.h"
#include "data/SurveyFile.h"
#include "data/Transfer.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/TerminalText.h"

#include <QHash>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <algorithm>

namespace {

// How the program reads a column. A model number that is null or blank
// leaves its row or column out of every window; any other number must be one.
enum class Kind { Number, ModelNumber, Text, Free };

struct ColumnRule
{
    QString name;
    Kind kind;
};

struct TableRule
{
    QString table;
    QList<ColumnRule> columns;
};

// The label is read but nothing depends on it; every other value is turned
// into a 16-bit number or into text.
const QList<TableRule> kTables = {
    {QStringLiteral("model_row"),
     {{QStringLiteral("row_number"), Kind::ModelNumber}, {QStringLiteral("name"), Kind::Text}}},
    {QStringLiteral("model_column"),
     {{QStringLiteral("col_number"), Kind::ModelNumber}, {QStringLiteral("name"), Kind::Text}}},
    {QStringLiteral("question"),
     {{QStringLiteral("id"), Kind::Number},
      {QStringLiteral("label"), Kind::Free},
      {QStringLiteral("question_text"), Kind::Text},
      {QStringLiteral("row_id"), Kind::Number},
      {QStringLiteral("col_id"), Kind::Number}}},
    {QStringLiteral("survey"),
     {{QStringLiteral("id"), Kind::Number},
      {QStringLiteral("completed_by"), Kind::Text},
      {QStringLiteral("company"), Kind::Text}}},
    {QStringLiteral("survey_results"),
     {{QStringLiteral("survey_id"), Kind::Number},
      {QStringLiteral("question_id"), Kind::Number},
      {QStringLiteral("answer"), Kind::Number}}},
};

QString counted(qint64 n, const QString& noun)
{
    return Counted(n, noun);
}

// "1 row is", "5 rows are".
QString countedAre(qint64 n, const QString& noun)
{
    return counted(n, noun) + (n == 1 ? QStringLiteral(" is") : QStringLiteral(" are"));
}

class Checker
{
public:
    explicit Checker(const Database& db) : m_db(db) {}

    QStringList problems;
    QStringList notes;

    void Run()
    {
        for (const QString& line : ReadIntegrityProblems(m_db))
            problems.append(QStringLiteral("the engine's integrity check: %1").arg(line));
        for (const QString& hazard : ReadSchemaHazards(m_db))
            problems.append(
                hazard +
                QStringLiteral("; the program refuses the %1 while it is").arg(DatabaseNoun(m_db)));
        m_computed = ReadComputedColumns(m_db);
        for (const TableRule& rule : kTables)
            Table(rule);
        // Notes on what the program copes with, wherever the columns they
        // read are there to read.
        const qint64 rows = Numbering(QStringLiteral("model_row"), QStringLiteral("row_number"),
                                      QStringLiteral("row"));
        const qint64 cols = Numbering(QStringLiteral("model_column"), QStringLiteral("col_number"),
                                      QStringLiteral("column"));
        if (rows > Schema::kLargestModel || cols > Schema::kLargestModel)
            problems.append(QStringLiteral("the model has %1 and %2; the program supports at "
                                           "most %3 x %3, beyond which results are slow and "
                                           "pictures are refused")
                                .arg(counted(rows, QStringLiteral("row")),
                                     counted(cols, QStringLiteral("column")))
                                .arg(Schema::kLargestModel));
        Outliers();
        problems += ReadHistoryProblems(m_db);
        Indexes();
        UncarriedTexts();
        if (m_db.IsServer())
            Server();
        const WriteTrial trial = TryProgramWrites(m_db, lowest(QStringLiteral("model_row")),
                                                  lowest(QStringLiteral("model_column")));
        problems.append(trial.refused);
        if (!trial.slow.isEmpty())
            notes.append(QStringLiteral("storing %1 in a copy of this file's tables took more "
                                        "than %2 s, as its own rules run at every insert; a "
                                        "window stops a statement after %3 s")
                             .arg(trial.slow)
                             .arg(kTrialLimitMs / 1000.0)
                             .arg(DBEngine::kWindowLimitMs / 1000));
        notes.append(ReadMisleadingStatistics(m_db));
    }

private:
    bool Readable(const QString& table, const QString& column) const
    {
        return m_readable.contains(table + u'.' + column);
    }

    void Table(const TableRule& rule)
    {
        const QStringList present = ReadTableColumns(m_db, rule.table);
        if (present.isEmpty()) {
            problems.append(QStringLiteral("the table %1 is missing").arg(rule.table));
            return;
        }
        // A view or a virtual table is named among the schema's problems;
        // what it gives is not the file's own rows.
        if (!IsStoredTable(m_db, rule.table))
            return;
        for (const ColumnRule& column : rule.columns) {
            if (!present.contains(column.name)) {
                problems.append(
                    QStringLiteral("the table %1 has no column %2").arg(rule.table, column.name));
                continue;
            }
            if (m_computed.contains(rule.table + u'.' + column.name))
                continue;
            if (HoldsOverlongValue(m_db, rule.table, column.name)) {
                problems.append(
                    QStringLiteral("%1.%2: a value is longer than the %3 bytes the "
                                   "program reads; windows refuse it")
                        .arg(rule.table, column.name,
                             QLocale(QLocale::English).toString(DBEngine::LongestValueBytes())));
                continue;
            }
            bool clean = true;
            switch (column.kind) {
            case Kind::Free:
                break;
            case Kind::ModelNumber:
                Unnumbered(rule.table, column.name);
                clean = Numbers(rule.table, column.name, true);
                break;
            case Kind::Number:
                Nulls(rule.table, column.name, QStringLiteral("a number"));
                clean = Numbers(rule.table, column.name, false);
                break;
            case Kind::Text:
                Nulls(rule.table, column.name, QStringLiteral("text"));
                break;
            }
            if (clean)
                m_readable.insert(rule.table + u'.' + column.name);
        }
        if (rule.table == QLatin1String("survey"))
            Repeated(rule.table, QStringLiteral("id"), QStringLiteral("survey"));
    }

    void Nulls(const QString& table, const QString& column, const QString& needed)
    {
        const qint64 nulls = CountNullValues(m_db, table, column);
        if (nulls > 0)
            problems.append(
                QStringLiteral("%1.%2: %3 null where %4 is needed")
                    .arg(table, column, countedAre(nulls, QStringLiteral("row")), needed));
    }

    void Unnumbered(const QString& table, const QString& column)
    {
        const qint64 n = CountUnnumbered(m_db, table, column);
        if (n > 0)
            notes.append(QStringLiteral("%1.%2: %3 without a number (null or blank); no window "
                                        "shows them")
                             .arg(table, column, counted(n, QStringLiteral("row"))));
    }

    // True when every value is a whole number the program holds, stored as one.
    bool Numbers(const QString& table, const QString& column, bool skipBlank)
    {
        const OddValues odd = ReadOddNumbers(m_db, table, column, skipBlank);
        if (odd.count > 0)
            problems.append(
                QStringLiteral("%1.%2: %3 not a whole number from -32768 to 32767 "
                               "(such as \"%4\")")
                    .arg(table, column, countedAre(odd.count, QStringLiteral("row")), odd.example));
        // A model number is read as text by the windows either way; any
        // other is compared with numbers, which a text never equals.
        if (odd.asText > 0 && !skipBlank)
            problems.append(QStringLiteral("%1.%2: %3 stored as text (such as \"%4\"); the "
                                           "program never finds what such a number refers to")
                                .arg(table, column,
                                     countedAre(odd.asText, QStringLiteral("number")),
                                     odd.textExample));
        return odd.count == 0;
    }

    void Repeated(const QString& table, const QString& column, const QString& noun)
    {
        if (!Readable(table, column))
            return;
        const Repeats repeats = ReadRepeatedNumbers(m_db, table, column);
        if (repeats.count > 0)
            problems.append(
                QStringLiteral("%1.%2: %3 used by more than one %4 (such as %5)")
                    .arg(table, column, countedAre(repeats.count, QStringLiteral("number")), noun)
                    .arg(repeats.example));
    }

    // The grid shows rows and columns in number order whatever the numbers;
    // anything else that reads the file may expect 0, 1, 2, ... A number
    // stored twice puts two names on one row or column of the grid. Gives
    // how many numbers there are (0 when they cannot be read).
    qint64 Numbering(const QString& table, const QString& column, const QString& noun)
    {
        if (!Readable(table, column))
            return 0;
        const QString what = QStringLiteral("model %1s").arg(noun);
        const ::Numbering numbering = ReadNumbering(m_db, table, column);
        if (numbering.count == 0) {
            notes.append(QStringLiteral("there are no %1").arg(what));
            return 0;
        }
        Repeated(table, column, noun);
        m_lowest.insert(table, numbering.lowest);
        if (numbering.lowest != 0 || numbering.highest != numbering.distinct - 1)
            notes.append(QStringLiteral("the %1 are numbered %2 to %3, not 0 to %4 without gaps")
                             .arg(what)
                             .arg(numbering.lowest)
                             .arg(numbering.highest)
                             .arg(numbering.distinct - 1));
        return numbering.distinct;
    }

    void Outliers()
    {
        struct Check
        {
            qint64 (*count)(const Database&);
            QString noun;
            QString says;
            QStringList reads;
        };
        const QList<Check> checks = {
            {CountQuestionsOutsideModel,
             QStringLiteral("question"),
             QStringLiteral("%1 in no cell of the model; no window shows them"),
             {QStringLiteral("question.row_id"), QStringLiteral("question.col_id"),
              QStringLiteral("model_row.row_number"), QStringLiteral("model_column.col_number")}},
            {CountAnswersWithoutQuestion,
             QStringLiteral("answer"),
             QStringLiteral("%1 to no stored question; no result counts them"),
             {QStringLiteral("survey_results.question_id"), QStringLiteral("question.id")}},
            {CountAnswersWithoutSurvey,
             QStringLiteral("answer"),
             QStringLiteral("%1 of no stored survey; no window offers them"),
             {QStringLiteral("survey_results.survey_id"), QStringLiteral("survey.id")}},
            {CountScoresOutsideRange,
             QStringLiteral("score"),
             QStringLiteral("%1 outside 0 to 4, counted in the means as they are"),
             {QStringLiteral("survey_results.answer")}},
        };
        for (const Check& check : checks) {
            if (!std::all_of(check.reads.begin(), check.reads.end(),
                             [&](const QString& c) { return m_readable.contains(c); }))
                continue;
            const qint64 n = check.count(m_db);
            if (n > 0)
                notes.append(check.says.arg(counted(n, check.noun)));
        }
    }

    void Indexes()
    {
        for (const WantedIndex& wanted : WantedIndexes()) {
            const IndexesLike found = FindIndexesLike(m_db, wanted);
            if (!found.complete.isEmpty())
                continue;
            QString note = QStringLiteral("no index on %1 (%2): results are slower on a large "
                                          "%3; 'quelt-db index' adds it")
                               .arg(wanted.table, wanted.columns.join(QStringLiteral(", ")),
                                    DatabaseNoun(m_db));
            if (!found.partial.isEmpty())
                note += QStringLiteral(" (not %1: a partial index holds only the rows its "
                                       "WHERE clause selects)")
                            .arg(found.partial.join(QStringLiteral(" or ")));
            notes.append(note);
        }
    }

    // Texts the windows show as well as they can, but a server cannot hold.
    void UncarriedTexts()
    {
        for (const TableRule& rule : kTables) {
            if (!std::all_of(rule.columns.begin(), rule.columns.end(), [&](const ColumnRule& c) {
                    return c.kind == Kind::Number || c.kind == Kind::ModelNumber ||
                           Readable(rule.table, c.name);
                }))
                continue;
            QMap<QString, QList<qint64>> rows; // "column why": the rows
            for (const UncarriedValue& value : FindUncarriedTexts(m_db, rule.table))
                rows[value.column + u' ' + value.why].append(value.row);
            for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
                const qsizetype n = it.value().size();
                const QString where = n == 1 ? QStringLiteral("row %1").arg(it.value().first())
                                             : QStringLiteral("%1, the first row %2")
                                                   .arg(counted(n, QStringLiteral("row")))
                                                   .arg(it.value().first());
                notes.append(QStringLiteral("%1.%2 (%3); copy refuses to take it to a server")
                                 .arg(rule.table, it.key(), where));
            }
        }
    }

    // Who may write around the program's functions, which rows carry no
    // record of who stored them, and tables that only look like the five.
    void Server()
    {
        if (m_db.SchemaVersion() < Schema::kWritingFunctionsVersion)
            problems.append(QStringLiteral("the database was made by an earlier version of the "
                                           "program: nothing keeps out what the program would "
                                           "show wrongly, and no record says who stored what; "
                                           "its owner runs 'quelt-db upgrade' on it"));
        else if (m_db.SchemaVersion() < Schema::kHistoryVersion)
            problems.append(QStringLiteral("the database was made by an earlier version of the "
                                           "program and keeps no history of corrections, so "
                                           "nothing can be corrected; its owner runs 'quelt-db "
                                           "upgrade' on it"));
        for (const DirectWriter& writer : ReadDirectWriters(m_db))
            problems.append(
                QStringLiteral("the role %1 may %2 on %3 directly, around the "
                               "program's checks; 'quelt-db upgrade' takes that away")
                    .arg(writer.login, writer.rights.join(QStringLiteral(", ")), writer.table));
        for (const QString& table : {QStringLiteral("question"), QStringLiteral("survey"),
                                     QStringLiteral("survey_results")}) {
            const qint64 n = CountUnrecordedRows(m_db, table);
            if (n > 0)
                notes.append(QStringLiteral("%1: %2 with no record of who stored them or when "
                                            "(stored before the upgrade, or by other means)")
                                 .arg(table, counted(n, QStringLiteral("row"))));
        }
        for (const QString& elsewhere : ReadTablesElsewhere(m_db))
            notes.append(QStringLiteral("%1 is not the program's table, which is in the schema "
                                        "public; the program never uses it")
                             .arg(elsewhere));
    }

    // A model's lowest number, where one can be read: the cell in which
    // the program's writes are tried.
    qint16 lowest(const QString& table) const
    {
        return qint16(qBound(qint64(-32768), m_lowest.value(table), qint64(32767)));
    }

    const Database& m_db;
    QStringList m_computed;
    QHash<QString, qint64> m_lowest;
    // "table.column" for each column whose values are all there to read as
    // the program reads them.
    QSet<QString> m_readable;
};

} // namespace

int RunCheck(const QStringList& args, QTextStream& out)
{
    const Options options(args, {});
    const QString file = options.expect(1, QStringLiteral("one LOCATION")).first();
    const Database db = OpenSurveyDatabaseAsIs(file, true);
    Checker checker(db);
    checker.Run();

    // Names, examples and the engine's words come from the file.
    for (const QString& problem : checker.problems)
        out << "problem: " << Visible(problem) << '\n';
    for (const QString& note : checker.notes)
        out << "note: " << Visible(note) << '\n';
    const QString path = Visible(db.FileName());
    if (checker.problems.isEmpty()) {
        out << path << ": the program can use this " << DatabaseNoun(db) << ".\n";
        return 0;
    }
    out << path << ": " << checker.problems.size()
        << (checker.problems.size() == 1 ? " problem" : " problems")
        << "; the program cannot rely on this " << DatabaseNoun(db) << ".\n";
    return 1;
}
