#include "data/FileChecks.h"

#include "data/Corrections.h"
#include "data/Schema.h"
#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <functional>

namespace {

QStringList textColumn(const Database& db, const QString& sql, const QString& field)
{
    QStringList values;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        values.append(rs.FieldText(field));
        rs.MoveNext();
    }
    return values;
}

qint64 count(const Database& db, const QString& sql)
{
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    return rs.Eof() ? 0 : rs.FieldInt64(QStringLiteral("v"));
}

} // namespace

QStringList ReadIntegrityProblems(const Database& db)
{
    // A server checks its own storage; it has no such statement to ask.
    if (db.IsServer())
        return {};
    QStringList problems;
    Recordset rs = db.CreateQueryDef(Sql::SelectIntegrityCheck()).OpenRecordset();
    while (!rs.Eof()) {
        const QString line = rs.Fields(QStringLiteral("integrity_check")).toString();
        if (line != QStringLiteral("ok"))
            problems.append(line);
        rs.MoveNext();
    }
    return problems;
}

QStringList ReadTableColumns(const Database& db, const QString& table)
{
    QStringList names = textColumn(
        db, db.IsServer() ? Sql::Server::SelectTableColumns(table) : Sql::SelectTableColumns(table),
        QStringLiteral("name"));
    for (QString& name : names)
        name = name.toLower();
    return names;
}

// A value's length is a server's own business, which its constraints keep.
bool IsStoredTable(const Database& db, const QString& table)
{
    if (db.IsServer())
        return textColumn(db, Sql::Server::SelectRelationKind(table), QStringLiteral("v")) ==
               QStringList{QStringLiteral("r")};
    Recordset rs = db.CreateQueryDef(Sql::SelectTableDefinition(table)).OpenRecordset();
    return !rs.Eof() && rs.FieldText(QStringLiteral("type")) == QLatin1String("table") &&
           !rs.FieldText(QStringLiteral("sql"))
                .startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
}

QStringList ReadComputedColumns(const Database& db)
{
    QStringList columns;
    if (db.IsServer())
        return columns;
    Recordset rs = db.CreateQueryDef(Sql::SelectGeneratedColumns()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext())
        columns.append(
            (rs.FieldText(QStringLiteral("tbl")) + u'.' + rs.FieldText(QStringLiteral("name")))
                .toLower());
    return columns;
}

bool HoldsOverlongValue(const Database& db, const QString& table, const QString& column)
{
    if (db.IsServer())
        return false;
    try {
        Recordset rs = db.CreateQueryDef(Sql::SelectLongestValue(table, column)).OpenRecordset();
        return false;
    } catch (const QueltError& e) {
        // The engine's own words for a value past its length limit.
        if (e.engineText().contains(QLatin1String("too big")))
            return true;
        throw;
    }
}

Repeats ReadRepeatedNumbers(const Database& db, const QString& table, const QString& column)
{
    Repeats repeats;
    QSet<qint64> seen;
    Recordset rs = db.CreateQueryDef(Sql::SelectColumnValues(table, column)).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QVariant v = rs.Fields(QStringLiteral("v"));
        if (CText(v).isEmpty())
            continue;
        qint64 number = 0;
        try {
            number = CInt64(v, QString());
        } catch (const QueltError&) {
            continue;
        }
        if (seen.contains(number)) {
            if (repeats.count++ == 0)
                repeats.example = number;
        } else {
            seen.insert(number);
        }
    }
    return repeats;
}

qint64 CountNullValues(const Database& db, const QString& table, const QString& column)
{
    return count(db, Sql::CountNulls(table, column));
}

// Of what the engine does not hold as a 16-bit integer, what the program's
// own conversion accepts ("7", 7.0) passes.
OddValues ReadOddNumbers(const Database& db, const QString& table, const QString& column,
                         bool skipBlank)
{
    OddValues odd;
    Recordset rs = db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectOddNumbers(table, column)
                                                   : Sql::SelectOddNumbers(table, column))
                       .OpenRecordset();
    while (!rs.Eof()) {
        const QVariant v = rs.Fields(QStringLiteral("v"));
        if (skipBlank && CText(v).isEmpty()) {
            rs.MoveNext();
            continue;
        }
        // A blob is no number, whatever its bytes.
        bool whole = v.typeId() != QMetaType::QByteArray;
        if (whole) {
            try {
                CInt16(v, QString());
            } catch (const QueltError&) {
                whole = false;
            }
        }
        if (!whole && odd.count++ == 0) {
            const qsizetype bytes = v.toByteArray().size();
            odd.example =
                v.typeId() == QMetaType::QByteArray
                    ? QStringLiteral("a blob of %1 byte%2").arg(bytes).arg(bytes == 1 ? "" : "s")
                    : v.toString().left(40);
        } else if (whole && v.typeId() == QMetaType::QString && odd.asText++ == 0) {
            odd.textExample = v.toString().left(40);
        }
        rs.MoveNext();
    }
    return odd;
}

