#include "data/Corrections.h"

#include "data/FileChecks.h"
#include "data/Schema.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/FileAccess.h"
#include "platform/QueltError.h"

#include <QDateTime>
#include <QHash>

namespace {

// A file's changes of one correction, numbered on from the largest, each
// with the same who and when. The history tables are made with the first
// change a file records.
class FileHistory
{
public:
    explicit FileHistory(Database& db)
        : m_db(db), m_when(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)),
          m_who(OperatingSystemUser())
    {
    }

    qint64 NextChange()
    {
        if (m_next == 0) {
            if (!Schema::HasHistoryTables(m_db)) {
                for (const QString& sql : Schema::CreateHistoryStatements())
                    m_db.Execute(sql);
            }
            Recordset rs = m_db.CreateQueryDef(Sql::SelectNextChangeNumber()).OpenRecordset();
            m_next = rs.FieldInt64(QStringLiteral("v"));
        }
        return m_next++;
    }

    // Moves each question's answers of the survey into the history under a
    // change of its own; a question without answers has none.
    void MoveAnswersOf(SurveyNumber survey, const QList<Answer>& answers)
    {
        QList<qint64> questions;
        for (const Answer& answer : answers) {
            if (!questions.contains(answer.questionId))
                questions.append(answer.questionId);
        }
        QHash<qint64, qint64> held;
        Recordset rs = m_db.CreateQueryDef(Sql::CountAnswersByQuestion(
                                               Sql::AnswersOfQuestions(survey, questions)))
                           .OpenRecordset();
        for (; !rs.Eof(); rs.MoveNext())
            held.insert(rs.FieldInt64(QStringLiteral("question_id")),
                        rs.FieldInt64(QStringLiteral("n")));
        rs.Close();
        QList<Sql::AnswerChange> changes;
        QList<QPair<qint64, qint64>> changeOf;
        qint64 total = 0;
        for (const Answer& answer : answers) {
            const qint64 n = held.take(answer.questionId);
            if (n == 0)
                continue;
            changes.append({NextChange(), m_when, m_who, QStringLiteral("replaced"), survey,
                            answer.questionId, std::nullopt, std::nullopt, answer.score, n});
            changeOf.append({answer.questionId, changes.last().id});
            total += n;
        }
        if (changes.isEmpty())
            return;
        QList<qint64> moved;
        for (const auto& [question, change] : changeOf)
            moved.append(question);
        Move(changes, Sql::AnswersOfQuestions(survey, moved), Sql::ChangeOfQuestion(changeOf),
             total);
    }

    // Moves a cell's answers of the survey into the history under one
    // change; gives how many (none: no change is recorded).
    qint64 MoveCellAnswers(SurveyNumber survey, qint16 rowNumber, qint16 colNumber)
    {
        const QString answers = Sql::AnswersInCell(survey, rowNumber, colNumber);
        Recordset rs = m_db.CreateQueryDef(Sql::CountAnswers(answers)).OpenRecordset();
        const qint64 n = rs.FieldInt64(QStringLiteral("v"));
        rs.Close();
        if (n == 0)
            return 0;
        const Sql::AnswerChange change = {NextChange(), m_when,
                                          m_who,        QStringLiteral("withdrawn"),
                                          survey,       std::nullopt,
                                          rowNumber,    colNumber,
                                          std::nullopt, n};
        Move({change}, answers, DecimalText(change.id), n);
        return n;
    }

