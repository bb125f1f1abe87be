#include "data/Csv.h"
#include "common/TestRegistry.h"

#include <QTest>

class CsvTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordsComeBackAsWritten_data()
    {
        QTest::addColumn<QList<QStringList>>("records");
        QTest::newRow("plain") << QList<QStringList>{{"1", "Anne", "Northwind"}, {"2", "Jan", "Harbour"}};
        QTest::newRow("commas and quotes")
            << QList<QStringList>{{"a,b", "say \"yes\"", "\""}, {"\"\"", ",", "x"}};
        QTest::newRow("line breaks")
            << QList<QStringList>{{"one\ntwo", "cr\r\nlf", "end\r"}, {"\n", "", "last"}};
        QTest::newRow("empty and blank")
            << QList<QStringList>{{"", "", ""}, {" lead", "trail ", " "}, {""}};
        QTest::newRow("beyond ASCII") << QList<QStringList>{{"Zoë", "Ærø", "日本語, \"引用\""}};
    }

    void recordsComeBackAsWritten()
    {
        QFETCH(QList<QStringList>, records);
        QString text;
        QList<int> lines;
        int line = 1;
        for (const QStringList& record : records) {
            lines.append(line);
            const QString written = CsvRecord(record);
            QVERIFY(written.endsWith(QStringLiteral("\r\n")));
            text += written;
            // Every line end counts once: LF, CR LF and a CR alone.
            line += int(written.count(u'\n') + written.count(u'\r') -
                        written.count(QStringLiteral("\r\n")));
        }
        const CsvText read = ParseCsv(text);
        QVERIFY(read.problems.isEmpty());
        QCOMPARE(read.rows.size(), records.size());
        for (qsizetype i = 0; i < records.size(); ++i) {
            QCOMPARE(read.rows.at(i).fields, records.at(i));
            QCOMPARE(read.rows.at(i).line, lines.at(i));
        }
    }

    void faultsNameTheirLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("problems");
        QTest::newRow("quote left open") << "a,b\n\"c,\nd\n" << QList<int>{2};
        QTest::newRow("text after quote") << "a,b\nc,\"d\"e\nf,\"g\" \n" << QList<int>{2, 3};
        QTest::newRow("quote inside") << "x\r\ny\r\nab\"c\r\n" << QList<int>{3};
        QTest::newRow("sound, LF and no last line end") << "a,\"b\nc\"\nd" << QList<int>{};
        QTest::newRow("a fault twice on a line") << "a\"b\"c\r\"d\"e\"f\"" << QList<int>{1, 2, 2};
    }

    // CR alone ends a line as LF and CR LF do; a last CR is no part of the text.
    void lineEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QStringList>>("records");
        QTest::newRow("CR alone") << "a,b\rc,d\r" << QList<QStringList>{{"a", "b"}, {"c", "d"}};
        QTest::newRow("last CR") << "a,b\nc,d\r" << QList<QStringList>{{"a", "b"}, {"c", "d"}};
        QTest::newRow("CR kept in quotes") << "\"a\rb\"\r" << QList<QStringList>{{"a\rb"}};
    }

    void lineEnds()
    {
        QFETCH(QString, text);
        QFETCH(QList<QStringList>, records);
        QList<QStringList> read;
        for (const CsvRow& row : ParseCsv(text).rows)
            read.append(row.fields);
        QCOMPARE(read, records);
    }

    void faultsNameTheirLine()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, problems);
        QList<int> lines;
        for (const CsvProblem& p : ParseCsv(text).problems)
            lines.append(p.line);
        QCOMPARE(lines, problems);
    }
};

QUELT_TEST(CsvTest);
#include "CsvTest.moc"
