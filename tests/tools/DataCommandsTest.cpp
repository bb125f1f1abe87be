#include "ToolRun.h"
#include "common/TestRegistry.h"
#include "data/Csv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A fresh 3 x 3 model with one question, one survey and one answer.
struct SmallFile
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("quelt.mdb"));

    SmallFile()
    {
        quelt_db({"init", path, "--rows", "A;B;C", "--cols", "X;Y;Z"});
        execute(path, {"INSERT INTO question (label, question_text, row_id, col_id) VALUES ('1', 'q', 0, 0)",
              "INSERT INTO survey VALUES (1, 'Anne', 'Acme')",
              "INSERT INTO survey_results VALUES (1, 1, 3)"});
    }
    QString write(const QString& name, const QString& text) const
    {
        return write(name, text.toUtf8());
    }
    QString write(const QString& name, const QByteArray& bytes) const
    {
        const QString file = dir.filePath(name);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return file;
    }
};

} // namespace

class DataCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Texts with quotes, commas and line breaks go in through import and come
    // out of export as they were typed.
    void importedTextsComeBackInTheExport()
    {
        SmallFile db;
        const QList<QStringList> questions = {
            {"0", "1", "Q,1", "He said \"yes\"\nthen left"},
            {"2", "0", " spaced ", "Zoë's, \"quoted\"\r\nanswer"},
            {"1", "2", "", ""},
        };
        QString csv = QStringLiteral("row,col,label,text\n");
        for (const QStringList& q : questions)
            csv += CsvRecord(q);
        const Run imported = quelt_db({"import-questions", db.path, db.write("q.csv", csv)});
        QCOMPARE(imported.status, 0);
        QCOMPARE(query(db.path, "SELECT row_id, col_id, label, question_text FROM question "
                                "WHERE id > 1 ORDER BY id"),
                 (QList<QVariantList>{{0, 1, "Q,1", "He said \"yes\"\nthen left"},
                                      {2, 0, " spaced ", "Zoë's, \"quoted\"\r\nanswer"},
                                      {1, 2, "", ""}}));
        execute(db.path, {"INSERT INTO survey VALUES (2, 'Jan, \"JD\"', 'Harbour\nLogistics')",
                          "INSERT INTO survey_results VALUES (2, 3, 4)",
                          "INSERT INTO survey_results VALUES (2, 2, 0)",
                          "INSERT INTO survey_results VALUES (2, 99, 1)"});

        const QString out = db.dir.filePath(QStringLiteral("answers.csv"));
        QCOMPARE(quelt_db({"export", db.path, "--output", out}).status, 0);
        const CsvText read = ParseCsv(QString::fromUtf8(fileBytes(out)));
        QVERIFY(read.problems.isEmpty());
        QCOMPARE(read.rows.size(), 5);
        QCOMPARE(read.rows.at(0).fields,
                 (QStringList{"survey_id", "completed_by", "company", "question_id", "label",
                              "question_text", "row_number", "row_name", "col_number", "col_name",
                              "answer"}));
        QCOMPARE(read.rows.at(1).fields,
                 (QStringList{"1", "Anne", "Acme", "1", "1", "q", "0", "A", "0", "X", "3"}));
        QCOMPARE(read.rows.at(2).fields,
                 (QStringList{"2", "Jan, \"JD\"", "Harbour\nLogistics", "3", " spaced ",
                              "Zoë's, \"quoted\"\r\nanswer", "2", "C", "0", "X", "4"}));
        QCOMPARE(read.rows.at(3).fields.mid(3, 4),
                 (QStringList{"2", "Q,1", "He said \"yes\"\nthen left", "0"}));
        // An answer to a question that is gone is still an answer.
        QCOMPARE(read.rows.at(4).fields,
                 (QStringList{"2", "Jan, \"JD\"", "Harbour\nLogistics", "99", "", "", "", "", "", "",
                              "1"}));
    }

    void importStoresAllOrNothing_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QStringList>("faultyLines");
        QTest::addColumn<bool>("nearlyFull"); // question 32766 is stored already
        const auto bytes = []<std::size_t n>(const char(&text)[n]) { // NUL bytes included
            return QByteArray(text, qsizetype(n) - 1);
        };
        QTest::newRow("unknown row")
            << bytes("0,0,a,b\n7,0,c,d\n") << QStringList{"line 2"} << false;
        QTest::newRow("every fault named")
            << bytes("row,col,label,text\n0,9,a,b\n0,0,a\nx,0,a,b\n1,1,\"open\n")
            << QStringList{"line 2", "line 3", "line 4", "line 5", "line 5"} << false;
        QTest::newRow("numbers beyond 32767")
            << bytes("0,0,a,b\n\n0,0,c,d\n1,1,e,f\n") << QStringList{"line 3", "line 4"} << true;
        // Named by field, before the engine sees them.
        QTest::newRow("NUL") << bytes("0,0,a,b\n1,1,\"l\0\0\",t\n\n0\0,0,a,b\n")
                             << QStringList{"line 2: the label holds a NUL",
                                            "line 4: the row number holds a NUL"}
                             << false;
        QTest::newRow("bytes that are not UTF-8")
            << bytes("0,0,a,b\r2,2,ok,\xff\xfe\r") << QStringList{"line 2: the text holds bytes"}
            << false;
        QTest::newRow("faults of a kind named once a line")
            << bytes("0,0,a\"b\"c,d\n") << QStringList{"line 1"} << false;
    }

    void importStoresAllOrNothing()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QStringList, faultyLines);
        QFETCH(bool, nearlyFull);
        SmallFile db;
        if (nearlyFull)
            execute(db.path, {"INSERT INTO question VALUES (32766, 'l', 't', 0, 0)"});
        const QByteArray before = fileBytes(db.path);
        const Run r = quelt_db({"import-questions", db.path, db.write("q.csv", csv)});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(db.path), qPrintable(r.err));
        QVERIFY2(r.err.size() < 1000, qPrintable(r.err)); // no statement of the engine's
        QStringList named;
        for (const QString& line : r.err.split(u'\n'))
            if (line.startsWith(QStringLiteral("q.csv, line ")))
                named << line.section(u',', 1).trimmed();
        QCOMPARE(named.size(), faultyLines.size());
        for (qsizetype i = 0; i < named.size(); ++i) { // "line 2" or "line 2: what"
            const QString& expected = faultyLines.at(i);
            QVERIFY2(named.at(i).startsWith(expected.contains(u':') ? expected : expected + u':'),
                     qPrintable(named.at(i)));
        }
        QCOMPARE(fileBytes(db.path), before);
    }

    // Each kind of fault on a file made for it; notes never fail the check,
    // and the check never changes a byte of the file.
    void checkFindsWhatIsWrong_data()
    {
        QTest::addColumn<QStringList>("damage");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("sound") << QStringList{} << 0 << "the program can use this file";
        QTest::newRow("missing table") << QStringList{"DROP TABLE survey"} << 1
                                       << "problem: the table survey is missing";
        QTest::newRow("missing column")
            << QStringList{"DROP TABLE model_row", "CREATE TABLE model_row (row_number)"} << 1
            << "problem: the table model_row has no column name";
        QTest::newRow("null text")
            << QStringList{"DROP TABLE survey", "CREATE TABLE survey (id, completed_by, company)",
                           "INSERT INTO survey VALUES (1, NULL, 'c')"}
            << 1 << "problem: survey.completed_by: 1 row is null where text is needed";
        QTest::newRow("beyond 16 bits") << QStringList{"INSERT INTO survey_results VALUES (1, 1, 40000)"}
                                        << 1 << "problem: survey_results.answer: 1 row is not a whole";
        QTest::newRow("not whole")
            << QStringList{"DROP TABLE survey", "CREATE TABLE survey (id, completed_by, company)",
                           "INSERT INTO survey VALUES (2.5, 'a', 'b'), (' 7', 'c', 'd'), (3.0, 'e', 'f')"}
            << 1 << "problem: survey.id: 1 row is not a whole number from -32768 to 32767 (such as \"2.5\")";
        QTest::newRow("damaged")
            << QStringList{"CREATE INDEX by_answer ON survey_results (answer)",
                           "PRAGMA writable_schema = ON",
                           "UPDATE sqlite_master SET sql = 'CREATE INDEX by_answer ON "
                           "survey_results (question_id)' WHERE name = 'by_answer'"}
            << 1 << "problem: the engine's integrity check: row 1 missing from index by_answer";
        QTest::newRow("numbered from 1") << QStringList{"DELETE FROM model_column WHERE col_number = 0"}
                                         << 0 << "note: the model columns are numbered 1 to 2, not 0 to 1";
        QTest::newRow("no index") << QStringList{"DROP INDEX question_cell"} << 0
                                  << "note: no index on question (row_id, col_id)";
        QTest::newRow("only a partial index")
            << QStringList{"DROP INDEX survey_results_question",
                           "CREATE INDEX part ON survey_results (question_id, survey_id, answer) "
                           "WHERE answer > 100"}
            << 0
            << "note: no index on survey_results (question_id, survey_id, answer): results are "
               "slower on a large file; 'quelt-db index' adds it (not part: a partial index";
        QTest::newRow("model row without a number")
            << QStringList{"DROP TABLE model_row", "CREATE TABLE model_row (row_number, name)",
                           "INSERT INTO model_row VALUES (0, 'a'), (1, 'b'), ('', 'c'), (NULL, "
                           "'d')"}
            << 0 << "note: model_row.row_number: 2 rows without a number (null or blank)";
        QTest::newRow("survey numbers twice")
            << QStringList{"DROP TABLE survey", "CREATE TABLE survey (id, completed_by, company)",
                           "INSERT INTO survey VALUES (1, 'a', 'b'), (1.0, 'c', 'd'), (2, 'e', "
                           "'f'), (2, 'g', 'h')"}
            << 1 << "problem: survey.id: 2 numbers are used by more than one survey (such as 1)";
        QTest::newRow("notes kept with problems")
            << QStringList{"DROP TABLE survey", "INSERT INTO survey_results VALUES (9, 99, 5)"} << 1
            << "note: 1 answer to no stored question";
        QTest::newRow("answers of nothing")
            << QStringList{"INSERT INTO survey_results VALUES (9, 99, 5)"} << 0
            << "note: 1 answer to no stored question";
        QTest::newRow("a change short of its answers")
            << QStringList{"INSERT INTO history_change VALUES (1, '2026-01-01T00:00:00Z', 'me', "
                           "'replaced', 1, 1, NULL, NULL, NULL, '2', 2)",
                           "INSERT INTO history_answer VALUES (1, 1, 1, 3)"}
            << 1
            << "problem: the history's change 1 (replaced, survey 1) moved 2 answers, but the "
               "history holds 1 of them";
        QTest::newRow("moved answers of no change")
            << QStringList{"INSERT INTO history_answer VALUES (7, 1, 1, 3)"} << 1
            << "problem: the history holds 1 answer of changes it does not record";
        QTest::newRow("a history table alone")
            << QStringList{"DROP TABLE history_answer"} << 1
            << "problem: the history table history_answer is missing beside history_change";
        QTest::newRow("no history: made before it")
            << QStringList{"DROP TABLE history_answer", "DROP TABLE history_change"} << 0
            << "the program can use this file";
        // What the program's own writes would meet, tried on a copy. Before:
        // "the program can use this file", and every Submit with a 4 failed.
        QTest::newRow("a check refusing 4")
            << QStringList{"DROP TABLE survey_results",
                           "CREATE TABLE survey_results (survey_id, question_id, answer CHECK "
                           "(answer < 4))"}
            << 1
            << "problem: the program cannot store an answer of 4 in this file (CHECK constraint "
               "failed: answer < 4)";
        QTest::newRow("a strict table refusing scores")
            << QStringList{"DROP TABLE survey_results",
                           "CREATE TABLE survey_results (survey_id INTEGER, question_id INTEGER, "
                           "answer BLOB) STRICT"}
            << 1 << "problem: the program cannot store an answer of 0 in this file (cannot store";
        QTest::newRow("a key refusing a cell submitted again")
            << QStringList{"DROP TABLE survey_results",
                           "CREATE TABLE survey_results (survey_id, question_id, answer, PRIMARY "
                           "KEY (survey_id, question_id)) WITHOUT ROWID"}
            << 1 << "problem: the program cannot store a second answer to one question";
        QTest::newRow("a collation the engine does not have")
            << QStringList{"PRAGMA writable_schema = ON",
                           "UPDATE sqlite_master SET sql = 'CREATE TABLE survey (id INTEGER NOT "
                           "NULL PRIMARY KEY, completed_by TEXT NOT NULL COLLATE mine, company "
                           "TEXT NOT NULL)' WHERE name = 'survey'"}
            << 1
            << "problem: the table survey is defined with what the program's engine does not "
               "have (no such collation sequence: mine)";
        // A history that refuses what a correction moves into it: before,
        // "the program can use this file", and the correction failed.
        QTest::newRow("a history refusing a replaced 4")
            << QStringList{"DROP TABLE history_answer",
                           "CREATE TABLE history_answer (change_id INTEGER NOT NULL, survey_id, "
                           "question_id, answer CHECK (answer < 4))"}
            << 1
            << "problem: the program cannot store a replaced answer of 4 in this file (CHECK "
               "constraint failed: answer < 4)";
        QTest::newRow("a history of answers only")
            << QStringList{"DROP TABLE history_change",
                           "CREATE TABLE history_change (id INTEGER PRIMARY KEY, made_at, made_by, "
                           "action CHECK (action IN ('replaced', 'withdrawn')), survey_id, "
                           "question_id, row_id, col_id, old_value, new_value, answers)"}
            << 1 << "problem: the program cannot store a corrected survey header in this file";
        // Before: no note, and Show Results ran for minutes on a large file.
        QTest::newRow("forged statistics")
            << QStringList{"ANALYZE", "DELETE FROM sqlite_stat1",
                           "INSERT INTO sqlite_stat1 VALUES ('survey_results', "
                           "'survey_results_question', '1 1000000')"}
            << 0
            << "note: the engine's planner statistics (sqlite_stat1) on survey_results_question "
               "say 1000000 rows for each question_id where the file has 1";
    }

    void checkFindsWhatIsWrong()
    {
        QFETCH(QStringList, damage);
        QFETCH(int, status);
        QFETCH(QString, says);
        SmallFile db;
        execute(db.path, damage);
        const QByteArray before = fileBytes(db.path);
        const Run r = quelt_db({"check", db.path});
        QVERIFY2(r.out.contains(says), qPrintable(r.out + r.err));
        QCOMPARE(r.status, status);
        QCOMPARE(r.out.contains(QStringLiteral("problem: ")), status == 1);
        QCOMPARE(fileBytes(db.path), before);
    }

    // Answers stored WITHOUT ROWID come out of export, and over to a copy, in
    // their key's order. Before: both failed with "no such column: rowid".
    void tableWithoutRowid()
    {
        SmallFile db;
        execute(db.path,
                {"INSERT INTO survey_results VALUES (1, 1, 0), (1, 1, 4)",
                 "CREATE TABLE keyed (survey_id INTEGER, question_id INTEGER, answer INTEGER, "
                 "PRIMARY KEY (answer, survey_id, question_id)) WITHOUT ROWID",
                 "INSERT INTO keyed SELECT * FROM survey_results", "DROP TABLE survey_results",
                 "ALTER TABLE keyed RENAME TO survey_results"});
        const Run exported = quelt_db({"export", db.path});
        QCOMPARE(exported.status, 0);
        QStringList answers;
        for (const CsvRow& record : ParseCsv(exported.out).rows.mid(1))
            answers.append(record.fields.last());
        QCOMPARE(answers, (QStringList{"0", "3", "4"}));

        const QString copy = db.dir.filePath(QStringLiteral("copy.mdb"));
        QCOMPARE(quelt_db({"copy", db.path, copy}).status, 0);
        QCOMPARE(query(copy, "SELECT answer FROM survey_results ORDER BY rowid"),
                 (QList<QVariantList>{{0}, {3}, {4}}));
    }

    void indexGivesTheIndexesInitMakes()
    {
        SmallFile db;
        execute(db.path, {"DROP INDEX question_cell", "DROP INDEX survey_results_question",
                          "CREATE INDEX mine ON question (row_id, col_id, label)",
                          "CREATE INDEX part ON survey_results (question_id, survey_id, answer) "
                          "WHERE answer > 100"});
        Run r = quelt_db({"index", db.path});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("question_cell: present (as mine)\n"
                                       "survey_results_survey: present\n"
                                       "survey_results_question: created\n"));
        QCOMPARE(query(db.path, "SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY 1"),
                 (QList<QVariantList>{{"history_answer_change"},
                                      {"mine"},
                                      {"part"},
                                      {"survey_results_question"},
                                      {"survey_results_survey"}}));
        QVERIFY(!quelt_db({"check", db.path}).out.contains(QStringLiteral("no index")));

        const QByteArray before = fileBytes(db.path);
        QCOMPARE(quelt_db({"index", db.path}).status, 0);
        QCOMPARE(fileBytes(db.path), before);
    }
};

QUELT_TEST(DataCommandsTest);
#include "DataCommandsTest.moc"