    // The text's stored value into the history, then the new one in its
    // place; false when it is stored as given already.
    bool CorrectText(const QString& table, qint64 id, const QString& column, const QString& value)
    {
        Recordset rs = m_db.CreateQueryDef(Sql::SelectText(table, id, column)).OpenRecordset();
        const StoredValue stored = rs.FieldStored(QStringLiteral("v"));
        rs.Close();
        if (stored.kind == StoredValue::Kind::Text && stored.bytes == value.toUtf8())
            return false;
        StoreOneRow(m_db,
                    Sql::InsertTextChange(NextChange(), m_when, m_who, table, id, column, value),
                    QStringLiteral("the change"));
        StoreOneRow(m_db, Sql::UpdateText(table, id, column, value),
                    QStringLiteral("the corrected %1").arg(column));
        return true;
    }

private:
    // Records the changes and moves their answers, `total` of them, which
    // must arrive in the history and leave survey_results, or nothing of
    // the correction is kept.
    void Move(const QList<Sql::AnswerChange>& changes, const QString& answers,
              const QString& changeId, qint64 total)
    {
        const QString insert = Sql::InsertAnswerChanges(changes);
        const qint64 recorded = m_db.Execute(insert);
        if (recorded != changes.size())
            throw QueltError(QStringLiteral("The file did not store the %1 as new rows (%2), so "
                                            "nothing was changed; run quelt-db check on the file.")
                                 .arg(Counted(changes.size(), QStringLiteral("change")))
                                 .arg(Counted(recorded, QStringLiteral("row"))),
                             {}, insert, m_db.FileName());
        const qint64 copied = m_db.Execute(Sql::CopyAnswersToHistory(changeId, answers));
        const qint64 taken = m_db.Execute(Sql::DeleteAnswers(answers));
        if (copied != total || taken != total)
            throw QueltError(QStringLiteral("The file did not move %1 into the history as they "
                                            "were (%2 copied, %3 taken out), so nothing was "
                                            "changed; run quelt-db check on the file.")
                                 .arg(Counted(total, QStringLiteral("answer")))
                                 .arg(copied)
                                 .arg(taken),
                             {}, {}, m_db.FileName());
    }

    Database& m_db;
    QString m_when;
    QString m_who;
    qint64 m_next = 0;
};

// The stored texts of one header or question, or nothing when no row has
// the number.
std::optional<QList<QString>> readTexts(const Database& db, const QString& table, qint64 id,
                                        const QStringList& columns)
{
    QList<QString> texts;
    for (const QString& column : columns) {
        Recordset rs = db.CreateQueryDef(Sql::SelectText(table, id, column)).OpenRecordset();
        if (rs.Eof())
            return std::nullopt;
        texts.append(rs.Fields(QStringLiteral("v")).toString());
    }
    return texts;
}

[[noreturn]] void refuseMissing(const Database& db, const QString& what, qint64 id)
{
    throw QueltError(QStringLiteral("No %1 has the number %2 in %3; nothing was changed.")
                         .arg(what)
                         .arg(id)
                         .arg(db.FileName()),
                     {}, {}, db.FileName());
}

// The given texts that differ from the stored ones, corrected: through the
// server's function, or on a file by FileHistory.
QList<TextCorrection> correctTexts(Database& db, const QString& table, const QString& noun,
                                   qint64 id, const QStringList& columns,
                                   const QList<std::optional<QString>>& given)
{
    Schema::RequireHistory(db);
    Transaction batch(db);
    const std::optional<QList<QString>> stored = readTexts(db, table, id, columns);
    if (!stored)
        refuseMissing(db, noun, id);
    QList<TextCorrection> changed;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (given.at(i) && *given.at(i) != stored->at(i))
            changed.append({columns.at(i), stored->at(i), *given.at(i)});
    }
    if (db.IsServer()) {
        const QString call =
            table == QLatin1String("survey")
                ? Sql::Server::CallCorrectSurvey(qint16(id), given.at(0), given.at(1))
                : Sql::Server::CallCorrectQuestion(qint16(id), given.at(0), given.at(1));
        Recordset rs = db.CreateQueryDef(call).OpenRecordset();
        const QVariant done = rs.Fields(QStringLiteral("changed"));
        rs.Close();
        if (done.isNull())
            refuseMissing(db, noun, id);
        const qint64 n = CInt64(done, QStringLiteral("The number of texts corrected"));
        if (n != changed.size())
            throw QueltError(QStringLiteral("The database corrected %1 of the %2 texts that differ "
                                            "from what it stores, so nothing was changed.")
                                 .arg(n)
                                 .arg(changed.size()),
                             {}, call, db.FileName());
    } else {
        FileHistory history(db);
        changed.removeIf([&](const TextCorrection& c) {
            return !history.CorrectText(table, id, c.column, c.after);
        });
    }
    batch.Commit();
    return changed;
}

} // namespace

void ReplaceAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers)
{
    Schema::RequireHistory(db);
    if (db.IsServer())
        return StoreThroughFunction(db, survey, answers, Sql::Server::CallReplaceAnswers);
    FileHistory(db).MoveAnswersOf(survey, answers);
    StoreAnswers(db, survey, answers);
}

QStringList ReplaceAnswer(Database& db, SurveyNumber survey, qint16 question, qint16 score)
{
    Schema::RequireHistory(db);
    Transaction batch(db);
    if (!readTexts(db, QStringLiteral("survey"), survey, {QStringLiteral("company")}))
        refuseMissing(db, QStringLiteral("survey"), survey);
    if (!readTexts(db, QStringLiteral("question"), question, {QStringLiteral("label")}))
        refuseMissing(db, QStringLiteral("question"), question);
    const QStringList old = ReadStoredAnswers(db, survey, question).scores.value(question);
    if (old.isEmpty())
        throw QueltError(QStringLiteral("Survey %1 holds no answer to question %2 in %3, so there "
                                        "is nothing to correct; nothing was changed.")
                             .arg(survey)
                             .arg(question)
                             .arg(db.FileName()),
                         {}, {}, db.FileName());
    ReplaceAnswers(db, survey, {{question, score}});
    batch.Commit();
    return old;
}

qint64 WithdrawCellAnswers(Database& db, SurveyNumber survey, qint16 rowNumber, qint16 colNumber)
{
    Schema::RequireHistory(db);
    Transaction batch(db);
    qint64 moved = 0;
    if (db.IsServer()) {
        Recordset rs =
            db.CreateQueryDef(Sql::Server::CallWithdrawCell(survey, rowNumber, colNumber))
                .OpenRecordset();
        moved = rs.FieldInt64(QStringLiteral("moved"));
    } else {
        moved = FileHistory(db).MoveCellAnswers(survey, rowNumber, colNumber);
    }
    batch.Commit();
    return moved;
}

QList<TextCorrection> CorrectSurveyHeader(Database& db, SurveyNumber survey,
                                          const std::optional<QString>& completedBy,
                                          const std::optional<QString>& company)
{
    return correctTexts(db, QStringLiteral("survey"), QStringLiteral("survey"), survey,
                        {QStringLiteral("completed_by"), QStringLiteral("company")},
                        {completedBy, company});
}

QList<TextCorrection> CorrectQuestion(Database& db, qint16 question,
                                      const std::optional<QString>& label,
                                      const std::optional<QString>& questionText)
{
    return correctTexts(db, QStringLiteral("question"), QStringLiteral("question"), question,
                        {QStringLiteral("label"), QStringLiteral("question_text")},
                        {label, questionText});
}

namespace {

std::optional<qint64> numberOrNothing(const Recordset& rs, const QString& column)
{
    const QVariant value = rs.Fields(column);
    if (value.isNull())
        return std::nullopt;
    return CInt64(value, QStringLiteral("The history's %1").arg(column));
}

} // namespace

