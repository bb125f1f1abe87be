#include "data/Schema.h"

#include "data/Model.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QFile>

namespace Schema {

QStringList CreateTableStatements()
{
    return {
        QStringLiteral("CREATE TABLE model_row (row_number INTEGER NOT NULL PRIMARY KEY, "
                       "name TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE model_column (col_number INTEGER NOT NULL PRIMARY KEY, "
                       "name TEXT NOT NULL)"),
        // INTEGER PRIMARY KEY: the engine assigns the question number.
        QStringLiteral("CREATE TABLE question (id INTEGER PRIMARY KEY, label TEXT NOT NULL, "
                       "question_text TEXT NOT NULL, row_id INTEGER NOT NULL, "
                       "col_id INTEGER NOT NULL)"),
        // A survey number can never be stored twice.
        QStringLiteral("CREATE TABLE survey (id INTEGER NOT NULL PRIMARY KEY, "
                       "completed_by TEXT NOT NULL, company TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE survey_results (survey_id INTEGER NOT NULL, "
                       "question_id INTEGER NOT NULL, answer INTEGER NOT NULL)"),
    };
}

QStringList CreateIndexStatements()
{
    // No index may lead with survey_results.survey_id: without statistics the
    // planner would then start every per-cell query from all of a survey's
    // answers instead of the few questions of the cell.
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS question_cell ON question (row_id, col_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS survey_results_question "
                       "ON survey_results (question_id, survey_id, answer)"),
    };
}

void CreateSurveyDatabase(const QString& path, const QStringList& rowNames,
                          const QStringList& columnNames)
{
    if (rowNames.size() > kLargestModel || columnNames.size() > kLargestModel)
        throw QueltError(QStringLiteral("A model of %1 x %2 is larger than the program "
                                        "supports: at most %3 rows and %3 columns.")
                             .arg(rowNames.size())
                             .arg(columnNames.size())
                             .arg(kLargestModel));
    bool created = false;
    try {
        Database db = DBEngine::CreateDatabase(path);
        created = true;
        // Large pages, set while the file is still empty. The results window
        // runs one statement per cell, and each looks up a few dozen answers
        // scattered through the answers' index; together they read most of
        // that index once, and in 64 KiB pages that takes 16 times fewer
        // reads than in the engine's usual 4 KiB.
        db.Execute(QStringLiteral("PRAGMA page_size = 65536"));
        Transaction batch(db);
        for (const QString& sql : CreateTableStatements())
            db.Execute(sql);
        for (const QString& sql : CreateIndexStatements())
            db.Execute(sql);
        StoreModel(db, rowNames, columnNames);
        batch.Commit();
    } catch (...) {
        // A half-made file would pass for a database later: leave none.
        if (created)
            QFile::remove(path);
        throw;
    }
}

} // namespace Schema
