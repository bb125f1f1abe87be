#include "data/Answers.h"

#include "data/Corrections.h"
#include "data/FileChecks.h"
#include "data/Schema.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <optional>

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

// With `first`, nothing is kept where the cell holds more than the answers
// just stored.
std::optional<StoredInCell>
storeInCell(Database& db, SurveyNumber survey, const QList<Answer>& answers, qint64 rowNumber,
            qint64 colNumber, void (*store)(Database&, SurveyNumber, const QList<Answer>&),
            bool first = false)
{
    Transaction batch(db);
    store(db, survey, answers);
    const StoredInCell stored = ReadStoredInCell(db, survey, rowNumber, colNumber);
    if (first && stored.answers != answers.size())
        return std::nullopt;
    batch.Commit();
    return stored;
}

} // namespace

StoredInCell StoreCellAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                              qint64 rowNumber, qint64 colNumber)
{
    return *storeInCell(db, survey, answers, rowNumber, colNumber, StoreAnswers);
}

std::optional<StoredInCell> StoreFirstCellAnswers(Database& db, SurveyNumber survey,
                                                  const QList<Answer>& answers, qint64 rowNumber,
                                                  qint64 colNumber)
{
    return storeInCell(db, survey, answers, rowNumber, colNumber, StoreAnswers, true);
}

StoredInCell ReplaceCellAnswers(Database& db, SurveyNumber survey, const QList<Answer>& answers,
                                qint64 rowNumber, qint64 colNumber)
{
    return *storeInCell(db, survey, answers, rowNumber, colNumber, ReplaceAnswers);
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

using CellKey = QPair<qint64, qint64>;

// The cells the numbers span, row by row; those nothing was read for have no
// answers. A number the model holds twice gets its cell twice.
QList<CellTotals> inGridOrder(const QHash<CellKey, CellTotals>& answered,
                              const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
    QList<CellTotals> cells;
    cells.reserve(rowNumbers.size() * colNumbers.size());
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            cells.append(answered.value({row, col}));
    return cells;
}

// A server answers every cell in one statement, one round trip whatever the
// model's size.
QList<CellTotals> readServerTotals(const Database& db, const QString& sql,
                                   const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers,
                                   bool combined)
{
    QHash<CellKey, CellTotals> answered;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        CellTotals cell;
        cell.count = rs.FieldInt64(QStringLiteral("iCount"));
        if (cell.count > 0)
            cell.sum = rs.FieldInt64(QStringLiteral("iSum"));
        cell.outside = rs.FieldInt64(QStringLiteral("iOutside"));
        if (combined)
            cell.surveys = rs.FieldInt64(QStringLiteral("iSurveys"));
        answered.insert(
            {rs.FieldInt64(QStringLiteral("row_id")), rs.FieldInt64(QStringLiteral("col_id"))},
            cell);
        rs.MoveNext();
    }
    return inGridOrder(answered, rowNumbers, colNumbers);
}

// Whether the engine runs a statement by reading the rows of its first table
// once and finding everything else by look-up: no scan after the first and
// nothing run again for every row. Its work then follows the rows read,
// whatever the file's statistics made the engine expect.
bool boundedPlan(const Database& db, const QString& sql)
{
    Recordset rs = db.CreateQueryDef(Sql::ExplainPlan(sql)).OpenRecordset();
    int loops = 0;
    for (; !rs.Eof(); rs.MoveNext()) {
        const QString detail = rs.FieldText(QStringLiteral("detail"));
        if (detail.startsWith(QLatin1String("CORRELATED")))
            return false;
        const bool scan = detail.startsWith(QLatin1String("SCAN "));
        if (rs.FieldInt64(QStringLiteral("parent")) != 0 ||
            (!scan && !detail.startsWith(QLatin1String("SEARCH "))))
            continue;
        if (scan && loops > 0)
            return false;
        ++loops;
    }
    return true;
}

