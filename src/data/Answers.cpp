#include "data/Answers.h"

#include "data/Corrections.h"
#include "data/Schema.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QHash>
#include <QLocale>
#include <algorithm>

// The function stores the cell's answers in one statement, each checked
// and recorded with who stored it; the only way a consultant can.
void StoreThroughFunction(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                          ServerAnswersCall call)
{
    QList<qint16> questions;
    QList<qint16> scores;
    for (const Answer& answer : answers) {
        questions.append(answer.questionId);
        scores.append(answer.score);
    }
    const QueryDef statement = db.CreateQueryDef(call(survey, questions, scores));
    const qint64 stored = statement.OpenRecordset().FieldInt64(QStringLiteral("stored"));
    if (stored != answers.size())
        RequireOneRow(db, statement.SQL(), stored,
                      QStringLiteral("each answer of survey %1").arg(survey));
}

namespace {

StoredInCell storeInCell(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                         qint64 rowNumber, qint64 colNumber,
                         void (*store)(Database&, SurveyNumber, const QList<Answer>&))
{
    Transaction batch(db);
    store(db, survey, answers);
    const StoredInCell stored = ReadStoredInCell(db, survey, rowNumber, colNumber);
    batch.Commit();
    return stored;
}

} // namespace

StoredInCell StoreCellAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                              qint64 rowNumber, qint64 colNumber)
{
    return storeInCell(db, survey, answers, rowNumber, colNumber, StoreAnswers);
}

StoredInCell ReplaceCellAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                                qint64 rowNumber, qint64 colNumber)
{
    return storeInCell(db, survey, answers, rowNumber, colNumber, ReplaceAnswers);
}

// A server gets the inserts in one round trip; each is still held to its
// one new row before anything is committed.
void StoreAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers)
{
    if (Schema::WritesThroughFunctions(db))
        return StoreThroughFunction(db, survey, answers, Sql::Server::CallStoreAnswers);
    QStringList inserts;
    inserts.reserve(answers.size());
    for (const Answer& answer : answers)
        inserts.append(Sql::InsertAnswer(survey, answer.questionId, answer.score));
    const QList<qint64> changed = db.ExecuteBatch(inserts);
    for (qsizetype i = 0; i < answers.size(); ++i) {
        if (changed.at(i) != 1)
            RequireOneRow(db, inserts.at(i), changed.at(i),
                          QStringLiteral("the answer to question %1 of survey %2")
                              .arg(answers.at(i).questionId)
                              .arg(survey));
    }
}

namespace {

// The answers a statement gives as question_id and answer.
StoredInCell readStored(const Database& db, const QString& sql)
{
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    StoredInCell stored;
    QHash<qint64, QList<QVariant>> answers;
    for (; !rs.Eof(); rs.MoveNext()) {
        const QVariant answer = rs.Fields(QStringLiteral("answer"));
        if (answer.isNull())
            continue;
        answers[rs.FieldInt64(QStringLiteral("question_id"))].append(answer);
        ++stored.answers;
    }
    stored.questions = answers.size();
    // Whole numbers in order, then whatever else a file made by other means
    // holds, as text.
    for (auto it = answers.begin(); it != answers.end(); ++it) {
        std::sort(it->begin(), it->end(), [](const QVariant& a, const QVariant& b) {
            const bool wholeA = a.typeId() == QMetaType::LongLong;
            const bool wholeB = b.typeId() == QMetaType::LongLong;
            if (wholeA != wholeB)
                return wholeA;
            return wholeA ? a.toLongLong() < b.toLongLong() : a.toString() < b.toString();
        });
        QStringList& texts = stored.scores[it.key()];
        for (const QVariant& answer : *it)
            texts.append(CText(answer));
    }
    return stored;
}

} // namespace

StoredInCell ReadStoredInCell(const Database& db, SurveyNumber survey, qint64 rowNumber,
                              qint64 colNumber)
{
    return readStored(db, Sql::SelectCellAnswers(survey, rowNumber, colNumber));
}

StoredInCell ReadStoredAnswers(const Database& db, SurveyNumber survey, qint64 questionId)
{
    return readStored(db, Sql::SelectAnswers(Sql::AnswersOfQuestions(survey, {questionId})));
}

namespace {

QString shownValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray) {
        const qsizetype bytes = value.toByteArray().size();
        return QStringLiteral("a blob of %1 byte%2").arg(bytes).arg(bytes == 1 ? "" : "s");
    }
    const QString text = value.toString();
    return u'"' + (text.size() > 40 ? text.left(40) + QStringLiteral("...") : text) + u'"';
}

