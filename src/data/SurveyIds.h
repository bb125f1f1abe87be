#pragma once

#include <QStringList>

class Database;

// The stored survey numbers as the pickers list them: decimal text without
// blanks, in the order the engine gives them. A survey without a number can
// be neither answered nor shown, and is left out.
QStringList ReadSurveyIds(Database& db);