// The first way of reading the grid's answers, of those the file's indexes
// allow, that the engine runs as it is told: for one survey a range of its
// answers, for several (most often all) question by question, which finds
// them in the cells' order, else the other; failing both, every answer once
// over, whatever the engine makes of that, within the action's limit.
Sql::AnswerPlan choosePlan(const Database& db, const Sql::SurveySet& surveys,
                           const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
    using Kind = Sql::AnswerPlan::Kind;
    const Kind order[2] = {surveys.several ? Kind::ByQuestion : Kind::BySurvey,
                           surveys.several ? Kind::BySurvey : Kind::ByQuestion};
    const QList<IndexShape> indexes = ReadIndexShapes(db, QStringLiteral("survey_results"));
    for (const Kind kind : order) {
        const QStringList columns =
            kind == Kind::BySurvey
                ? QStringList{QStringLiteral("survey_id")}
                : QStringList{QStringLiteral("question_id"), QStringLiteral("survey_id")};
        const Sql::AnswerPlan plan{kind, IndexesBeginningWith(indexes, columns).complete};
        if (!plan.index.isEmpty() &&
            boundedPlan(db, Sql::SelectGridSums(surveys, rowNumbers, colNumbers, plan)))
            return plan;
    }
    return {};
}

QString shownValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray) {
        const qsizetype bytes = value.toByteArray().size();
        return QStringLiteral("a blob of %1 byte%2").arg(bytes).arg(bytes == 1 ? "" : "s");
    }
    const QString text = value.toString();
    return u'"' + (text.size() > 40 ? text.left(40) + QStringLiteral("...") : text) + u'"';
}

qint64 wholeOrNone(const Recordset& rs, const QString& field)
{
    return rs.Fields(field).isNull() ? 0 : rs.FieldInt64(field);
}

// What an answer added to the engine's sums, from its two halves.
AnswerSum halves(const Recordset& rs)
{
    return AnswerSum(wholeOrNone(rs, QStringLiteral("iHigh"))) * (AnswerSum(1) << 32) +
           wholeOrNone(rs, QStringLiteral("iLow"));
}

// The engine reads a text that is not a number as 0, and a blob or 2.5 as
// the number it begins with: each answer it does not hold as a whole number
// is looked at here, and what the engine made of it taken back out. A whole
// number stored as text or as 3.0 counts as that number; anything else stops
// the first cell that holds one from being shown at all, since its mean
// would be wrong without a sign of it.
void correctOddAnswers(const Database& db, const QString& sql, QHash<CellKey, CellTotals>& answered,
                       const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
    QHash<CellKey, QString> refused;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const CellKey key{rs.FieldInt64(QStringLiteral("row_number")),
                          rs.FieldInt64(QStringLiteral("col_number"))};
        CellTotals& cell = answered[key];
        cell.sum -= halves(rs);
        cell.outside -= wholeOrNone(rs, QStringLiteral("iOutside"));
        const QVariant answer = rs.Fields(QStringLiteral("answer"));
        if (answer.typeId() != QMetaType::QByteArray) {
            try {
                const qint64 whole = CInt64(answer, QString());
                cell.sum += whole;
                cell.outside += whole < 0 || whole > 4 ? 1 : 0;
                continue;
            } catch (const QueltError&) {
            }
        }
        if (refused.contains(key))
            continue;
        bool number = false;
        answer.toString().trimmed().toDouble(&number);
        refused.insert(
            key, QStringLiteral("Survey %1 has the answer %2 to question %3, which is not %4, so "
                                "the results of its cell (model row %5, model column %6) cannot "
                                "be shown; run quelt-db check on the file.")
                     .arg(CText(rs.Fields(QStringLiteral("survey"))), shownValue(answer),
                          CText(rs.Fields(QStringLiteral("question"))),
                          number ? QStringLiteral("a whole number") : QStringLiteral("a number"))
                     .arg(key.first)
                     .arg(key.second));
    }
    for (qint64 row : rowNumbers)
        for (qint64 col : colNumbers)
            if (refused.contains({row, col}))
                throw QueltError(refused.value({row, col}), {}, {}, db.FileName());
}

// A cell's row_id or col_id as stored, as the number `row_id = n` finds it
// by, when the engine holds it as a number: a whole number as it is, a whole
// 3.0 as 3; nothing for one that no number finds (2.5, null, a blob).
// `text` is set for a text, which only the column's own type can tell.
std::optional<qint64> cellNumber(const QVariant& value, bool& text)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (d >= -9.2e18 && d <= 9.2e18 && d == double(qint64(d)))
            return qint64(d);
        return std::nullopt;
    }
    case QMetaType::QString:
        text = !value.isNull();
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