// The engine sums a text it cannot read as a number as 0, and a blob as
// whatever number its bytes begin with. A sum that is not a whole number
// means some answer behind it is not: each such answer is looked at, and one
// that is not a whole number stops the cell from being shown at all, since
// its mean would be wrong without a sign of it.
qint64 sumOfWholeNumbers(const Database& db, const QVariant& sum, const QString& surveySet,
                         qint64 rowNumber, qint64 colNumber)
{
    Recordset rs =
        db.CreateQueryDef(Sql::SelectOddAnswers(surveySet, rowNumber, colNumber)).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QVariant answer = rs.Fields(QStringLiteral("answer"));
        if (answer.isNull())
            continue;
        // A whole number stored as text or as 3.0 is summed right; a blob,
        // whatever its bytes, is no number.
        if (answer.typeId() != QMetaType::QByteArray) {
            try {
                CInt64(answer, QString());
                continue;
            } catch (const QueltError&) {
            }
        }
        bool number = false;
        answer.toString().trimmed().toDouble(&number);
        throw QueltError(
            QStringLiteral("Survey %1 has the answer %2 to question %3, which is not %4, so the "
                           "results of its cell (model row %5, model column %6) cannot be shown; "
                           "run quelt-db check on the file.")
                .arg(CText(rs.Fields(QStringLiteral("survey"))), shownValue(answer),
                     CText(rs.Fields(QStringLiteral("question"))),
                     number ? QStringLiteral("a whole number") : QStringLiteral("a number"))
                .arg(rowNumber)
                .arg(colNumber),
            {}, {}, db.FileName());
    }
    return CInt64(sum, QStringLiteral("The sum of the answers in model row %1, model column %2")
                           .arg(rowNumber)
                           .arg(colNumber));
}

CellTotals readTotals(const Database& db, const QString& sql, bool combined,
                      const QString& surveySet, qint64 rowNumber, qint64 colNumber)
{
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    CellTotals cell;
    if (rs.Eof())
        return cell;
    cell.count = rs.FieldInt64(QStringLiteral("iCount"));
    if (combined)
        cell.surveys = rs.FieldInt64(QStringLiteral("iSurveys"));
    // The sum of no answers is null.
    if (cell.count == 0)
        return cell;
    const QVariant sum = rs.Fields(QStringLiteral("iSum"));
    if (sum.typeId() == QMetaType::LongLong) {
        cell.sum = sum.toLongLong();
        return cell;
    }
    rs.Close();
    cell.sum = sumOfWholeNumbers(db, sum, surveySet, rowNumber, colNumber);
    return cell;
}

// A server answers every cell in one statement, one round trip whatever the
// model's size; the cells it leaves out have no answers, as the per-cell
// statement gives them.
QList<CellTotals> readGroupedTotals(const Database& db, const QString& sql,
                                    const QList<qint64>& rowNumbers,
                                    const QList<qint64>& colNumbers, bool combined)
{
    QHash<QPair<qint64, qint64>, CellTotals> answered;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        CellTotals cell;
        cell.count = rs.FieldInt64(QStringLiteral("iCount"));
        if (cell.count > 0)
            cell.sum = rs.FieldInt64(QStringLiteral("iSum"));
        if (combined)
            cell.surveys = rs.FieldInt64(QStringLiteral("iSurveys"));
        answered.insert(
            {rs.FieldInt64(QStringLiteral("row_id")), rs.FieldInt64(QStringLiteral("col_id"))},
            cell);
        rs.MoveNext();
    }
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(answered.value({row, col}));
    return cells;
}

} // namespace

CellTotals ReadCellTotals(const Database& db, SurveyNumber survey, qint64 rowNumber,
                          qint64 colNumber)
{
    return readTotals(db, Sql::SelectCellSum(survey, rowNumber, colNumber), false,
                      DecimalText(survey), rowNumber, colNumber);
}

QList<CellTotals> ReadSurveyTotals(const Database& db, SurveyNumber survey,
                                   const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
    if (db.IsServer())
        return readGroupedTotals(db, Sql::Server::SelectSurveyCellSums(survey), rowNumbers,
                                 colNumbers, false);
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    ReadTransaction snapshot(db);
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(ReadCellTotals(db, survey, row, col));
    snapshot.Commit();
    return cells;
}

QList<CellTotals> ReadCombinedTotals(const Database& db, const QList<SurveyNumber>& surveys,
                                     const QList<qint64>& rowNumbers,
                                     const QList<qint64>& colNumbers)
{
    // Every survey there is: let the engine read them rather than a long list.
    QString set = Sql::SelectSurveyIds();
    if (!surveys.isEmpty()) {
        QStringList numbers;
        for (SurveyNumber survey : surveys)
            numbers.append(DecimalText(survey));
        set = numbers.join(u',');
    }
    if (db.IsServer())
        return readGroupedTotals(db, Sql::Server::SelectCellsOverSurveys(set), rowNumbers,
                                 colNumbers, true);
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    ReadTransaction snapshot(db);
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(
                readTotals(db, Sql::SelectCellOverSurveys(set, row, col), true, set, row, col));
    snapshot.Commit();
    return cells;
}

