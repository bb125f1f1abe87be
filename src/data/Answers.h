#pragma once

#include "data/Surveys.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>
#include <functional>
#include <optional>

class Database;

// One score given to one question.
struct Answer
{
    qint16 questionId;
    qint16 score;
};

// What a survey holds already in one cell of the model: how many of the
// cell's questions have answers, and how many answers that is (more than
// the questions once a cell is submitted twice), and each question's
// scores as text, lowest first.
struct StoredInCell
{
    qint64 questions = 0;
    qint64 answers = 0;
    QHash<qint64, QStringList> scores;
};
StoredInCell ReadStoredInCell(const Database& db, SurveyNumber survey, qint64 rowNumber,
                              qint64 colNumber);
// The same of one question.
StoredInCell ReadStoredAnswers(const Database& db, SurveyNumber survey, qint64 questionId);

// Stores a cell's answers for a survey, all of them together or none, and
// gives what the cell then holds for the survey, read in the same
// transaction: the window shows it without a second trip to the database.
StoredInCell StoreCellAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                              qint64 rowNumber, qint64 colNumber);
// The same only into a cell that holds none of the survey's answers, as
// found in the same transaction: where it holds some, nothing is stored and
// nothing is given.
std::optional<StoredInCell> StoreFirstCellAnswers(Database& db, SurveyNumber survey,
                                                  const QList<Answer>& answers, qint64 rowNumber,
                                                  qint64 colNumber);
// Stores answers within a batch the caller has begun.
void StoreAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers);
// The same through a server's function that takes a survey, its questions
// and their scores (Sql::Server::CallStoreAnswers, CallReplaceAnswers).
using ServerAnswersCall = QString (*)(qint16, const QList<qint16>&, const QList<qint16>&);
void StoreThroughFunction(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                          ServerAnswersCall call);
// The same, each scored question's answers of the survey that are stored
// already moved into the history first (see Corrections.h); what the cell
// then holds, as StoreCellAnswers gives it.
StoredInCell ReplaceCellAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                                qint64 rowNumber, qint64 colNumber);

// A sum of answers that no number of stored answers, whatever they hold,
// can overflow.
__extension__ typedef __int128 AnswerSum;

// The answers behind one cell of the results grid.
struct CellTotals
{
    AnswerSum sum = 0;
    qint64 count = 0;
    // Combined over several surveys only: how many of them answered here.
    qint64 surveys = 0;
    // Answers outside the scores 0 to 4, which the sum counts as they are.
    qint64 outside = 0;
};

// One survey's sums and counts for every cell of the grid the numbers span,
// row by row, read in one statement whose work grows with the survey's
// answers whatever the file's statistics or indexes say, as one state of the
// file even while another copy of the program writes. An answer that is not
// a whole number stops the reading, naming the survey, question and cell.
QList<CellTotals> ReadSurveyTotals(const Database& db, SurveyNumber survey,
                                   const QList<qint64>& rowNumbers,
                                   const QList<qint64>& colNumbers);

// Every cell's totals over several surveys together, with how many of them
// answered in each cell; all stored surveys when `surveys` is empty.
QList<CellTotals> ReadCombinedTotals(const Database& db, const QList<SurveyNumber>& surveys,
                                     const QList<qint64>& rowNumbers,
                                     const QList<qint64>& colNumbers);

// Every stored answer once, in the order entered: survey number, completed
// by, company, question number, label, question text, row number, row name,
// column number, column name, score. Values are as stored: texts in their
// stored bytes (meant as UTF-8, which they need not be), numbers in as few
// digits as give them back; what is missing is an empty text. The fields
// are valid only during the call. `withStorers` (a server database only)
// adds who stored the answer and when, and the same of its survey's header
// and of its question.
void ReadAnswerLines(const Database& db,
                     const std::function<void(const QList<QByteArrayView>&)>& line,
                     bool withStorers = false);

// The answers that corrections moved into the history, as ReadAnswerLines
// gives the stored ones, in the order the changes were made; each line ends
// in three more values: the change's action (replaced or withdrawn), when
// it was made and who made it. None for a file without the history tables.
void ReadMovedAnswerLines(const Database& db,
                          const std::function<void(const QList<QByteArrayView>&)>& line,
                          bool withStorers = false);
