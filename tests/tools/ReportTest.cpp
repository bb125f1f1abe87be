#include "Csv.h"
#include "ToolRun.h"
#include "analysis/Results.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"
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
    // error so that the output stays as it is. Before: 2^63 - 1 twice failed
    // with "integer overflow", and other answers outside 0 to 4 went unsaid.
    void answersOutsideTheScoresAreSaid()
    {
        DemoFile demo;
        execute(demo.path, {QStringLiteral("INSERT INTO survey VALUES (5, 'Odd', 'Values')"),
                            QStringLiteral("INSERT INTO survey_results SELECT 5, id, "
                                           "9223372036854775807 FROM question WHERE row_id = 0 "
                                           "AND col_id = 0 ORDER BY id LIMIT 2")});
        const Run r = quelt_db({"report", demo.path, "--survey", "5", "--format", "csv"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QStringLiteral("quelt-db report: note: 2 answers outside 0 to 4 (in "
                                       "Leadership / Awareness) are counted in the means as "
                                       "stored; run quelt-db check on the file.\n"));
        const CsvText csv = ParseCsv(r.out);
        QCOMPARE(csv.rows.at(1).fields.mid(4),
                 (QStringList{"2", "18446744073709551614", "9223372036854775807.00"}));
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
