#include "Command.h"
#include "Indexes.h"
#include "Output.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

namespace {

// How the program reads a column.
enum class Kind { Number, Text, Free };

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
     {{QStringLiteral("row_number"), Kind::Number}, {QStringLiteral("name"), Kind::Text}}},
    {QStringLiteral("model_column"),
     {{QStringLiteral("col_number"), Kind::Number}, {QStringLiteral("name"), Kind::Text}}},
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

class Checker
{
public:
    explicit Checker(Database& db) : m_db(db) {}

    QStringList problems;
    QStringList notes;

    void Run()
    {
        Integrity();
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
    QVariant value(const QString& sql)
    {
        Recordset rs = m_db.CreateQueryDef(sql).OpenRecordset();
        return rs.Eof() ? QVariant() : rs.Fields(QStringLiteral("v"));
    }
    qint64 count(const QString& sql) { return CInt64(value(sql), QStringLiteral("A count")); }

    void Integrity()
    {
        Recordset rs =
            m_db.CreateQueryDef(QStringLiteral("PRAGMA integrity_check")).OpenRecordset();
        while (!rs.Eof()) {
            const QString line = rs.Fields(QStringLiteral("integrity_check")).toString();
            if (line != QStringLiteral("ok"))
                problems.append(QStringLiteral("the engine's integrity check: %1").arg(line));
            rs.MoveNext();
        }
    }

    void Table(const TableRule& rule)
    {
        QStringList present;
        Recordset rs = m_db.CreateQueryDef(QStringLiteral("SELECT name FROM pragma_table_info(%1)")
                                               .arg(Sql::Quote(rule.table)))
                           .OpenRecordset();
        while (!rs.Eof()) {
            present.append(rs.FieldText(QStringLiteral("name")).toLower());
            rs.MoveNext();
        }
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
            if (column.kind == Kind::Free)
                continue;
            const QString where = rule.table + u'.' + column.name;
            const qint64 nulls =
                count(QStringLiteral("SELECT count(*) AS v FROM %1 WHERE %2 IS NULL")
                          .arg(rule.table, column.name));
            if (nulls > 0)
                problems.append(QStringLiteral("%1: %2 null where %3 is needed")
                                    .arg(where, rowsAre(nulls),
                                         column.kind == Kind::Number ? QStringLiteral("a number")
                                                                     : QStringLiteral("text")));
            if (column.kind == Kind::Number)
                Numbers(rule.table, column.name);
        }
    }

    // Only values the engine does not hold as 16-bit integers are fetched;
    // of those, what the program's own conversion accepts ("7", 7.0) passes.
    void Numbers(const QString& table, const QString& column)
    {
        Recordset rs =
            m_db.CreateQueryDef(
                    QStringLiteral("SELECT %2 AS v FROM %1 WHERE %2 IS NOT NULL AND NOT "
                                   "(typeof(%2) = 'integer' AND %2 BETWEEN -32768 AND 32767)")
                        .arg(table, column))
                .OpenRecordset();
        qint64 bad = 0;
        QString example;
        while (!rs.Eof()) {
            const QVariant v = rs.Fields(QStringLiteral("v"));
            try {
                CInt16(v, QString());
            } catch (const QueltError&) {
                if (bad++ == 0)
                    example = v.toString().left(40);
            }
            rs.MoveNext();
        }
        if (bad > 0)
            problems.append(QStringLiteral("%1.%2: %3 not a whole number from -32768 to 32767 "
                                           "(such as \"%4\")")
                                .arg(table, column, rowsAre(bad), example));
    }

    // The grid shows rows and columns in number order whatever the numbers;
    // anything else that reads the file may expect 0, 1, 2, ...
    void Numbering(const QString& table, const QString& column, const QString& what)
    {
        Recordset rs =
            m_db.CreateQueryDef(QStringLiteral("SELECT count(*) AS n, count(DISTINCT %2) AS d, "
                                               "min(%2) AS lo, max(%2) AS hi FROM %1")
                                    .arg(table, column))
                .OpenRecordset();
        const qint64 n = rs.FieldInt64(QStringLiteral("n"));
        if (n == 0) {
            notes.append(QStringLiteral("there are no %1").arg(what));
            return;
        }
        const qint64 distinct = rs.FieldInt64(QStringLiteral("d"));
        const qint64 lo = rs.FieldInt64(QStringLiteral("lo"));
        const qint64 hi = rs.FieldInt64(QStringLiteral("hi"));
        if (distinct < n)
            notes.append(QStringLiteral("%1 numbers are used more than once among the %2")
                             .arg(n - distinct)
                             .arg(what));
        if (lo != 0 || hi != distinct - 1)
            notes.append(QStringLiteral("the %1 are numbered %2 to %3, not 0 to %4 without gaps")
                             .arg(what)
                             .arg(lo)
                             .arg(hi)
                             .arg(distinct - 1));
    }

    void Outliers()
    {
        struct Check
        {
            QString sql;
            QString noun;
            QString says;
        };
        const QList<Check> checks = {
            {QStringLiteral("SELECT count(*) AS v FROM question WHERE row_id NOT IN "
                            "(SELECT row_number FROM model_row) OR col_id NOT IN "
                            "(SELECT col_number FROM model_column)"),
             QStringLiteral("question"),
             QStringLiteral("%1 in no cell of the model; no window shows them")},
            {QStringLiteral("SELECT count(*) AS v FROM survey_results WHERE question_id NOT IN "
                            "(SELECT id FROM question)"),
             QStringLiteral("answer"),
             QStringLiteral("%1 to no stored question; no result counts them")},
            {QStringLiteral("SELECT count(*) AS v FROM survey_results WHERE survey_id NOT IN "
                            "(SELECT id FROM survey)"),
             QStringLiteral("answer"),
             QStringLiteral("%1 of no stored survey; no window offers them")},
            {QStringLiteral(
                 "SELECT count(*) AS v FROM survey_results WHERE answer NOT BETWEEN 0 AND 4"),
             QStringLiteral("score"),
             QStringLiteral("%1 outside 0 to 4, counted in the means as they are")},
        };
        for (const Check& check : checks) {
            const qint64 n = count(check.sql);
            if (n > 0)
                notes.append(check.says.arg(counted(n, check.noun)));
        }
    }

    void Indexes()
    {
        for (const WantedIndex& wanted : WantedIndexes()) {
            if (!IndexLike(m_db, wanted).isEmpty())
                continue;
            notes.append(QStringLiteral("no index on %1 (%2): results are slower on a large file; "
                                        "'quelt-db index' adds it")
                             .arg(wanted.table, wanted.columns.join(QStringLiteral(", "))));
        }
    }

    static QString counted(qint64 n, const QString& noun)
    {
        return QStringLiteral("%1 %2%3").arg(n).arg(noun, n == 1 ? QString() : QStringLiteral("s"));
    }
    static QString rowsAre(qint64 n)
    {
        return n == 1 ? QStringLiteral("1 row is") : QStringLiteral("%1 rows are").arg(n);
    }

    Database& m_db;
};

} // namespace

int RunCheck(const QStringList& args, QTextStream& out)
{
    const Options options(args, {});
    const QString file = options.expect(1, QStringLiteral("one FILE")).first();
    Database db = OpenForReading(file);
    Checker checker(db);
    checker.Run();
    const QString path = db.FileName();
    db.Close();

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