Numbering ReadNumbering(const Database& db, const QString& table, const QString& column)
{
    Recordset rs = db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectNumbering(table, column)
                                                   : Sql::SelectNumbering(table, column))
                       .OpenRecordset();
    Numbering numbering;
    numbering.count = rs.FieldInt64(QStringLiteral("n"));
    if (numbering.count == 0)
        return numbering;
    numbering.distinct = rs.FieldInt64(QStringLiteral("d"));
    numbering.lowest = CInt64(rs.Fields(QStringLiteral("lo")), QStringLiteral("The lowest number"));
    numbering.highest =
        CInt64(rs.Fields(QStringLiteral("hi")), QStringLiteral("The highest number"));
    return numbering;
}

qint64 CountUnnumbered(const Database& db, const QString& table, const QString& column)
{
    return count(db, db.IsServer() ? Sql::Server::CountUnnumbered(table, column)
                                   : Sql::CountUnnumbered(table, column));
}

qint64 CountQuestionsOutsideModel(const Database& db)
{
    return count(db, Sql::CountQuestionsOutsideModel());
}

qint64 CountAnswersWithoutQuestion(const Database& db)
{
    return count(db, Sql::CountAnswersWithoutQuestion());
}

qint64 CountAnswersWithoutSurvey(const Database& db)
{
    return count(db, Sql::CountAnswersWithoutSurvey());
}

qint64 CountScoresOutsideRange(const Database& db)
{
    return count(db, Sql::CountScoresOutsideRange());
}

QList<WantedIndex> WantedIndexes()
{
    static const QRegularExpression shape(
        QStringLiteral(R"(INDEX\s+(?:IF\s+NOT\s+EXISTS\s+)?(\w+)\s+ON\s+(\w+)\s*\(([^)]*)\))"),
        QRegularExpression::CaseInsensitiveOption);
    QList<WantedIndex> wanted;
    for (const QString& statement : Schema::CreateIndexStatements()) {
        const QRegularExpressionMatch m = shape.match(statement);
        if (!m.hasMatch())
            continue;
        WantedIndex index{m.captured(1), m.captured(2), {}, statement};
        for (const QString& column : m.captured(3).split(u','))
            index.columns.append(column.trimmed());
        wanted.append(index);
    }
    return wanted;
}

// A partial index holds only the rows its WHERE clause selects, so the
// planner cannot use it for the program's queries, which need every row.
QList<IndexShape> ReadIndexShapes(const Database& db, const QString& table)
{
    QList<IndexShape> shapes;
    if (!db.IsServer()) {
        Recordset rs = db.CreateQueryDef(Sql::SelectIndexShapes(table)).OpenRecordset();
        for (; !rs.Eof(); rs.MoveNext()) {
            const QString name = rs.FieldText(QStringLiteral("name"));
            if (shapes.isEmpty() || shapes.last().name != name)
                shapes.append({name, rs.FieldInt64(QStringLiteral("partial")) != 0, {}});
            shapes.last().columns.append(rs.FieldText(QStringLiteral("col")));
        }
        return shapes;
    }
    Recordset rs = db.CreateQueryDef(Sql::Server::SelectIndexes(table)).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext())
        shapes.append({rs.FieldText(QStringLiteral("name")),
                       rs.FieldInt64(QStringLiteral("partial")) != 0,
                       {}});
    rs.Close();
    for (IndexShape& shape : shapes)
        shape.columns =
            textColumn(db, Sql::Server::SelectIndexColumns(shape.name), QStringLiteral("name"));
    return shapes;
}

IndexesLike IndexesBeginningWith(const QList<IndexShape>& indexes, const QStringList& columns)
{
    IndexesLike like;
    for (const IndexShape& index : indexes) {
        if (index.columns.size() < columns.size())
            continue;
        bool same = true;
        for (qsizetype i = 0; i < columns.size() && same; ++i)
            same = index.columns.at(i).compare(columns.at(i), Qt::CaseInsensitive) == 0;
        if (!same)
            continue;
        if (index.partial)
            like.partial.append(index.name);
        else if (like.complete.isEmpty())
            like.complete = index.name;
    }
    return like;
}

