#pragma once

#include <QString>
#include <QtGlobal>

// Every statement the windows issue, each joined from its fixed pieces.
// Windows never join SQL themselves. Numbers go in as decimal text; texts go
// in only through Quote().
namespace Sql {

// Encloses a text in single quotes, doubling every quote inside it, so any
// typed text is stored exactly as typed and cannot change the statement.
QString Quote(const QString& text);

QString SelectModelRows();                                  // 1
QString SelectModelColumns();                               // 2
QString SelectSurveyIds();                                  // 3
QString SelectSurveyHeader(qint16 surveyId);                // 4
QString SelectCellQuestions(qint16 rowNumber, qint16 colNumber); // 5
QString SelectMaxSurveyId();                                // 6
// 7 and 8 keep each number beside its name, so that a grid position can
// address the row or column that stands there, however the model is numbered.
QString SelectColumnNamesOrdered();                         // 7
QString SelectRowNamesOrdered();                            // 8
QString SelectCellSum(qint64 surveyId, qint64 rowNumber, qint64 colNumber); // 9
QString InsertQuestion(const QString& label, const QString& questionText, qint16 rowNumber,
                       qint16 colNumber);                   // 10
QString InsertSurvey(qint16 surveyId, const QString& completedBy, const QString& company); // 11
QString InsertAnswer(qint16 surveyId, qint16 questionId, qint16 answer); // 12

} // namespace Sql
