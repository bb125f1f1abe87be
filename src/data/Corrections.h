#pragma once

#include "data/Answers.h"
#include "data/Surveys.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

class Database;

// Mistakes put right without losing anything: a correction moves stored
// answers, or copies a text's stored value, into the history tables in the
// same transaction as it changes the five tables, with who made it and when
// (the login on a server, where the server's functions record it; the
// operating-system user for a file). A file gets the history tables with its
// first correction. Each function below is all or nothing.

// Within a batch the caller has begun: each scored question's answers of
// the survey that are stored already go into the history (one change per
// question that had any), then the new answers are stored.
void ReplaceAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers);

// One question's answers of a survey replaced by one score; gives the
// scores that were stored, lowest first. A survey or question that does not
// exist, or no stored answer to replace, is refused and nothing changes.
QStringList ReplaceAnswer(Database& db, SurveyNumber survey, qint16 question, qint16 score);

// Every answer of the survey in one cell of the model goes into the
// history; gives how many (0: there were none, and nothing changed).
qint64 WithdrawCellAnswers(Database& db, SurveyNumber survey, qint16 rowNumber, qint16 colNumber);

// One text corrected: the column (completed_by, company, label or
// question_text), the stored value and the new one.
struct TextCorrection
{
    QString column;
    QString before;
    QString after;
};

// A survey header's texts, or a question's label and text, corrected where
// given and different from what is stored; gives what changed, nothing when
// every given text is as stored. A number that nothing has is refused.
QList<TextCorrection> CorrectSurveyHeader(Database& db, SurveyNumber survey,
                                          const std::optional<QString>& completedBy,
                                          const std::optional<QString>& company);
QList<TextCorrection> CorrectQuestion(Database& db, qint16 question,
                                      const std::optional<QString>& label,
                                      const std::optional<QString>& questionText);

// One change of the history, as stored: when (UTC, ISO 8601), who, the
// action (replaced, withdrawn, or the column of a text), what it was about,
// a text's old and new value (a replaced answer's new score as `after`),
// how many answers it moved and which (question, score).
struct HistoryEntry
{
    qint64 id = 0;
    QString when;
    QString who;
    QString action;
    std::optional<qint64> survey;
    std::optional<qint64> question;
    std::optional<qint64> rowNumber;
    std::optional<qint64> colNumber;
    QString before;
    QString after;
    qint64 answers = 0;
    QList<QPair<qint64, QString>> moved;
};

// Every change in the order made; those about one survey when it is given.
// A file without the history tables has none.
QList<HistoryEntry> ReadHistory(const Database& db, std::optional<SurveyNumber> survey = {});

// What in the history does not add up, one line each: a history table
// missing beside the other, a change whose moved answers the history does
// not hold (or holds more of), answers of a change that is not there.
QStringList ReadHistoryProblems(const Database& db);
