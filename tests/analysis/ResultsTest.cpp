#include "analysis/Results.h"
#include "analysis/ResultsDrawing.h"
#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/Twips.h"

#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <limits>

class ResultsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void meanText_data()
    {
        QTest::addColumn<qint64>("sum");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("no answers") << qint64(0) << qint64(0) << QStringLiteral("a");
        QTest::newRow("all zeros") << qint64(0) << qint64(3) << QStringLiteral("0.00");
        QTest::newRow("whole") << qint64(4) << qint64(1) << QStringLiteral("4.00");
        QTest::newRow("one decimal") << qint64(5) << qint64(2) << QStringLiteral("2.50");
        QTest::newRow("thirds down") << qint64(1) << qint64(3) << QStringLiteral("0.33");
        QTest::newRow("thirds up") << qint64(2) << qint64(3) << QStringLiteral("0.67");
        // Halves exactly between two hundredths; 0.175 and 0.125 are not
        // exact doubles, so rounding a double would go either way.
        QTest::newRow("half, 7/40") << qint64(7) << qint64(40) << QStringLiteral("0.18");
        QTest::newRow("half, 1/8") << qint64(1) << qint64(8) << QStringLiteral("0.13");
        QTest::newRow("half, 9/8") << qint64(9) << qint64(8) << QStringLiteral("1.13");
        QTest::newRow("just under a half") << qint64(12499) << qint64(100000)
                                           << QStringLiteral("0.12");
        QTest::newRow("carry into the whole") << qint64(19999) << qint64(2000)
                                              << QStringLiteral("10.00");
        QTest::newRow("past 16 bits") << qint64(100000) << qint64(40000) << QStringLiteral("2.50");
        QTest::newRow("negative half") << qint64(-1) << qint64(8) << QStringLiteral("-0.13");
        QTest::newRow("negative, rounds to zero") << qint64(-1) << qint64(1000)
                                                  << QStringLiteral("0.00");
    }

    void meanText()
    {
        QFETCH(qint64, sum);
        QFETCH(qint64, count);
        QFETCH(QString, text);
        // The decimal separator is a point whatever the locale.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString shown = MeanText(ResultsCell{sum, count});
        QLocale::setDefault(previous);
        QCOMPARE(shown, text);
    }

    void bandColour_data()
    {
        QTest::addColumn<qint64>("sum");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QColor>("colour");
        const QColor below1(255, 128, 128), upTo2(255, 192, 128), upTo3(255, 255, 128),
            upTo4(128, 255, 128), above4(255, 255, 255), none(208, 208, 208);
        QTest::newRow("no answers: none of the bands") << qint64(0) << qint64(0) << none;
        QTest::newRow("negative") << qint64(-3) << qint64(1) << below1;
        QTest::newRow("0.994, shown 0.99") << qint64(994) << qint64(1000) << below1;
        // The band goes by the two decimals shown, never by a third one.
        QTest::newRow("0.995, shown 1.00") << qint64(199) << qint64(200) << upTo2;
        QTest::newRow("exactly 1") << qint64(1000) << qint64(1000) << upTo2;
        QTest::newRow("exactly 2") << qint64(6) << qint64(3) << upTo2;
        QTest::newRow("2.004, shown 2.00") << qint64(2004) << qint64(1000) << upTo2;
        QTest::newRow("2.005, shown 2.01") << qint64(401) << qint64(200) << upTo3;
        QTest::newRow("exactly 3") << qint64(120000) << qint64(40000) << upTo3;
        QTest::newRow("exactly 4") << qint64(4) << qint64(1) << upTo4;
        QTest::newRow("4.004, shown 4.00") << qint64(4004) << qint64(1000) << upTo4;
        QTest::newRow("4.005, shown 4.01") << qint64(801) << qint64(200) << above4;
        QTest::newRow("huge") << std::numeric_limits<qint64>::max() << qint64(1) << above4;
    }

    void bandColour()
    {
        QFETCH(qint64, sum);
        QFETCH(qint64, count);
        QFETCH(QColor, colour);
        QCOMPARE(BandColour(ResultsCell{sum, count}), colour);
    }

    // A model numbered with gaps, questions in its cells and outside it, and
    // several surveys answering at random, some questions more than once:
    // every cell's sum and count match the file's own grouping.
    void computedResultsMatchTheFile()
    {
        TestDb db({}, {});
        QRandomGenerator random(5150);
        QList<int> rowNumbers;
        QList<int> colNumbers;
        for (int n = 0; rowNumbers.size() < 6; ++n)
            if (random.bounded(3) > 0)
                rowNumbers.append(n);
        for (int n = 1; colNumbers.size() < 5; ++n)
            if (random.bounded(3) > 0)
                colNumbers.append(n);
        // Stored out of order: the grid is in number order all the same.
        for (qsizetype i = rowNumbers.size() - 1; i >= 0; --i)
            db.exec(QStringLiteral("INSERT INTO model_row VALUES (%1, ' Row %1 ')").arg(rowNumbers[i]));
        for (int n : colNumbers)
            db.exec(QStringLiteral("INSERT INTO model_column VALUES (%1, 'Col %1')").arg(n));

        // Now and then a row or column number that the model does not have,
        // which only a file can hold.
        const auto pick = [&random](const QList<int>& model) {
            if (random.bounded(5) == 0 && !TestDb::OnServer())
                return model.last() + 1;
            return model[random.bounded(model.size())];
        };
        QList<qint64> questions;
        for (int q = 0; q < 80; ++q)
            questions.append(db.addQuestion(pick(rowNumbers), pick(colNumbers),
                                            QStringLiteral("Q"), QStringLiteral("L")));
        QStringList values;
        for (int survey = 1; survey <= 3; ++survey)
            db.addSurvey(survey);
        for (int survey = 1; survey <= 3; ++survey)
            for (int a = 0; a < 400; ++a)
                values.append(QStringLiteral("(%1, %2, %3)")
                                  .arg(survey)
                                  .arg(questions[random.bounded(questions.size())])
                                  .arg(random.bounded(5)));
        db.exec(QStringLiteral("INSERT INTO survey_results (survey_id, question_id, answer) VALUES ") +
                values.join(u','));

        // The same cells however the engine would plan the reading, in a
        // few statements whatever the model's size: as made; with statistics
        // that tell the engine the answers' index finds nothing and the
        // questions are one; without the survey's index; without either.
        // Before: one statement per cell, each scanning every answer under
        // those statistics.
        const QList<QStringList> plans = {
            {},
            {QStringLiteral("ANALYZE"), QStringLiteral("DELETE FROM sqlite_stat1"),
             QStringLiteral("INSERT INTO sqlite_stat1 VALUES ('survey_results', "
                            "'survey_results_question', '3000000 3000000 3000000 3000000'), "
                            "('question', 'question_cell', '1 1 1'), ('question', NULL, '1'), "
                            "('survey_results', NULL, '10')")},
            {QStringLiteral("DROP INDEX survey_results_survey")},
            {QStringLiteral("DROP INDEX survey_results_question")}};
        for (const QStringList& plan : plans) {
            if (!plan.isEmpty() && TestDb::OnServer())
                break;
            for (const QString& sql : plan)
                db.exec(sql);
            Database file = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
            ResultsGrid grid = LoadModelGrid(file);
            QCOMPARE(grid.rowNumbers, QList<qint64>(rowNumbers.begin(), rowNumbers.end()));
            QCOMPARE(grid.colNumbers, QList<qint64>(colNumbers.begin(), colNumbers.end()));
            QCOMPARE(grid.rowNames.first(), QStringLiteral("Row %1").arg(rowNumbers.first()));

            for (int survey = 1; survey <= 4; ++survey) {
                QMap<QPair<int, int>, QPair<qint64, qint64>> expected;
                const auto groups = db.rows(
                    QStringLiteral("SELECT q.row_id, q.col_id, SUM(r.answer), COUNT(*) "
                                   "FROM survey_results r JOIN question q ON q.id = r.question_id "
                                   "WHERE r.survey_id = %1 GROUP BY q.row_id, q.col_id")
                        .arg(survey));
                for (const QVariantList& g : groups)
                    expected[{g[0].toInt(), g[1].toInt()}] = {g[2].toLongLong(), g[3].toLongLong()};

                const quint64 sent = DBEngine::StatementsSent();
                ComputeResults(file, survey, grid);
                QVERIFY(DBEngine::StatementsSent() - sent <= 8);
                QVERIFY(grid.HasResults());
                int answered = 0;
                for (int row = 0; row < grid.RowCount(); ++row) {
                    for (int col = 0; col < grid.ColCount(); ++col) {
                        const auto want = expected.value({rowNumbers[row], colNumbers[col]});
                        const ResultsCell& cell = grid.Cell(row, col);
                        QCOMPARE(SumText(cell.sum), QString::number(want.first));
                        QCOMPARE(cell.count, want.second);
                        answered += cell.HasAnswers();
                    }
                }
                // Survey 4 has no answers; the others fill most of the grid.
                QVERIFY(survey == 4 ? answered == 0
                                    : answered > grid.RowCount() * grid.ColCount() / 2);
            }
        }
    }

    // A cell's numbers as a file made by other means stores them are found
    // as `row_id = 1` finds them: 1.0 is 1, and '1' is 1 only in a column
    // declared as text. The answer is counted or not as the engine compares.
    void cellNumbersAsStored_data()
    {
        QTest::addColumn<QString>("rowType");
        QTest::addColumn<QString>("rowId");
        QTest::addColumn<qint64>("counted");
        QTest::newRow("whole number") << "INTEGER"
                                      << "1" << qint64(1);
        QTest::newRow("1.0") << ""
                             << "1.0" << qint64(1);
        QTest::newRow("'1' in a text column") << "TEXT"
                                              << "'1'" << qint64(1);
        QTest::newRow("'1' in a column of no type") << ""
                                                    << "'1'" << qint64(0);
        QTest::newRow("'01' in a text column") << "TEXT"
                                               << "'01'" << qint64(0);
    }

    void cellNumbersAsStored()
    {
        QFETCH(QString, rowType);
        QFETCH(QString, rowId);
        QFETCH(qint64, counted);
        QUELT_FILE_ONLY("typeless columns holding text");
        TestDb db({QStringLiteral("R0"), QStringLiteral("R1")}, {QStringLiteral("C")});
        db.exec(QStringLiteral("DROP TABLE question"));
        db.exec(QStringLiteral("CREATE TABLE question (id INTEGER PRIMARY KEY, label, "
                               "question_text, row_id %1, col_id)")
                    .arg(rowType));
        db.exec(QStringLiteral("INSERT INTO question VALUES (1, 'L', 'Q', %1, 0)").arg(rowId));
        db.addSurvey(1);
        db.addAnswer(1, 1, 3);
        Database file = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        ResultsGrid grid = LoadModelGrid(file);
        ComputeResults(file, 1, grid);
        QCOMPARE(grid.Cell(1, 0).count, counted);
        QCOMPARE(grid.Cell(0, 0).count, qint64(0));
    }

    // Answers at the ends of what the file can hold are summed exactly, and
    // those outside 0 to 4 are counted. Before: -2^63 gave a mean off by a
    // quarter without a word, and 2^63 - 1 twice an "integer overflow".
    void extremeAnswers_data()
    {
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("mean");
        QTest::addColumn<qint64>("outside");
        QTest::newRow("the most negative") << "-9223372036854775808, 1, 2, 3"
                                           << "-9223372036854775802"
                                           << "-2305843009213693950.50" << qint64(1);
        QTest::newRow("the largest, twice") << "9223372036854775807, 9223372036854775807, 4"
                                            << "18446744073709551618"
                                            << "6148914691236517206.00" << qint64(2);
        QTest::newRow("both ends") << "9223372036854775807, -9223372036854775808, 5, -1"
                                   << "3"
                                   << "0.75" << qint64(4);
        QTest::newRow("none outside") << "0, 4, 4"
                                      << "8"
                                      << "2.67" << qint64(0);
    }

    void extremeAnswers()
    {
        QFETCH(QString, answers);
        QFETCH(QString, sum);
        QFETCH(QString, mean);
        QFETCH(qint64, outside);
        QUELT_FILE_ONLY("answers beyond 32 bits");
        TestDb db({QStringLiteral("R")}, {QStringLiteral("C")});
        db.addSurvey(1);
        for (const QString& answer : answers.split(QStringLiteral(", ")))
            db.exec(QStringLiteral("INSERT INTO survey_results VALUES (1, %1, %2)")
                        .arg(db.addQuestion(0, 0, QStringLiteral("Q")))
                        .arg(answer));
        Database file = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
        ResultsGrid grid = LoadModelGrid(file);
        ComputeResults(file, 1, grid);
        QCOMPARE(SumText(grid.Cell(0, 0).sum), sum);
        QCOMPARE(MeanText(grid.Cell(0, 0)), mean);
        QCOMPARE(grid.Cell(0, 0).outside, outside);
        QCOMPARE(OutsideScoresNote(grid).isEmpty(), outside == 0);
    }

    // The twip layout scales to the device drawn on: at twice the screen's
    // dots per inch every line and fill lands at twice the pixels.
    void drawsAtTheDevicesResolution()
    {
        ResultsGrid grid;
        grid.rowNames = {QStringLiteral("R")};
        grid.rowNumbers = {0};
        grid.colNames = {QStringLiteral("C"), QStringLiteral("D")};
        grid.colNumbers = {0, 1};
        grid.cells = {ResultsCell{4, 1}, ResultsCell{}};

        const auto at192dpi = [](QSize size) {
            QImage image(size, QImage::Format_RGB32);
            image.setDotsPerMeterX(qRound(192 / 0.0254));
            image.setDotsPerMeterY(qRound(192 / 0.0254));
            image.fill(Qt::white);
            return image;
        };
        const QSize size = GridSizePx(grid, QFont(), at192dpi(QSize(1, 1)));
        // The legend below the grid adds to the height only.
        QCOMPARE(size.width(), int((3500 + 500) / 7.5) + 1);
        QVERIFY(size.height() > int((2500 + 500) / 7.5) + 1);
        QImage image = at192dpi(size);
        QPainter painter(&image);
        DrawResults(painter, grid, true);
        DrawGrid(painter, grid);
        painter.end();

        // 7.5 twips to the pixel: lines at 200, 333 and 467.
        QCOMPARE(image.pixelColor(300, 300), QColor(128, 255, 128));
        QCOMPARE(image.pixelColor(440, 300), NoAnswersColour());
        QCOMPARE(qGray(image.pixel(300, 200)), 0);
        QCOMPARE(qGray(image.pixel(333, 300)), 0);
        QCOMPARE(qGray(image.pixel(467, 300)), 0);
        QCOMPARE(image.pixelColor(475, 300), QColor(Qt::white));
        QCOMPARE(image.pixelColor(300, 340), QColor(Qt::white));
    }

    // The legend shows the five fills below the grid, within what GridSizePx
    // gives the picture, however narrow the model.
    void legendBelowTheGrid_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("empty model") << 0 << 0;
        QTest::newRow("one cell") << 1 << 1;
        QTest::newRow("6 x 6") << 6 << 6;
        QTest::newRow("wide") << 2 << 12;
    }

    void legendBelowTheGrid()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        ResultsGrid grid;
        for (int i = 0; i < rows; ++i) {
            grid.rowNames << QStringLiteral("R%1").arg(i);
            grid.rowNumbers << i;
        }
        for (int j = 0; j < cols; ++j) {
            grid.colNames << QStringLiteral("C%1").arg(j);
            grid.colNumbers << j;
        }
        QImage probe(1, 1, QImage::Format_RGB32);
        const QSize size = GridSizePx(grid, QFont(), probe);
        // Room around the picture shows whatever would fall outside it.
        QImage image(size + QSize(200, 200), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        DrawGrid(painter, grid);
        DrawLegend(painter, grid);
        painter.end();
        const int gridBottom = TwipsToPxY(1500 + 1000 * rows);
        QSet<QRgb> fills;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (pixel == qRgb(255, 255, 255))
                    continue;
                QVERIFY2(x < size.width() && y < size.height(),
                         qPrintable(QStringLiteral("drawn at %1,%2").arg(x).arg(y)));
                if (y > gridBottom)
                    fills.insert(pixel);
            }
        }
        for (const QColor band : {QColor(255, 128, 128), QColor(255, 192, 128),
                                  QColor(255, 255, 128), QColor(128, 255, 128), NoAnswersColour()})
            QVERIFY2(fills.contains(band.rgb()), qPrintable(band.name()));
    }

    // Drawing within a clip leaves out what the clip does not show, and
    // nothing more: text running on from outside the clip still shows in it.
    void clippedDrawingMatchesTheWhole_data()
    {
        QTest::addColumn<QRect>("clip");
        QTest::newRow("whole") << QRect(0, 0, 1000, 1000);
        QTest::newRow("inside one cell") << QRect(110, 110, 30, 30);
        QTest::newRow("a long value running on") << QRect(175, 100, 40, 60);
        QTest::newRow("a long column name running on") << QRect(230, 30, 60, 40);
        QTest::newRow("a long row name running on") << QRect(110, 104, 40, 20);
        QTest::newRow("across lines") << QRect(95, 95, 80, 80);
        QTest::newRow("beyond the grid") << QRect(260, 260, 40, 40);
    }

    void clippedDrawingMatchesTheWhole()
    {
        QFETCH(QRect, clip);
        ResultsGrid grid;
        grid.rowNames = {QStringLiteral("A row name that runs on"), QStringLiteral("R2")};
        grid.rowNumbers = {0, 1};
        grid.colNames = {QStringLiteral("C1"), QStringLiteral("A column name that runs on"),
                         QStringLiteral("C3")};
        grid.colNumbers = {0, 1, 2};
        grid.cells = {ResultsCell{123456789012, 1}, ResultsCell{3, 1}, ResultsCell{},
                      ResultsCell{8, 4},         ResultsCell{1, 3}, ResultsCell{4, 1}};
        const auto draw = [&grid](const QRect* within) {
            QImage image(300, 300, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            if (within)
                painter.setClipRect(*within);
            DrawResults(painter, grid, true);
            DrawGrid(painter, grid);
            return image;
        };
        const QImage whole = draw(nullptr);
        const QImage clipped = draw(&clip);
        const QRect shown = clip & whole.rect();
        QCOMPARE(clipped.copy(shown), whole.copy(shown));
    }
};

QUELT_TEST(ResultsTest);

#include "ResultsTest.moc"
