#include "ToolRun.h"
#include "common/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>


class QueltDbTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initNumbersTheModelInOrder()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("quelt.mdb"));
        Run r = quelt_db({QStringLiteral("init"), file, QStringLiteral("--rows"),
                          QStringLiteral("People; O'Brien's row;Plant"), QStringLiteral("--cols"),
                          QStringLiteral("Aware;Act")});
        QCOMPARE(r.status, 0);
        QCOMPARE(query(file, QStringLiteral("SELECT row_number, name FROM model_row ORDER BY 1")),
                 (QList<QVariantList>{{0, "People"}, {1, "O'Brien's row"}, {2, "Plant"}}));
        QCOMPARE(query(file, QStringLiteral("SELECT col_number, name FROM model_column ORDER BY 1")),
                 (QList<QVariantList>{{0, "Aware"}, {1, "Act"}}));
        QCOMPARE(query(file, QStringLiteral("SELECT count(*) FROM question")).value(0).value(0), 0);

        // The database numbers questions; a survey number cannot be stored twice.
        QCOMPARE(query(file, QStringLiteral("INSERT INTO survey VALUES (1, 'a', 'b')")).size(), 0);
        const QString refused =
            refusal(file, QStringLiteral("INSERT INTO survey VALUES (1, 'c', 'd')"));
        QVERIFY2(refused.contains(QStringLiteral("UNIQUE constraint failed: survey.id")),
                 qPrintable(refused));
        QCOMPARE(query(file, QStringLiteral("SELECT count(*) FROM survey")).value(0).value(0), 1);

        // The per-cell results query finds questions by cell and answers by
        // question, never all of a survey's answers first.
        const auto plan = query(file, QStringLiteral(
            "EXPLAIN QUERY PLAN SELECT SUM(answer) as iSum, COUNT(answer) as iCount FROM "
            "survey_results, question WHERE survey_results.question_id = question.id AND "
            "survey_id = 1 AND row_id = 0 AND col_id = 0"));
        QString planText;
        for (const auto& row : plan)
            planText += row.last().toString() + u'\n';
        QVERIFY2(planText.contains(QStringLiteral("question USING COVERING INDEX question_cell")) ||
                     planText.contains(QStringLiteral("question USING INDEX question_cell")),
                 qPrintable(planText));
        QVERIFY2(planText.contains(QStringLiteral("survey_results USING COVERING INDEX")),
                 qPrintable(planText));
    }

    void refusesWhatItMustNotDo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("no command") << QStringList{} << 2;
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2;
        QTest::newRow("no --cols") << QStringList{"init", "@", "--rows", "a"} << 2;
        QTest::newRow("no file") << QStringList{"init", "--rows", "a", "--cols", "b"} << 2;
        QTest::newRow("unknown option") << QStringList{"demo", "@", "--force"} << 2;
        QTest::newRow("existing file") << QStringList{"init", "@existing", "--rows", "a", "--cols", "b"} << 1;
        QTest::newRow("existing demo") << QStringList{"demo", "@existing"} << 1;
        QTest::newRow("no such folder") << QStringList{"init", "@/no/such/dir/q.mdb", "--rows", "a", "--cols", "b"} << 1;
        QTest::newRow("report of no survey") << QStringList{"report", "@existing"} << 2;
        QTest::newRow("report of two choices") << QStringList{"report", "@existing", "--survey", "1", "--all"} << 2;
        QTest::newRow("option twice") << QStringList{"report", "@existing", "--survey", "1", "--survey", "2"} << 2;
        QTest::newRow("unknown format") << QStringList{"report", "@existing", "--all", "--format", "bmp"} << 2;
        QTest::newRow("picture to terminal") << QStringList{"report", "@existing", "--all", "--format", "png"} << 2;
        QTest::newRow("report over database") << QStringList{"report", "@existing", "--all", "--output", "@existing"} << 2;
        QTest::newRow("export over database") << QStringList{"export", "@existing", "--output", "@existing"} << 2;
        QTest::newRow("report of no database") << QStringList{"report", "@existing", "--survey", "1", "--output", "@r.png"} << 1;
        QTest::newRow("export of no database") << QStringList{"export", "@existing", "--output", "@a.csv"} << 1;
        QTest::newRow("import without csv") << QStringList{"import-questions", "@existing"} << 2;
        QTest::newRow("import of no csv") << QStringList{"import-questions", "@existing", "@q.csv"} << 1;
        QTest::newRow("check of no database") << QStringList{"check", "@existing"} << 1;
        QTest::newRow("index of no database") << QStringList{"index", "@existing"} << 1;
        QTest::newRow("short option") << QStringList{"export", "@existing", "-o", "@a.csv"} << 2;
        QTest::newRow("empty model name")
            << QStringList{"init", "@", "--rows", "a;;b", "--cols", "c"} << 2;
        QTest::newRow("trailing ;")
            << QStringList{"init", "@", "--rows", "a;b;", "--cols", "c"} << 2;
        QTest::newRow("model name twice")
            << QStringList{"init", "@", "--rows", "a", "--cols", "c;c"} << 2;
        QTest::newRow("raw picture")
            << QStringList{"report", "@existing", "--all", "--raw", "--output", "@r.png"} << 2;
    }

    void refusesWhatItMustNotDo()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("existing"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        for (QString& a : args) {
            if (a == QStringLiteral("@existing"))
                a = existing;
            else if (a.startsWith(QStringLiteral("@/")))
                a = a.mid(1);
            else if (a.startsWith(u'@'))
                a = dir.filePath(a.mid(1).isEmpty() ? QStringLiteral("new.mdb") : a.mid(1));
        }
        Run r = quelt_db(args);
        QCOMPARE(r.status, status);
        QVERIFY(!r.err.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("existing")});
        QFile f(existing);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
    }

    void help()
    {
        for (const QStringList& args :
             {QStringList{"--help"}, QStringList{"init", "--help"}, QStringList{"demo", "--help"},
              QStringList{"report", "--help"}, QStringList{"export", "--help"},
              QStringList{"import-questions", "--help"}, QStringList{"check", "--help"},
              QStringList{"index", "--help"}}) {
            Run r = quelt_db(args);
            QCOMPARE(r.status, 0);
            QVERIFY(r.out.contains(QStringLiteral("Usage: quelt-db")));
        }
    }

    void commandLineConventions()
    {
        QCOMPARE(quelt_db({"--version"}).out, QStringLiteral("quelt-db " QUELT_VERSION "\n"));
        const QString help = quelt_db({"report", "--help"}).out;
        QCOMPARE(quelt_db({"help", "report"}).out, help);
        QCOMPARE(quelt_db({"report", "-h"}).out, help);

        // After "--", a name that begins with "-" is a file.
        QTemporaryDir dir;
        const Run made = quelt_db(
            {"init", "--rows", "a;a", "--cols", "b", "--allow-duplicate-names", "--", "-odd.mdb"},
            [&](QProcess& p) { p.setWorkingDirectory(dir.path()); });
        QCOMPARE(made.status, 0);
        const QString file = dir.filePath(QStringLiteral("-odd.mdb"));
        QCOMPARE(query(file, QStringLiteral("SELECT name FROM model_row")),
                 (QList<QVariantList>{{"a"}, {"a"}}));

        // A survey that is not there: the message says which are.
        execute(file, {QStringLiteral("INSERT INTO survey VALUES (2, 'a', 'b'), (5, 'c', 'd')")});
        const Run missing = quelt_db({"report", file, "--survey", "7"});
        QCOMPARE(missing.status, 1);
        QVERIFY2(missing.err.contains(QStringLiteral("has no survey numbered 7; its 2 surveys are "
                                                     "numbered from 2 to 5")),
                 qPrintable(missing.err));
    }

    void demoIsARealisticSurveyFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("quelt.mdb"));
        QCOMPARE(quelt_db({QStringLiteral("demo"), file}).status, 0);
        QCOMPARE(query(file, QStringLiteral("SELECT count(*), min(row_number), max(row_number), "
                                            "count(DISTINCT name) FROM model_row")),
                 (QList<QVariantList>{{6, 0, 5, 6}}));
        QCOMPARE(query(file, QStringLiteral("SELECT count(*), count(DISTINCT name) FROM model_column")),
                 (QList<QVariantList>{{6, 6}}));
        // Two to four questions in every one of the 36 cells.
        QCOMPARE(query(file, QStringLiteral("SELECT count(*), min(n), max(n) FROM (SELECT count(*) n "
                                            "FROM question GROUP BY row_id, col_id)")),
                 (QList<QVariantList>{{36, 2, 4}}));
        // Three surveys, each answering every question once with a score 0..4.
        QCOMPARE(query(file, QStringLiteral("SELECT count(*) FROM survey")).value(0).value(0), 3);
        QCOMPARE(query(file, QStringLiteral(
                     "SELECT count(DISTINCT survey_id), min(answer), max(answer), "
                     "count(*) = 3 * (SELECT count(*) FROM question) FROM survey_results")),
                 (QList<QVariantList>{{3, 0, 4, 1}}));
    }
};

QUELT_TEST(QueltDbTest);
#include "QueltDbTest.moc"