IndexesLike FindIndexesLike(const Database& db, const WantedIndex& wanted)
{
    return IndexesBeginningWith(ReadIndexShapes(db, wanted.table), wanted.columns);
}

namespace {

// The program's writes on a copy of a file's tables.
class Trial
{
public:
    WriteTrial result;

    // Runs one write; false once the trial has taken too long to go on.
    bool Write(const QString& sql, const QString& what)
    {
        try {
            const qint64 changed = m_copy.Execute(sql);
            if (changed != 1 && !what.isEmpty())
                result.refused.append(QStringLiteral("the program cannot store %1 in this file "
                                                     "(%2 rows changed instead of 1)")
                                          .arg(what)
                                          .arg(changed));
            m_stored = changed == 1;
        } catch (const QueltError& e) {
            m_stored = false;
            return Refused(e, what);
        }
        return true;
    }

    // Runs one correction as the program makes it, in a transaction of its
    // own; false once the trial has taken too long to go on.
    bool Correct(const std::function<void(Database&)>& correction, const QString& what)
    {
        try {
            correction(m_copy);
        } catch (const QueltError& e) {
            return Refused(e, what);
        }
        return true;
    }

    bool Stored() const { return m_stored; }
    Database& Copy() { return m_copy; }

private:
    bool Refused(const QueltError& e, const QString& what)
    {
        if (e.engineText() == QLatin1String("interrupted")) {
            result.slow = what;
            return false;
        }
        if (!what.isEmpty())
            result.refused.append(
                QStringLiteral("the program cannot store %1 in this file (%2)")
                    .arg(what, e.engineText().isEmpty() ? e.action() : e.engineText()));
        return true;
    }

    Database m_copy = DBEngine::OpenScratchDatabase();
    bool m_stored = false;
};

// What corrections meet in a file's history tables, after the program's
// plain writes went through: each score replaced, and so moved into the
// history, a cell withdrawn, and a header's and a question's texts
// corrected, each from the answers of survey 1 to question 1 in the cell.
void tryCorrections(Trial& trial, qint16 row, qint16 col)
{
    // A file that numbers its questions or surveys otherwise has its notes.
    for (const QString& table : {QStringLiteral("survey"), QStringLiteral("question")}) {
        if (trial.Copy()
                .CreateQueryDef(Sql::SelectText(table, 1, QStringLiteral("id")))
                .OpenRecordset()
                .Eof())
            return;
    }
    const QString answers = Sql::AnswersOfQuestions(1, {1});
    for (qint16 score = 0; score <= 4; ++score) {
        trial.Copy().Execute(Sql::DeleteAnswers(answers));
        trial.Copy().Execute(Sql::InsertAnswer(1, 1, score));
        if (!trial.Correct([&](Database& db) { ReplaceAnswer(db, 1, 1, qint16((score + 1) % 5)); },
                           QStringLiteral("a replaced answer of %1").arg(score)))
            return;
    }
    if (!trial.Correct([&](Database& db) { WithdrawCellAnswers(db, 1, row, col); },
                       QStringLiteral("a withdrawn cell")) ||
        !trial.Correct(
            [](Database& db) {
                CorrectSurveyHeader(db, 1, QStringLiteral("C"), QStringLiteral("D"));
            },
            QStringLiteral("a corrected survey header")))
        return;
    trial.Correct(
        [](Database& db) { CorrectQuestion(db, 1, QStringLiteral("2"), QStringLiteral("R")); },
        QStringLiteral("a corrected question"));
}
} // namespace

