#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"
#include "platform/Twips.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <optional>

namespace {

const QColor kBelow1(255, 128, 128);
const QColor kUpTo2(255, 192, 128);
const QColor kUpTo3(255, 255, 128);
const QColor kUpTo4(128, 255, 128);
const QColor kWhite(255, 255, 255);
const QColor kNoAnswers(208, 208, 208);
// Names the picture cuts short.
const QString kLongRow =
    QStringLiteral("Leadership & <b>commitment</b> on every site and every shift, at length");
const QString kLongCol =
    QStringLiteral("Awareness of the hazards of the work, as seen by the people who do it");

int lineAt(int index)
{
    return 1500 + 1000 * index;
}

bool isDark(const QImage& image, int xTwips, int yTwips)
{
    return qGray(image.pixel(TwipsToPxX(xTwips), TwipsToPxY(yTwips))) < 128;
}

// Anything drawn in a box given in twips.
bool hasInk(const QImage& image, int left, int top, int width, int height)
{
    const QRect box = TwipsRect(left, top, width, height);
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

// The colour in the lower right of a cell, well away from its value.
QColor cellFill(const QImage& image, int row, int col)
{
    return image.pixelColor(TwipsToPxX(lineAt(col) + 750), TwipsToPxY(lineAt(row) + 750));
}

// How wide the ink of a cell's value is: "a" is narrow, "2.50" is not.
int valueInkWidth(const QImage& image, int row, int col)
{
    const int left = TwipsToPxX(lineAt(col)) + 2;
    const int right = TwipsToPxX(lineAt(col + 1)) - 2;
    const int top = TwipsToPxY(lineAt(row)) + 2;
    const int bottom = TwipsToPxY(lineAt(row) + 500);
    int first = -1;
    int last = -1;
    for (int x = left; x <= right; ++x) {
        for (int y = top; y <= bottom; ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// Rows and columns named R<n> and C<n> after their numbers.
void setModel(const TestDb& db, const QList<int>& rowNumbers, const QList<int>& colNumbers)
{
    db.exec(QStringLiteral("DELETE FROM model_row"));
    db.exec(QStringLiteral("DELETE FROM model_column"));
    for (int n : rowNumbers)
        db.exec(QStringLiteral("INSERT INTO model_row VALUES (%1, 'R%1')").arg(n));
    for (int n : colNumbers)
        db.exec(QStringLiteral("INSERT INTO model_column VALUES (%1, 'C%1')").arg(n));
}

QList<int> numbers(int count)
{
    QList<int> list;
    for (int i = 0; i < count; ++i)
        list.append(i);
    return list;
}

// One question in the cell, answered once with each of the answers.
void answerCell(const TestDb& db, int survey, int row, int col, const QList<int>& answers)
{
    for (int answer : answers)
        db.addAnswer(survey, db.addQuestion(row, col, QStringLiteral("Q"), QStringLiteral("L")), answer);
}

// Answers the next modal dialog as a user would, once it is open: `answer`
// gets it (the test's failures inside are collected, not thrown).
void whenDialogOpens(const std::function<void(QWidget*)>& answer)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, tries = 0]() mutable {
        // Once it has settled, as a user sees it before typing.
        QWidget* dialog = ++tries > 5 ? QApplication::activeModalWidget() : nullptr;
        if (dialog || tries > 250) {
            timer->stop();
            timer->deleteLater();
            if (dialog)
                answer(dialog);
        }
    });
    timer->start();
}

// A reader's tool run on a file the test made.
QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// "Quelt Analysis" on the main menu: the window it shows, and its controls
// found by name.
struct ModelTable
{
    static QWidget* open()
    {
        Ui::MenuItem("miQueltTable");
        return Ui::FindWindow("frmModelTable");
    }
    QWidget* form = open();
    QComboBox* cmbSurvey = Ui::Find<QComboBox>(form, "cmbSurvey");
    QAbstractButton* butResults = Ui::Find<QAbstractButton>(form, "butResults");
    QAbstractButton* chkColorCoding = Ui::Find<QAbstractButton>(form, "chkColorCoding");
    QListWidget* lstRows = Ui::Find<QListWidget>(form, "lstRows");
    QListWidget* lstCols = Ui::Find<QListWidget>(form, "lstCols");
    QWidget* picTable = Ui::Find(form, "picTable");

    QImage picture() const { return picTable->grab().toImage(); }

    // The user picks the survey and presses Show Results.
    QImage showResults(const QString& survey) const
    {
        Ui::PickText(cmbSurvey, survey);
        Ui::Click(butResults);
        return picture();
    }

    int valueWidth(const QString& text) const
    {
        return QFontMetrics(picTable->font()).horizontalAdvance(text);
    }
};

} // namespace

class frmModelTableTest : public QObject
{
    Q_OBJECT

