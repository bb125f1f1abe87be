#include "Command.h"
#include "Csv.h"
#include "Output.h"

#include "platform/DbEngine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

namespace {

const QStringList kColumns = {
    QStringLiteral("survey_id"),   QStringLiteral("completed_by"), QStringLiteral("company"),
    QStringLiteral("question_id"), QStringLiteral("label"),        QStringLiteral("question_text"),
    QStringLiteral("row_number"),  QStringLiteral("row_name"),     QStringLiteral("col_number"),
    QStringLiteral("col_name"),    QStringLiteral("answer"),
};

// Every answer once, in the order it was entered, with what it belongs to.
// The joined tables are reduced to one row per number first, so a file that
// repeats a number still gives one line per answer; an answer whose survey
// or question is missing still appears, with those fields empty. Each line
// comes as one array of values: reading eleven fields by name costs the
// engine layer far more per row than the query itself.
QString selectAnswers()
{
    return QStringLiteral(
        "SELECT json_array(r.survey_id, s.completed_by, s.company, r.question_id, q.label, "
        "q.question_text, q.row_id, mr.name, q.col_id, mc.name, r.answer) AS line "
        "FROM survey_results r "
        "LEFT JOIN (SELECT id, completed_by, company FROM survey GROUP BY id) s "
        "ON s.id = r.survey_id "
        "LEFT JOIN (SELECT id, label, question_text, row_id, col_id FROM question GROUP BY id) q "
        "ON q.id = r.question_id "
        "LEFT JOIN (SELECT row_number, name FROM model_row GROUP BY row_number) mr "
        "ON mr.row_number = q.row_id "
        "LEFT JOIN (SELECT col_number, name FROM model_column GROUP BY col_number) mc "
        "ON mc.col_number = q.col_id "
        "ORDER BY r.rowid");
}

// As few digits as give the stored number back: 3, 2.5, 0.1.
QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

int RunExport(const QStringList& args, QTextStream& out)
{
    const Options options(args, {QStringLiteral("output")});
    const QString file = options.expect(1, QStringLiteral("one FILE")).first();
    const QString output = options.value(QStringLiteral("output"));
    RefuseOutputOverDatabase(output, file);

    Database db = OpenForReading(file);
    Recordset rs = db.CreateQueryDef(selectAnswers()).OpenRecordset();
    WriteText(output, out, [&](QTextStream& s) {
        s << CsvRecord(kColumns);
        QStringList fields;
        while (!rs.Eof()) {
            const QJsonArray values =
                QJsonDocument::fromJson(rs.Fields(QStringLiteral("line")).toString().toUtf8())
                    .array();
            fields.clear();
            // Stored values as they are: null is an empty field.
            for (const QJsonValue& value : values)
                fields.append(value.isDouble() ? number(value.toDouble()) : value.toString());
            s << CsvRecord(fields);
            rs.MoveNext();
        }
    });
    return 0;
}