WriteTrial TryProgramWrites(const Database& db, qint16 row, qint16 col)
{
    Trial trial;
    if (db.IsServer())
        return trial.result;
    QSet<QString> made;
    Recordset rs = db.CreateQueryDef(Sql::SelectTableDefinitions()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QString sql = rs.FieldText(QStringLiteral("sql"));
        const QString kind = rs.FieldText(QStringLiteral("type"));
        // A virtual table is among the schema's hazards already.
        if (sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            continue;
        try {
            trial.Copy().Execute(sql);
            if (kind == QLatin1String("table"))
                made.insert(rs.FieldText(QStringLiteral("name")).toLower());
        } catch (const QueltError& e) {
            trial.result.refused.append(
                QStringLiteral("the %1 %2 is defined with what the program's engine does not "
                               "have (%3); reading it fails")
                    .arg(kind, rs.FieldText(QStringLiteral("name")), e.engineText()));
        }
    }
    rs.Close();
    // A file's rules may run for as long as they like at every insert; a
    // window stops one after its limit, the trial long before.
    const EngineAction limit(kTrialLimitMs);
    if (made.contains(QStringLiteral("question")) &&
        !trial.Write(Sql::InsertQuestion(QStringLiteral("1"), QStringLiteral("Q"), row, col),
                     QStringLiteral("a question")))
        return trial.result;
    if (made.contains(QStringLiteral("survey")) &&
        !trial.Write(Sql::InsertSurvey(1, QStringLiteral("A"), QStringLiteral("B")),
                     QStringLiteral("a survey header")))
        return trial.result;
    if (!made.contains(QStringLiteral("survey_results")))
        return trial.result;
    for (qint16 score = 0; score <= 4; ++score) {
        trial.Copy().Execute(QStringLiteral("SAVEPOINT score"));
        if (!trial.Write(Sql::InsertAnswer(1, 1, score),
                         QStringLiteral("an answer of %1").arg(score)))
            return trial.result;
        trial.Copy().Execute(QStringLiteral("ROLLBACK TO score"));
        trial.Copy().Execute(QStringLiteral("RELEASE score"));
    }
    if (trial.Write(Sql::InsertAnswer(1, 1, 2), QString()) && trial.Stored() &&
        !trial.Write(Sql::InsertAnswer(1, 1, 2),
                     QStringLiteral("a second answer to one question (a cell submitted again)")))
        return trial.result;
    // A file without the history gets the program's own with its first
    // correction; one that holds it may refuse what a correction stores.
    const QStringList corrected = {QStringLiteral("survey"), QStringLiteral("question"),
                                   QStringLiteral("history_change"),
                                   QStringLiteral("history_answer")};
    if (trial.result.refused.isEmpty() &&
        std::all_of(corrected.begin(), corrected.end(),
                    [&](const QString& table) { return made.contains(table); }))
        tryCorrections(trial, row, col);
    return trial.result;
}

QStringList ReadMisleadingStatistics(const Database& db)
{
    QStringList notes;
    if (db.IsServer() || !IsStoredTable(db, QStringLiteral("sqlite_stat1")))
        return notes;
    struct Statistic
    {
        QString table;
        QString index;
        QList<qint64> figures;
    };
    QList<Statistic> statistics;
    Recordset rs = db.CreateQueryDef(Sql::SelectStatistics()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        Statistic statistic{
            rs.FieldText(QStringLiteral("tbl")), rs.FieldText(QStringLiteral("idx")), {}};
        for (const QString& word : rs.FieldText(QStringLiteral("stat")).split(u' ')) {
            bool number = false;
            const qint64 figure = word.toLongLong(&number);
            if (!number)
                break;
            statistic.figures.append(figure);
        }
        if (!statistic.figures.isEmpty())
            statistics.append(statistic);
    }
    rs.Close();
    const auto farOff = [](qint64 said, qint64 held) {
        return said > 10 * qMax<qint64>(held, 1) || held > 10 * qMax<qint64>(said, 1);
    };
    const auto rowsOf = [](qint64 n) {
        return QStringLiteral("%1 row%2").arg(n).arg(n == 1 ? "" : "s");
    };
    QHash<QString, qint64> rows;
    for (const Statistic& statistic : statistics) {
        if (!rows.contains(statistic.table))
            rows.insert(statistic.table, count(db, Sql::CountRows(statistic.table)));
        const qint64 held = rows.value(statistic.table);
        const QString about = statistic.index.isEmpty() ? statistic.table : statistic.index;
        QStringList off;
        if (farOff(statistic.figures.first(), held))
            off.append(QStringLiteral("%1 where the file holds %2")
                           .arg(rowsOf(statistic.figures.first()))
                           .arg(held));
        const QStringList columns =
            statistic.index.isEmpty() || statistic.figures.size() < 2
                ? QStringList()
                : textColumn(db, Sql::SelectIndexColumns(statistic.index), QStringLiteral("name"));
        if (!columns.isEmpty() && !columns.first().isEmpty() && held > 0) {
            const qint64 each =
                held /
                qMax<qint64>(count(db, Sql::CountDistinct(statistic.table, columns.first())), 1);
            if (farOff(statistic.figures.at(1), each))
                off.append(QStringLiteral("%1 for each %2 where the file has %3")
                               .arg(rowsOf(statistic.figures.at(1)), columns.first())
                               .arg(each));
        }
        if (!off.isEmpty())
            notes.append(QStringLiteral("the engine's planner statistics (sqlite_stat1) on %1 say "
                                        "%2: other programs may read the file slowly; the "
                                        "program's own reads do not depend on them")
                             .arg(about, off.join(QStringLiteral(" and "))));
    }
    return notes;
}
