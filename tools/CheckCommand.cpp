#include "Command.h"
#include "Output.h"

#include "data/Inspection.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

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
    return QStringLiteral("%1 %2%3").arg(n).arg(noun, n == 1 ? QString() : QStringLiteral("s"));
}

QString rowsAre(qint64 n)
{
    return n == 1 ? QStringLiteral("1 row is") : QStringLiteral("%1 rows are").arg(n);
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
        for (const TableRule& rule : kTables)
            Table(rule);
        if (problems.isEmpty()) {
            Numbering(QStringLiteral("model_row"), QStringLiteral("row_number"),
                      QStringLiteral("model rows"));
            Numbering(QStringLiteral("model_column"), QStringLiteral("col_number"),
                      QStringLiteral("model columns"));
            Outliers();
        }
        Indexes();
    }

private:
    void Table(const TableRule& rule)
    {
        const QStringList present = ReadTableColumns(m_db, rule.table);
        if (present.isEmpty()) {
            problems.append(QStringLiteral("the table %1 is missing").arg(rule.table));
            return;
        }
        for (const ColumnRule& column : rule.columns) {
            if (!present.contains(column.name)) {
                problems.append(
                    QStringLiteral("the table %1 has no column %2").arg(rule.table, column.name));
                continue;
            }
            switch (column.kind) {
            case Kind::Free:
                break;
            case Kind::ModelNumber:
                Unnumbered(rule.table, column.name);
                Numbers(rule.table, column.name, true);
                break;
            case Kind::Number:
                Nulls(rule.table, column.name, QStringLiteral("a number"));
                Numbers(rule.table, column.name, false);
                break;
            case Kind::Text:
                Nulls(rule.table, column.name, QStringLiteral("text"));
                break;
            }
        }
    }

    void Nulls(const QString& table, const QString& column, const QString& needed)
    {
        const qint64 nulls = CountNullValues(m_db, table, column);
        if (nulls > 0)
            problems.append(QStringLiteral("%1.%2: %3 null where %4 is needed")
                                .arg(table, column, rowsAre(nulls), needed));
    }

    void Unnumbered(const QString& table, const QString& column)
    {
        const qint64 n = CountUnnumbered(m_db, table, column);
        if (n > 0)
            notes.append(QStringLiteral("%1.%2: %3 without a number (null or blank); no window "
                                        "shows them")
                             .arg(table, column, counted(n, QStringLiteral("row"))));
    }

    void Numbers(const QString& table, const QString& column, bool skipBlank)
    {
        const OddValues odd = ReadOddNumbers(m_db, table, column, skipBlank);
        if (odd.count > 0)
            problems.append(QStringLiteral("%1.%2: %3 not a whole number from -32768 to 32767 "
                                           "(such as \"%4\")")
                                .arg(table, column, rowsAre(odd.count), odd.example));
    }

    // The grid shows rows and columns in number order whatever the numbers;
    // anything else that reads the file may expect 0, 1, 2, ...
    void Numbering(const QString& table, const QString& column, const QString& what)
    {
        const ::Numbering numbering = ReadNumbering(m_db, table, column);
        if (numbering.count == 0) {
            notes.append(QStringLiteral("there are no %1").arg(what));
            return;
        }
        if (numbering.distinct < numbering.count)
            notes.append(QStringLiteral("%1 numbers are used more than once among the %2")
                             .arg(numbering.count - numbering.distinct)
                             .arg(what));
        if (numbering.lowest != 0 || numbering.highest != numbering.distinct - 1)
            notes.append(QStringLiteral("the %1 are numbered %2 to %3, not 0 to %4 without gaps")
                             .arg(what)
                             .arg(numbering.lowest)
                             .arg(numbering.highest)
                             .arg(numbering.distinct - 1));
    }

    void Outliers()
    {
        struct Check
        {
            qint64 (*count)(const Database&);
            QString noun;
            QString says;
        };
        const QList<Check> checks = {
            {CountQuestionsOutsideModel, QStringLiteral("question"),
             QStringLiteral("%1 in no cell of the model; no window shows them")},
            {CountAnswersWithoutQuestion, QStringLiteral("answer"),
             QStringLiteral("%1 to no stored question; no result counts them")},
            {CountAnswersWithoutSurvey, QStringLiteral("answer"),
             QStringLiteral("%1 of no stored survey; no window offers them")},
            {CountScoresOutsideRange, QStringLiteral("score"),
             QStringLiteral("%1 outside 0 to 4, counted in the means as they are")},
        };
        for (const Check& check : checks) {
            const qint64 n = check.count(m_db);
            if (n > 0)
                notes.append(check.says.arg(counted(n, check.noun)));
        }
    }

    void Indexes()
    {
        for (const WantedIndex& wanted : WantedIndexes()) {
            if (!IndexLike(m_db, wanted).isEmpty())
                continue;
            QString note = QStringLiteral("no index on %1 (%2): results are slower on a large "
                                          "file; 'quelt-db index' adds it")
                               .arg(wanted.table, wanted.columns.join(QStringLiteral(", ")));
            const QStringList partial = PartialIndexesLike(m_db, wanted);
            if (!partial.isEmpty())
                note += QStringLiteral(" (not %1: a partial index holds only the rows its "
                                       "WHERE clause selects)")
                            .arg(partial.join(QStringLiteral(" or ")));
            notes.append(note);
        }
    }

    const Database& m_db;
};

} // namespace

int RunCheck(const QStringList& args, QTextStream& out)
{
    const Options options(args, {});
    const QString file = options.expect(1, QStringLiteral("one LOCATION")).first();
    const Database db = DBEngine::OpenDatabaseForReading(file);
    Checker checker(db);
    checker.Run();
    const QString path = db.FileName();

    for (const QString& problem : checker.problems)
        out << "problem: " << problem << '\n';
    for (const QString& note : checker.notes)
        out << "note: " << note << '\n';
    if (checker.problems.isEmpty()) {
        out << path << ": the program can use this file.\n";
        return 0;
    }
    out << path << ": " << checker.problems.size()
        << (checker.problems.size() == 1 ? " problem" : " problems")
        << "; the program cannot rely on this file.\n";
    return 1;
}
