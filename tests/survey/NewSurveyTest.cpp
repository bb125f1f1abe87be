#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QFile>

namespace {

const QString kNoFurtherNumber = QStringLiteral("No further survey number is available.");

// "Answer New Survey" on the main menu: the window it shows, and its controls
// found by name.
struct AnswerNewSurvey
{
    static QWidget* open()
    {
        Ui::MenuItem("miCompleteSurvey");
        return Ui::FindWindow("frmNewSurvey");
    }
    QWidget* form = open();
    TextBox* txtSurveyID = Ui::Find<TextBox>(form, "txtSurveyID");
    TextBox* txtCompletedBy = Ui::Find<TextBox>(form, "txtCompletedBy");
    TextBox* txtCompany = Ui::Find<TextBox>(form, "txtCompany");
    QAbstractButton* butSubmit = Ui::Find<QAbstractButton>(form, "butSubmit");
    QAbstractButton* butCancel = Ui::Find<QAbstractButton>(form, "butCancel");
};

void Fill(const AnswerNewSurvey& w, const QString& completedBy, const QString& company)
{
    QTest::keyClicks(w.txtCompletedBy, completedBy);
    QTest::keyClicks(w.txtCompany, company);
}

QList<QVariantList> Headers(const TestDb& db)
{
    return db.rows(QStringLiteral("SELECT id, completed_by, company FROM survey ORDER BY id"));
}

bool SurveyWindowShown()
{
    const QWidget* survey = Ui::Window("frmSurvey");
    return survey && survey->isVisible();
}

// Where the focus stands in the window in front: the answering window once
// a header is stored, else this one.
QString FocusInFront(const QWidget* newSurvey)
{
    const QWidget* front = SurveyWindowShown() ? Ui::FindWindow("frmSurvey") : newSurvey;
    return front->focusWidget() ? front->focusWidget()->objectName() : QString();
}

// The survey the answering window has chosen, with its header as shown.
QStringList ChosenSurvey()
{
    const QWidget* survey = Ui::FindWindow("frmSurvey");
    return {Ui::Find<QComboBox>(survey, "cmbSurveyID")->currentText(),
            Ui::Find<TextBox>(survey, "txtCompletedBy")->text()};
}

} // namespace

class NewSurveyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    void proposesNextNumber_data()
    {
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("empty table") << QList<int>{} << "1";
        QTest::newRow("gaps not filled") << QList<int>{1, 2, 7} << "8";
        QTest::newRow("order of storing") << QList<int>{7, 1, 2} << "8";
        QTest::newRow("last number left") << QList<int>{32766} << "32767";
    }

    void proposesNextNumber()
    {
        QFETCH(QList<int>, stored);
        TestDb db;
        MessageCapture mc;
        for (int id : stored)
            db.addSurvey(id);
        AnswerNewSurvey w;
        QVERIFY(w.form->isVisible());
        QTEST(w.txtSurveyID->text(), "proposed");
        QCOMPARE(w.txtCompletedBy->text(), QString());
        QCOMPARE(w.txtCompany->text(), QString());
        QCOMPARE(mc.messages, QStringList());
    }

    void numberBoxCannotBeEdited()
    {
        TestDb db;
        AnswerNewSurvey w;
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Answer New Survey"));
        QCOMPARE(Ui::TabOrder(w.form), (QStringList{"txtSurveyID", "txtCompletedBy", "txtCompany",
                                                    "butSubmit", "butCancel"}));
        QVERIFY(w.txtSurveyID->isReadOnly());
        w.txtSurveyID->setFocus();
        QTest::keyClick(w.txtSurveyID, Qt::Key_End);
        QTest::keyClick(w.txtSurveyID, Qt::Key_Backspace);
        QTest::keyClicks(w.txtSurveyID, QStringLiteral("42"));
        QCOMPARE(w.txtSurveyID->text(), QStringLiteral("1"));
        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        Ui::Click(w.butSubmit);
        QCOMPARE(db.value(QStringLiteral("SELECT id FROM survey")).toInt(), 1);
    }

    // Keys alone: Return or Enter in Completed By moves on to Company; in
    // Company, the last box, or on the focused Submit it stores the header
    // and leaves the user in the answering window, the new survey chosen,
    // ready to pick a model row; on Cancel it hides the window; in the
    // locked number box it does nothing.
    void returnKey_data()
    {
        QTest::addColumn<int>("tabs"); // from the number box, where the focus starts
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("focused"); // afterwards; empty: not looked at
        QTest::newRow("Return in Completed By")
            << 1 << int(Qt::Key_Return) << false << true << "txtCompany";
        QTest::newRow("Enter in Company")
            << 2 << int(Qt::Key_Enter) << true << false << "cmbModelRow";
        QTest::newRow("Return on Submit")
            << 3 << int(Qt::Key_Return) << true << false << "cmbModelRow";
        QTest::newRow("Enter on Cancel") << 4 << int(Qt::Key_Enter) << false << false << "";
        QTest::newRow("Return in the number box")
            << 0 << int(Qt::Key_Return) << false << true << "txtSurveyID";
    }

    void returnKey()
    {
        QFETCH(int, tabs);
        QFETCH(int, key);
        QFETCH(bool, stored);
        QFETCH(bool, shown);
        QFETCH(QString, focused);
        TestDb db;
        MessageCapture mc;
        AnswerNewSurvey w;
        Ui::Activate(w.form);
        QCOMPARE(Ui::Focused(), QStringLiteral("txtSurveyID"));
        Ui::Key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Ann"));
        Ui::Key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Acme"));
        for (int i = 0; i < 2 + 5 - tabs; ++i) // round to the chosen control
            Ui::Key(Qt::Key_Tab, Qt::ShiftModifier);
        Ui::Key(key);
        QCOMPARE(Headers(db),
                 stored ? (QList<QVariantList>{{1, "Ann", "Acme"}}) : QList<QVariantList>());
        QCOMPARE(w.form->isVisible(), shown);
        QCOMPARE(SurveyWindowShown(), stored);
        QCOMPARE(mc.messages, QStringList());
        if (stored)
            QCOMPARE(ChosenSurvey(), (QStringList{"1", "Ann"}));
        if (!focused.isEmpty())
            QCOMPARE(FocusInFront(w.form), focused);
    }

    // Tab, Return, Return on an empty form: a header without a name or a
    // company is stored only after a Yes; No puts the cursor in the box.
    void emptyBoxesAsk_data()
    {
        QTest::addColumn<QString>("completedBy");
        QTest::addColumn<QString>("company");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("focused");
        const QString both =
            QStringLiteral("Completed By and Company are empty. Store survey 1 without them?");
        QTest::newRow("both, Yes") << ""
                                   << "" << true << both << "cmbModelRow";
        QTest::newRow("both, No") << ""
                                  << "" << false << both << "txtCompletedBy";
        QTest::newRow("Company blank, No")
            << "Ann"
            << "   " << false << "Company is empty. Store survey 1 without it?"
            << "txtCompany";
        QTest::newRow("Completed By, Yes")
            << ""
            << "Acme" << true << "Completed By is empty. Store survey 1 without it?"
            << "cmbModelRow";
    }

    void emptyBoxesAsk()
    {
        QFETCH(QString, completedBy);
        QFETCH(QString, company);
        QFETCH(bool, yes);
        QFETCH(QString, question);
        QFETCH(QString, focused);
        TestDb db;
        MessageCapture mc;
        mc.answers << yes;
        AnswerNewSurvey w;
        Ui::Activate(w.form);
        Ui::Key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), completedBy);
        Ui::Key(Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), company);
        Ui::Key(Qt::Key_Return);

        QCOMPARE(mc.messages, QStringList{question});
        QCOMPARE(Headers(db),
                 yes ? (QList<QVariantList>{{1, completedBy, company}}) : QList<QVariantList>());
        QCOMPARE(w.form->isVisible(), !yes);
        QCOMPARE(FocusInFront(w.form), focused);
    }

    // The answering window, open with a score not yet submitted, is asked
    // to take the new survey as a pick of it would be.
    void newSurveyChosenForAnswering_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("chosen");
        QTest::newRow("score discarded") << true << QStringList{"2", "Ann"};
        QTest::newRow("score kept") << false << QStringList{"1", "A"};
    }

    void newSurveyChosenForAnswering()
    {
        QFETCH(bool, yes);
        QFETCH(QStringList, chosen);
        TestDb db;
        MessageCapture mc;
        db.addSurvey(1);
        db.addQuestion(0, 0, QStringLiteral("Q"), QStringLiteral("L"));
        Ui::MenuItem("miModifySurveyAnswers");
        QWidget* survey = Ui::FindWindow("frmSurvey");
        Ui::PickText(survey, "cmbSurveyID", QStringLiteral("1"));
        Ui::Pick(survey, "cmbModelRow", 0);
        Ui::Pick(survey, "cmbModelCol", 0);
        Ui::Choose(Ui::Row(survey, 0), 2);

        AnswerNewSurvey w;
        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        mc.answers << yes;
        Ui::Click(w.butSubmit);
        QCOMPARE(mc.messages,
                 QStringList{QStringLiteral("1 score of this cell is not submitted. Discard it?")});
        QCOMPARE(db.count(QStringLiteral("survey")), 2);
        QCOMPARE(ChosenSurvey(), chosen);
        QCOMPARE(Ui::Row(survey, 0)->Get_Value(), yes ? -1 : 2);
        QCOMPARE(FocusInFront(w.form), QStringLiteral("cmbModelRow"));
    }

    void submitStoresOneHeader_data()
    {
        QTest::addColumn<QString>("completedBy");
        QTest::addColumn<QString>("company");
        QTest::newRow("plain") << "A" << "B";
        QTest::newRow("apostrophes") << "O'Brien" << "Smith's 'Best' Ltd";
        QTest::newRow("statement-like") << "x'); DELETE FROM survey; --" << "'";
        QTest::newRow("blanks kept") << "  Ann  "
                                     << " Co ";
    }

    void submitStoresOneHeader()
    {
        QFETCH(QString, completedBy);
        QFETCH(QString, company);
        TestDb db;
        MessageCapture mc;
        for (int id : {1, 2, 7})
            db.addSurvey(id);
        AnswerNewSurvey w;
        Fill(w, completedBy, company);
        Ui::Click(w.butSubmit);

        QCOMPARE(mc.messages, QStringList());
        QCOMPARE(db.count(QStringLiteral("survey")), 4);
        QCOMPARE(Headers(db).last(), (QVariantList{8, completedBy, company}));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);
        QVERIFY(!w.form->isVisible());
        QVERIFY(SurveyWindowShown());
    }

    // Shown again after a Submit, the window starts a new survey, so no number
    // is ever offered twice; after Cancel it keeps what it had.
    void showingAgain()
    {
        TestDb db;
        MessageCapture mc;
        AnswerNewSurvey w;
        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        Ui::Click(w.butCancel);
        QVERIFY(!w.form->isVisible());
        QCOMPARE(db.count(QStringLiteral("survey")), 0);
        QVERIFY(!Ui::Window("frmSurvey"));

        QCOMPARE(AnswerNewSurvey::open(), w.form);
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.txtSurveyID->text(), QStringLiteral("1"));
        QCOMPARE(w.txtCompletedBy->text(), QStringLiteral("Ann"));
        QCOMPARE(w.txtCompany->text(), QStringLiteral("Acme"));

        Ui::Click(w.butSubmit);
        QCOMPARE(AnswerNewSurvey::open(), w.form);
        QCOMPARE(w.txtSurveyID->text(), QStringLiteral("2"));
        QCOMPARE(w.txtCompletedBy->text(), QString());
        QCOMPARE(w.txtCompany->text(), QString());
        Fill(w, QStringLiteral("Bob"), QStringLiteral("Beta"));
        Ui::Click(w.butSubmit);
        QCOMPARE(Headers(db), (QList<QVariantList>{{1, "Ann", "Acme"}, {2, "Bob", "Beta"}}));

        // The close box drops the window; the next one proposes afresh.
        AnswerNewSurvey::open();
        db.addSurvey(5);
        Ui::CloseBox(w.form);
        QVERIFY(!Ui::Window("frmNewSurvey"));
        QCOMPARE(AnswerNewSurvey().txtSurveyID->text(), QStringLiteral("6"));
        QCOMPARE(mc.messages, QStringList());
    }

    void noNumberLeft_data()
    {
        QTest::addColumn<int>("largest");
        QTest::addColumn<bool>("bare");
        QTest::newRow("32767") << 32767 << false;
        QTest::newRow("above 32767, file made elsewhere") << 40000 << true;
    }

    void noNumberLeft()
    {
        QFETCH(int, largest);
        QFETCH(bool, bare);
        TestDb db({QStringLiteral("R")}, {QStringLiteral("C")}, bare);
        MessageCapture mc;
        db.addSurvey(largest);
        AnswerNewSurvey w;
        QVERIFY(w.form->isVisible());
        QCOMPARE(mc.messages, QStringList{kNoFurtherNumber});
        QCOMPARE(w.txtSurveyID->text(), QString());

        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        Ui::Click(w.butSubmit);
        QCOMPARE(mc.messages, (QStringList{kNoFurtherNumber, kNoFurtherNumber}));
        QCOMPARE(db.count(QStringLiteral("survey")), 1);
        QCOMPARE(w.txtSurveyID->text(), QString());
        QCOMPARE(w.txtCompletedBy->text(), QStringLiteral("Ann"));
        QVERIFY(w.form->isVisible());
        QVERIFY(!Ui::Window("frmSurvey"));
    }

    // A number freed by other means after "none left" is shown before it is stored.
    void emptyNumberBoxStoresNothing()
    {
        TestDb db;
        MessageCapture mc;
        db.addSurvey(32767);
        AnswerNewSurvey w;
        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        db.exec(QStringLiteral("DELETE FROM survey"));
        Ui::Click(w.butSubmit);
        QCOMPARE(mc.messages,
                 (QStringList{kNoFurtherNumber, QStringLiteral("Survey number 1 is proposed.")}));
        QCOMPARE(w.txtSurveyID->text(), QStringLiteral("1"));
        QCOMPARE(db.count(QStringLiteral("survey")), 0);
        Ui::Click(w.butSubmit);
        QCOMPARE(db.count(QStringLiteral("survey")), 1);
    }

    // Another copy of the program stores a header between proposal and Submit.
    void numberTakenMeanwhile_data()
    {
        QTest::addColumn<bool>("bare");
        QTest::newRow("keyed survey table") << false;
        QTest::newRow("survey table without key") << true;
    }

    void numberTakenMeanwhile()
    {
        QFETCH(bool, bare);
        TestDb db({QStringLiteral("R")}, {QStringLiteral("C")}, bare);
        MessageCapture mc;
        for (int id : {1, 2, 7})
            db.addSurvey(id);
        AnswerNewSurvey w;
        QCOMPARE(w.txtSurveyID->text(), QStringLiteral("8"));
        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        db.addSurvey(8, QStringLiteral("Other"), QStringLiteral("Copy"));
        Ui::Click(w.butSubmit);

        // Stored under the next free number at once, and said so: nobody
        // presses Submit twice for one survey.
        QCOMPARE(mc.messages, QStringList{QStringLiteral(
                                  "Survey number 8 was taken in the meantime; this survey was "
                                  "stored as number 9.")});
        QCOMPARE(Headers(db).mid(3), (QList<QVariantList>{{8, "Other", "Copy"},
                                                          {9, "Ann", "Acme"}}));
        QVERIFY(!w.form->isVisible());
        QVERIFY(SurveyWindowShown());
    }

    void lastNumberTakenMeanwhile()
    {
        TestDb db;
        MessageCapture mc;
        db.addSurvey(32766);
        AnswerNewSurvey w;
        QCOMPARE(w.txtSurveyID->text(), QStringLiteral("32767"));
        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        db.addSurvey(32767);
        Ui::Click(w.butSubmit);
        QCOMPARE(mc.messages, QStringList{kNoFurtherNumber});
        QCOMPARE(w.txtSurveyID->text(), QString());
        QCOMPARE(db.count(QStringLiteral("survey")), 2);
    }

    // A refused insert keeps the window as it was and opens nothing.
    void failedInsertKeepsTheWindow()
    {
        QUELT_FILE_ONLY("a trigger in SQLite's words");
        TestDb db;
        MessageCapture mc;
        AnswerNewSurvey w;
        Fill(w, QStringLiteral("Ann"), QStringLiteral("Acme"));
        db.exec(QStringLiteral("DROP TABLE survey"));
        db.exec(QStringLiteral("CREATE TABLE survey (id, completed_by, company, "
                               "CONSTRAINT refused_here CHECK (company <> 'Acme'))"));
        Ui::Click(w.butSubmit);

        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("refused_here")), qPrintable(mc.last()));
        QCOMPARE(db.count(QStringLiteral("survey")), 0);
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.txtSurveyID->text(), QStringLiteral("1"));
        QCOMPARE(w.txtCompletedBy->text(), QStringLiteral("Ann"));
        QVERIFY(!Ui::Window("frmSurvey"));
    }

    // Without the file no number can be proposed: reported, and no window stays.
    void missingFileLeavesNoWindow()
    {
        QUELT_FILE_ONLY("the file removed");
        TestDb db;
        MessageCapture mc;
        QVERIFY(QFile::remove(db.path()));
        Ui::MenuItem("miCompleteSurvey");
        QVERIFY(!Ui::Window("frmNewSurvey"));
        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("quelt.mdb")), qPrintable(mc.last()));
        QVERIFY(!QFile::exists(db.path()));
    }
};

QUELT_TEST(NewSurveyTest);
#include "NewSurveyTest.moc"