    // A failure shows its report here instead of in a modal box that would
    // wait for a click.
    std::optional<MessageCapture> m_messages;

private Q_SLOTS:
    void init() { m_messages.emplace(); }

    void cleanup()
    {
        Ui::CloseAllWindows();
        const QStringList unexpected = m_messages->messages;
        m_messages.reset();
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
    }

    void loadListsModelAndDrawsEmptyGrid()
    {
        TestDb db({QStringLiteral("  Row A  "), QStringLiteral("Row B")},
                  {QStringLiteral("Col A"), QStringLiteral("Col B"), QStringLiteral("Col C")});
        db.addSurvey(2);
        db.addSurvey(1);
        ModelTable w;
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Quelt Analysis"));
        const QFont heading = Ui::Find<QLabel>(w.form, "Label1")->font();
        QVERIFY(heading.bold());
        QCOMPARE(heading.pointSizeF(), 8.25);
        QVERIFY(w.chkColorCoding->isChecked());
        QCOMPARE(Ui::Items(w.cmbSurvey), QStringList({QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(w.cmbSurvey->currentIndex(), -1);
        QVERIFY(!w.lstRows->isVisible());
        QCOMPARE(w.lstRows->count(), 2);
        QCOMPARE(w.lstRows->item(0)->text(), QStringLiteral("Row A"));
        QCOMPARE(w.lstCols->count(), 3);

        const QImage image = w.picture();
        for (int row = 0; row < 2; ++row) {
            QVERIFY(hasInk(image, 500, lineAt(row) + 100, 900, 300)); // the row's name
            for (int col = 0; col < 3; ++col) {
                QCOMPARE(cellFill(image, row, col), kWhite);
                QCOMPARE(valueInkWidth(image, row, col), 0);
            }
        }
        for (int col = 0; col < 3; ++col)
            QVERIFY(hasInk(image, lineAt(col) + 100, 500, 800, 300)); // the column's name
        QVERIFY(!hasInk(image, 500, 500, 900, 900));
        QVERIFY(isDark(image, 1000, lineAt(2)));
        QVERIFY(isDark(image, lineAt(3), 1000));
    }

    void bands_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QColor>("fill");
        QTest::newRow("no answers: none of the bands") << QList<int>{} << kNoAnswers;
        QTest::newRow("all zeros") << QList<int>{0, 0, 0} << kBelow1;
        QTest::newRow("below 1") << QList<int>{0, 1} << kBelow1;
        // 0.995 shows as 1.00, so it stands on the fill the legend gives 1.
        QList<int> justUnder1(200, 1);
        justUnder1[0] = 0;
        QTest::newRow("0.995, shown 1.00") << justUnder1 << kUpTo2;
        QTest::newRow("exactly 1") << QList<int>{0, 2} << kUpTo2;
        QTest::newRow("exactly 2") << QList<int>{1, 3} << kUpTo2;
        QTest::newRow("just above 2") << QList<int>{2, 2, 3} << kUpTo3;
        QTest::newRow("exactly 3") << QList<int>{2, 4} << kUpTo3;
        QTest::newRow("exactly 4") << QList<int>{4, 4} << kUpTo4;
        QTest::newRow("above 4, stored by other means") << QList<int>{4, 5} << kWhite;
    }

    void bands()
    {
        QFETCH(QList<int>, answers);
        QFETCH(QColor, fill);
        if (answers.contains(5))
            QUELT_FILE_ONLY("a server refuses a score above 4");
        TestDb db;
        db.addSurvey(1);
        db.addSurvey(2);
        answerCell(db, 1, 1, 2, answers);
        answerCell(db, 2, 1, 2, {4}); // another survey's answers stay out
        ModelTable w;
        const QImage image = w.showResults(QStringLiteral("1"));

        QCOMPARE(cellFill(image, 1, 2), fill);
        const int ink = valueInkWidth(image, 1, 2);
        if (answers.isEmpty())
            QVERIFY(ink > 0 && ink < w.valueWidth(QStringLiteral("0.00")) / 2);
        else
            QVERIFY(ink > w.valueWidth(QStringLiteral("0.00")) * 3 / 4);
        // The other cells have no answers.
        QCOMPARE(cellFill(image, 0, 0), kNoAnswers);
        QCOMPARE(cellFill(image, 2, 2), kNoAnswers);
        // Lines lie on top of the fills.
        QVERIFY(isDark(image, lineAt(2) + 500, lineAt(1)));
        QVERIFY(isDark(image, lineAt(2), lineAt(1) + 500));
        // An answer no window stores is said, not only counted.
        if (std::any_of(answers.begin(), answers.end(), [](int a) { return a < 0 || a > 4; })) {
            QCOMPARE(m_messages->messages.size(), 1);
            QVERIFY2(m_messages->last().startsWith(QLatin1String(
                         "Survey 1: 1 answer outside 0 to 4 (in Row B / Col C) is counted in the "
                         "means as stored; run quelt-db check on ")),
                     qPrintable(m_messages->last()));
            m_messages->messages.clear();
        }
    }

    void colourCodingOffFillsNothing()
    {
        TestDb db;
        db.addSurvey(1);
        answerCell(db, 1, 0, 0, {4});
        answerCell(db, 1, 2, 1, {1});
        ModelTable w;
        w.chkColorCoding->setChecked(false);
        const QImage image = w.showResults(QStringLiteral("1"));
        const int number = w.valueWidth(QStringLiteral("0.00"));
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                QCOMPARE(cellFill(image, row, col), kWhite);
                const bool answered = (row == 0 && col == 0) || (row == 2 && col == 1);
                const int ink = valueInkWidth(image, row, col);
                QVERIFY2(answered ? ink > number * 3 / 4 : ink > 0 && ink < number / 2,
                         qPrintable(QStringLiteral("cell %1,%2 ink %3").arg(row).arg(col).arg(ink)));
            }
        }
    }

