#include "data/SurveyIds.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"

QStringList ReadSurveyIds(Database& db)
{
    QStringList ids;
    QueryDef qd = db.CreateQueryDef(Sql::SelectSurveyIds());
    Recordset rs = qd.OpenRecordset();
    while (!rs.Eof()) {
        const QVariant id = rs.Fields(QStringLiteral("id"));
        if (!id.isNull())
            ids.append(CText(id));
        rs.MoveNext();
    }
    rs.Close();
    qd.Close();
    return ids;
}
