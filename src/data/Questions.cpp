#include "data/Questions.h"

#include "data/Schema.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <limits>

QList<CellQuestion> ReadCellQuestions(const Database& db, qint16 rowNumber, qint16 colNumber)
{
    QList<CellQuestion> questions;
    Recordset rs =
        db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectCellQuestions(rowNumber, colNumber)
                                        : Sql::SelectCellQuestions(rowNumber, colNumber))
            .OpenRecordset();
    while (!rs.Eof()) {
        if (questions.size() == kMostRowsShown)
            RefuseRowsBeyondShown(db, QStringLiteral("One cell of the model"));
        QString text = rs.FieldText(QStringLiteral("question_text"));
        const qint16 id = CInt16(rs.Fields(QStringLiteral("id")),
                                 QStringLiteral("The number of the question \"%1\"").arg(text));
        questions.append({id, rs.FieldText(QStringLiteral("label")), std::move(text)});
        rs.MoveNext();
    }
    return questions;
}

void StoreQuestion(Database& db, const NewQuestion& question)
{
    if (Schema::WritesThroughFunctions(db)) {
        Recordset rs = db.CreateQueryDef(
                             Sql::Server::CallStoreQuestion(question.label, question.text,
                                                            question.rowNumber, question.colNumber))
                           .OpenRecordset();
        if (rs.Fields(QStringLiteral("id")).isNull())
            throw QueltError(
                QStringLiteral("No further question number is available; nothing was stored."));
        return;
    }
    StoreOneRow(
        db,
        Sql::InsertQuestion(question.label, question.text, question.rowNumber, question.colNumber),
        QStringLiteral("the question"));
}

bool StoreQuestionWithinNumbers(Database& db, const NewQuestion& question)
{
    Transaction batch(db);
    StoreQuestion(db, question);
    // The engine's numbering is read back, as it may go beyond the largest
    // stored (a server's sequence, a table that never reuses numbers).
    if (ReadLargestQuestionNumber(db) > std::numeric_limits<qint16>::max())
        return false;
    batch.Commit();
    return true;
}

qint64 ReadLargestQuestionNumber(const Database& db)
{
    Recordset rs = db.CreateQueryDef(Sql::SelectMaxQuestionId()).OpenRecordset();
    const QVariant max = rs.Fields(QStringLiteral("iMax"));
    return max.isNull() ? 0 : CInt64(max, QStringLiteral("The largest question number"));
}

QList<QuestionCell> ReadQuestionCells(const Database& db)
{
    QList<QuestionCell> cells;
    Recordset rs = db.CreateQueryDef(Sql::SelectQuestionCells()).OpenRecordset();
    while (!rs.Eof()) {
        cells.append({rs.FieldInt16(QStringLiteral("id")), rs.FieldInt16(QStringLiteral("row_id")),
                      rs.FieldInt16(QStringLiteral("col_id"))});
        rs.MoveNext();
    }
    return cells;
}
