#include "common/TestDb.h"
#include "common/TestRegistry.h"

#include "platform/QueltError.h"
#include "questions/ModelLists.h"

#include <QComboBox>
#include <QListWidget>
#include <QTest>

// The shared lists on their own: what a window that reuses them can count on.
class ModelListsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pickedNumber_data()
    {
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<int>("picked");
        QTest::addColumn<int>("expected"); // -1: nothing picked
        QTest::addColumn<bool>("fails");

        QTest::newRow("nothing picked") << QStringList{"0", "1"} << -1 << -1 << false;
        QTest::newRow("first") << QStringList{"0", "1"} << 0 << 0 << false;
        QTest::newRow("by position, not value") << QStringList{"5", "2"} << 1 << 2 << false;
        QTest::newRow("largest") << QStringList{"32767"} << 0 << 32767 << false;
        QTest::newRow("negative") << QStringList{"-3"} << 0 << -3 << false;
        QTest::newRow("too large") << QStringList{"32768"} << 0 << 0 << true;
        QTest::newRow("not whole") << QStringList{"1.5"} << 0 << 0 << true;
        QTest::newRow("not a number") << QStringList{"abc"} << 0 << 0 << true;
        QTest::newRow("empty text") << QStringList{""} << 0 << 0 << true;
        QTest::newRow("lists out of step") << QStringList{} << 0 << 0 << true;
    }

    void pickedNumber()
    {
        QFETCH(QStringList, numbers);
        QFETCH(int, picked);
        QFETCH(int, expected);
        QFETCH(bool, fails);
        QComboBox names;
        QListWidget list;
        names.addItem(QStringLiteral("First"));
        names.addItem(QStringLiteral("Second"));
        list.addItems(numbers);
        names.setCurrentIndex(picked);

        try {
            const std::optional<qint16> number = PickedNumber(&names, &list);
            QVERIFY2(!fails, "a number that cannot be used was taken");
            QCOMPARE(number.has_value(), expected != -1 || picked != -1);
            if (number)
                QCOMPARE(int(*number), expected);
        } catch (const QueltError& e) {
            QVERIFY2(fails, qPrintable(e.message()));
        }
    }

    void loadFillsBothPairsInStep()
    {
        TestDb db({QStringLiteral("R0"), QStringLiteral("R1")}, {QStringLiteral("C0")});
        QComboBox cmbRow, cmbCol;
        QListWidget lstRow, lstCol;
        LoadModelLists(&cmbRow, &lstRow, &cmbCol, &lstCol);
        QCOMPARE(cmbRow.count(), 2);
        QCOMPARE(lstRow.count(), 2);
        QCOMPARE(cmbCol.count(), 1);
        QCOMPARE(lstCol.count(), 1);
        cmbRow.setCurrentIndex(1);
        QCOMPARE(PickedNumber(&cmbRow, &lstRow), std::optional<qint16>(1));
    }

    // A model table missing from the file is reported, naming the file.
    void missingTableFails()
    {
        TestDb db;
        db.exec(QStringLiteral("DROP TABLE model_column"));
        QComboBox cmbRow, cmbCol;
        QListWidget lstRow, lstCol;
        try {
            LoadModelLists(&cmbRow, &lstRow, &cmbCol, &lstCol);
            QFAIL("no failure");
        } catch (const QueltError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("quelt.mdb")), qPrintable(e.message()));
        }
    }
};

QUELT_TEST(ModelListsTest);
#include "ModelListsTest.moc"
