#include "data/Answers.h"

#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

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
        StoreOneRow(db, Sql::InsertAnswer(survey, answer.questionId, answer.score),
                    QStringLiteral("the answer to question %1 of survey %2")
                        .arg(answer.questionId)
                        .arg(survey));
}

namespace {

QString shownValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray) {
        const qsizetype bytes = value.toByteArray().size();
        return QStringLiteral("a blob of %1 byte%2").arg(bytes).arg(bytes == 1 ? "" : "s");
    }
    const QString text = value.toString();
    return u'"' + (text.size() > 40 ? text.left(40) + QStringLiteral("...") : text) + u'"';
}

// The engine sums a text it cannot read as a number as 0, and a blob as
// whatever number its bytes begin with. A sum that is not a whole number
// means some answer behind it is not: each such answer is looked at, and one
// that is not a whole number stops the cell from being shown at all, since
// its mean would be wrong without a sign of it.
qint64 sumOfWholeNumbers(const Database& db, const QVariant& sum, const QString& surveySet,
                         qint64 rowNumber, qint64 colNumber)
{
    Recordset rs =
        db.CreateQueryDef(Sql::SelectOddAnswers(surveySet, rowNumber, colNumber)).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QVariant answer = rs.Fields(QStringLiteral("answer"));
        if (answer.isNull())
            continue;
        // A whole number stored as text or as 3.0 is summed right; a blob,
        // whatever its bytes, is no number.
        if (answer.typeId() != QMetaType::QByteArray) {
            try {
                CInt64(answer, QString());
                continue;
            } catch (const QueltError&) {
            }
        }
        bool number = false;
        answer.toString().trimmed().toDouble(&number);
        throw QueltError(
            QStringLiteral("Survey %1 has the answer %2 to question %3, which is not %4, so the "
                           "results of its cell (model row %5, model column %6) cannot be shown; "
                           "run quelt-db check on the file.")
                .arg(CText(rs.Fields(QStringLiteral("survey"))), shownValue(answer),
                     CText(rs.Fields(QStringLiteral("question"))),
                     number ? QStringLiteral("a whole number") : QStringLiteral("a number"))
                .arg(rowNumber)
                .arg(colNumber),
            {}, {}, db.FileName());
    }
    return CInt64(sum, QStringLiteral("The sum of the answers in model row %1, model column %2")
                           .arg(rowNumber)
                           .arg(colNumber));
}

CellTotals readTotals(const Database& db, const QString& sql, bool combined,
                      const QString& surveySet, qint64 rowNumber, qint64 colNumber)
{
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    CellTotals cell;
    if (rs.Eof())
        return cell;
    cell.count = rs.FieldInt64(QStringLiteral("iCount"));
    if (combined)
        cell.surveys = rs.FieldInt64(QStringLiteral("iSurveys"));
    // The sum of no answers is null.
    if (cell.count == 0)
        return cell;
    const QVariant sum = rs.Fields(QStringLiteral("iSum"));
    if (sum.typeId() == QMetaType::LongLong) {
        cell.sum = sum.toLongLong();
        return cell;
    }
    rs.Close();
    cell.sum = sumOfWholeNumbers(db, sum, surveySet, rowNumber, colNumber);
    return cell;
}

} // namespace

CellTotals ReadCellTotals(const Database& db, SurveyNumber survey, qint64 rowNumber,
                          qint64 colNumber)
{
    return readTotals(db, Sql::SelectCellSum(survey, rowNumber, colNumber), false,
                      DecimalText(survey), rowNumber, colNumber);
}

QList<CellTotals> ReadSurveyTotals(const Database& db, SurveyNumber survey,
                                   const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
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
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    ReadTransaction snapshot(db);
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(
                readTotals(db, Sql::SelectCellOverSurveys(set, row, col), true, set, row, col));
    snapshot.Commit();
    return cells;
}

void ReadAnswerLines(const Database& db, const std::function<void(const QStringList&)>& line)
{
    Recordset rs = db.CreateQueryDef(Sql::SelectAnswerLines()).OpenRecordset();
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
