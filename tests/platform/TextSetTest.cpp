#include "common/TestRegistry.h"

#include "platform/TextSet.h"

#include <QTest>

// Numbers are kept by value: only texts that are one number written the same
// way may count as repeats of each other.
class TextSetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void repeats_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<bool>>("fresh");
        QTest::newRow("numbers") << QStringList{"7", "12", "7", "12"}
                                 << QList<bool>{true, true, false, false};
        QTest::newRow("leading zero") << QStringList{"7", "07", "07"}
                                      << QList<bool>{true, true, false};
        QTest::newRow("signs") << QStringList{"0", "-0", "5", "-5", "+5", "-5"}
                               << QList<bool>{true, true, true, true, true, false};
        QTest::newRow("texts beside numbers") << QStringList{"12", "12a", " 12", "12a"}
                                              << QList<bool>{true, true, true, false};
        QTest::newRow("either side of 65536")
            << QStringList{"65535", "65536", "65537", "65536", "65535", "-1", "-1"}
            << QList<bool>{true, true, true, false, false, true, false};
        QTest::newRow("too long for a number")
            << QStringList{"123456789012345678", "1234567890123456789", "1234567890123456789"}
            << QList<bool>{true, true, false};
        QTest::newRow("empty and minus") << QStringList{"", "-", "", "-"}
                                         << QList<bool>{true, true, false, false};
    }

    void repeats()
    {
        QFETCH(QStringList, texts);
        QFETCH(QList<bool>, fresh);
        TextSet set;
        QList<bool> seen;
        for (const QString& text : texts)
            seen.append(set.Insert(text));
        QCOMPARE(seen, fresh);
    }
};

QUELT_TEST(TextSetTest);
#include "TextSetTest.moc"
