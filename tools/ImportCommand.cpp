#include "Command.h"
#include "Text.h"
#include "data/Csv.h"

#include "data/Model.h"
#include "data/Questions.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <climits>
#include <limits>
#include <optional>

namespace {

constexpr qint64 kLargestId = std::numeric_limits<qint16>::max();

struct Utf8Text
{
    QString text; // bytes that are not UTF-8 read as U+FFFD
    QSet<int> faultyLines;
};

// The file's text, and the lines with bytes that are not UTF-8: those are
// named rather than the file refused as a whole, so one run shows every line
// to mend.
Utf8Text readUtf8(const QString& path)
{
    QFile f(path);
    const QString shown = QFileInfo(path).absoluteFilePath();
    if (!f.open(QIODevice::ReadOnly))
        throw QueltError(
            QStringLiteral("The file %1 could not be read: %2").arg(shown, f.errorString()));
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    Utf8Text result;
    QStringDecoder decode(QStringDecoder::Utf8);
    result.text = decode(bytes);
    if (!decode.hasError())
        return result;
    // Line ends as the CSV reader counts them: LF, CR LF or CR alone.
    int line = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        const bool end = i == bytes.size() || bytes.at(i) == '\n' || bytes.at(i) == '\r';
        if (!end)
            continue;
        QStringDecoder one(QStringDecoder::Utf8);
        const QString decoded = one(QByteArrayView(bytes).sliced(start, i - start));
        if (one.hasError())
            result.faultyLines.insert(line);
        if (i + 1 < bytes.size() && bytes.at(i) == '\r' && bytes.at(i + 1) == '\n')
            ++i;
        ++line;
        start = i + 1;
    }
    return result;
}

QSet<qint64> modelNumbers(const QList<ModelLine>& lines)
{
    QSet<qint64> numbers;
    for (const ModelLine& line : lines)
        numbers.insert(CInt64(line.number, QStringLiteral("A model number")));
    return numbers;
}

QString fieldName(qsizetype at)
{
    static const QStringList names = {QStringLiteral("row number"), QStringLiteral("column number"),
                                      QStringLiteral("label"), QStringLiteral("text")};
    return at < names.size() ? names.at(at) : QStringLiteral("field %1").arg(at + 1);
}

bool isHeader(const QStringList& fields)
{
    QStringList names;
    for (const QString& f : fields)
        names.append(f.trimmed().toLower());
    return names == QStringList{QStringLiteral("row"), QStringLiteral("col"),
                                QStringLiteral("label"), QStringLiteral("text")};
}

} // namespace

