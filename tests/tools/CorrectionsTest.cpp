#include "ToolRun.h"
#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "data/Csv.h"

#include "platform/FileAccess.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The demo database on a file or on the test server, and quelt-db run on it.
struct Demo
{
    QTemporaryDir dir;
    bool server;
    QString location = server ? NewServerDatabase() : dir.filePath(QStringLiteral("demo.mdb"));

    explicit Demo(bool onServer) : server(onServer)
    {
        if (quelt_db({QStringLiteral("demo"), location}).status != 0)
            FailTest(QStringLiteral("no demo database at ") + location);
    }
    Run run(QStringList args) const
    {
        args.insert(1, location);
        return quelt_db(args);
    }
    QString who() const { return server ? QStringLiteral("quelt_admin") : OperatingSystemUser(); }
};

// The history's lines without when, which only has to look like a time.
QStringList historyLines(const Demo& demo)
{
    static const QRegularExpression when(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ  "));
    const QString out = demo.run({QStringLiteral("history")}).out;
    if (out.startsWith(QLatin1String("No changes are recorded in ")))
        return {};
    QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines) {
        if (!when.match(line).hasMatch())
            FailTest(QStringLiteral("no time of the change in: ") + line);
        line.remove(when);
    }
    return lines;
}

QStringList linesOf(const QString& out, const QString& start)
{
    return out.split(QStringLiteral("\r\n")).filter(QRegularExpression(u'^' + start));
}

} // namespace

