#include "data/ReportReaders.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"

#include <QSet>
#include <algorithm>
#include <limits>

QList<SurveyEntry> ReadSurveyEntries(const Database& db)
{
    QList<SurveyEntry> entries;
    QSet<qint64> seen;
    Recordset rs = db.CreateQueryDef(Sql::SelectSurveyHeaders()).OpenRecordset();
    while (!rs.Eof()) {
        // A survey without a number, or with one beyond the program's, can be
        // neither answered nor shown.
        bool whole = false;
        const qint64 number = rs.FieldText(QStringLiteral("id")).toLongLong(&whole);
        if (whole && number >= std::numeric_limits<SurveyNumber>::min() &&
            number <= std::numeric_limits<SurveyNumber>::max()) {
            const SurveyNumber id = SurveyNumber(number);
            if (!seen.contains(id)) {
                seen.insert(id);
                entries.append({id,
                                {rs.FieldText(QStringLiteral("completed_by")),
                                 rs.FieldText(QStringLiteral("company"))}});
            }
        }
        rs.MoveNext();
    }
    std::sort(entries.begin(), entries.end(),
              [](const SurveyEntry& a, const SurveyEntry& b) { return a.id < b.id; });
    return entries;
}

QList<QuestionScore> ReadQuestionScores(const Database& db, const QList<SurveyNumber>& surveys,
                                        bool bySurvey)
{
    QStringList numbers;
    for (SurveyNumber survey : surveys)
        numbers.append(DecimalText(survey));
    QList<QuestionScore> scores;
    Recordset rs =
        db.CreateQueryDef(Sql::SelectQuestionScores(numbers.join(u','), bySurvey)).OpenRecordset();
    while (!rs.Eof()) {
        QuestionScore score;
        score.rowNumber = rs.FieldInt64(QStringLiteral("row_id"));
        score.colNumber = rs.FieldInt64(QStringLiteral("col_id"));
        score.id = rs.FieldInt64(QStringLiteral("id"));
        score.label = rs.FieldText(QStringLiteral("label"));
        score.text = rs.FieldText(QStringLiteral("question_text"));
        score.count = rs.FieldInt64(QStringLiteral("iCount"));
        if (score.count > 0) {
            score.sum = AnswerSum(rs.FieldInt64(QStringLiteral("iHigh"))) * (AnswerSum(1) << 32) +
                        rs.FieldInt64(QStringLiteral("iLow"));
            if (bySurvey)
                score.survey = rs.FieldInt64(QStringLiteral("survey_id"));
        }
        scores.append(std::move(score));
        rs.MoveNext();
    }
    return scores;
}
