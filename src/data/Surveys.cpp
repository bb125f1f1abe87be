#include "data/Surveys.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

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
    while (!rs.Eof()) {
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

std::optional<SurveyNumber> ReadNextSurveyNumber(const Database& db)
{
    Recordset rs = db.CreateQueryDef(Sql::SelectMaxSurveyId()).OpenRecordset();
    qint64 next = 1;
    if (!rs.Eof() && !rs.Fields(QStringLiteral("iMax")).isNull())
        next = CInt64(rs.Fields(QStringLiteral("iMax")),
                      QStringLiteral("The largest stored survey number")) +
               1;
    if (next > std::numeric_limits<SurveyNumber>::max())
        return std::nullopt;
    return CInt16(next, QStringLiteral("The next survey number"));
}

void StoreSurveyHeader(Database& db, SurveyNumber survey, const SurveyHeader& header)
{
    db.Execute(Sql::InsertSurvey(survey, header.completedBy, header.company));
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

} // namespace

NewSurveyOutcome StoreNewSurvey(Database& db, std::optional<SurveyNumber> proposed,
                                const SurveyHeader& header)
{
    NewSurveyOutcome outcome;
    Transaction batch(db);
    holdSurveyNumbersOnServer(db);
    outcome.next = ReadNextSurveyNumber(db);
    if (outcome.next && proposed && *proposed >= *outcome.next) {
        StoreSurveyHeader(db, *proposed, header);
        batch.Commit();
        outcome.stored = true;
    }
    return outcome;
}