// quelt-db correct, withdraw and history on both back ends, and what export,
// report, check and copy make of the history.
class CorrectionsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each correction says what it changed and the history lists every one;
    // a survey never corrected reports and exports byte for byte as before;
    // export --with-history marks what was taken out; copy carries it all.
    void correctionsKeepAHistory_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("madeBefore"); // a file without the history tables
        QTest::newRow("file") << false << false;
        QTest::newRow("file made before the history") << false << true;
        QTest::newRow("server") << true << false;
    }

    void correctionsKeepAHistory()
    {
        QFETCH(bool, server);
        QFETCH(bool, madeBefore);
        const Demo demo(server);
        if (madeBefore)
            execute(demo.location, {"DROP TABLE history_answer", "DROP TABLE history_change"});
        // Survey 4, as survey 3 answered, beside it: neither is corrected.
        const QString survey4 =
            "INSERT INTO survey (id, completed_by, company) VALUES (4, 'Ed', 'Fourth Co'); "
            "INSERT INTO survey_results (survey_id, question_id, answer) SELECT 4, question_id, "
            "answer FROM survey_results WHERE survey_id = 3";
        if (server)
            QCOMPARE(consumer("psql", {demo.location, "-qc", survey4}).status, 0);
        else
            execute(demo.location, survey4.split(QStringLiteral("; ")));
        const QList<QStringList> reports = {
            {"report", "--survey", "3", "--format", "csv"},
            {"report", "--compare", "3,4", "--format", "csv"},
            {"report", "--surveys", "3,4", "--trend", "--format", "csv"},
            {"report", "--company", "Fourth Co", "--format", "csv"}};
        QStringList reportsBefore;
        for (const QStringList& report : reports)
            reportsBefore << demo.run(report).out;
        const QString exportBefore = demo.run({"export"}).out;
        QCOMPARE(historyLines(demo), QStringList());

        struct Step
        {
            QStringList args;
            QString says;
        };
        for (const auto& [args, says] : QList<Step>{
                 {{"correct", "--survey", "1", "--question", "1", "--answer", "4"},
                  "Survey 1, question 1: replaced the answer 3 with 4; the history keeps it.\n"},
                 {{"correct", "--survey", "1", "--company", "New, \"Co\""},
                  "Survey 1: company \"Northwind Foods\" is now \"New, \"Co\"\".\n"
                  "The history keeps what it was.\n"},
                 {{"correct", "--question", "2", "--label", "1.1.2"},
                  "Question 2: every text given is stored already; nothing was changed.\n"},
                 {{"withdraw", "--survey", "2", "--row", "0", "--col", "0"},
                  "Withdrew 4 answers of survey 2 from model row 0 (Leadership), model column 0 "
                  "(Awareness); the history keeps them.\n"}}) {
            const Run r = demo.run(args);
            QCOMPARE(r.out, says);
            QCOMPARE(r.status, 0);
        }
        const QString who = demo.who();
        const QStringList history = {
            who + "  answers of survey 1 to question 1 replaced: 3 -> 4",
            who + "  company of survey 1: \"Northwind Foods\" -> \"New, \"Co\"\"",
            who + "  answers of survey 2 in model row 0, model column 0 withdrawn: question 1: "
                  "1; question 2: 1; question 3: 1; question 4: 0"};
        QCOMPARE(historyLines(demo), history);
        const CsvText csv = ParseCsv(demo.run({"history", "--survey", "2", "--format", "csv"}).out);
        QCOMPARE(csv.rows.size(), 2);
        QCOMPARE(csv.rows[1].fields.mid(1),
                 (QStringList{who, "answers of survey 2 in model row 0, model column 0 withdrawn",
                              "2", "", "0", "0",
                              "question 1: 1; question 2: 1; question 3: 1; question 4: 0", ""}));

        for (qsizetype i = 0; i < reports.size(); ++i)
            QCOMPARE(demo.run(reports[i]).out, reportsBefore[i]);
        const QString exported = demo.run({"export"}).out;
        QCOMPARE(linesOf(exported, "[34],"), linesOf(exportBefore, "[34],"));
        QCOMPARE(exported.count(u'\n'), exportBefore.count(u'\n') - 4);
        // With the history: every stored answer as before, marked, then what
        // the corrections took out.
        const QStringList marked =
            demo.run({"export", "--with-history"}).out.split(QStringLiteral("\r\n"));
        QVERIFY(marked.first().endsWith(QLatin1String(",answer,status,changed_at,changed_by")));
        const QStringList moved = marked.mid(marked.size() - 6, 5);
        QCOMPARE(moved.filter(QRegularExpression(",replaced,[-0-9T:]+Z," + who + '$')).size(), 1);
        QCOMPARE(moved.filter(QRegularExpression(",withdrawn,[-0-9T:]+Z," + who + '$')).size(), 4);
        QCOMPARE(marked.mid(1, marked.size() - 7).filter(QStringLiteral(",stored,,")).size(),
                 exported.count(u'\n') - 1);
        QCOMPARE(demo.run({"check"}).status, 0);

        // To the other back end and back: the same history.
        QTemporaryDir dir;
        const QString there =
            server ? dir.filePath(QStringLiteral("copy.mdb")) : NewServerDatabase();
        QCOMPARE(quelt_db({"copy", demo.location, there}).status, 0);
        const Run copied = quelt_db({"history", there});
        QCOMPARE(copied.out.count(u'\n'), history.size());
        QVERIFY2(copied.out.contains(history.last()), qPrintable(copied.out));
        QCOMPARE(quelt_db({"check", there}).status, 0);
    }

    // Tables an administrator made without the history take a copy whose
    // history is empty, and refuse one that has a history, copying nothing.
    void copyTakesAHistoryOnlyWhereItCanBeKept()
    {
        const Demo demo(false);
        const QString server = NewServerDatabase();
        QCOMPARE(quelt_db({"init", server, "--rows", "R", "--cols", "C"}).status, 0);
        QCOMPARE(consumer("psql", {server, "-qc",
                                   "DROP TABLE history_answer, history_change; DELETE FROM "
                                   "model_row; DELETE FROM model_column"})
                     .status,
                 0);
        QCOMPARE(demo.run({"withdraw", "--survey", "1", "--row", "0", "--col", "0"}).status, 0);
        const Run refused = quelt_db({"copy", demo.location, server});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains("no tables for the history"), qPrintable(refused.err));
        QCOMPARE(quelt_db({"export", server}).out.count(u'\n'), 1);

        execute(demo.location, {"DELETE FROM history_answer", "DELETE FROM history_change"});
        QCOMPARE(quelt_db({"copy", demo.location, server}).status, 0);
        QCOMPARE(quelt_db({"export", server}).out, demo.run({"export"}).out);
    }

    // What does not exist, or cannot be meant, is refused, and nothing
    // changes: not a byte of the file, no change in the history.
    void refusalsChangeNothing_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QStringList>("first"); // a command that works, run before
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QStringList none;
        const QStringList withdrawn = {"withdraw", "--survey", "2", "--row", "0", "--col", "0"};
        QTest::newRow("no such survey")
            << false << none << QStringList{"correct", "--survey", "9", "--company", "X"} << 1
            << "No survey has the number 9";
        QTest::newRow("no such question, server")
            << true << none << QStringList{"correct", "--question", "999", "--label", "X"} << 1
            << "No question has the number 999";
        QTest::newRow("no answer to correct")
            << false << withdrawn
            << QStringList{"correct", "--survey", "2", "--question", "1", "--answer", "1"} << 1
            << "Survey 2 holds no answer to question 1";
        QTest::newRow("nothing to withdraw, server")
            << true << withdrawn << withdrawn << 1
            << "Survey 2 has no answers in model row 0, model column 0; nothing was withdrawn.";
        QTest::newRow("no such cell")
            << false << none << QStringList{"withdraw", "--survey", "1", "--row", "0", "--col", "6"}
            << 1 << "The model has no column 6";
        QTest::newRow("a score beyond 4")
            << false << none
            << QStringList{"correct", "--survey", "1", "--question", "1", "--answer", "5"} << 2
            << "--answer is a score from 0 to 4";
        QTest::newRow("an answer and a header at once")
            << false << none << QStringList{"correct",  "--survey", "1",         "--question", "1",
                                            "--answer", "2",        "--company", "X"}
            << 2 << "give one of --answer, --completed-by/--company or --label/--text";
        QTest::newRow("a question without text")
            << false << none << QStringList{"correct", "--question", "1", "--text", " "} << 2
            << "--text needs the question's text";
    }

    void refusalsChangeNothing()
    {
        QFETCH(bool, server);
        QFETCH(QStringList, first);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        const Demo demo(server);
        if (!first.isEmpty())
            QCOMPARE(demo.run(first).status, 0);
        const QString exported = demo.run({"export", "--with-history"}).out;
        const QString history = demo.run({"history"}).out;
        const QByteArray bytes = server ? QByteArray() : fileBytes(demo.location);
        const Run r = demo.run(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QCOMPARE(demo.run({"export", "--with-history"}).out, exported);
        QCOMPARE(demo.run({"history"}).out, history);
        if (!server)
            QCOMPARE(fileBytes(demo.location), bytes);
    }
};

QUELT_TEST(CorrectionsTest);
#include "CorrectionsTest.moc"