namespace {

// One line as the engine writes it: a JSON array of numbers, strings and
// nulls, in the stored bytes of its texts (which need not be UTF-8). Read by
// hand into one buffer that every line reuses, since a document object per
// line costs more than the query itself.
class AnswerLineReader
{
public:
    const QList<QByteArrayView>& Read(QByteArrayView json)
    {
        m_text.resize(0);
        m_ends.clear();
        const char* p = json.begin();
        const char* end = json.end();
        while (p < end && *p != '[')
            ++p;
        if (p < end)
            ++p;
        while (p < end && *p != ']') {
            if (*p == '"')
                p = string(p + 1, end);
            else if (*p == ',' || *p == ' ' || *p == '\n' || *p == '\t' || *p == '\r')
                ++p;
            else
                p = scalar(p, end);
        }
        m_fields.clear();
        qsizetype start = 0;
        for (qsizetype stop : m_ends) {
            m_fields.append(QByteArrayView(m_text).sliced(start, stop - start));
            start = stop;
        }
        return m_fields;
    }

private:
    const char* string(const char* p, const char* end)
    {
        while (p < end && *p != '"') {
            const char* run = p;
            while (p < end && *p != '"' && *p != '\\')
                ++p;
            m_text.append(run, p - run);
            if (p >= end || *p != '\\')
                continue;
            if (p + 1 >= end)
                break;
            const char c = *++p;
            ++p;
            switch (c) {
            case 'n':
                m_text += '\n';
                break;
            case 'r':
                m_text += '\r';
                break;
            case 't':
                m_text += '\t';
                break;
            case 'b':
                m_text += '\b';
                break;
            case 'f':
                m_text += '\f';
                break;
            case 'u':
                p = escaped(p, end);
                break;
            default: // \" \\ \/
                m_text += c;
            }
        }
        m_ends.append(m_text.size());
        return p < end ? p + 1 : p;
    }

    // The character of a \uXXXX escape (a pair of them for one beyond the
    // first 65,536), in UTF-8.
    const char* escaped(const char* p, const char* end)
    {
        if (end - p < 4)
            return end;
        char32_t c = QByteArrayView(p, 4).toUShort(nullptr, 16);
        p += 4;
        if (QChar::isHighSurrogate(c) && end - p >= 6 && p[0] == '\\' && p[1] == 'u') {
            const char16_t low = QByteArrayView(p + 2, 4).toUShort(nullptr, 16);
            if (QChar::isLowSurrogate(low)) {
                c = QChar::surrogateToUcs4(char16_t(c), low);
                p += 6;
            }
        }
        m_text += QString::fromUcs4(&c, 1).toUtf8();
        return p;
    }

    // A number as few digits as give the stored number back (3, 2.5, 0.1), or
    // null as an empty text.
    const char* scalar(const char* p, const char* end)
    {
        const char* start = p;
        bool whole = true;
        while (p < end && *p != ',' && *p != ']') {
            whole = whole && ((*p >= '0' && *p <= '9') || (p == start && *p == '-'));
            ++p;
        }
        const QByteArrayView token(start, p);
        if (token != "null") {
            if (whole)
                m_text += token;
            else
                m_text += QByteArray::number(token.toDouble(), 'g', QLocale::FloatingPointShortest);
        }
        m_ends.append(m_text.size());
        return p;
    }

    QByteArray m_text;
    QList<qsizetype> m_ends;
    QList<QByteArrayView> m_fields;
};

} // namespace

namespace {

void readLines(const Database& db, const QString& sql,
               const std::function<void(const QList<QByteArrayView>&)>& line)
{
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    AnswerLineReader reader;
    const QString column = QStringLiteral("line");
    while (!rs.Eof()) {
        line(reader.Read(rs.FieldStored(column).bytes));
        rs.MoveNext();
    }
}

} // namespace

void ReadAnswerLines(const Database& db,
                     const std::function<void(const QList<QByteArrayView>&)>& line,
                     bool withStorers)
{
    readLines(db,
              withStorers     ? Sql::Server::SelectAnswerLinesWithStorers()
              : db.IsServer() ? Sql::Server::SelectAnswerLines()
                              : Sql::SelectAnswerLines(),
              line);
}

void ReadMovedAnswerLines(const Database& db,
                          const std::function<void(const QList<QByteArrayView>&)>& line,
                          bool withStorers)
{
    if (!Schema::HasHistoryTables(db))
        return;
    readLines(db,
              db.IsServer() ? Sql::Server::SelectMovedAnswerLines(withStorers)
                            : Sql::SelectMovedAnswerLines(),
              line);
}
