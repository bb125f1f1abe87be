#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class Database;

// A question as the answering window shows it.
struct CellQuestion
{
    qint16 id;
    QString label;
    QString text;
};

// A question to be stored in a cell; the engine gives it its number.
struct NewQuestion
{
    QString label;
    QString text;
    qint16 rowNumber;
    qint16 colNumber;
};

// The questions of one cell, in the order the engine gives them. Every
// question is read and checked before any is given back, so a cell with a
// question whose number the program cannot hold fails as a whole.
QList<CellQuestion> ReadCellQuestions(const Database& db, qint16 rowNumber, qint16 colNumber);

void StoreQuestion(Database& db, const NewQuestion& question);

// Stores the question unless the engine would number it beyond 32767, which
// no window could show or answer; then nothing is stored and it gives false.
bool StoreQuestionWithinNumbers(Database& db, const NewQuestion& question);

// The largest question number, 0 when there is none.
qint64 ReadLargestQuestionNumber(const Database& db);

// Every question's number and cell, in number order.
struct QuestionCell
{
    qint16 id;
    qint16 rowNumber;
    qint16 colNumber;
};
QList<QuestionCell> ReadQuestionCells(const Database& db);
