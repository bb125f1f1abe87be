#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QAccessible>
#include <QLabel>
#include <QRadioButton>
#include <QTextDocumentFragment>

namespace {

// The row's parts, by the names outside scripts use.
QLabel* question(const SurveyQuestionControl& row)
{
    return Ui::Find<QLabel>(&row, "lblQuestion");
}

TextBox* questionId(const SurveyQuestionControl& row)
{
    return Ui::Find<TextBox>(&row, "txtQuestionID");
}

// How many of the label and five buttons are not hidden.
int shownParts(const SurveyQuestionControl& row)
{
    int shown = question(row)->isHidden() ? 0 : 1;
    for (int score = 0; score < 5; ++score)
        shown += Ui::Option(&row, score)->isHidden() ? 0 : 1;
    return shown;
}

} // namespace

class SurveyQuestionControlTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setQuestion_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("17") << 17 << QStringLiteral("Why?");
        QTest::newRow("0 is a question") << 0 << QStringLiteral("First");
        QTest::newRow("negative kept") << -3 << QStringLiteral("Odd");
        QTest::newRow("markup shown as typed") << 32767 << QStringLiteral("<b>a</b> < b");
    }

    void setQuestion()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        SurveyQuestionControl row;
        row.show();
        QCOMPARE(row.Get_Value(), qint16(-1));
        QCOMPARE(row.Get_QuestionID(), qint16(-1));
        QCOMPARE(shownParts(row), 6);
        Ui::Choose(&row, 1);
        row.Set_Question(qint16(id), text);
        QCOMPARE(row.Get_QuestionID(), qint16(id));
        QCOMPARE(questionId(row)->text(), QString::number(id));
        QVERIFY(questionId(row)->isHidden());
        QCOMPARE(question(row)->text(), text);
        QCOMPARE(question(row)->textFormat(), Qt::PlainText);
        QCOMPARE(row.Get_Value(), qint16(1));
    }

    // A text longer than the row's two lines ends in "…" within them and is
    // whole in the tool tip and accessible description; a shorter one is
    // shown whole and has no tool tip.
    void longTextCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        QTest::newRow("one line") << QStringLiteral("How often?") << false;
        QTest::newRow("two short lines") << QStringLiteral("First\nSecond") << false;
        QTest::newRow("three short lines, <markup>")
            << QStringLiteral("First\n<b>Second</b>\nThird") << true;
        QStringList words;
        for (int i = 0; i < 60; ++i)
            words << QStringLiteral("word%1").arg(i);
        QTest::newRow("many words") << words.join(u' ') << true;
        QTest::newRow("one long word") << QString(400, u'm') << true;
    }

    void longTextCut()
    {
        QFETCH(QString, text);
        QFETCH(bool, cut);
        SurveyQuestionControl row;
        row.show();
        row.Set_Question(1, text);
        QCOMPARE(question(row)->text(), text);
        QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(&row);
        QCOMPARE(shown->text(QAccessible::Description), text);
        QCOMPARE(QTextDocumentFragment::fromHtml(row.toolTip()).toPlainText(),
                 cut ? text : QString());
        QCOMPARE(shown->text(QAccessible::Name).endsWith(QChar(0x2026)), cut);
        // Nothing is painted below the second line, where the row ends.
        const QImage image = question(row)->grab().toImage();
        const int below = 2 * question(row)->fontMetrics().lineSpacing() + 1;
        for (int y = below; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                QVERIFY2(qGray(image.pixel(x, y)) > 128,
                         qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
        QVERIFY(!image.isNull());
    }

    void hideKeepsTextAndScoreShowBringsThemBack()
    {
        SurveyQuestionControl row;
        row.show();
        row.Set_Question(17, QStringLiteral("Why?"));
        Ui::Choose(&row, 3);
        row.Hide_Question();
        QCOMPARE(shownParts(row), 0);
        QCOMPARE(row.Get_QuestionID(), qint16(-1));
        QCOMPARE(row.Get_Value(), qint16(3));
        row.Show_Question();
        QCOMPARE(shownParts(row), 6);
        QVERIFY(questionId(row)->isHidden());
        QCOMPARE(question(row)->text(), QStringLiteral("Why?"));
        QCOMPARE(row.Get_QuestionID(), qint16(-1));
        QCOMPARE(row.Get_Value(), qint16(3));
    }

    void choosingIsPerRow_data()
    {
        QTest::addColumn<QList<int>>("clicks"); // -1: Clear_Value
        QTest::addColumn<int>("value");
        QTest::newRow("one") << QList<int>{0} << 0;
        QTest::newRow("another replaces") << QList<int>{2, 4} << 4;
        QTest::newRow("same twice stays") << QList<int>{3, 3} << 3;
        QTest::newRow("cleared") << QList<int>{4, -1} << -1;
        QTest::newRow("chosen after clearing") << QList<int>{4, -1, 2, 0} << 0;
    }

    void choosingIsPerRow()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(int, value);
        QWidget host;
        auto* a = new SurveyQuestionControl(&host);
        auto* b = new SurveyQuestionControl(&host);
        b->move(0, a->height());
        host.show();
        Ui::Choose(b, 2);
        for (int click : clicks) {
            if (click < 0)
                a->Clear_Value();
            else
                Ui::Choose(a, click);
        }
        QCOMPARE(a->Get_Value(), qint16(value));
        int checked = 0;
        for (int score = 0; score < 5; ++score)
            checked += Ui::Option(a, score)->isChecked() ? 1 : 0;
        QCOMPARE(checked, value < 0 ? 0 : 1);
        QCOMPARE(b->Get_Value(), qint16(2));
    }
};

QUELT_TEST(SurveyQuestionControlTest);
#include "SurveyQuestionControlTest.moc"
