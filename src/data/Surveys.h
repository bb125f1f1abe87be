#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

class Database;

// Survey numbers are signed 16-bit whole numbers everywhere in the program:
// the windows, the results and quelt-db read and check them alike.
using SurveyNumber = qint16;

// A survey number as picked in a window or given on a command line. Not a
// whole number, or one beyond the program's numbers, is an error that says so.
SurveyNumber ParseSurveyNumber(const QString& text);

struct SurveyHeader
{
    QString completedBy;
    QString company;
};

// The stored survey numbers as the pickers list them: decimal text without
// blanks, in the order the engine gives them. A survey without a number can
// be neither answered nor shown, and is left out.
QStringList ReadSurveyNumbers(const Database& db);

// The header of a survey; nothing when no survey has that number.
std::optional<SurveyHeader> ReadSurveyHeader(const Database& db, SurveyNumber survey);

// One more than the largest stored survey number (1 for none), or nothing
// once the largest stored leaves no number above it: never wraps. Numbers
// stored as text count as the numbers they are; a stored number that is not
// a whole number is an error that says so.
std::optional<SurveyNumber> ReadNextSurveyNumber(const Database& db);

// Whether a header holds this number, compared as numbers: a number stored
// as text ('2') holds it as much as 2 does.
bool SurveyNumberTaken(const Database& db, SurveyNumber survey);

// Stores a survey's header under a number the caller has made sure is free.
void StoreSurveyHeader(Database& db, SurveyNumber survey, const SurveyHeader& header);

// What became of a new survey's header.
struct NewSurveyOutcome
{
    // The number it was stored under; nothing when it was not stored.
    std::optional<SurveyNumber> stored;
    // The next free number as read when storing; nothing when none is left.
    std::optional<SurveyNumber> next;
};

// Stores a new survey's header under the number proposed to the user, if that
// number is still free, and otherwise under the next free one, which the
// outcome names. Another copy of the program may have stored a header since
// the proposal: the check and the insert hold the write lock together.
// Nothing is stored without a proposal: the user is first shown a number.
NewSurveyOutcome StoreNewSurvey(Database& db, std::optional<SurveyNumber> proposed,
                                const SurveyHeader& header);
