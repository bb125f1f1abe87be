#pragma once

#include "data/Answers.h"
#include "data/Surveys.h"

#include <QList>
#include <QString>
#include <QtGlobal>

class Database;

// A survey's number with its header.
struct SurveyEntry
{
    SurveyNumber id = 0;
    SurveyHeader header;
};

// Every survey the program can show (a number within its 16 bits), each
// once, in number order.
QList<SurveyEntry> ReadSurveyEntries(const Database& db);

// One question of the model with what the reported surveys answered to it.
struct QuestionScore
{
    qint64 rowNumber = 0;
    qint64 colNumber = 0;
    qint64 id = 0;
    QString label;
    QString text;
    // With bySurvey: the survey these answers are of; 0 for a question none
    // of the surveys answered.
    qint64 survey = 0;
    AnswerSum sum = 0;
    qint64 count = 0;
};

// Every question in cell and number order with the sum and count of the
// answers `surveys` gave it: all of them together, or with `bySurvey` one
// entry per survey that answered (and one without answers for a question
// none answered).
QList<QuestionScore> ReadQuestionScores(const Database& db, const QList<SurveyNumber>& surveys,
                                        bool bySurvey);
