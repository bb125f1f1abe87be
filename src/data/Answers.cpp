#include "data/Answers.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

void StoreCellAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers)
{
    Transaction batch(db);
    StoreAnswers(db, survey, answers);
    batch.Commit();
}

void StoreAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers)
{
    for (const Answer& answer : answers)
        db.Execute(Sql::InsertAnswer(survey, answer.questionId, answer.score));
}

StoredInCell ReadStoredInCell(const Database& db, SurveyNumber survey, qint64 rowNumber,
                              qint64 colNumber)
{
    Recordset rs =
        db.CreateQueryDef(Sql::SelectCellStored(survey, rowNumber, colNumber)).OpenRecordset();
    StoredInCell stored;
    if (!rs.Eof()) {
        stored.questions = rs.FieldInt64(QStringLiteral("iQuestions"));
        stored.answers = rs.FieldInt64(QStringLiteral("iAnswers"));
    }
    return stored;
}

namespace {

CellTotals readTotals(const Database& db, const QString& sql, bool combined)
{
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    CellTotals cell;
    if (rs.Eof())
        return cell;
    cell.count = rs.FieldInt64(QStringLiteral("iCount"));
    // The sum of no answers is null.
    if (cell.count > 0)
        cell.sum = rs.FieldInt64(QStringLiteral("iSum"));
    if (combined)
        cell.surveys = rs.FieldInt64(QStringLiteral("iSurveys"));
    return cell;
}

// A server answers every cell in one statement, one round trip whatever the
// model's size; the cells it leaves out have no answers, as the per-cell
// statement gives them.
QList<CellTotals> readGroupedTotals(const Database& db, const QString& sql,
                                    const QList<qint64>& rowNumbers,
                                    const QList<qint64>& colNumbers, bool combined)
{
    QHash<QPair<qint64, qint64>, CellTotals> answered;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        CellTotals cell;
        cell.count = rs.FieldInt64(QStringLiteral("iCount"));
        if (cell.count > 0)
            cell.sum = rs.FieldInt64(QStringLiteral("iSum"));
        if (combined)
            cell.surveys = rs.FieldInt64(QStringLiteral("iSurveys"));
        answered.insert(
            {rs.FieldInt64(QStringLiteral("row_id")), rs.FieldInt64(QStringLiteral("col_id"))},
            cell);
        rs.MoveNext();
    }
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(answered.value({row, col}));
    return cells;
}

} // namespace

CellTotals ReadCellTotals(const Database& db, SurveyNumber survey, qint64 rowNumber,
                          qint64 colNumber)
{
    return readTotals(db, Sql::SelectCellSum(survey, rowNumber, colNumber), false);
}

QList<CellTotals> ReadSurveyTotals(const Database& db, SurveyNumber survey,
                                   const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
    if (db.IsServer())
        return readGroupedTotals(db, Sql::Server::SelectSurveyCellSums(survey), rowNumbers,
                                 colNumbers, false);
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    ReadTransaction snapshot(db);
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(ReadCellTotals(db, survey, row, col));
    snapshot.Commit();
    return cells;
}

QList<CellTotals> ReadCombinedTotals(const Database& db, const QList<SurveyNumber>& surveys,
                                     const QList<qint64>& rowNumbers,
                                     const QList<qint64>& colNumbers)
{
    // Every survey there is: let the engine read them rather than a long list.
    QString set = Sql::SelectSurveyIds();
    if (!surveys.isEmpty()) {
        QStringList numbers;
        for (SurveyNumber survey : surveys)
            numbers.append(DecimalText(survey));
        set = numbers.join(u',');
    }
    if (db.IsServer())
        return readGroupedTotals(db, Sql::Server::SelectCellsOverSurveys(set), rowNumbers,
                                 colNumbers, true);
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    ReadTransaction snapshot(db);
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(readTotals(db, Sql::SelectCellOverSurveys(set, row, col), true));
    snapshot.Commit();
    return cells;
}

void ReadAnswerLines(const Database& db, const std::function<void(const QStringList&)>& line)
{
    Recordset rs = db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectAnswerLines()
                                                   : Sql::SelectAnswerLines())
                       .OpenRecordset();
    QStringList fields;
    while (!rs.Eof()) {
        const QJsonArray values =
            QJsonDocument::fromJson(rs.Fields(QStringLiteral("line")).toString().toUtf8()).array();
        fields.clear();
        // As few digits as give the stored number back: 3, 2.5, 0.1. Null is
        // an empty text.
        for (const QJsonValue& value : values)
            fields.append(value.isDouble() ? QString::number(value.toDouble(), 'g',
                                                             QLocale::FloatingPointShortest)
                                           : value.toString());
        line(fields);
        rs.MoveNext();
    }
}
