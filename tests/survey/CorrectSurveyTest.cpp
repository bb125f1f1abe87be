#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/TextBox.h"

namespace {

TextBox* box(const QWidget* w, const char* name)
{
    return Ui::Find<TextBox>(w, QLatin1String(name));
}

// Two surveys, and "Correct Survey Header" opened from the main menu.
QWidget* openOnTwoSurveys(const TestDb& db)
{
    db.addSurvey(1, QStringLiteral("Bob"), QStringLiteral("Other"));
    db.addSurvey(2, QStringLiteral("Ann"), QStringLiteral("Acme"));
    Ui::MenuItem(QStringLiteral("miCorrectSurvey"));
    return Ui::FindWindow(QStringLiteral("frmCorrectSurvey"));
}

} // namespace

class CorrectSurveyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    // A header corrected through "Correct Survey Header": what the user
    // changed is stored, what was there goes into the history; anything
    // else is said and changes nothing.
    void correctingAHeader_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::addColumn<QStringList>("typed"); // completed by, company; null: untouched
        QTest::addColumn<QString>("told");
        QTest::addColumn<QStringList>("header"); // as stored afterwards
        QTest::addColumn<QStringList>("history");
        const QString corrected =
            QStringLiteral("Survey 2's header was corrected; the history keeps what it was.");
        const QString same =
            QStringLiteral("Nothing was changed: survey 2's header is stored as shown.");
        const QString who = Changer();
        QTest::newRow("company") << true << QStringList{QString(), "ACME Ltd"} << corrected
                                 << QStringList{"Ann", "ACME Ltd"}
                                 << QStringList{"company by " + who + ": Acme -> ACME Ltd"};
        QTest::newRow("both, one emptied")
            << true << QStringList{"Anne O'Brien", ""} << corrected
            << QStringList{"Anne O'Brien", ""}
            << QStringList{"completed_by by " + who + ": Ann -> Anne O'Brien",
                           "company by " + who + ": Acme -> "};
        QTest::newRow("typed back as stored") << true << QStringList{"Ann", "Acme"} << same
                                              << QStringList{"Ann", "Acme"} << QStringList{};
        QTest::newRow("no survey chosen")
            << false << QStringList{QString(), QString()} << "Choose a survey first."
            << QStringList{"Ann", "Acme"} << QStringList{};
    }

    void correctingAHeader()
    {
        QFETCH(bool, choose);
        QFETCH(QStringList, typed);
        QFETCH(QString, told);
        QFETCH(QStringList, header);
        QFETCH(QStringList, history);
        TestDb db;
        MessageCapture mc;
        QWidget* w = openOnTwoSurveys(db);
        // Nothing can be typed before a survey is chosen.
        QCOMPARE(box(w, "txtCompany")->isReadOnly(), true);
        if (choose) {
            Ui::PickText(w, QStringLiteral("cmbSurveyID"), QStringLiteral("2"));
            QCOMPARE(box(w, "txtCompany")->isReadOnly(), false);
            QCOMPARE(box(w, "txtCompletedBy")->text(), QStringLiteral("Ann"));
            QCOMPARE(box(w, "txtCompany")->text(), QStringLiteral("Acme"));
        }
        if (!typed[0].isNull())
            box(w, "txtCompletedBy")->setText(typed[0]);
        if (!typed[1].isNull())
            box(w, "txtCompany")->setText(typed[1]);
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(mc.messages, QStringList{told});
        QCOMPARE(db.rows(QStringLiteral("SELECT completed_by, company FROM survey ORDER BY id")),
                 (QList<QVariantList>{{"Bob", "Other"}, {header[0], header[1]}}));
        QCOMPARE(HistoryOf(db), history);
        // Submitted, the window closes without asking.
        Ui::CloseBox(w);
        QCOMPARE(mc.messages.size(), 1);
    }

    // Typed corrections go only after a Yes, whether another survey is
    // picked or the window closed, by its close box or by Escape.
    void typedCorrectionsAreKept()
    {
        TestDb db;
        MessageCapture mc;
        QWidget* w = openOnTwoSurveys(db);
        Ui::PickText(w, QStringLiteral("cmbSurveyID"), QStringLiteral("2"));
        box(w, "txtCompany")->setText(QStringLiteral("Typed"));
        const QString discard = QStringLiteral("The correction typed in Correct Survey Header is "
                                               "not stored. Discard it?");
        Ui::PickText(w, QStringLiteral("cmbSurveyID"), QStringLiteral("1"));
        Ui::CloseBox(w);
        Ui::Activate(w);
        Ui::Key(Qt::Key_Escape);
        QVERIFY(w->isVisible());
        QCOMPARE(mc.messages, (QStringList{discard, discard, discard}));
        QCOMPARE(Ui::Find<QComboBox>(w, "cmbSurveyID")->currentText(), QStringLiteral("2"));
        QCOMPARE(box(w, "txtCompany")->text(), QStringLiteral("Typed"));
        mc.answers << true;
        Ui::PickText(w, QStringLiteral("cmbSurveyID"), QStringLiteral("1"));
        QCOMPARE(box(w, "txtCompany")->text(), QStringLiteral("Other"));
        QCOMPARE(HistoryOf(db), QStringList());
    }
};

QUELT_TEST(CorrectSurveyTest);
#include "CorrectSurveyTest.moc"
