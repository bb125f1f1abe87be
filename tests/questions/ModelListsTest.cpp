#include "common/TestRegistry.h"

#include "platform/QueltError.h"
#include "questions/ModelLists.h"

#include <QComboBox>
#include <QListWidget>
#include <QTest>

// The number behind a picked name, as every window that reuses the lists takes it.
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
        QTest::newRow("by position, not value") << QStringList{"5", "2"} << 1 << 2 << false;
        QTest::newRow("largest") << QStringList{"32767"} << 0 << 32767 << false;
        QTest::newRow("negative") << QStringList{"-3"} << 0 << -3 << false;
        QTest::newRow("too large") << QStringList{"32768"} << 0 << 0 << true;
        QTest::newRow("not whole") << QStringList{"1.5"} << 0 << 0 << true;
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
            QCOMPARE(number.has_value(), picked != -1);
            if (number)
                QCOMPARE(int(*number), expected);
        } catch (const QueltError& e) {
            QVERIFY2(fails, qPrintable(e.message()));
        }
    }
};

QUELT_TEST(ModelListsTest);
#include "ModelListsTest.moc"