// The usual file, every answer a whole number from 0 to 4 and every cell
// numbered by numbers: the engine's own sums are right. False, with nothing
// kept, where an answer is anything else, or so large that the engine's sum
// fails, or a cell is numbered by a text.
bool readPlainTotals(const Database& db, const QString& sql, QHash<CellKey, CellTotals>& answered,
                     bool several)
{
    const auto score = [](const QVariant& v) {
        return v.typeId() == QMetaType::LongLong && v.toLongLong() >= 0 && v.toLongLong() <= 4;
    };
    const auto giveUp = [&answered] {
        answered.clear();
        return false;
    };
    try {
        Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
        for (; !rs.Eof(); rs.MoveNext()) {
            bool text = false;
            const std::optional<qint64> row =
                cellNumber(rs.Fields(QStringLiteral("row_value")), text);
            const std::optional<qint64> col =
                cellNumber(rs.Fields(QStringLiteral("col_value")), text);
            const qint64 count = rs.FieldInt64(QStringLiteral("iCount"));
            if (text ||
                (count > 0 && (rs.Fields(QStringLiteral("iSum")).typeId() != QMetaType::LongLong ||
                               !score(rs.Fields(QStringLiteral("iLowest"))) ||
                               !score(rs.Fields(QStringLiteral("iHighest"))))))
                return giveUp();
            if (!row || !col)
                continue;
            CellTotals& cell = answered[{*row, *col}];
            cell.count += count;
            cell.sum += count > 0 ? rs.FieldInt64(QStringLiteral("iSum")) : 0;
            if (several)
                cell.surveys += rs.FieldInt64(QStringLiteral("iSurveys"));
        }
    } catch (const QueltError& e) {
        if (e.engineText() != QLatin1String("integer overflow"))
            throw;
        return giveUp();
    }
    return true;
}

// Every answer summed by the engine in two halves, and what it does not
// hold as a whole number put right by the program.
void readExactTotals(const Database& db, const Sql::SurveySet& surveys,
                     const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers,
                     const Sql::AnswerPlan& plan, QHash<CellKey, CellTotals>& answered)
{
    bool odd = false;
    Recordset rs = db.CreateQueryDef(Sql::SelectGridTotals(surveys, rowNumbers, colNumbers, plan))
                       .OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        // The cell's groups, should values the engine groups apart (3 and
        // '3') both address it.
        CellTotals& cell = answered[{rs.FieldInt64(QStringLiteral("row_number")),
                                     rs.FieldInt64(QStringLiteral("col_number"))}];
        cell.count += rs.FieldInt64(QStringLiteral("iCount"));
        cell.sum += halves(rs);
        cell.outside += wholeOrNone(rs, QStringLiteral("iOutside"));
        if (surveys.several)
            cell.surveys += rs.FieldInt64(QStringLiteral("iSurveys"));
        odd = odd || wholeOrNone(rs, QStringLiteral("iOdd")) > 0;
    }
    rs.Close();
    if (odd)
        correctOddAnswers(db, Sql::SelectGridOddAnswers(surveys, rowNumbers, colNumbers, plan),
                          answered, rowNumbers, colNumbers);
}

// A file's cells in one grouped statement, or two where an answer is not a
// score.
QList<CellTotals> readFileTotals(const Database& db, const Sql::SurveySet& surveys,
                                 const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
    ReadTransaction snapshot(db);
    const Sql::AnswerPlan plan = choosePlan(db, surveys, rowNumbers, colNumbers);
    QHash<CellKey, CellTotals> answered;
    if (!readPlainTotals(db, Sql::SelectGridSums(surveys, rowNumbers, colNumbers, plan), answered,
                         surveys.several))
        readExactTotals(db, surveys, rowNumbers, colNumbers, plan, answered);
    snapshot.Commit();
    return inGridOrder(answered, rowNumbers, colNumbers);
}

} // namespace

QList<CellTotals> ReadSurveyTotals(const Database& db, SurveyNumber survey,
                                   const QList<qint64>& rowNumbers, const QList<qint64>& colNumbers)
{
    if (db.IsServer())
        return readServerTotals(db, Sql::Server::SelectSurveyCellSums(survey), rowNumbers,
                                colNumbers, false);
    return readFileTotals(db, {DecimalText(survey), false}, rowNumbers, colNumbers);
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
        return readServerTotals(db, Sql::Server::SelectCellsOverSurveys(set), rowNumbers,
                                colNumbers, true);
    return readFileTotals(db, {set, true}, rowNumbers, colNumbers);
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
                              : Sql::SelectAnswerLines(StoredOrder(
                                    db, QStringLiteral("survey_results"), QStringLiteral("r."))),
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
                            : Sql::SelectMovedAnswerLines(StoredOrder(
                                  db, QStringLiteral("history_answer"), QStringLiteral("r."))),
              line);
}