int RunImportQuestions(const QStringList& args, QTextStream& out)
{
    const Options options(args, {});
    const QStringList files = options.expect(2, QStringLiteral("LOCATION and QUESTIONS.csv"));
    const QString csvName = files.at(1);
    const Utf8Text file = readUtf8(csvName);
    const CsvText csv = ParseCsv(file.text);

    Database db = OpenSurveyDatabase(files.at(0));
    const QSet<qint64> rows = modelNumbers(ReadModelRows(db));
    const QSet<qint64> cols = modelNumbers(ReadModelColumns(db));
    const qint64 firstId = ReadLargestQuestionNumber(db) + 1;

    // Every line is checked before anything is stored, so that one run names
    // every fault and a file with any fault adds nothing.
    QList<CsvProblem> problems = csv.problems;
    QList<NewQuestion> questions;
    qsizetype dataLines = 0;
    for (qsizetype i = 0; i < csv.rows.size(); ++i) {
        const CsvRow& row = csv.rows.at(i);
        if (row.fields.size() == 1 && row.fields.first().trimmed().isEmpty())
            continue; // a blank line
        if (i == 0 && isHeader(row.fields))
            continue;
        auto problem = [&](const QString& what) { problems.append({row.line, what}); };
        // A NUL would cut the stored text short and a byte that is not UTF-8
        // would be stored as something else: both are named field by field.
        const int lastLine = i + 1 < csv.rows.size() ? csv.rows.at(i + 1).line - 1 : INT_MAX;
        bool notUtf8 = false;
        for (int line : file.faultyLines)
            notUtf8 = notUtf8 || (line >= row.line && line <= lastLine);
        QList<bool> storable;
        for (qsizetype f = 0; f < row.fields.size(); ++f) {
            const QString& field = row.fields.at(f);
            const bool nul = field.contains(QChar(u'\0'));
            const bool bytes = notUtf8 && field.contains(QChar(QChar::ReplacementCharacter));
            if (nul)
                problem(QStringLiteral("the %1 holds a NUL character (\\x00), which cannot be "
                                       "stored")
                            .arg(fieldName(f)));
            if (bytes)
                problem(
                    QStringLiteral("the %1 holds bytes that are not UTF-8 text").arg(fieldName(f)));
            storable.append(!nul && !bytes);
        }
        if (notUtf8 && !storable.contains(false))
            problem(QStringLiteral("the line holds bytes that are not UTF-8 text"));
        const qint64 id = firstId + dataLines++;
        if (id > kLargestId)
            problem(QStringLiteral("its question would be number %1, beyond the largest, %2")
                        .arg(id)
                        .arg(kLargestId));
        if (row.fields.size() != 4) {
            problem(QStringLiteral("%1 fields where four are needed: row, col, label, text")
                        .arg(row.fields.size()));
            continue;
        }
        auto number = [&](const QString& text, const QSet<qint64>& known,
                          const QString& what) -> std::optional<qint16> {
            bool ok = false;
            const qint64 n = text.trimmed().toLongLong(&ok);
            if (!ok) {
                problem(QStringLiteral("the %1 number %2 is not a whole number")
                            .arg(what, Quoted(text)));
                return std::nullopt;
            }
            if (n < std::numeric_limits<qint16>::min() || n > kLargestId) {
                problem(
                    QStringLiteral("the %1 number %2 is beyond -32768 to 32767").arg(what).arg(n));
                return std::nullopt;
            }
            if (!known.contains(n)) {
                problem(QStringLiteral("the model has no %1 numbered %2").arg(what).arg(n));
                return std::nullopt;
            }
            return qint16(n);
        };
        const auto r =
            storable.at(0) ? number(row.fields.at(0), rows, QStringLiteral("row")) : std::nullopt;
        const auto c = storable.at(1) ? number(row.fields.at(1), cols, QStringLiteral("column"))
                                      : std::nullopt;
        if (r && c && !storable.contains(false))
            questions.append({row.fields.at(2), row.fields.at(3), *r, *c});
    }

    const QString path = db.FileName();
    if (!problems.isEmpty()) {
        const QString csvShown = QFileInfo(csvName).absoluteFilePath();
        const QString message =
            QStringLiteral("%1 %2 in %3; no question was added to %4.")
                .arg(problems.size())
                .arg(problems.size() == 1 ? QStringLiteral("problem") : QStringLiteral("problems"),
                     csvShown, path);
        std::stable_sort(problems.begin(), problems.end(),
                         [](const CsvProblem& a, const CsvProblem& b) { return a.line < b.line; });
        QStringList lines;
        for (const CsvProblem& p : problems)
            lines.append(QStringLiteral("%1, line %2: %3")
                             .arg(QFileInfo(csvName).fileName())
                             .arg(p.line)
                             .arg(p.what));
        throw QueltError(message).withLines(lines);
    }
    if (questions.isEmpty()) {
        out << "No questions in " << Visible(csvName) << "; nothing was added.\n";
        return 0;
    }

    Transaction batch(db);
    for (const NewQuestion& question : questions)
        StoreQuestion(db, question);
    // The engine may number beyond the largest stored (a table that never
    // reuses numbers); nothing is kept that the windows could not hold.
    const qint64 lastId = ReadLargestQuestionNumber(db);
    if (lastId > kLargestId)
        throw QueltError(QStringLiteral("The questions would be numbered up to %1, beyond the "
                                        "largest, %2; none was added to %3.")
                             .arg(lastId)
                             .arg(kLargestId)
                             .arg(path));
    batch.Commit();
    out << "Added " << questions.size() << (questions.size() == 1 ? " question" : " questions")
        << " to " << Visible(path) << ", numbered " << lastId - questions.size() + 1 << " to "
        << lastId << ".\n";
    return 0;
}
