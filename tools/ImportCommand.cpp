#include "Command.h"
#include "Csv.h"

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
#include <limits>
#include <optional>

namespace {

constexpr qint64 kLargestId = std::numeric_limits<qint16>::max();

QString readUtf8(const QString& path)
{
    QFile f(path);
    const QString shown = QFileInfo(path).absoluteFilePath();
    if (!f.open(QIODevice::ReadOnly))
        throw QueltError(
            QStringLiteral("The file %1 could not be read: %2").arg(shown, f.errorString()));
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decode(QStringDecoder::Utf8);
    QString text = decode(bytes);
    if (decode.hasError())
        throw QueltError(QStringLiteral("The file %1 is not UTF-8 text.").arg(shown));
    return text;
}

QSet<qint64> modelNumbers(const QList<ModelLine>& lines)
{
    QSet<qint64> numbers;
    for (const ModelLine& line : lines)
        numbers.insert(CInt64(line.number, QStringLiteral("A model number")));
    return numbers;
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
    const QStringList files = options.expect(2, QStringLiteral("FILE and QUESTIONS.csv"));
    const QString csvName = files.at(1);
    const CsvText csv = ParseCsv(readUtf8(csvName));

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
                problem(
                    QStringLiteral("the %1 number \"%2\" is not a whole number").arg(what, text));
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
        const auto r = number(row.fields.at(0), rows, QStringLiteral("row"));
        const auto c = number(row.fields.at(1), cols, QStringLiteral("column"));
        if (r && c)
            questions.append({row.fields.at(2), row.fields.at(3), *r, *c});
    }

    const QString path = db.FileName();
    if (!problems.isEmpty()) {
        const QString csvShown = QFileInfo(csvName).absoluteFilePath();
        QString message =
            QStringLiteral("%1 %2 in %3; no question was added to %4.")
                .arg(problems.size())
                .arg(problems.size() == 1 ? QStringLiteral("problem") : QStringLiteral("problems"),
                     csvShown, path);
        std::stable_sort(problems.begin(), problems.end(),
                         [](const CsvProblem& a, const CsvProblem& b) { return a.line < b.line; });
        for (const CsvProblem& p : problems)
            message += QStringLiteral("\n%1, line %2: %3")
                           .arg(QFileInfo(csvName).fileName())
                           .arg(p.line)
                           .arg(p.what);
        throw QueltError(message);
    }
    if (questions.isEmpty()) {
        out << "No questions in " << csvName << "; nothing was added.\n";
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
        << " to " << path << ", numbered " << lastId - questions.size() + 1 << " to " << lastId
        << ".\n";
    return 0;
}