    // Picking a survey or colour coding redraws nothing; the line above the
    // picture says which survey it shows and what Show Results would change.
    void onlyShowResultsChangesThePicture()
    {
        TestDb db;
        db.addSurvey(1);
        db.addSurvey(2);
        answerCell(db, 1, 0, 0, {4});
        answerCell(db, 2, 0, 0, {2});
        ModelTable w;
        const auto* shown = Ui::Find<QLabel>(w.form, "lblShown");
        const auto described = [&w] {
            return QAccessible::queryAccessibleInterface(w.picTable)
                ->text(QAccessible::Description);
        };
        QCOMPARE(shown->text(), "No survey shown yet: choose one, then Show Results.");
        QVERIFY(!described().contains(QStringLiteral("survey 1")));
        const QImage first = w.showResults(QStringLiteral("1"));
        QCOMPARE(cellFill(first, 0, 0), kUpTo4);
        QCOMPARE(shown->text(), "Showing survey 1, colour coded.");
        QVERIFY2(described().contains(QStringLiteral("survey 1")), qPrintable(described()));

        Ui::PickText(w.cmbSurvey, QStringLiteral("2"));
        QCOMPARE(w.picture(), first);
        QCOMPARE(shown->text(), "Showing survey 1, colour coded. Show Results shows survey 2, "
                                "colour coded.");
        w.chkColorCoding->click();
        QVERIFY(!w.chkColorCoding->isChecked());
        QCOMPARE(w.picture(), first);
        QCOMPARE(shown->text(), "Showing survey 1, colour coded. Show Results shows survey 2 "
                                "without colour coding.");

        // Return on the focused button, reached by Tab.
        Ui::Activate(w.form);
        for (int i = 0; i < 4 && Ui::Focused() != QLatin1String("butResults"); ++i)
            Ui::Key(Qt::Key_Tab);
        Ui::Key(Qt::Key_Return);
        const QImage second = w.picture();
        QCOMPARE(cellFill(second, 0, 0), kWhite);
        QCOMPARE(shown->text(), "Showing survey 2 without colour coding.");
        QVERIFY2(described().contains(QStringLiteral("survey 2")), qPrintable(described()));
        w.chkColorCoding->click();
        Ui::Click(w.butResults);
        QCOMPARE(cellFill(w.picture(), 0, 0), kUpTo2);
        // Pressing again for the same survey gives the very same picture.
        Ui::Click(w.butResults);
        const QImage again = w.picture();
        Ui::Click(w.butResults);
        QCOMPARE(w.picture(), again);
    }

