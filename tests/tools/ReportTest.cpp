#include "ToolRun.h"
#include "analysis/Results.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"
#include "data/Csv.h"
#include "platform/DbEngine.h"
#include "platform/Twips.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The demo file, plus a fourth survey that answered two cells only, one
// question of them twice.
struct DemoFile
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("quelt.mdb"));

    DemoFile()
    {
        quelt_db({QStringLiteral("demo"), path});
        execute(path, {QStringLiteral("INSERT INTO survey VALUES (4, 'Late', 'Starter')"),
                       QStringLiteral("INSERT INTO survey_results SELECT 4, id, 4 FROM question "
                                      "WHERE row_id = 0 AND col_id = 0"),
                       QStringLiteral("INSERT INTO survey_results SELECT 4, id, 1 FROM question "
                                      "WHERE row_id = 5 AND col_id = 5 ORDER BY id LIMIT 1")});
    }
};

// The windows open "quelt.mdb" in the current folder.
struct InFolder
{
    QString previous = QDir::currentPath();
    explicit InFolder(const QString& folder) { QDir::setCurrent(folder); }
    ~InFolder() { QDir::setCurrent(previous); }
};

// Each cell's means (and for a comparison the change) worked out by Python
// from a plain SQL sum and count, exactly, halves away from zero: one line
// per cell, its fields as the CSV has them.
const char* kIndependent = R"(
import sqlite3, sys
from fractions import Fraction
db = sqlite3.connect(sys.argv[1])
kind, arg = sys.argv[2], sys.argv[3]
if kind == "company":
    ids = [r[0] for r in db.execute("SELECT id FROM survey WHERE company = ? ORDER BY id", (arg,))]
else:
    ids = [int(i) for i in arg.split(",")]
    if kind == "trend":
        ids.sort()
def shown(f, plus=""):
    n = (abs(f) * 100 + Fraction(1, 2)).__floor__()
    return ("-" if f < 0 and n else plus if f > 0 and n else "") + "%d.%02d" % divmod(n, 100)
rows = db.execute("SELECT row_number FROM model_row ORDER BY row_number").fetchall()
cols = db.execute("SELECT col_number FROM model_column ORDER BY col_number").fetchall()
for (r,) in rows:
    for (c,) in cols:
        means = []
        for i in ids:
            s, n = db.execute("SELECT sum(answer), count(answer) FROM survey_results JOIN question "
                              "ON question.id = question_id WHERE survey_id = ? AND row_id = ? "
                              "AND col_id = ?", (i, r, c)).fetchone()
            means.append(Fraction(s, n) if n else None)
        fields = ["" if m is None else shown(m) for m in means]
        if kind == "compare":
            a, b = means
            d = None if a is None or b is None else b - a
            fields.append("" if d is None else shown(d, "+"))
        print(",".join([str(r), str(c)] + fields))
)";

struct Expected
{
    qint64 surveys = 0;
    qint64 count = 0;
    qint64 sum = 0;
};

} // namespace

class ReportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    void numbersAreTheWindowsAndTheEnginesOwn_data()
    {
        QTest::addColumn<QStringList>("choice");
        QTest::addColumn<QList<qint64>>("surveys");
        QTest::addColumn<bool>("combined");
        QTest::newRow("one survey") << QStringList{"--survey", "2"} << QList<qint64>{2} << false;
        QTest::newRow("one with gaps") << QStringList{"--survey", "4"} << QList<qint64>{4} << false;
        QTest::newRow("several, one named twice")
            << QStringList{"--surveys", "1,3,1"} << QList<qint64>{1, 3} << true;
        QTest::newRow("all") << QStringList{"--all"} << QList<qint64>{1, 2, 3, 4} << true;
    }

    void numbersAreTheWindowsAndTheEnginesOwn()
    {
        QFETCH(QStringList, choice);
        QFETCH(QList<qint64>, surveys);
        QFETCH(bool, combined);
        DemoFile demo;
        const Run r = quelt_db(QStringList{"report", demo.path, "--format", "csv"} + choice);
        QCOMPARE(r.status, 0);
        const CsvText csv = ParseCsv(r.out);
        QVERIFY(csv.problems.isEmpty());

        // The window's computation, survey by survey, added up.
        Database db = DBEngine::OpenDatabase(demo.path);
        ResultsGrid grid = LoadModelGrid(db);
        QList<Expected> window(grid.RowCount() * grid.ColCount());
        for (qint64 id : surveys) {
            ResultsGrid one = grid;
            ComputeResults(db, id, one);
            for (qsizetype i = 0; i < window.size(); ++i) {
                window[i].count += one.cells.at(i).count;
                window[i].sum += one.cells.at(i).sum;
                window[i].surveys += one.cells.at(i).HasAnswers() ? 1 : 0;
            }
        }
        db.Close();

        // The engine's own answer in one grouped statement.
        QStringList ids;
        for (qint64 id : surveys)
            ids << QString::number(id);
        QMap<QPair<qint64, qint64>, Expected> engine;
        for (const QVariantList& row : query(demo.path, QStringLiteral(
                 "SELECT row_id, col_id, count(DISTINCT survey_id), count(*), sum(answer) "
                 "FROM survey_results JOIN question ON question.id = question_id "
                 "WHERE survey_id IN (%1) GROUP BY row_id, col_id").arg(ids.join(u','))))
            engine[{row[0].toLongLong(), row[1].toLongLong()}] = {
                row[2].toLongLong(), row[3].toLongLong(), row[4].toLongLong()};

        QStringList header = {"row_number", "row_name", "col_number", "col_name"};
        if (combined)
            header << "surveys";
        header << "count" << "sum" << "mean";
        QCOMPARE(csv.rows.size(), window.size() + 1);
        QCOMPARE(csv.rows.first().fields, header);
        for (int row = 0; row < grid.RowCount(); ++row) {
            for (int col = 0; col < grid.ColCount(); ++col) {
                const qsizetype at = qsizetype(row) * grid.ColCount() + col;
                QStringList f = csv.rows.at(at + 1).fields;
                const Expected& w = window.at(at);
                const Expected e = engine.value({grid.rowNumbers.at(row), grid.colNumbers.at(col)});
                QCOMPARE(f.takeFirst(), QString::number(grid.rowNumbers.at(row)));
                QCOMPARE(f.takeFirst(), grid.rowNames.at(row));
                QCOMPARE(f.takeFirst(), QString::number(grid.colNumbers.at(col)));
                QCOMPARE(f.takeFirst(), grid.colNames.at(col));
                if (combined) {
                    QCOMPARE(f.first(), QString::number(w.surveys));
                    QCOMPARE(f.takeFirst(), QString::number(e.surveys));
                }
                QCOMPARE(f.at(0), QString::number(w.count));
                QCOMPARE(f.at(0), QString::number(e.count));
                QCOMPARE(f.at(1), QString::number(w.sum));
                QCOMPARE(f.at(1), QString::number(e.sum));
                QCOMPARE(f.at(2), w.count > 0 ? MeanText(ResultsCell{w.sum, w.count}) : QString());
            }
        }
    }

    // Answers no window stores are summed exactly and said, on standard
    // error so that the output stays as it is, whichever report reads them.
    // Before: 2^63 - 1 twice failed with "integer overflow", and other
    // answers outside 0 to 4 went unsaid.
    void answersOutsideTheScoresAreSaid_data()
    {
        QTest::addColumn<QStringList>("choice");
        QTest::addColumn<QString>("where");      // in the note, before the count
        QTest::addColumn<QStringList>("fields"); // of the first cell, after its names
        QTest::newRow("one survey")
            << QStringList{"--survey", "5"} << QString()
            << QStringList{"2", "18446744073709551614", "9223372036854775807.00"};
        const QString five = QStringLiteral("survey 5: ");
        QTest::newRow("compared") << QStringList{"--compare", "1,5"} << five
                                  << QStringList{"4",
                                                 "8",
                                                 "2.00",
                                                 "2",
                                                 "18446744073709551614",
                                                 "9223372036854775807.00",
                                                 "+9223372036854775805.00"};
        QTest::newRow("a trend") << QStringList{"--company", "Values"} << five
                                 << QStringList{"9223372036854775807.00"};
        QTest::newRow("together") << QStringList{"--surveys", "1,5"} << QString()
                                  << QStringList{"2", "6", "18446744073709551622",
                                                 "3074457345618258603.67"};
    }

    void answersOutsideTheScoresAreSaid()
    {
        QFETCH(QStringList, choice);
        QFETCH(QString, where);
        QFETCH(QStringList, fields);
        DemoFile demo;
        execute(demo.path, {QStringLiteral("INSERT INTO survey VALUES (5, 'Odd', 'Values')"),
                            QStringLiteral("INSERT INTO survey_results SELECT 5, id, "
                                           "9223372036854775807 FROM question WHERE row_id = 0 "
                                           "AND col_id = 0 ORDER BY id LIMIT 2")});
        const Run r = quelt_db(QStringList{"report", demo.path, "--format", "csv"} + choice);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QStringLiteral("quelt-db report: note: ") + where +
                            QStringLiteral("2 answers outside 0 to 4 (in Leadership / "
                                           "Awareness) are counted in the means as stored; run "
                                           "quelt-db check on the file.\n"));
        const CsvText csv = ParseCsv(r.out);
        QCOMPARE(csv.rows.at(1).fields.mid(4), fields);
        // The document's grid and questions say the same, summed as exactly.
        const QString pdf = demo.dir.filePath(QStringLiteral("r.pdf"));
        QCOMPARE(quelt_db(QStringList{"report", demo.path, "--output", pdf} + choice).status, 0);
        const QString text = consumer("pdftotext", {pdf, "-"}).out;
        QVERIFY2(text.contains(fields.last()), qPrintable(text.left(2000)));
        QVERIFY(text.contains(choice.first() == QLatin1String("--surveys")
                                  ? QStringLiteral("4611686018427387905.00")
                                  : QStringLiteral("9223372036854775807\n")));
    }

    // A comparison and a trend give, cell by cell, what a plain sum and
    // count over the stored answers give.
    void comparisonsAndTrendsMatchTheAnswers_data()
    {
        QTest::addColumn<QStringList>("choice");
        QTest::addColumn<QStringList>("independent"); // kind and argument
        QTest::addColumn<QStringList>("means");       // the CSV's columns that hold them
        QTest::newRow("compare") << QStringList{"--compare", "3,4"} << QStringList{"compare", "3,4"}
                                 << QStringList{"mean_3", "mean_4", "change"};
        QTest::newRow("compare backwards")
            << QStringList{"--compare", "2,1"} << QStringList{"compare", "2,1"}
            << QStringList{"mean_2", "mean_1", "change"};
        QTest::newRow("company") << QStringList{"--company", " Northwind Foods"}
                                 << QStringList{"company", "Northwind Foods"}
                                 << QStringList{"mean_1", "mean_3"};
        QTest::newRow("surveys in number order")
            << QStringList{"--surveys", "4,2,1", "--trend"} << QStringList{"trend", "4,2,1"}
            << QStringList{"mean_1", "mean_2", "mean_4"};
    }

    void comparisonsAndTrendsMatchTheAnswers()
    {
        QFETCH(QStringList, choice);
        QFETCH(QStringList, independent);
        QFETCH(QStringList, means);
        DemoFile demo;
        const Run r = quelt_db(QStringList{"report", demo.path, "--format", "csv"} + choice);
        QCOMPARE(r.status, 0);
        const CsvText csv = ParseCsv(r.out);
        QVERIFY(csv.problems.isEmpty());
        const Run python =
            consumer("python3",
                     QStringList{"-c", QString::fromLatin1(kIndependent), demo.path} + independent);
        QCOMPARE(python.status, 0);
        const QStringList expected = python.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(csv.rows.size(), expected.size() + 1);
        const QStringList header = csv.rows.first().fields;
        QList<qsizetype> at;
        for (const QString& column : means) {
            at.append(header.indexOf(column));
            QVERIFY2(at.last() >= 0, qPrintable(header.join(u',')));
        }
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QStringList& f = csv.rows.at(i + 1).fields;
            QStringList got = {f.at(0), f.at(2)};
            for (qsizetype column : at)
                got.append(f.at(column));
            QCOMPARE(got.join(u','), expected.at(i));
        }
        // The other formats say the same; a cell without answers on a side
        // shows "a", in the text table as in the picture's numbers.
        const Run text = quelt_db(QStringList{"report", demo.path} + choice);
        QCOMPARE(text.status, 0);
        QVERIFY2(text.out.contains(QStringLiteral("Each cell: the mean")), qPrintable(text.out));
        if (choice.contains(QLatin1String("3,4")))
            QVERIFY(text.out.contains(QRegularExpression(QStringLiteral(" a "))));
    }

    // What a reader of the PDF finds: the paper, the title block, the
    // questions, page numbers and metadata, and every text as stored.
    void documentReadsAsStored_data()
    {
        QTest::addColumn<QStringList>("choice");
        QTest::addColumn<QStringList>("changes"); // statements run on the demo first
        QTest::addColumn<QString>("pageSize");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("info"); // pdfinfo lines
        QTest::newRow("one survey, A4")
            << QStringList{"--survey", "1"} << QStringList() << "595 x 842 pts (A4)"
            << QStringList{"Survey 1: Anne O'Brien, Northwind Foods",
                           "Completed by:",
                           "Report made:",
                           "Database:",
                           "Do people know what good leadership looks like",
                           "Page 1 of",
                           "Page 2 of"}
            << QStringList{"Author:          Anne O'Brien",
                           "Subject:         Results of survey 1 for Northwind Foods"};
        QTest::newRow("comparison, Letter")
            << QStringList{"--compare", "1,2", "--paper", "letter"} << QStringList()
            << "612 x 792 pts (letter)"
            << QStringList{"Survey 1 compared with survey 2", "decline of 0.50 or more",
                           "its score (survey 1 → 2)"}
            << QStringList{"Author:          Anne O'Brien; Jan de Vries"};
        QTest::newRow("several, explained")
            << QStringList{"--surveys", "1,3"} << QStringList() << "595 x 842 pts (A4)"
            << QStringList{"2 surveys: 1, 3", "2/8: 2 surveys, 8 answers",
                           "its score (mean of the surveys)"}
            << QStringList{"Subject:         Results of surveys 1, 3 together"};
        // A font that draws U+2F47 and U+65E5 with one glyph must not give
        // back the radical.
        QTest::newRow("CJK texts")
            << QStringList{"--survey", "1"}
            << QStringList{"UPDATE model_row SET name = '日本語' WHERE row_number = 0",
                           "UPDATE survey SET company = '人事部' WHERE id = 1"}
            << "595 x 842 pts (A4)" << QStringList{"日本語", "人事部"}
            << QStringList{"Subject:         Results of survey 1 for 人事部"};
    }

    void documentReadsAsStored()
    {
        QFETCH(QStringList, choice);
        QFETCH(QStringList, changes);
        QFETCH(QString, pageSize);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, info);
        DemoFile demo;
        if (!changes.isEmpty())
            execute(demo.path, changes);
        const QString pdf = demo.dir.filePath(QStringLiteral("r.pdf"));
        const Run r = quelt_db(QStringList{"report", demo.path, "--output", pdf} + choice);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(consumer("qpdf", {"--check", pdf}).status, 0);
        const Run pages = consumer("pdfinfo", {pdf});
        QVERIFY2(pages.out.contains(QStringLiteral("Page size:       ") + pageSize),
                 qPrintable(pages.out));
        for (const QString& line : info)
            QVERIFY2(pages.out.contains(line), qPrintable(pages.out));
        const QString text = consumer("pdftotext", {pdf, "-"}).out;
        for (const QString& expected : texts)
            QVERIFY2(text.contains(expected), qPrintable(expected + u'\n' + text.left(2000)));
        for (char32_t look : {U'\u2F47', U'\u2F08'})
            QVERIFY(!text.contains(QString::fromUcs4(&look, 1)));
    }

    // On a terminal the table fits its width, names cut with "…";
    // --full-names, a file or a pipe keeps them whole.
    void longNamesFitTheTerminal_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("whole");
        QTest::newRow("terminal of 60 columns") << true << QStringList() << false;
        QTest::newRow("--full-names") << true << QStringList{"--full-names"} << true;
        QTest::newRow("pipe") << false << QStringList() << true;
    }

    void longNamesFitTheTerminal()
    {
        QFETCH(bool, terminal);
        QFETCH(QStringList, options);
        QFETCH(bool, whole);
        DemoFile demo;
        const QString longName = QString(5000, u'x') + QStringLiteral("日");
        execute(
            demo.path,
            {QStringLiteral("UPDATE model_row SET name = '%1' WHERE row_number = 2").arg(longName),
             QStringLiteral("UPDATE model_column SET name = 'Awareness of every "
                            "hazard' WHERE col_number = 0")});
        const QStringList args = QStringList{"report", demo.path, "--survey", "1"} + options;
        Run r;
        if (terminal) {
            const std::optional<Run> shown =
                quelt_db_on_terminal(args, {"COLUMNS=60", "NO_COLOR=1"});
            if (!shown)
                QSKIP("no pseudo-terminal here");
            r = *shown;
        } else {
            r = quelt_db(args);
        }
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.contains(longName), whole);
        QCOMPARE(r.out.contains(QStringLiteral("Awareness of every hazard")), whole);
        if (!whole) {
            QVERIFY(r.out.contains(QChar(0x2026)));
            for (const QString& line : r.out.split(QRegularExpression(QStringLiteral("\r?\n"))))
                QVERIFY2(line.size() <= 60, qPrintable(line));
        }
    }

    // Whatever turns colours off wins over whatever brings them on.
    void colourSwitchesInOneOrder_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<bool>("noColorOption");
        QTest::addColumn<bool>("coloured");
        QTest::newRow("a pipe") << QStringList() << false << false;
        QTest::newRow("CLICOLOR_FORCE") << QStringList{"CLICOLOR_FORCE=1"} << false << true;
        QTest::newRow("FORCE_COLOR") << QStringList{"FORCE_COLOR=1"} << false << true;
        QTest::newRow("FORCE_COLOR=0") << QStringList{"FORCE_COLOR=0"} << false << false;
        QTest::newRow("NO_COLOR over CLICOLOR_FORCE")
            << QStringList{"CLICOLOR_FORCE=1", "NO_COLOR=1"} << false << false;
        QTest::newRow("TERM=dumb over CLICOLOR_FORCE")
            << QStringList{"CLICOLOR_FORCE=1", "TERM=dumb"} << false << false;
        QTest::newRow("--no-color over FORCE_COLOR")
            << QStringList{"FORCE_COLOR=1"} << true << false;
    }

    void colourSwitchesInOneOrder()
    {
        QFETCH(QStringList, environment);
        QFETCH(bool, noColorOption);
        QFETCH(bool, coloured);
        DemoFile demo;
        QStringList args = {"report", demo.path, "--survey", "1"};
        if (noColorOption)
            args << "--no-color";
        const QStringList unset = {"NO_COLOR=", "CLICOLOR_FORCE=", "FORCE_COLOR=", "TERM=xterm"};
        const Run r = quelt_db(args, [&](QProcess& p) { SetEnvironment(p, unset + environment); });
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.contains(u'\x1b'), coloured);
    }

    void textTableIsAligned()
    {
        DemoFile demo;
        const Run r = quelt_db({"report", demo.path, "--survey", "4"});
        QCOMPARE(r.status, 0);
        QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.takeFirst(), QStringLiteral("Survey 4: Late, Starter"));
        QCOMPARE(lines.size(), 7); // the column names, then six rows
        for (const QString& line : lines)
            QCOMPARE(line.size(), lines.first().size());
        QVERIFY(lines.at(1).startsWith(QStringLiteral("Leadership")));
        QVERIFY(lines.at(1).contains(QStringLiteral(" 4.00 ")));
        QVERIFY(lines.at(1).endsWith(QStringLiteral(" a")));
        QVERIFY(!r.out.contains(u'\x1b')); // no colours where no terminal is
    }

    // The report draws what the window shows, pixel for pixel.
    void pngIsTheWindowsPicture_data()
    {
        QTest::addColumn<bool>("colour");
        QTest::newRow("colour coding") << true;
        QTest::newRow("no colours") << false;
    }

    void pngIsTheWindowsPicture()
    {
        QFETCH(bool, colour);
        DemoFile demo;
        const QString png = demo.dir.filePath(QStringLiteral("report.png"));
        QStringList args = {"report", demo.path, "--survey", "1", "--output", png};
        if (!colour)
            args << "--no-color";
        QCOMPARE(quelt_db(args).status, 0);
        const QImage report = QImage(png).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!report.isNull());

        InFolder here(demo.dir.path());
        Ui::MenuItem("miQueltTable");
        QWidget* form = Ui::FindWindow("frmModelTable");
        if (!colour)
            Ui::Find<QAbstractButton>(form, "chkColorCoding")->click();
        Ui::PickText(Ui::Find<QComboBox>(form, "cmbSurvey"), QStringLiteral("1"));
        Ui::Click(Ui::Find<QAbstractButton>(form, "butResults"));
        const QImage shown =
            Ui::Find(form, "picTable")->grab().toImage().convertToFormat(QImage::Format_RGB32);

        QVERIFY(shown.width() >= report.width() && shown.height() >= report.height());
        QVERIFY(shown.copy(report.rect()) == report);
    }

    // Every form of the report fills as the window does: by the mean as it
    // is shown (199 answers of 1 and one of 0 show "1.00", on the fill of 1
    // to 2), and a cell without answers in a grey that is no band's.
    void fillsFollowTheShownMean()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quelt.mdb"));
        quelt_db({"init", path, "--rows", "Row", "--cols", "Shown 1.00;Empty"});
        execute(path, {QStringLiteral("INSERT INTO survey VALUES (1, 'A', 'B')"),
                       QStringLiteral("INSERT INTO question VALUES (1, 'L', 'Q', 0, 0)"),
                       QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                      "FROM n WHERE i < 199) INSERT INTO survey_results "
                                      "SELECT 1, 1, 1 FROM n"),
                       QStringLiteral("INSERT INTO survey_results VALUES (1, 1, 0)")});
        const QStringList report = {"report", path, "--survey", "1"};

        const Run text = quelt_db(report, [](QProcess& p) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("NO_COLOR"));
            env.insert(QStringLiteral("CLICOLOR_FORCE"), QStringLiteral("1"));
            p.setProcessEnvironment(env);
        });
        for (const char* cell : {"\\x1b\\[30;48;2;255;192;128m +1\\.00\\x1b\\[0m",
                                 "\\x1b\\[30;48;2;208;208;208m +a\\x1b\\[0m"})
            QVERIFY2(text.out.contains(QRegularExpression(QLatin1String(cell))),
                     qPrintable(text.out));

        const CsvText csv = ParseCsv(quelt_db(report + QStringList{"--format", "csv"}).out);
        QCOMPARE(csv.rows.size(), 3);
        QCOMPARE(csv.rows.at(1).fields.mid(4), (QStringList{"200", "199", "1.00"}));
        QCOMPARE(csv.rows.at(2).fields.mid(4), (QStringList{"0", "0", ""}));

        const QString png = dir.filePath(QStringLiteral("r.png"));
        QCOMPARE(quelt_db(report + QStringList{"--output", png}).status, 0);
        const QImage picture(png);
        const auto fill = [&picture](int col) {
            return picture.pixelColor(TwipsToPxX(1500 + 1000 * col + 750), TwipsToPxY(2250));
        };
        QCOMPARE(fill(0), QColor(255, 192, 128));
        QCOMPARE(fill(1), NoAnswersColour());
        QCOMPARE(NoAnswersColour(), QColor(208, 208, 208));
    }

    void documentsHoldTheSamePicture()
    {
        DemoFile demo;
        const QString png = demo.dir.filePath(QStringLiteral("r.png"));
        const QString svg = demo.dir.filePath(QStringLiteral("r.svg"));
        const QString pdf = demo.dir.filePath(QStringLiteral("r.pdf"));
        for (const QString& out : {png, svg, pdf}) // the suffix chooses the format
            QCOMPARE(quelt_db({"report", demo.path, "--surveys", "1,2", "--output", out}).status, 0);
        const QSize size = QImage(png).size();
        const QString drawing = QString::fromUtf8(fileBytes(svg));
        QVERIFY(drawing.contains(
            QStringLiteral("viewBox=\"0 0 %1 %2\"").arg(size.width()).arg(size.height())));
        for (const char* text : {"Leadership", "Review", "2/8", "1.38"})
            QVERIFY2(drawing.contains(QStringLiteral(">%1<").arg(QLatin1String(text))), text);
        const QByteArray document = fileBytes(pdf);
        QVERIFY(document.startsWith("%PDF-"));
        QVERIFY(document.trimmed().endsWith("%%EOF"));
    }
};

QUELT_TEST(ReportTest);
#include "ReportTest.moc"
