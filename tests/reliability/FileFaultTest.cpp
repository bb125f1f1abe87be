#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"
#include "reliability/Actions.h"
#include "reliability/Reliability.h"

#include "platform/DbEngine.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace Reliability;

Q_DECLARE_METATYPE(Action)

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList folderListing(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// Another program's hold on the file, through a connection of its own.
class LockHolder
{
public:
    LockHolder(const QString& path, const QString& begin)
    {
        QSqlDatabase db = OpenExisting(name(), path);
        m_locked = QSqlQuery(db).exec(begin);
    }
    ~LockHolder()
    {
        Release();
        QSqlDatabase::removeDatabase(name());
    }
    bool Locked() const { return m_locked; }
    void Release()
    {
        if (m_locked)
            QSqlQuery(QSqlDatabase::database(name())).exec(QStringLiteral("ROLLBACK"));
        m_locked = false;
        QSqlDatabase::database(name()).close();
    }

private:
    static QString name() { return QStringLiteral("lock-holder"); }
    bool m_locked = false;
};

} // namespace

class FileFaultTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_messages.emplace(); }
    void cleanup()
    {
        Ui::CloseAllWindows();
        m_messages.reset();
        DBEngine::SetBusyTimeoutMs(5000);
    }

    // Another program holds a write lock (RESERVED: others may still read) or
    // an exclusive one (nothing works). Writes wait the busy timeout and then
    // stop with a message naming the file, storing nothing; the same click
    // works once the lock is gone.
    void lockedFile_data()
    {
        QTest::addColumn<QString>("begin");
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("readable");
        for (const Action action : kAllActions) {
            const QByteArray name = ActionName(action).toLatin1();
            QTest::newRow("write lock: " + name) << "BEGIN IMMEDIATE" << action << true;
            QTest::newRow("exclusive lock: " + name) << "BEGIN EXCLUSIVE" << action << false;
        }
    }

    void lockedFile()
    {
        QFETCH(QString, begin);
        QFETCH(Action, action);
        QFETCH(bool, readable);
        TestDb db;
        FillOneAnswer(db);
        Actions actions(db);
        actions.Prepare(action);
        QCOMPARE(messages(), QStringList());
        const QStringList before = Snapshot(db);
        actions.Mark(action);

        DBEngine::SetBusyTimeoutMs(200);
        LockHolder holder(db.path(), begin);
        QVERIFY(holder.Locked());
        actions.Click(action);
        if (readable && action == Action::Results) {
            QCOMPARE(messages(), QStringList());
            QVERIFY(actions.Done(action));
            return;
        }
        QCOMPARE(messages().size(), 1);
        QVERIFY2(messages()[0].contains(QStringLiteral("locked by another program")) &&
                     messages()[0].contains(db.path()),
                 qPrintable(messages()[0]));
        const QImage picture = ResultsPicture();
        holder.Release();
        QCOMPARE(Snapshot(db), before);
        QCOMPARE(ResultsPicture(), picture);

        m_messages->messages.clear();
        actions.Click(action);
        const QStringList confirmation{QStringLiteral("Survey Submitted")};
        QCOMPARE(messages(), action == Action::Answers ? confirmation : QStringList());
        QVERIFY(actions.Done(action));
        QString why;
        QVERIFY2(Keeps(before, Snapshot(db), &why), qPrintable(why));
    }

    // The file goes away or is replaced while every window is open and filled
    // in. Each click fails with a message naming the file; no file is made in
    // its place and the replacement stays byte for byte. With the file back,
    // every click works and nothing stored before is lost.
    void fileGoneOrReplaced_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("removed") << "removed";
        QTest::newRow("renamed") << "renamed";
        QTest::newRow("replaced by text") << "text";
        QTest::newRow("replaced by an empty file") << "empty";
        QTest::newRow("replaced by a folder") << "folder";
    }

    void fileGoneOrReplaced()
    {
        QFETCH(QString, fault);
        TestDb db;
        FillOneAnswer(db);
        Actions actions(db);
        for (const Action action : kAllActions)
            actions.Prepare(action);
        QCOMPARE(messages(), QStringList());
        const QStringList before = Snapshot(db);
        const QByteArray original = bytesOf(db.path());
        const QString aside = db.dir() + QStringLiteral("/renamed.mdb");

        QVERIFY(QFile::rename(db.path(), aside));
        const QByteArray replacement = fault == QLatin1String("text")
                                           ? QByteArray("Not a database: 'quelt.mdb'\n")
                                           : QByteArray();
        if (fault == QLatin1String("text") || fault == QLatin1String("empty")) {
            QFile file(db.path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(replacement);
        } else if (fault == QLatin1String("folder")) {
            QVERIFY(QDir(db.dir()).mkdir(QStringLiteral("quelt.mdb")));
        }
        const QStringList listing = folderListing(db.dir());

        for (const Action action : kAllActions) {
            m_messages->messages.clear();
            const QImage picture = ResultsPicture();
            actions.Click(action);
            QCOMPARE(messages().size(), 1);
            QVERIFY2(messages()[0].contains(db.path()), qPrintable(messages()[0]));
            QCOMPARE(ResultsPicture(), picture);
        }
        QCOMPARE(folderListing(db.dir()), listing);
        if (fault == QLatin1String("text") || fault == QLatin1String("empty"))
            QCOMPARE(bytesOf(db.path()), replacement);
        QCOMPARE(bytesOf(aside), original);

        // The user puts the file back.
        if (fault == QLatin1String("folder"))
            QVERIFY(QDir(db.dir()).rmdir(QStringLiteral("quelt.mdb")));
        else
            QFile::remove(db.path());
        QVERIFY(QFile::rename(aside, db.path()));
        for (const Action action : kAllActions) {
            m_messages->messages.clear();
            actions.Mark(action);
            actions.Click(action);
            QVERIFY2(actions.Done(action), qPrintable(ActionName(action) + messages().join(u'|')));
        }
        QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
        QString why;
        QVERIFY2(Keeps(before, Snapshot(db), &why), qPrintable(why));
    }

    // A table or column is missing from a file made by other means. Every
    // action that needs it reports it by name, the others work, the grid is
    // never drawn from a failed query, and the rest of the file stays.
    void missingTableOrColumn_data()
    {
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QList<Action>>("failing");
        const auto row = [](const char* tag, const char* sql, const char* missing,
                            QList<Action> failing) {
            QTest::newRow(tag) << QString::fromLatin1(sql) << QString::fromLatin1(missing)
                               << failing;
        };
        row("survey_results", "DROP TABLE survey_results", "survey_results",
            {Action::Answers, Action::Results});
        row("survey_results.answer", "ALTER TABLE survey_results RENAME COLUMN answer TO score",
            "answer", {Action::Answers, Action::Results});
        row("question", "DROP TABLE question", "question",
            {Action::Question, Action::Answers, Action::Results});
        row("question.question_text",
            "ALTER TABLE question RENAME COLUMN question_text TO wording", "question_text",
            {Action::Question, Action::Answers});
        row("question.row_id", "ALTER TABLE question RENAME COLUMN row_id TO r", "row_id",
            {Action::Question, Action::Answers, Action::Results});
        row("survey", "DROP TABLE survey", "survey",
            {Action::Header, Action::Answers, Action::Results});
        row("survey.company", "ALTER TABLE survey RENAME COLUMN company TO firm", "company",
            {Action::Header, Action::Answers});
        // The header is stored; the answering window it opens next cannot load.
        row("model_row", "DROP TABLE model_row", "model_row",
            {Action::Question, Action::Header, Action::Answers, Action::Results});
        row("model_column.name", "ALTER TABLE model_column RENAME COLUMN name TO title", "name",
            {Action::Question, Action::Header, Action::Answers, Action::Results});
    }

    void missingTableOrColumn()
    {
        QFETCH(QString, breakage);
        QFETCH(QString, missing);
        QFETCH(QList<Action>, failing);
        TestDb db;
        FillOneAnswer(db);
        db.exec(breakage);
        const QStringList before = Snapshot(db);

        Actions actions(db);
        for (const Action action : kAllActions) {
            m_messages->messages.clear();
            actions.Prepare(action);
            actions.Mark(action);
            actions.Click(action);
            const QString name = ActionName(action);
            // Failures name the file; the program's own messages do not.
            const QStringList reports = messages().filter(db.path());
            if (!failing.contains(action)) {
                QVERIFY2(reports.isEmpty(), qPrintable(name + ": " + reports.join(u'|')));
                QVERIFY2(actions.Done(action), qPrintable(name));
                continue;
            }
            QVERIFY2(!reports.isEmpty(), qPrintable(name));
            for (const QString& report : reports)
                QVERIFY2(report.contains(missing), qPrintable(name + ": " + report));
            if (action == Action::Results)
                QVERIFY2(!actions.Done(action), "a grid drawn from a failed query");
        }
        QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
        QString why;
        QVERIFY2(Keeps(before, Snapshot(db), &why), qPrintable(why));
    }

private:
    QStringList messages() const { return m_messages->messages; }
    std::optional<MessageCapture> m_messages;
};

QUELT_TEST(FileFaultTest);
#include "FileFaultTest.moc"