    // Below the grid, the legend shows the band fills, even with colour
    // coding off.
    void legendUnderTheGrid()
    {
        TestDb db;
        db.addSurvey(1);
        ModelTable w;
        w.chkColorCoding->setChecked(false);
        const QImage image = w.showResults(QStringLiteral("1"));
        QSet<QRgb> below;
        for (int y = TwipsToPxY(lineAt(3)) + 2; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                below.insert(image.pixel(x, y));
        for (const QColor& band : {kBelow1, kUpTo2, kUpTo3, kUpTo4, kNoAnswers})
            QVERIFY2(below.contains(band.rgb()), qPrintable(band.name()));
    }

    void noSurveyChosenDrawsNothing()
    {
        TestDb db;
        db.addSurvey(1);
        answerCell(db, 1, 0, 0, {4});
        ModelTable w;
        const QImage before = w.picture();
        Ui::Click(w.butResults);
        QCOMPARE(w.picture(), before);
    }

    void answersStoredTwiceCountTwice()
    {
        TestDb db;
        db.addSurvey(1);
        const qint64 twice = db.addQuestion(1, 1, QStringLiteral("Q"), QStringLiteral("L"));
        db.addAnswer(1, twice, 4);
        db.addAnswer(1, twice, 4);
        answerCell(db, 1, 1, 1, {0});
        ModelTable w;
        // (4 + 4 + 0) / 3 is above 2; counted once it would be exactly 2.
        QCOMPARE(cellFill(w.showResults(QStringLiteral("1")), 1, 1), kUpTo3);
    }

    void surveyWithoutAnswersShowsA()
    {
        TestDb db;
        db.addSurvey(1);
        db.addSurvey(2);
        answerCell(db, 2, 1, 1, {3});
        ModelTable w;
        const QImage image = w.showResults(QStringLiteral("1"));
        const int number = w.valueWidth(QStringLiteral("0.00"));
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                QCOMPARE(cellFill(image, row, col), kNoAnswers);
                const int ink = valueInkWidth(image, row, col);
                QVERIFY(ink > 0 && ink < number / 2);
            }
        }
    }