QList<HistoryEntry> ReadHistory(const Database& db, std::optional<SurveyNumber> survey)
{
    QList<HistoryEntry> entries;
    if (!Schema::HasHistoryTables(db))
        return entries;
    const std::optional<qint64> filter =
        survey ? std::optional<qint64>(*survey) : std::optional<qint64>();
    ReadTransaction snapshot(db);
    QHash<qint64, qsizetype> at;
    Recordset rs = db.CreateQueryDef(Sql::SelectChanges(filter)).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        HistoryEntry entry;
        entry.id = rs.FieldInt64(QStringLiteral("id"));
        entry.when = rs.Fields(QStringLiteral("made_at")).toString();
        entry.who = rs.Fields(QStringLiteral("made_by")).toString();
        entry.action = rs.Fields(QStringLiteral("action")).toString();
        entry.survey = numberOrNothing(rs, QStringLiteral("survey_id"));
        entry.question = numberOrNothing(rs, QStringLiteral("question_id"));
        entry.rowNumber = numberOrNothing(rs, QStringLiteral("row_id"));
        entry.colNumber = numberOrNothing(rs, QStringLiteral("col_id"));
        entry.before = rs.Fields(QStringLiteral("old_value")).toString();
        entry.after = rs.Fields(QStringLiteral("new_value")).toString();
        entry.answers = rs.FieldInt64(QStringLiteral("answers"));
        at.insert(entry.id, entries.size());
        entries.append(entry);
    }
    rs.Close();
    Recordset moved = db.CreateQueryDef(Sql::SelectMovedAnswers(filter)).OpenRecordset();
    for (; !moved.Eof(); moved.MoveNext()) {
        const auto found = at.constFind(moved.FieldInt64(QStringLiteral("change_id")));
        if (found == at.cend())
            continue;
        entries[*found].moved.append({moved.FieldInt64(QStringLiteral("question_id")),
                                      CText(moved.Fields(QStringLiteral("answer")))});
    }
    moved.Close();
    snapshot.Commit();
    return entries;
}

QStringList ReadHistoryProblems(const Database& db)
{
    static const QHash<QString, QStringList> kColumns = {
        {QStringLiteral("history_change"),
         {QStringLiteral("id"), QStringLiteral("made_at"), QStringLiteral("made_by"),
          QStringLiteral("action"), QStringLiteral("survey_id"), QStringLiteral("question_id"),
          QStringLiteral("row_id"), QStringLiteral("col_id"), QStringLiteral("old_value"),
          QStringLiteral("new_value"), QStringLiteral("answers")}},
        {QStringLiteral("history_answer"),
         {QStringLiteral("change_id"), QStringLiteral("survey_id"), QStringLiteral("question_id"),
          QStringLiteral("answer")}},
    };
    QStringList problems;
    QStringList present;
    for (const QString& table : Schema::HistoryTableNames()) {
        const QStringList columns = ReadTableColumns(db, table);
        if (columns.isEmpty())
            continue;
        present.append(table);
        for (const QString& column : kColumns.value(table)) {
            if (!columns.contains(column))
                problems.append(
                    QStringLiteral("the history table %1 has no column %2").arg(table, column));
        }
    }
    if (present.isEmpty() || !problems.isEmpty())
        return problems;
    if (present.size() < Schema::HistoryTableNames().size()) {
        for (const QString& table : Schema::HistoryTableNames()) {
            if (!present.contains(table))
                problems.append(QStringLiteral("the history table %1 is missing beside %2")
                                    .arg(table, present.first()));
        }
        return problems;
    }
    Recordset rs = db.CreateQueryDef(Sql::SelectUnbalancedChanges()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext())
        problems.append(
            QStringLiteral("the history's change %1 (%2, survey %3) moved %4, but the "
                           "history holds %5 of them")
                .arg(rs.FieldText(QStringLiteral("id")), rs.FieldText(QStringLiteral("action")),
                     rs.FieldText(QStringLiteral("survey_id")),
                     Counted(rs.FieldInt64(QStringLiteral("said")), QStringLiteral("answer")),
                     rs.FieldText(QStringLiteral("held"))));
    rs.Close();
    Recordset orphans = db.CreateQueryDef(Sql::CountMovedAnswersWithoutChange()).OpenRecordset();
    if (const qint64 n = orphans.FieldInt64(QStringLiteral("v")); n > 0)
        problems.append(QStringLiteral("the history holds %1 of changes it does not record")
                            .arg(Counted(n, QStringLiteral("answer"))));
    return problems;
}
