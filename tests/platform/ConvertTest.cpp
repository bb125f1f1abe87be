#include "common/TestRegistry.h"

#include "platform/Convert.h"
#include "platform/QueltError.h"

#include <QTest>

class ConvertTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void int16_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("expected");
        QTest::newRow("int") << QVariant(7) << true << 7;
        QTest::newRow("text") << QVariant(QStringLiteral("12")) << true << 12;
        QTest::newRow("text with blanks") << QVariant(QStringLiteral(" 3 ")) << true << 3;
        QTest::newRow("whole double") << QVariant(2.0) << true << 2;
        QTest::newRow("largest") << QVariant(32767) << true << 32767;
        QTest::newRow("smallest") << QVariant(-32768) << true << -32768;
        QTest::newRow("one above") << QVariant(32768) << false << 0;
        QTest::newRow("one below") << QVariant(-32769) << false << 0;
        QTest::newRow("far above") << QVariant(qlonglong(1) << 40) << false << 0;
        QTest::newRow("null") << QVariant() << false << 0;
        QTest::newRow("half") << QVariant(2.5) << false << 0;
        QTest::newRow("words") << QVariant(QStringLiteral("seven")) << false << 0;
        QTest::newRow("empty text") << QVariant(QString()) << false << 0;
    }

    void int16()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, ok);
        QFETCH(int, expected);
        try {
            const qint16 got = CInt16(value, QStringLiteral("The survey number"));
            QVERIFY2(ok, "accepted a value that does not fit");
            QCOMPARE(int(got), expected);
        } catch (const QueltError& e) {
            QVERIFY2(!ok, qPrintable(e.message()));
            QVERIFY(e.message().startsWith(QStringLiteral("The survey number")));
        }
    }

    void text_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("null") << QVariant() << QString();
        QTest::newRow("blanks") << QVariant(QStringLiteral("  Name  ")) << QStringLiteral("Name");
        QTest::newRow("tab and break kept")
            << QVariant(QStringLiteral("\tA\n ")) << QStringLiteral("\tA\n");
        QTest::newRow("only blanks") << QVariant(QStringLiteral("   ")) << QString();
        QTest::newRow("number") << QVariant(42) << QStringLiteral("42");
    }

    void text()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(CText(value), expected);
    }
};

QUELT_TEST(ConvertTest);
#include "ConvertTest.moc"