    // The lines end at the far edge of the model actually drawn, and every
    // row and column is drawn, however many there are.
    void gridFitsTheModel_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("empty model") << 0 << 0;
        QTest::newRow("3 x 3") << 3 << 3;
        QTest::newRow("six by six") << 6 << 6;
        QTest::newRow("seven columns") << 3 << 7;
        QTest::newRow("seven rows") << 7 << 2;
        QTest::newRow("35 rows, past 16-bit twips") << 35 << 2;
        QTest::newRow("12 x 12, larger than the picture") << 12 << 12;
    }

    void gridFitsTheModel()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        TestDb db;
        setModel(db, numbers(rows), numbers(cols));
        db.addSurvey(1);
        if (rows > 0 && cols > 0)
            answerCell(db, 1, rows - 1, cols - 1, {3, 4});
        ModelTable w;
        const QImage image = w.showResults(QStringLiteral("1"));
        const int right = lineAt(cols);
        const int bottom = lineAt(rows);
        QVERIFY(image.width() > TwipsToPxX(right));
        QVERIFY(image.height() > TwipsToPxY(bottom));

        for (int i = 0; i <= rows; ++i) {
            QVERIFY(isDark(image, 500, lineAt(i)));
            QVERIFY(isDark(image, right - 500, lineAt(i)));
            QVERIFY(isDark(image, right, lineAt(i)));
            QVERIFY(!isDark(image, right + 60, lineAt(i)));
        }
        for (int j = 0; j <= cols; ++j) {
            QVERIFY(isDark(image, lineAt(j), 500));
            QVERIFY(isDark(image, lineAt(j), bottom - 500));
            QVERIFY(isDark(image, lineAt(j), bottom));
            QVERIFY(!isDark(image, lineAt(j), bottom + 60));
        }
        if (rows > 0 && cols > 0) {
            QCOMPARE(cellFill(image, rows - 1, cols - 1), kUpTo4);
            QCOMPARE(cellFill(image, 0, 0), rows * cols > 1 ? kNoAnswers : kUpTo4);
        } else {
            // Only the two lines: nothing dark off them above the legend.
            const int line = TwipsToPxX(1500);
            for (int y = 0; y < TwipsToPxY(1750); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qGray(image.pixel(x, y)) < 128)
                        QVERIFY2(x == line || y == TwipsToPxY(1500),
                                 qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
        }

        // Where the grid does not fit, the picture scrolls instead of cutting
        // it off; otherwise the picture fills its place.
        // The layout's six by six fits with its legend.
        Ui::Settle();
        auto* area = Ui::Find<QScrollArea>(w.form, QStringLiteral("picTableArea"));
        QCOMPARE(area->verticalScrollBar()->maximum() > 0,
                 image.height() > area->viewport()->height());
        if (rows <= 6 && cols <= 6)
            QCOMPARE(area->verticalScrollBar()->maximum(), 0);
        QCOMPARE(area->horizontalScrollBar()->maximum() > 0, cols > 7);
        QVERIFY(image.width() >= area->viewport()->width());
        QVERIFY(image.height() >= area->viewport()->height());
    }

    // A grid position shows the answers of the row and column standing there,
    // however the model is numbered. A row or column without a number (null
    // or blank, in a file made by other means) is left out, as the question
    // windows leave it out.
    void cellsFollowModelNumbers_data()
    {
        QTest::addColumn<QList<int>>("rowNumbers");
        QTest::addColumn<QList<int>>("colNumbers");
        QTest::addColumn<QStringList>("unnumbered");
        QTest::newRow("from 0") << QList<int>{0, 1, 2} << QList<int>{0, 1, 2} << QStringList();
        QTest::newRow("from 1") << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << QStringList();
        QTest::newRow("with gaps") << QList<int>{0, 5, 9} << QList<int>{2, 3, 40} << QStringList();
        QTest::newRow("null and blank numbers")
            << QList<int>{0, 1, 2} << QList<int>{0, 1, 2}
            << QStringList{"INSERT INTO model_row VALUES ('', 'Blank')",
                           "INSERT INTO model_row VALUES ('  ', 'Spaces')",
                           "INSERT INTO model_column VALUES (NULL, 'Null')"};
    }

    void cellsFollowModelNumbers()
    {
        QFETCH(QList<int>, rowNumbers);
        QFETCH(QList<int>, colNumbers);
        QFETCH(QStringList, unnumbered);
        if (!unnumbered.isEmpty())
            QUELT_FILE_ONLY("text in a number column");
        TestDb db({}, {}, true);
        setModel(db, rowNumbers, colNumbers);
        for (const QString& sql : unnumbered)
            db.exec(sql);
        db.addSurvey(1);
        answerCell(db, 1, rowNumbers[0], colNumbers[2], {4});
        answerCell(db, 1, rowNumbers[2], colNumbers[0], {2});
        answerCell(db, 1, rowNumbers[1], colNumbers[1], {3});
        ModelTable w;
        QCOMPARE(m_messages->messages, QStringList());
        QCOMPARE(w.lstRows->count(), 3);
        QCOMPARE(w.lstCols->count(), 3);
        QCOMPARE(w.lstRows->item(2)->text(), QStringLiteral("R%1").arg(rowNumbers[2]));
        const QImage image = w.showResults(QStringLiteral("1"));
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                QColor expected = kNoAnswers;
                if (row == 0 && col == 2)
                    expected = kUpTo4;
                else if (row == 2 && col == 0)
                    expected = kUpTo2;
                else if (row == 1 && col == 1)
                    expected = kUpTo3;
                QCOMPARE(cellFill(image, row, col), expected);
            }
        }
    }

    void manyAnswersInOneCell()
    {
        TestDb db;
        db.addSurvey(1);
        const qint64 high = db.addQuestion(0, 1, QStringLiteral("Q"), QStringLiteral("L"));
        const qint64 low = db.addQuestion(0, 1, QStringLiteral("Q"), QStringLiteral("L"));
        // 40000 answers of 4 and 20000 of 1: a mean of exactly 3, with a sum
        // and count far past 32767.
        db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 20000) INSERT INTO survey_results "
                               "SELECT 1, %1, 4 FROM n UNION ALL SELECT 1, %1, 4 FROM n "
                               "UNION ALL SELECT 1, %2, 1 FROM n")
                    .arg(high)
                    .arg(low));
        ModelTable w;
        QCOMPARE(cellFill(w.showResults(QStringLiteral("1")), 0, 1), kUpTo3);
    }

    // A name the picture cuts short is given whole in a tool tip over its
    // heading, and to a screen reader; a cell has no tool tip.
    void fullNamesOverTheGrid_data()
    {
        QTest::addColumn<QPoint>("at"); // twips
        QTest::addColumn<QString>("tip");
        QTest::newRow("row heading") << QPoint(700, lineAt(0) + 300) << kLongRow;
        QTest::newRow("column heading") << QPoint(lineAt(1) + 300, 1200) << kLongCol;
        QTest::newRow("a cell") << QPoint(lineAt(1) + 300, lineAt(0) + 300) << QString();
        QTest::newRow("beyond the last row") << QPoint(700, lineAt(2) + 300) << QString();
    }

    void fullNamesOverTheGrid()
    {
        QFETCH(QPoint, at);
        QFETCH(QString, tip);
        TestDb db({kLongRow, QStringLiteral("Safety")}, {QStringLiteral("Training"), kLongCol});
        ModelTable w;
        const QPoint px(TwipsToPxX(at.x()), TwipsToPxY(at.y()));
        QHelpEvent help(QEvent::ToolTip, px, w.picTable->mapToGlobal(px));
        QApplication::sendEvent(w.picTable, &help);
        QTextDocument shown;
        shown.setHtml(QToolTip::isVisible() ? QToolTip::text() : QString());
        QCOMPARE(shown.toPlainText(), tip);
        QToolTip::hideText();

        const QString described =
            QAccessible::queryAccessibleInterface(w.picTable)->text(QAccessible::Description);
        QVERIFY2(described.contains(kLongRow) && described.contains(kLongCol),
                 qPrintable(described));
    }

    // A screen reader reads the grid as a table: the model's full names as
    // its headings, each cell's mean or "no answers" and its band. The arrow
    // keys move cell by cell, and the picture scrolls to the cell reached.
    void gridReadsAsATable()
    {
        TestDb db;
        setModel(db, numbers(3), numbers(12));
        db.exec(
            QStringLiteral("UPDATE model_row SET name = '%1' WHERE row_number = 0").arg(kLongRow));
        db.addSurvey(1);
        answerCell(db, 1, 1, 2, {2, 3});
        ModelTable w;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w.picTable);
        QCOMPARE(face->role(), QAccessible::Table);
        QAccessibleTableInterface* table = face->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->columnCount(), 12);
        QCOMPARE(table->rowDescription(0), kLongRow);
        QCOMPARE(table->columnDescription(11), QStringLiteral("C11"));
        const auto says = [table](int row, int col) {
            const QAccessibleInterface* cell = table->cellAt(row, col);
            return cell->text(QAccessible::Name) + u'|' + cell->text(QAccessible::Description);
        };
        QCOMPARE(says(1, 2), QStringLiteral("no survey shown|"));
        w.showResults(QStringLiteral("1"));
        QCOMPARE(says(1, 2), QStringLiteral("2.50|band above 2 to 3"));
        QCOMPARE(says(0, 0), QStringLiteral("no answers|"));
        QAccessibleTableCellInterface* cell = table->cellAt(0, 2)->tableCellInterface();
        QCOMPARE(cell->rowHeaderCells().value(0)->text(QAccessible::Name), kLongRow);
        QCOMPARE(cell->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("C2"));
        // Headings and cells are the table's children, each found again.
        QCOMPARE(face->childCount(), 12 + 3 * 13);
        for (int i = 0; i < face->childCount(); ++i) {
            QCOMPARE(face->child(i)->parent(), face);
            QCOMPARE(face->indexOfChild(face->child(i)), i);
        }

        Ui::Activate(w.form);
        w.picTable->setFocus();
        for (int i = 0; i < 12; ++i) // the last one goes nowhere
            Ui::Key(Qt::Key_Right);
        Ui::Key(Qt::Key_Down);
        QCOMPARE(face->focusChild(), table->cellAt(1, 11));
        QVERIFY(face->focusChild()->state().focused);
        const auto* area = Ui::Find<QScrollArea>(w.form, QStringLiteral("picTableArea"));
        const auto inView = [area, table] {
            return QRect(area->viewport()->mapToGlobal(QPoint(0, 0)), area->viewport()->size())
                .contains(table->cellAt(1, 11)->rect());
        };
        QVERIFY(area->horizontalScrollBar()->value() > 0);
        QVERIFY(inView());
        // Leaving the picture leaves it where it was.
        Ui::Key(Qt::Key_Tab);
        QVERIFY(inView());
    }

    void showingAgainAddsNewSurveys()
    {
        TestDb db;
        db.addSurvey(1);
        db.addSurvey(2);
        ModelTable w;
        Ui::PickText(w.cmbSurvey, QStringLiteral("2"));
        db.addSurvey(7);
        db.addSurvey(3);
        QCOMPARE(ModelTable::open(), w.form);
        QCOMPARE(Ui::Items(w.cmbSurvey), QStringList({QStringLiteral("1"), QStringLiteral("2"),
                                                      QStringLiteral("3"), QStringLiteral("7")}));
        QCOMPARE(w.cmbSurvey->currentText(), QStringLiteral("2"));

        // With nothing chosen, nothing gets chosen by the new entries.
        Ui::CloseAllWindows();
        TestDb empty;
        w = ModelTable();
        QCOMPARE(w.cmbSurvey->count(), 0);
        empty.addSurvey(4);
        ModelTable::open();
        QCOMPARE(Ui::Items(w.cmbSurvey), QStringList({QStringLiteral("4")}));
        QCOMPARE(w.cmbSurvey->currentIndex(), -1);
    }

    // The grid's context menu: opened by the menu key, Shift+F10 or the right
    // button, it copies the grid, saves the files quelt-db report writes, and
    // prints what its preview shows.
    void reportMenuCopiesSavesAndPrints_data()
    {
        QTest::addColumn<QString>("opening");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("file");
        QTest::newRow("copy, by the menu key") << "menu key"
                                               << "miCopy" << QString();
        QTest::newRow("PNG, by Shift+F10") << "Shift+F10"
                                           << "miSaveAs"
                                           << "grid.png";
        QTest::newRow("CSV, by the right button") << "right button"
                                                  << "miSaveAs"
                                                  << "grid.csv";
        QTest::newRow("SVG") << "Shift+F10"
                             << "miSaveAs"
                             << "grid.svg";
        QTest::newRow("PDF") << "Shift+F10"
                             << "miSaveAs"
                             << "grid.pdf";
        QTest::newRow("print") << "Shift+F10"
                               << "miPrint"
                               << "printed.pdf";
    }

    void reportMenuCopiesSavesAndPrints()
    {
        QFETCH(QString, opening);
        QFETCH(QString, item);
        QFETCH(QString, file);
        TestDb db;
        db.addSurvey(1, QStringLiteral("Anna"), QStringLiteral("Acme"));
        answerCell(db, 1, 0, 1, {3, 4});
        ModelTable w;
        w.showResults(QStringLiteral("1"));
        Ui::Activate(w.form);
        w.picTable->setFocus();
        if (opening == QLatin1String("right button")) {
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                                    w.picTable->mapToGlobal(QPoint(20, 20)));
            QApplication::sendEvent(w.picTable, &click);
        } else if (opening == QLatin1String("menu key")) {
            QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                  w.picTable->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(w.picTable, &key);
        } else {
            Ui::Key(Qt::Key_F10, Qt::ShiftModifier);
        }
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu && menu->objectName() == QLatin1String("mnuReport"));
        const QString path = db.dir() + u'/' + file;
        QString expected; // what quelt-db report writes for the same survey
        if (file.endsWith(QLatin1String(".png")) || file.endsWith(QLatin1String(".csv"))) {
            expected = db.dir() + QStringLiteral("/tool.") + QFileInfo(file).suffix();
            QProcess tool;
            tool.start(QStringLiteral(QUELT_DB_TOOL),
                       {"report", db.location(), "--survey", "1", "--output", expected});
            QVERIFY(tool.waitForFinished(60000) && tool.exitCode() == 0);
        }
        if (item == QLatin1String("miSaveAs")) {
            whenDialogOpens([&](QWidget* dialog) {
                auto* files = qobject_cast<QFileDialog*>(dialog);
                if (files && files->objectName() == QLatin1String("dlgSaveAs")) {
                    // Typed into the file name box, then Return.
                    auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                    name->setText(path);
                    QTest::keyClick(name, Qt::Key_Return);
                }
            });
        } else if (item == QLatin1String("miPrint")) {
            whenDialogOpens([&](QWidget* dialog) {
                auto* preview = qobject_cast<QPrintPreviewDialog*>(dialog);
                if (!preview)
                    return;
                preview->printer()->setOutputFileName(path);
                whenDialogOpens([](QWidget* print) {
                    if (qobject_cast<QPrintDialog*>(print))
                        static_cast<QDialog*>(print)->accept();
                });
                for (QAction* action : preview->findChildren<QAction*>())
                    if (action->text() == QLatin1String("Print"))
                        return action->trigger();
                preview->reject();
            });
        }
        menu->findChild<QAction*>(item)->trigger();
        menu->close();
        Ui::Settle();

        if (file.isEmpty()) {
            const QMimeData* copied = QApplication::clipboard()->mimeData();
            QVERIFY(copied->text().contains(QStringLiteral("\tCol A\tCol B\tCol C\n")));
            QVERIFY(copied->text().contains(QStringLiteral("Row A\ta\t3.50\ta\n")));
            const QImage image = qvariant_cast<QImage>(copied->imageData());
            QCOMPARE(cellFill(image, 0, 1), kUpTo4);
            return;
        }
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        if (!expected.isEmpty()) {
            QFile saved(path);
            QFile tool(expected);
            QVERIFY(saved.open(QIODevice::ReadOnly) && tool.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), tool.readAll());
        } else if (file.endsWith(QLatin1String(".pdf"))) {
            const QString text = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
            for (const char* words : {"Survey 1: Anna, Acme", "Page 1 of 2", "3.50"})
                QVERIFY2(text.contains(QLatin1String(words)), qPrintable(text));
        } else {
            QFile svg(path);
            QVERIFY(svg.open(QIODevice::ReadOnly));
            QVERIFY(svg.readAll().contains(">3.50<"));
        }
    }

    // Compare Surveys and Company Trend draw their reports as quelt-db does.
    void comparisonAndTrendWindows_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QColor>("fill"); // of cell 0, 0
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("answer");   // survey 3's
        QTest::addColumn<QString>("said"); // after the picture is shown
        QTest::newRow("compare") << "miCompareSurveys"
                                 << "frmCompareSurveys" << QColor(92, 184, 92)
                                 << "Showing survey 1 compared with survey 3." << 4 << QString();
        QTest::newRow("trend") << "miCompanyTrend"
                               << "frmCompanyTrend" << kUpTo4 << "Showing 2 surveys of Acme: 1, 3."
                               << 4 << QString();
        QTest::newRow("compare, an answer no window stores")
            << "miCompareSurveys"
            << "frmCompareSurveys" << QColor(92, 184, 92)
            << "Showing survey 1 compared with survey 3." << 9
            << "In survey 3: 1 answer outside 0 to 4 (in Row A / Col A) is counted in the means "
               "as stored; run quelt-db check on ";
    }

    void comparisonAndTrendWindows()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(QColor, fill);
        QFETCH(QString, shown);
        QFETCH(int, answer);
        QFETCH(QString, said);
        if (answer > 4)
            QUELT_FILE_ONLY("a server refuses a score above 4");
        TestDb db;
        db.addSurvey(1, QStringLiteral("Anna"), QStringLiteral("Acme"));
        db.addSurvey(2, QStringLiteral("Ben"), QStringLiteral("Other"));
        db.addSurvey(3, QStringLiteral("Cleo"), QStringLiteral("Acme"));
        const qint64 question = db.addQuestion(0, 0, QStringLiteral("Q"), QStringLiteral("L"));
        db.addAnswer(1, question, 1);
        db.addAnswer(3, question, answer);
        Ui::MenuItem(item);
        QWidget* form = Ui::FindWindow(window);
        const bool compare = item == QLatin1String("miCompareSurveys");
        if (compare) {
            Ui::Click(form, "butCompare"); // nothing chosen yet: said, nothing drawn
            QCOMPARE(m_messages->messages, QStringList{"Choose the two surveys to compare."});
            m_messages->messages.clear();
            Ui::PickText(form, "cmbFirstSurvey", QStringLiteral("1 (Acme)"));
            Ui::PickText(form, "cmbSecondSurvey", QStringLiteral("3 (Acme)"));
            Ui::Click(form, "butCompare");
        } else {
            QCOMPARE(Ui::Items(Ui::Find<QComboBox>(form, "cmbCompany")),
                     (QStringList{"Acme", "Other"}));
            Ui::PickText(form, "cmbCompany", QStringLiteral("Acme"));
            Ui::Click(form, "butTrend");
        }
        QCOMPARE(Ui::Find<QLabel>(form, "lblShown")->text(), shown);
        QCOMPARE(m_messages->messages.size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY2(m_messages->last().startsWith(said), qPrintable(m_messages->last()));
        m_messages->messages.clear();
        QWidget* picture = Ui::Find(form, compare ? "picCompare" : "picTrend");
        const QImage image = picture->grab().toImage();
        QCOMPARE(cellFill(image, 0, 0), fill);
        QCOMPARE(cellFill(image, 1, 1), kNoAnswers);
        if (!compare) // the line rises from 1 to 4 across the cell's lower half
            QVERIFY(hasInk(image, 1600, 2200, 250, 150) && hasInk(image, 2200, 1900, 200, 120) &&
                    !hasInk(image, 2200, 2250, 200, 120));
    }

    void failedQueryKeepsThePicture()
    {
        TestDb db;
        db.addSurvey(1);
        answerCell(db, 1, 0, 0, {4});
        ModelTable w;
        const QImage shown = w.showResults(QStringLiteral("1"));
        db.exec(QStringLiteral("DROP TABLE survey_results"));
        Ui::Click(w.butResults);
        QCOMPARE(m_messages->messages.size(), 1);
        QVERIFY2(m_messages->last().contains(QStringLiteral("survey_results")),
                 qPrintable(m_messages->last()));
        m_messages->messages.clear();
        QCOMPARE(w.picture(), shown);
    }
};

QUELT_TEST(frmModelTableTest);

#include "frmModelTableTest.moc"
