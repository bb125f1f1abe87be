#pragma once

#include "common/Fail.h"
#include "platform/MessageBox.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// Points a connection of the test's own at an existing file only: a wrong
// path then fails to open instead of leaving a new, empty database behind
// that the test would go on to read.
void OnExistingFile(QSqlDatabase& db, const QString& path);
// Such a connection, added under `name` and opened; when the file cannot be
// opened the connection is removed again and the test fails.
QSqlDatabase OpenExisting(const QString& name, const QString& path,
                          std::source_location where = std::source_location::current());

// Runs fn with such a connection on the file; the connection is removed
// afterwards, also when fn fails the test.
template <class F>
auto WithExistingFile(const QString& path, F fn)
{
    static int connections = 0;
    const QString name = QStringLiteral("existing-%1").arg(++connections);
    struct Remover
    {
        QString name;
        ~Remover() { QSqlDatabase::removeDatabase(name); }
    } remover{name};
    // Scoped, so that no copy of the connection outlives the removal.
    return [&] {
        QSqlDatabase db = OpenExisting(name, path);
        return fn(db);
    }();
}

// The throwaway server of a test run (tests/server/pg-server), as libpq
// keywords for its administrator: host, port, user. Empty when the run has
// none (QUELT_TEST_SERVER_FILE unset).
QString TestServerKeywords();
// A new, empty database on that server, and the location that names it for
// `user` (who logs in with the password in PGPASSWORD, or none).
QString NewServerDatabase(const QString& user = QStringLiteral("quelt_admin"));
// The location of an existing database of that server, for `user`.
QString ServerLocation(const QString& database,
                       const QString& user = QStringLiteral("quelt_admin"));

// Runs a statement on the test server's own database, as its administrator.
void ServerAdmin(const QString& sql);

// Skips a test, or a row of its data, whose point is something only a file
// can have: a trigger in SQLite's words, typeless columns holding text, the
// file itself removed. Everything else runs against both back ends.
#define QUELT_FILE_ONLY(why)                                                                       \
    if (TestDb::OnServer())                                                                        \
    QSKIP("only a file can have this: " why)

// A fresh folder holding a fresh "quelt.mdb", made the current folder for the
// life of the fixture (the windows open the file by its bare name). Reads and
// writes here go straight to SQLite, beside the program's own engine layer.
//
// With QUELT_TEST_BACKEND=server the same tests run against a database of the
// test server instead: the fixture makes its tables there, every window works
// on it, and reads and writes here go to the server through Qt's driver. The
// folder is still made and current, for what a test writes beside it.
class TestDb
{
public:
    static bool OnServer();

    // rows and cols name a model numbered 0, 1, 2, ...; with bare = true the
    // five tables are made without keys or NOT NULL, as a file made by other
    // means may be.
    explicit TestDb(const QStringList& rows = {QStringLiteral("Row A"), QStringLiteral("Row B"),
                                               QStringLiteral("Row C")},
                    const QStringList& cols = {QStringLiteral("Col A"), QStringLiteral("Col B"),
                                               QStringLiteral("Col C")},
                    bool bare = false);
    ~TestDb();
    TestDb(const TestDb&) = delete;
    TestDb& operator=(const TestDb&) = delete;

    QString dir() const { return m_dir.path(); }
    // The file; on the server, its location.
    QString path() const;
    // What the windows open: the file's name, or the server location.
    QString location() const;

    // Runs statements directly; a failure fails the test and ends it.
    void exec(const QString& sql) const;
    QList<QVariantList> rows(const QString& sql) const;
    QVariant value(const QString& sql) const;
    qint64 count(const QString& table) const;

    qint64 addQuestion(int row, int col, const QString& text, const QString& label = {}) const;
    void addSurvey(int id, const QString& completedBy = QStringLiteral("A"),
                   const QString& company = QStringLiteral("B")) const;
    void addAnswer(int survey, qint64 question, int answer) const;

private:
    template <class F>
    auto with(F fn) const;

    QTemporaryDir m_dir;
    QString m_previousDir;
    // The server database, empty for a file.
    QString m_server;
};

// The history of corrections as stored, a change a line in the order made:
// "action by who: old -> new".
QStringList HistoryOf(const TestDb& db);
// Who the history says made a change: the login the fixture's server
// database is used as, the operating-system user for a file.
QString Changer();

// Collects what the program shows in message boxes instead of showing them.
// A Yes/No question is collected as a message too and answered from
// `answers`, queued by the test before the question comes; No when none is
// queued, which leaves everything as it was. A box of several buttons is
// answered from `choices` by a button's caption; its last button (Cancel)
// when none is queued.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    QStringList messages;
    // The objectName of the window each box stood over; empty for none.
    QStringList parents;
    QList<bool> answers;
    QStringList choices;
    QString last() const { return messages.isEmpty() ? QString() : messages.last(); }

private:
    // What answered before, answering again afterwards.
    MessageBox::Handler m_previous;
    MessageBox::QuestionHandler m_previousQuestion;
    MessageBox::ChoiceHandler m_previousChoice;
};
