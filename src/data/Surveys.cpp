#include "data/Surveys.h"

#include "data/Schema.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <algorithm>
#include <limits>

SurveyNumber ParseSurveyNumber(const QString& text)
{
    const qint64 whole = CInt64(text, QStringLiteral("The survey number"));
    if (whole < std::numeric_limits<SurveyNumber>::min() ||
        whole > std::numeric_limits<SurveyNumber>::max())
        throw QueltError(QStringLiteral("Survey number %1 is beyond the survey numbers this "
                                        "program handles (-32768 to 32767).")
                             .arg(whole));
    return SurveyNumber(whole);
}

QStringList ReadSurveyNumbers(const Database& db)
{
    QStringList ids;
    Recordset rs =
        db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectSurveyIds() : Sql::SelectSurveyIds())
            .OpenRecordset();
    qsizetype read = 0;
    while (!rs.Eof()) {
        if (++read > kMostRowsShown)
            RefuseRowsBeyondShown(db, QStringLiteral("The table survey"));
        const QVariant id = rs.Fields(QStringLiteral("id"));
        if (!id.isNull())
            ids.append(CText(id));
        rs.MoveNext();
    }
    return ids;
}

std::optional<SurveyHeader> ReadSurveyHeader(const Database& db, SurveyNumber survey)
{
    Recordset rs = db.CreateQueryDef(Sql::SelectSurveyHeader(survey)).OpenRecordset();
    if (rs.Eof())
        return std::nullopt;
    return SurveyHeader{rs.FieldText(QStringLiteral("completed_by")),
                        rs.FieldText(QStringLiteral("company"))};
}

namespace {

// A stored survey number as the program reads it; one that is not a whole
// number is reported, since no survey number can be proposed around it.
qint64 storedNumber(const Database& db, const QVariant& value)
{
    try {
        return CInt64(value, QStringLiteral("A stored survey number"));
    } catch (const QueltError& e) {
        throw QueltError(e.action() +
                             QStringLiteral(" Run quelt-db check on the %1.").arg(DatabaseNoun(db)),
                         {}, {}, db.FileName());
    }
}

// The engine's MAX orders every text above every number, so a number stored
// as text ('1' among 1 to 5) would be taken for the largest. Only then are
// the numbers compared one by one, as numbers.
qint64 largestStoredNumber(const Database& db, const QVariant& max)
{
    if (max.typeId() != QMetaType::QString && max.typeId() != QMetaType::QByteArray)
        return storedNumber(db, max);
    qint64 largest = std::numeric_limits<qint64>::min();
    Recordset rs = db.CreateQueryDef(Sql::SelectSurveyIds()).OpenRecordset();
    while (!rs.Eof()) {
        const QVariant id = rs.Fields(QStringLiteral("id"));
        if (!id.isNull())
            largest = std::max(largest, storedNumber(db, id));
        rs.MoveNext();
    }
    return largest;
}

} // namespace

std::optional<SurveyNumber> ReadNextSurveyNumber(const Database& db)
{
    Recordset rs = db.CreateQueryDef(Sql::SelectMaxSurveyId()).OpenRecordset();
    qint64 next = 1;
    if (!rs.Eof() && !rs.Fields(QStringLiteral("iMax")).isNull()) {
        const QVariant max = rs.Fields(QStringLiteral("iMax"));
        rs.Close();
        next = largestStoredNumber(db, max) + 1;
    }
    if (next > std::numeric_limits<SurveyNumber>::max())
        return std::nullopt;
    return CInt16(next, QStringLiteral("The next survey number"));
}

bool SurveyNumberTaken(const Database& db, SurveyNumber survey)
{
    Recordset rs = db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectSurveyNumberHolders(survey)
                                                   : Sql::SelectSurveyNumberHolders(survey))
                       .OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QVariant id = rs.Fields(QStringLiteral("v"));
        if (id.typeId() != QMetaType::QString && id.typeId() != QMetaType::QByteArray)
            return true;
        // The engine's conversion also reads "2abc" as 2; the program's does not.
        try {
            if (CInt64(id, QString()) == survey)
                return true;
        } catch (const QueltError&) {
        }
    }
    return false;
}

void StoreSurveyHeader(Database& db, SurveyNumber survey, const SurveyHeader& header)
{
    StoreOneRow(db, Sql::InsertSurvey(survey, header.completedBy, header.company),
                QStringLiteral("the header of survey %1").arg(survey));
}

namespace {

// A file's write lock, taken by the transaction's BEGIN, keeps a second copy
// of the program out until the header is stored. A server lets two
// transactions read the same largest number; the second desktop waits here
// instead, until the first has stored its header or given up.
void holdSurveyNumbersOnServer(Database& db)
{
    if (db.IsServer())
        db.Execute(Sql::Server::LockSurveyNumbers());
}

// The server's function takes the next number under the same lock, and
// is the only way a consultant stores a header.
std::optional<SurveyNumber> storeThroughFunction(Database& db, const SurveyHeader& header)
{
    Recordset rs =
        db.CreateQueryDef(Sql::Server::CallStoreSurvey(header.completedBy, header.company))
            .OpenRecordset();
    const QVariant id = rs.Fields(QStringLiteral("id"));
    if (id.isNull())
        return std::nullopt;
    return CInt16(id, QStringLiteral("The number the survey was stored under"));
}

} // namespace

NewSurveyOutcome StoreNewSurvey(Database& db, std::optional<SurveyNumber> proposed,
                                const SurveyHeader& header)
{
    NewSurveyOutcome outcome;
    Transaction batch(db);
    if (proposed && Schema::WritesThroughFunctions(db)) {
        outcome.stored = storeThroughFunction(db, header);
        outcome.next = outcome.stored;
    } else {
        holdSurveyNumbersOnServer(db);
        outcome.next = ReadNextSurveyNumber(db);
        if (outcome.next && proposed) {
            if (*proposed >= *outcome.next && !SurveyNumberTaken(db, *proposed))
                outcome.stored = proposed;
            else if (!SurveyNumberTaken(db, *outcome.next))
                outcome.stored = outcome.next;
        }
        if (outcome.stored)
            StoreSurveyHeader(db, *outcome.stored, header);
    }
    if (outcome.stored)
        batch.Commit();
    return outcome;
}
