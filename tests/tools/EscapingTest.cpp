#include "ToolRun.h"
#include "common/TestRegistry.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kScript = QStringLiteral("x</title><script>alert(1)</script><title>");
const QString kDde = QStringLiteral("=cmd|' /C calc'!A0");

// Stored texts that try what a text can do to whatever shows it: markup,
// spreadsheet formulas, terminal controls (C0, C1, DEL), wide characters; and
// a file name that would hide a line on a terminal.
struct HostileFile
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("q\r\x1b[2Kquelt.mdb"));

    HostileFile()
    {
        quelt_db({"init", path, "--rows", "Plain;日本語の行;Bell", "--cols", "Smith & Sons;Col"});
        execute(path, {"UPDATE model_row SET name = 'Bell' || char(7, 27) || ']0;pwned' || "
                       "char(7, 10) || 'x' || char(127, 155) || '2J' WHERE row_number = 2",
                       "UPDATE model_column SET name = '" + QString(kDde).replace("'", "''") +
                           "' WHERE col_number = 1",
                       "INSERT INTO survey VALUES (1, '" + kScript + "', 'Smith & Sons')",
                       "INSERT INTO question (label, question_text, row_id, col_id) VALUES "
                       "('+1+2', '-2+3', 0, 0), ('-1', char(9) || 'tab', 1, 1), "
                       "('@SUM(A1)', char(13) || 'cr', 2, 0)",
                       "INSERT INTO survey_results VALUES (1, 1, 3), (1, 2, 4), (1, 3, 0), "
                       "('1' || char(27) || ']0;pwned', 1, 1)",
                       "INSERT INTO history_change VALUES (1, 'now', 'me', 'label' || char(27) "
                       "|| ']0;pwned', NULL, 1, NULL, NULL, 'a', 'b', 0)"});
    }
    QString file(const QString& name) const { return dir.filePath(name); }
};

QString xpath(const QString& file, const QString& expression)
{
    return consumer("xmllint", {"--xpath", expression, file}).out.trimmed();
}

// Every cell as Python's csv module reads the file.
QStringList pythonCells(const QString& csv)
{
    const Run r = consumer("python3",
                           {"-c", "import csv, io, json, sys\n"
                                  "rows = csv.reader(io.TextIOWrapper(sys.stdin.buffer, "
                                  "encoding='utf-8', newline=''))\n"
                                  "json.dump([cell for row in rows for cell in row], sys.stdout)"},
                           csv.toUtf8());
    QStringList cells;
    for (const QJsonValue& cell : QJsonDocument::fromJson(r.out.toUtf8()).array())
        cells << cell.toString();
    return cells;
}

} // namespace

class EscapingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void svgAndPdfHoldStoredTextsAsText()
    {
        HostileFile f;
        const QString svg = f.file("r.svg");
        const QString pdf = f.file("r.pdf");
        QCOMPARE(quelt_db({"report", f.path, "--survey", "1", "--output", svg}).status, 0);
        QCOMPARE(quelt_db({"report", f.path, "--survey", "1", "--output", pdf}).status, 0);

        const Run parsed = consumer("xmllint", {"--noout", svg});
        QVERIFY2(parsed.status == 0, qPrintable(parsed.err));
        QCOMPARE(xpath(svg, "count(//*[local-name()='script'])"), QStringLiteral("0"));
        QCOMPARE(xpath(svg, "string(//*[local-name()='title'])"),
                 "Survey 1: " + kScript + ", Smith & Sons");
        QCOMPARE(xpath(svg, "count(//*[local-name()='desc'][contains(., 'Smith & Sons')])"),
                 QStringLiteral("1"));

        // The document's metadata is markup too.
        const QByteArray document = fileBytes(pdf);
        const qsizetype begin = document.indexOf("<?xpacket begin");
        const qsizetype end = document.indexOf("<?xpacket end");
        QVERIFY(begin >= 0 && end > begin);
        const Run metadata =
            consumer("xmllint", {"--noout", "-"}, document.mid(begin, end - begin + 20));
        QVERIFY2(metadata.status == 0, qPrintable(metadata.err));
    }

    void spreadsheetsRunNoStoredFormula_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("cells"); // among those Python reads
        QTest::addColumn<bool>("asStored");
        QTest::newRow("export") << QStringList{"export"}
                                << QStringList{"'+1+2", "'-2+3",    "-1", "'\ttab", "'@SUM(A1)",
                                               "'\rcr", "'" + kDde, "3",  "4",      "0"}
                                << false;
        QTest::newRow("export --raw")
            << QStringList{"export", "--raw"}
            << QStringList{"+1+2", "-2+3", "-1", "\ttab", "@SUM(A1)", "\rcr", kDde} << true;
        QTest::newRow("csv report") << QStringList{"report", "--all", "--format", "csv"}
                                    << QStringList{"'" + kDde, "Smith & Sons", "3.00"} << false;
        QTest::newRow("csv report --raw")
            << QStringList{"report", "--all", "--format", "csv", "--raw"} << QStringList{kDde}
            << true;
    }

    void spreadsheetsRunNoStoredFormula()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, cells);
        QFETCH(bool, asStored);
        HostileFile f;
        args.insert(1, f.path);
        const Run r = quelt_db(args);
        QCOMPARE(r.status, 0);
        const QStringList read = pythonCells(r.out);
        for (const QString& cell : cells)
            QVERIFY2(read.contains(cell), qPrintable(cell));
        // Nothing a spreadsheet would run is left, but numbers are numbers.
        static const QRegularExpression formula(QStringLiteral("^[=+\\-@\t\r]"));
        static const QRegularExpression number(QStringLiteral("^[+-]?[0-9.]+$"));
        for (const QString& cell : read)
            QVERIFY2(asStored || !cell.contains(formula) || cell.contains(number),
                     qPrintable(cell));
    }

    void terminalTableShowsControlsVisiblyAndStaysAligned()
    {
        HostileFile f;
        const Run r = quelt_db({"report", f.path, "--survey", "1"});
        QCOMPARE(r.status, 0);
        for (QChar c : r.out)
            QVERIFY2((c >= u' ' && (c < u'\x7f' || c > u'\x9f')) || c == u'\n',
                     qPrintable(QString::number(c.unicode(), 16)));
        QVERIFY(r.out.contains(QStringLiteral("Bell\\x07\\e]0;pwned\\x07\\nx\\x7f\\u009b2J")));
        QVERIFY(r.out.startsWith("Survey 1: " + kScript));

        // The table's lines as a terminal lays them out: the kana and kanji
        // take two columns each.
        QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts).mid(1);
        QCOMPARE(lines.size(), 4);
        for (const QString& line : lines) {
            int columns = 0;
            for (QChar c : line)
                columns += c >= u'\x3040' && c <= u'\x9fff' ? 2 : 1;
            QCOMPARE(columns, int(lines.first().size()));
        }
    }

    // On a terminal nothing from the file or the command line is obeyed:
    // data, problem lines and messages alike show every control character.
    void terminalShowsWhatItWouldObey_data()
    {
        QTest::addColumn<QStringList>("args"); // the file's path goes second
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("shown");
        const QString name = "q\\r\\e[2Kquelt.mdb";
        QTest::newRow("export") << QStringList{"export"} << 0 << "Bell\\x07\\e]0;pwned";
        QTest::newRow("export --raw") << QStringList{"export", "--raw"} << 0 << "\\x7f\\u009b2J";
        QTest::newRow("csv report")
            << QStringList{"report", "--all", "--format", "csv"} << 0 << "\\e]0;pwned\\x07\\nx";
        QTest::newRow("text report") << QStringList{"report", "--survey", "1"} << 0 << "\\u009b2J";
        QTest::newRow("history") << QStringList{"history"} << 0 << "label\\e]0;pwned of";
        QTest::newRow("check") << QStringList{"check"} << 1 << name + ": 1 problem";
        QTest::newRow("error naming the file")
            << QStringList{"report", "--survey", "9"} << 1 << name + " has no survey numbered 9";
        QTest::newRow("command line")
            << QStringList{"report", "--survey", "\x1b[2J"} << 2 << "\"\\e[2J\" is not";
    }

    void terminalShowsWhatItWouldObey()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, shown);
        HostileFile f;
        args.insert(1, f.path);
        const std::optional<Run> r = quelt_db_on_terminal(args, {"NO_COLOR=1"});
        if (!r)
            QSKIP("no pseudo-terminal to give the command");
        QCOMPARE(r->status, status);
        QVERIFY2(r->out.contains(shown), qPrintable(r->out));
        // CSV's record ends are its own; nothing else may move the cursor.
        QString screen = r->out;
        screen.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        for (QChar c : std::as_const(screen))
            QVERIFY2((c >= u' ' && (c < u'\x7f' || c > u'\x9f')) || c == u'\n',
                     qPrintable(QString::number(c.unicode(), 16)));
    }

    // The picture's size comes from the model's shape; the names stay in the
    // documents in full.
    void longNamesStayInTheirBands()
    {
        HostileFile f;
        const QString png = f.file("short.png");
        QCOMPARE(quelt_db({"report", f.path, "--survey", "1", "--output", png}).status, 0);
        const QString name = QStringLiteral("Name ").repeated(20000) + QStringLiteral("end");
        execute(f.path, {"UPDATE model_row SET name = '" + name + "' WHERE row_number = 0",
                         "UPDATE model_column SET name = '" + name + "' WHERE col_number = 0"});
        for (const char* suffix : {"png", "svg", "pdf"}) {
            const QString out = f.file(QStringLiteral("long.") + QLatin1String(suffix));
            QCOMPARE(quelt_db({"report", f.path, "--survey", "1", "--output", out}).status, 0);
        }
        QCOMPARE(QImage(f.file("long.png")).size(), QImage(png).size());
        QVERIFY(fileBytes(f.file("long.svg")).contains(name.toUtf8()));
        QVERIFY(fileBytes(f.file("long.pdf")).contains(name.toUtf8()));
    }
};

QUELT_TEST(EscapingTest);
#include "EscapingTest.moc"
