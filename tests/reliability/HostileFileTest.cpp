#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"
#include "reliability/Actions.h"
#include "reliability/Reliability.h"

#include "platform/DbEngine.h"
#include "platform/SqliteGuard.h"
#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScrollBar>
#include <cstring>
#include <sqlite3.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Reliability;

Q_DECLARE_METATYPE(Action)

namespace {

// A survey_results table whose every insert runs the file's own expression
// for about a second: a CHECK constraint, which nothing in the schema marks.
QString slowInsertTable()
{
    QStringList terms;
    for (int i = 0; i < 600; ++i)
        terms.append(QStringLiteral("length(replace(hex(zeroblob(400000 + answer)), '0', '1'))"));
    return QStringLiteral("CREATE TABLE survey_results (survey_id, question_id, answer, CHECK "
                          "(%1 > 0))")
        .arg(terms.join(QStringLiteral(" + ")));
}

// The file is read and written as another user: root's permission to write
// anywhere would hide a read-only file or folder. Nothing changes for a
// user who is not root.
class AsAnotherUser
{
public:
    AsAnotherUser()
    {
        if (geteuid() == 0) {
            setfsgid(65534);
            setfsuid(65534);
        }
    }
    ~AsAnotherUser()
    {
        if (geteuid() == 0) {
            setfsuid(0);
            setfsgid(0);
        }
    }
};

// What stands in the folder, name by name, and the bytes of the regular files.
QStringList listing(const QString& folder)
{
    QStringList entries;
    for (const QFileInfo& info :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        QString entry = info.fileName();
        if (info.isFile() && !info.isSymLink()) {
            QFile f(info.filePath());
            if (f.open(QIODevice::ReadOnly))
                entry += u' ' + QString::number(qHash(f.readAll()));
        }
        entries.append(entry);
    }
    return entries;
}

// Puts `what` at `path`: a named pipe, a socket, or a link to a device.
void makeSpecialFile(const QString& what, const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (what == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(native.constData(), 0644), 0);
    } else if (what == QLatin1String("socket")) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(native.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    } else {
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
    }
}

} // namespace

class HostileFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_messages.emplace();
        DBEngine::SetStatementLimitMs(300);
    }
    void cleanup()
    {
        Ui::CloseAllWindows();
        m_messages.reset();
        DBEngine::SetStatementLimitMs(10000);
    }

    // A file made by other means holds what would act on the program's own
    // statements, or more than a window can show. Each action that meets it
    // reports it by name with the file's path and stores nothing; the others
    // work; nothing stored before is lost, and quelt-db check names it.
    void hostileFile_data()
    {
        QTest::addColumn<QStringList>("making");
        QTest::addColumn<QList<Action>>("failing");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("checkSays"); // empty or a note: check finds nothing wrong
        const auto row = [](const char* tag, QStringList making, QList<Action> failing,
                            const char* says, const char* checkSays) {
            QTest::newRow(tag) << making << failing << QString::fromUtf8(says)
                               << QString::fromUtf8(checkSays);
        };
        // Before: "Survey Submitted" and 1 answer left of all; every Submit
        // "stored" with nothing stored; earlier answers overwritten; 4.00
        // shown for other scores; Add Question frozen at 2.9 GB; a window
        // frozen at 5.8 GB.
        row("trigger deleting earlier answers",
            {"CREATE TRIGGER wipe AFTER INSERT ON survey_results BEGIN DELETE FROM survey_results "
             "WHERE rowid < NEW.rowid; END"},
            kAllActions, "the trigger \"wipe\" acts on survey_results",
            "problem: the trigger \"wipe\" acts on survey_results");
        row("trigger emptying the history",
            {"CREATE TRIGGER forget AFTER INSERT ON history_answer BEGIN DELETE FROM "
             "history_answer; END"},
            kAllActions, "the trigger \"forget\" acts on history_answer",
            "problem: the trigger \"forget\" acts on history_answer");
        row("trigger dropping every header",
            {"CREATE TRIGGER skip BEFORE INSERT ON survey BEGIN SELECT RAISE(IGNORE); END"},
            kAllActions, "the trigger \"skip\" acts on survey", "the trigger \"skip\"");
        row("key replacing answers",
            {"DROP TABLE survey_results",
             "CREATE TABLE survey_results (survey_id, question_id, answer, PRIMARY KEY "
             "(survey_id, question_id) ON CONFLICT REPLACE)",
             "INSERT INTO survey_results VALUES (1, 1, 3)"},
            kAllActions, "conflict clause (ON CONFLICT REPLACE)",
            "problem: the table survey_results has a conflict clause");
        row("view in place of the answers",
            {"ALTER TABLE survey_results RENAME TO stored",
             "CREATE VIEW survey_results AS SELECT survey_id, question_id, 4 AS answer FROM "
             "stored",
             "CREATE TRIGGER keep INSTEAD OF INSERT ON survey_results BEGIN INSERT INTO stored "
             "VALUES (NEW.survey_id, NEW.question_id, NEW.answer); END"},
            kAllActions, "survey_results is a view, not a table",
            "problem: survey_results is a view, not a table");
        row("recursive view as the model's rows",
            {"DROP TABLE model_row",
             "CREATE VIEW model_row AS WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
             "FROM n) SELECT i AS row_number, printf('%.*c', 1000, 'r') AS name FROM n"},
            kAllActions, "model_row is a view", "problem: model_row is a view");
        row("answers computed by the file",
            {"DROP TABLE survey_results",
             "CREATE TABLE survey_results (survey_id, question_id, stored, answer AS (4))"},
            kAllActions, "survey_results.answer is computed by the file",
            "problem: survey_results.answer is computed by the file");
        row("a question of 2,000,000 characters",
            {"UPDATE question SET question_text = printf('%.*c', 2000000, 'x')"}, {Action::Answers},
            "longer than the 1,000,000 bytes",
            "problem: question.question_text: a value is longer than the 1,000,000 bytes");
        row("70,000 model columns",
            {"DROP TABLE model_column", "CREATE TABLE model_column (col_number, name)",
             "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 69999) "
             "INSERT INTO model_column SELECT i % 30000, 'C' || i FROM n"},
            kAllActions, "holds more than 65,536 rows, more than a window can show",
            "problem: the model has 3 rows and 30000 columns; the program supports at most "
            "100 x 100");
        // Before: summed as 0, a wrong mean shown.
        row("an answer that is not a number",
            {"DROP TABLE survey_results",
             "CREATE TABLE survey_results (survey_id, question_id, "
             "answer)",
             "INSERT INTO survey_results VALUES (1, 1, 3), (1, 1, 'abc'), (1, 1, 2)"},
            {Action::Results},
            "Survey 1 has the answer \"abc\" to question 1, which is not a "
            "number",
            "problem: survey_results.answer: 1 row is not a whole number");
        row("a blob for an answer",
            {"DROP TABLE survey_results",
             "CREATE TABLE survey_results (survey_id, question_id, "
             "answer)",
             "INSERT INTO survey_results VALUES (1, 1, x'0033')"},
            {Action::Results}, "the answer a blob of 2 bytes to question 1",
            "problem: survey_results.answer: 1 row is not a whole number");
        // Before: never counted, every cell "a", and check content.
        row("survey numbers stored as text",
            {"DROP TABLE survey_results",
             "CREATE TABLE survey_results (survey_id, question_id, "
             "answer)",
             "INSERT INTO survey_results VALUES ('1', 1, 3)"},
            {}, "", "problem: survey_results.survey_id: 1 number is stored as text");
        // Before: the Submit ran for as long as the file's expression did,
        // and check saw nothing.
        row("an insert that runs for seconds", {"DROP TABLE survey_results", slowInsertTable()},
            {Action::Answers},
            "the file made a statement run for more than 0.3 s; run quelt-db check",
            "note: storing an answer of 0 in a copy of this file's tables took more than 1 s");
    }

    void hostileFile()
    {
        QFETCH(QStringList, making);
        QFETCH(QList<Action>, failing);
        QFETCH(QString, says);
        QFETCH(QString, checkSays);
        TestDb db;
        FillOneAnswer(db);
        for (const QString& sql : making)
            db.exec(sql);
        const QStringList before = Snapshot(db);

        Actions actions(db);
        for (const Action action : kAllActions) {
            m_messages->messages.clear();
            actions.Prepare(action);
            actions.Mark(action);
            actions.Click(action);
            const QString name = ActionName(action);
            const QStringList reports = m_messages->messages.filter(db.path());
            if (!failing.contains(action)) {
                QVERIFY2(reports.isEmpty(), qPrintable(name + ": " + reports.join(u'|')));
                QVERIFY2(actions.Done(action), qPrintable(name));
                continue;
            }
            QVERIFY2(!reports.isEmpty(), qPrintable(name));
            for (const QString& report : reports)
                QVERIFY2(report.contains(says) && report.contains(QLatin1String("quelt-db check")),
                         qPrintable(name + ": " + report));
            // (A header is stored before the answering window it opens
            // fails to load.)
            if (action != Action::Header)
                QVERIFY2(!actions.Done(action), qPrintable(name));
            // The program goes on: the window that failed can be closed.
            Ui::CloseAllWindows();
        }
        QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
        QString why;
        QVERIFY2(Keeps(before, Snapshot(db), &why), qPrintable(why));

        const ToolRun check = QueltDb({QStringLiteral("check"), db.path()});
        QVERIFY2(check.out.contains(checkSays), qPrintable(check.out + check.err));
        QCOMPARE(check.status,
                 checkSays.isEmpty() || checkSays.startsWith(QLatin1String("note:")) ? 0 : 1);
    }

    // What lies at or beside the file reaches beyond it: a journal naming
    // another file for the engine to delete once the journal is rolled back,
    // or something that is not a regular file. Every window and every
    // command refuses at once, naming it; the other file survives, and
    // nothing in the folder appears or changes. Before: opening a window,
    // index and import-questions (exit 0) deleted the named file, and check,
    // report and export waited on a pipe for ever.
    void fileReachingBeyondItself_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("where"); // the file's own name or a companion's suffix
        QTest::addColumn<QString>("says");
        QTest::newRow("journal naming a file by its path")
            << "victim-absolute"
            << "-journal"
            << "its journal quelt.mdb-journal names another file, \"%1/precious.txt\", which the "
               "database engine would delete";
        QTest::newRow("journal naming a file beside it") << "victim-relative"
                                                         << "-journal"
                                                         << "names another file, \"precious.txt\"";
        QTest::newRow("named pipe") << "pipe"
                                    << ""
                                    << "%2\" is a named pipe, not a database file.";
        QTest::newRow("socket") << "socket"
                                << ""
                                << "%2\" is a socket, not a database file.";
        QTest::newRow("device") << "device"
                                << ""
                                << "%2\" is a device, not a database file.";
        QTest::newRow("named pipe as the journal")
            << "pipe"
            << "-journal"
            << "The file %2 cannot be opened: quelt.mdb-journal beside it is a named pipe";
        QTest::newRow("named pipe as the -wal") << "pipe"
                                                << "-wal"
                                                << "quelt.mdb-wal beside it is a named pipe";
    }

    void fileReachingBeyondItself()
    {
        QFETCH(QString, kind);
        QFETCH(QString, where);
        QFETCH(QString, says);
        TestDb db;
        FillOneAnswer(db);
        const QStringList before = Snapshot(db);
        const QString victim = db.dir() + QStringLiteral("/precious.txt");
        {
            QFile file(victim);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
        }
        const QString aside = db.dir() + QStringLiteral("/aside.mdb");
        if (kind.startsWith(QLatin1String("victim"))) {
            PlantSuperJournal(db.path(), kind.endsWith(QLatin1String("absolute"))
                                             ? QFile::encodeName(victim)
                                             : QByteArrayLiteral("precious.txt"));
        } else {
            if (where.isEmpty())
                QVERIFY(QFile::rename(db.path(), aside));
            makeSpecialFile(kind, db.path() + where);
        }
        const QString expected = QString(says)
                                     .replace(QLatin1String("%1"), db.dir())
                                     .replace(QLatin1String("%2"), db.path());
        const QList<QStringList> commands = CommandsOnFile(db.path(), db.dir());
        const QStringList files = listing(db.dir());

        Actions actions(db);
        for (const Action action : kAllActions) {
            m_messages->messages.clear();
            actions.Prepare(action);
            actions.Click(action);
            QVERIFY2(!m_messages->messages.isEmpty(), qPrintable(ActionName(action)));
            for (const QString& message : m_messages->messages)
                QVERIFY2(message.contains(expected), qPrintable(message));
            Ui::CloseAllWindows();
        }
        for (const QStringList& command : commands) {
            const ToolRun run = QueltDb(command);
            QVERIFY2(run.status == 1 && run.err.contains(expected),
                     qPrintable(command.first() + u' ' + run.err));
        }
        QCOMPARE(listing(db.dir()), files);

        if (kind.startsWith(QLatin1String("victim"))) {
            QVERIFY(QFile::remove(db.path() + QStringLiteral("-journal")));
        } else {
            QVERIFY(QFile::remove(db.path() + where));
            if (where.isEmpty())
                QVERIFY(QFile::rename(aside, db.path()));
        }
        QCOMPARE(Snapshot(db), before);
    }

    // The engine itself, reading through the program's file layer, deletes
    // nothing a journal names, even where nothing checked the journal
    // first; without the layer the same journal deletes the file.
    void fileLayerDeletesNothingNamed()
    {
        TestDb db;
        FillOneAnswer(db);
        const QByteArray layer = dbengine_detail::GuardedFileLayer();
        const QByteArray victim = QFile::encodeName(db.dir() + QStringLiteral("/precious.txt"));
        const QByteArray path = QFile::encodeName(db.path());
        for (const char* through : {layer.constData(), static_cast<const char*>(nullptr)}) {
            // (The engine takes an empty file for none.)
            QFile file(QFile::decodeName(victim));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
            file.close();
            PlantSuperJournal(db.path(), victim);
            sqlite3* raw = nullptr;
            QCOMPARE(sqlite3_open_v2(path.constData(), &raw, SQLITE_OPEN_READWRITE, through),
                     SQLITE_OK);
            sqlite3_exec(raw, "SELECT count(*) FROM survey", nullptr, nullptr, nullptr);
            sqlite3_close(raw);
            QCOMPARE(QFile::exists(QFile::decodeName(victim)), through != nullptr);
            QFile::remove(db.path() + QStringLiteral("-journal"));
        }
        QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
    }

    // Whatever survey.id holds, the number proposed is free, compared as
    // numbers. Before: MAX(id) gave the text '1', 2 was proposed again, and
    // the new respondent's answers merged into survey 2 for good.
    void surveyNumberNeverStoredTwice_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("says"); // on Submit; empty when it is stored
        QTest::addColumn<QStringList>("after");
        QTest::newRow("text among numbers") << "('1'), (2), (3)"
                                            << "4"
                                            << "" << QStringList{"1", "2", "3", "4 ", "5"};
        QTest::newRow("only text") << "(' 7'), ('3')"
                                   << "8"
                                   << "" << QStringList{" 7", "3", "8 ", "9"};
        QTest::newRow("not a number")
            << "(1), ('abc')"
            << ""
            << "A stored survey number (\"abc\") is not a whole number" << QStringList{"1", "abc"};
    }

    void surveyNumberNeverStoredTwice()
    {
        QFETCH(QString, stored);
        QFETCH(QString, proposed);
        QFETCH(QString, says);
        QFETCH(QStringList, after);
        TestDb db({QStringLiteral("R")}, {QStringLiteral("C")}, true);
        db.exec(QStringLiteral("INSERT INTO survey (id) VALUES ") + stored);
        Ui::MenuItem("miCompleteSurvey");
        if (!says.isEmpty()) {
            QVERIFY(!Ui::Window(QStringLiteral("frmNewSurvey")));
            QCOMPARE(m_messages->messages.size(), 1);
            QVERIFY2(m_messages->last().contains(says) &&
                         m_messages->last().contains(QLatin1String("quelt-db check")),
                     qPrintable(m_messages->last()));
        } else {
            const QWidget* w = Ui::FindWindow(QStringLiteral("frmNewSurvey"));
            QCOMPARE(Ui::Find<TextBox>(w, QStringLiteral("txtSurveyID"))->text(), proposed);
            Ui::Find<TextBox>(w, QStringLiteral("txtCompletedBy"))->setText(QStringLiteral("A"));
            Ui::Find<TextBox>(w, QStringLiteral("txtCompany"))->setText(QStringLiteral("B"));
            // Between the proposal and the Submit another program stores the
            // same number as text: the Submit finds it and stores the next.
            db.exec(QStringLiteral("INSERT INTO survey VALUES ('%1 ', 'other', 'program')")
                        .arg(proposed));
            Ui::Click(w, QStringLiteral("butSubmit"));
            QCOMPARE(m_messages->last(),
                     QStringLiteral("Survey number %1 was taken in the meantime; this survey was "
                                    "stored as number %2.")
                         .arg(proposed)
                         .arg(after.last()));
        }
        QStringList ids;
        for (const QVariantList& r :
             db.rows(QStringLiteral("SELECT id FROM survey ORDER BY rowid")))
            ids.append(r.value(0).toString());
        QCOMPARE(ids, after);
    }

    // A cell of thousands of questions gets its rows as the user scrolls to
    // them, and a smaller cell shown after it lets go of them. Before: every
    // row at once, 24 s and 680 MB for 32,003 questions.
    void largeCellRowsAsScrolled()
    {
        TestDb db;
        db.addSurvey(1);
        db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 1000) INSERT INTO question (label, question_text, "
                               "row_id, col_id) SELECT i, 'Question ' || i, 2, 0 FROM n"));
        Ui::MenuItem("miModifySurveyAnswers");
        const QWidget* w = Ui::FindWindow(QStringLiteral("frmSurvey"));
        const auto rows = [w] { return w->findChildren<SurveyQuestionControl*>().size(); };
        Ui::Pick(w, QStringLiteral("cmbSurveyID"), 0);
        Ui::Pick(w, QStringLiteral("cmbModelCol"), 0);
        Ui::Pick(w, QStringLiteral("cmbModelRow"), 2);
        QVERIFY2(rows() < 100, qPrintable(QString::number(rows())));

        auto* bar = Ui::Find<QScrollBar>(w, QStringLiteral("VScroll1"));
        bar->setValue(bar->maximum());
        SurveyQuestionControl* last = Ui::Row(w, 999);
        QCOMPARE(Ui::Find<QLabel>(last, QStringLiteral("lblQuestion"))->text(),
                 QStringLiteral("Question 1000"));
        Ui::Choose(last, 4);
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(m_messages->last(), QStringLiteral("Survey Submitted"));
        QCOMPARE(db.value(QStringLiteral("SELECT question_text FROM question, survey_results "
                                         "WHERE id = question_id AND answer = 4")),
                 QVariant(QStringLiteral("Question 1000")));

        Ui::Pick(w, QStringLiteral("cmbModelRow"), 0);
        QCOMPARE(rows(), 32);
    }

    // Files and folders that cannot be written, or reached: each says why
    // and stores nothing; what can still be done works. Before: "attempt to
    // write a readonly database" for a read-only folder, "was not found" for a
    // link that loops.
    void fileThatCannotBeWritten_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<bool>("wal");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<QList<Action>>("failing");
        QTest::addColumn<QString>("says");
        const QList<Action> writes = {Action::Question, Action::Header, Action::Answers};
        QTest::newRow("read-only file") << 0755 << 0444 << false << false << writes
                                        << "The database file %2 is read-only, so nothing can "
                                           "be stored in it.";
        QTest::newRow("read-only folder")
            << 0555 << 0666 << false << false << writes
            << "The folder %1 does not let the database engine write its journal there, so "
               "nothing can be stored in %2.";
        QTest::newRow("WAL file in a read-only folder")
            << 0555 << 0666 << true << false << kAllActions
            << "The file %2 is in WAL mode, in which the database engine must keep";
        QTest::newRow("link that loops") << 0755 << 0666 << false << true << kAllActions
                                         << "The database file %2 is a symbolic link that leads "
                                            "round in a loop";
    }

    void fileThatCannotBeWritten()
    {
        QFETCH(int, folderMode);
        QFETCH(int, fileMode);
        QFETCH(bool, wal);
        QFETCH(bool, loop);
        QFETCH(QList<Action>, failing);
        QFETCH(QString, says);
        TestDb db;
        FillOneAnswer(db);
        if (wal)
            db.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        const QStringList before = Snapshot(db);
        const QString aside = db.dir() + QStringLiteral("/aside.mdb");
        if (loop) {
            QVERIFY(QFile::rename(db.path(), aside));
            QVERIFY(QFile::link(QStringLiteral("quelt.mdb"), db.path()));
        }
        const QByteArray dir = QFile::encodeName(db.dir());
        const QByteArray file = QFile::encodeName(db.path());
        QCOMPARE(::chmod(file.constData(), mode_t(fileMode)), loop ? -1 : 0);
        QCOMPARE(::chmod(dir.constData(), mode_t(folderMode)), 0);
        const QString expected = QString(says)
                                     .replace(QLatin1String("%1"), db.dir())
                                     .replace(QLatin1String("%2"), db.path());
        {
            AsAnotherUser other;
            Actions actions(db);
            for (const Action action : kAllActions) {
                m_messages->messages.clear();
                actions.Prepare(action);
                actions.Click(action);
                const QStringList reports = m_messages->messages.filter(db.path());
                if (!failing.contains(action)) {
                    QVERIFY2(reports.isEmpty(), qPrintable(reports.join(u'|')));
                    continue;
                }
                QVERIFY2(!reports.isEmpty(), qPrintable(ActionName(action)));
                for (const QString& report : reports)
                    QVERIFY2(report.contains(expected), qPrintable(report));
                Ui::CloseAllWindows();
            }
            QVERIFY(!QFile::exists(db.path() + QStringLiteral("-journal")));
        }
        QCOMPARE(::chmod(dir.constData(), 0755), 0);
        if (loop) {
            QVERIFY(QFile::remove(db.path()));
            QVERIFY(QFile::rename(aside, db.path()));
        }
        QCOMPARE(Snapshot(db), before);
        QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
    }

    // A folder whose name is not UTF-8: the file is still found, used and
    // written, and a message shows the name's odd byte as \xNN.
    void folderNameNotUtf8()
    {
        TestDb db;
        FillOneAnswer(db);
        const QStringList before = Snapshot(db);
        const QByteArray folder = QFile::encodeName(db.dir()) + "/caf\xe9";
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        QCOMPARE(
            ::rename(QFile::encodeName(db.path()).constData(), (folder + "/quelt.mdb").constData()),
            0);
        QCOMPARE(::chdir(folder.constData()), 0);

        Ui::MenuItem("miModifySurveyAnswers");
        const QWidget* w = Ui::FindWindow(QStringLiteral("frmSurvey"));
        Ui::Pick(w, QStringLiteral("cmbSurveyID"), 0);
        Ui::Pick(w, QStringLiteral("cmbModelRow"), 0);
        Ui::Pick(w, QStringLiteral("cmbModelCol"), 0);
        Ui::Choose(Ui::Row(w, 0), 1);
        m_messages->choices << QStringLiteral("Add");
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(m_messages->messages.size(), 2);
        QCOMPARE(m_messages->last(), QStringLiteral("Survey Submitted"));

        QCOMPARE(::rename("quelt.mdb", "aside.mdb"), 0);
        Ui::Click(w, QStringLiteral("butSubmit"));
        QVERIFY2(m_messages->last().contains(db.dir() + QStringLiteral("/caf\\xe9")),
                 qPrintable(m_messages->last()));

        QCOMPARE(::rename("aside.mdb", QFile::encodeName(db.path()).constData()), 0);
        QVERIFY(QDir::setCurrent(db.dir()));
        QCOMPARE(::rmdir(folder.constData()), 0);
        QCOMPARE(db.count(QStringLiteral("survey_results")), 2);
        QString why;
        QVERIFY2(Keeps(before, Snapshot(db), &why), qPrintable(why));
    }

private:
    std::optional<MessageCapture> m_messages;
};

QUELT_TEST(HostileFileTest);
#include "HostileFileTest.moc"
