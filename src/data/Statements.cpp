#include "data/Statements.h"

#include "platform/Convert.h"

#include <QStringBuilder>

namespace Sql {

QString Quote(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

QString SelectModelRows()
{
    return QStringLiteral("SELECT row_number, name FROM model_row");
}

QString SelectModelColumns()
{
    return QStringLiteral("SELECT col_number, name FROM model_column");
}

QString SelectSurveyIds()
{
    return QStringLiteral("SELECT id ") + QStringLiteral("FROM survey");
}

QString SelectSurveyHeader(qint16 surveyId)
{
    return QStringLiteral("SELECT completed_by, company FROM survey ") +
           QStringLiteral("WHERE id = ") + DecimalText(surveyId);
}

QString SelectCellQuestions(qint16 rowNumber, qint16 colNumber)
{
    return QStringLiteral("SELECT id, label, question_text ") + QStringLiteral("FROM question ") +
           QStringLiteral("WHERE row_id = ") + DecimalText(rowNumber) + QStringLiteral(" ") +
           QStringLiteral("AND col_id = ") + DecimalText(colNumber) + QStringLiteral(" ");
}

QString SelectMaxSurveyId()
{
    return QStringLiteral("SELECT MAX(id) as iMax from survey ");
}

QString SelectColumnNamesOrdered()
{
    return QStringLiteral("SELECT col_number, name ") + QStringLiteral("FROM model_column ") +
           QStringLiteral("ORDER BY col_number");
}

QString SelectRowNamesOrdered()
{
    return QStringLiteral("SELECT row_number, name ") + QStringLiteral("FROM model_row ") +
           QStringLiteral("ORDER BY row_number");
}

// Joined in one go (%): the results window makes this text once per cell,
// and joining piece by piece made a new string at every piece.
QString SelectCellSum(qint64 surveyId, qint64 rowNumber, qint64 colNumber)
{
    return QStringLiteral("SELECT SUM(answer) as iSum, ") %
           QStringLiteral("COUNT(answer) as iCount ") %
           QStringLiteral("FROM survey_results, question ") %
           QStringLiteral("WHERE survey_results.question_id = question.id ") %
           QStringLiteral("AND survey_id = ") % DecimalText(surveyId) % QStringLiteral(" ") %
           QStringLiteral("AND row_id = ") % DecimalText(rowNumber) % QStringLiteral(" ") %
           QStringLiteral("AND col_id = ") % DecimalText(colNumber);
}

QString InsertQuestion(const QString& label, const QString& questionText, qint16 rowNumber,
                       qint16 colNumber)
{
    return QStringLiteral("INSERT INTO question (label, question_text, row_id, col_id) ") +
           QStringLiteral("VALUES (") + Quote(label) + QStringLiteral(", ") +
           Quote(questionText) + QStringLiteral(", ") + DecimalText(rowNumber) +
           QStringLiteral(", ") + DecimalText(colNumber) + QStringLiteral(")");
}

QString InsertSurvey(qint16 surveyId, const QString& completedBy, const QString& company)
{
    return QStringLiteral("INSERT INTO survey (id, completed_by, company) ") +
           QStringLiteral("VALUES (") + DecimalText(surveyId) + QStringLiteral(", ") +
           Quote(completedBy) + QStringLiteral(", ") + Quote(company) + QStringLiteral(")");
}

QString InsertAnswer(qint16 surveyId, qint16 questionId, qint16 answer)
{
    return QStringLiteral("INSERT INTO survey_results (survey_id, question_id, answer) ") +
           QStringLiteral("VALUES (") + DecimalText(surveyId) + QStringLiteral(", ") +
           DecimalText(questionId) + QStringLiteral(", ") + DecimalText(answer) +
           QStringLiteral(")");
}

} // namespace Sql
