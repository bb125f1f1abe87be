#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "reliability/Reliability.h"

#include "platform/DbEngine.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <QThread>
#include <random>

using namespace Reliability;

namespace {

// What the copy said last on stderr (the platform's chatter comes first).
QString lastWords(QProcess& copy)
{
    return QString::fromLocal8Bit(copy.readAllStandardError().trimmed().split('\n').last());
}

// SQLite marks a rollback journal valid by its magic number once the journal
// is safely on disk, before the database file itself is changed.
bool isHot(const QString& journal)
{
    QFile file(journal);
    return file.open(QIODevice::ReadOnly) &&
           file.read(8) == QByteArray::fromHex("d9d505f920a163d7");
}

const QString kSubmitter = QStringLiteral(QUELT_SUBMITTER);

// Waits for the copy's "ready"; false (with its words in `why`) when it ends first.
bool waitReady(QProcess& copy, QString* why)
{
    copy.waitForStarted();
    while (copy.state() == QProcess::Running || copy.bytesAvailable() > 0) {
        if (copy.canReadLine()) {
            if (copy.readLine().trimmed() == "ready")
                return true;
            continue;
        }
        copy.waitForReadyRead(1000);
    }
    *why = lastWords(copy);
    return false;
}

QList<qint64> cellQuestions(const TestDb& db)
{
    QList<qint64> ids;
    for (int q = 0; q < kCellQuestions; ++q)
        ids.append(db.addQuestion(0, 0, QStringLiteral("Question %1").arg(q),
                                  QStringLiteral("L%1").arg(q)));
    return ids;
}

// The answers of one survey, in the order they were stored.
QList<QVariantList> answersOf(const TestDb& db, int survey)
{
    return db.rows(QStringLiteral("SELECT question_id, answer FROM survey_results "
                                  "WHERE survey_id = %1 ORDER BY rowid")
                       .arg(survey));
}

} // namespace

class ProcessFaultTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A copy submitting full cells through the answering window is killed at
    // random moments (fixed seed), each Submit after the first adding another
    // set or replacing the stored one. Each Submit is in the file whole or
    // not at all, in order, and nothing stored before is touched: every
    // answer ever stored is in the table, or for a Replace in the history,
    // moved there by a change of its own.
    void killedMidSubmit_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("add") << "cells";
        QTest::newRow("replace") << "replace";
    }

    void killedMidSubmit()
    {
        QFETCH(QString, mode);
        const bool replace = mode == QLatin1String("replace");
        TestDb db;
        db.addSurvey(1, QStringLiteral("Ann"), QStringLiteral("Acme"));
        const QList<qint64> questions = cellQuestions(db);
        db.addSurvey(2, QStringLiteral("Bob"), QStringLiteral("Other"));
        db.addAnswer(2, db.addQuestion(1, 1, QStringLiteral("Elsewhere"), QStringLiteral("E")), 3);
        const QStringList before = Snapshot(db);

        const int kills = Count("QUELT_KILLS", 20);
        std::mt19937 random(7);
        std::uniform_int_distribution<int> delayMs(0, 150);
        int unfinished = 0;
        int hot = 0;
        qint64 submits = 0;
        for (int k = 0; k < kills; ++k) {
            QProcess copy;
            copy.start(kSubmitter, {mode, db.dir()});
            QString why;
            QVERIFY2(waitReady(copy, &why), qPrintable(why));
            QThread::msleep(delayMs(random));
            QVERIFY2(copy.state() == QProcess::Running, qPrintable(lastWords(copy)));
            copy.kill();
            QVERIFY(copy.waitForFinished(30000));
            // A journal left behind means the kill hit an unfinished write.
            // Once it is marked valid ("hot") the file itself may be part
            // written, and the program's own next read must roll it back.
            const QString journal = db.path() + QStringLiteral("-journal");
            if (QFile::exists(journal)) {
                ++unfinished;
                if (isHot(journal)) {
                    ++hot;
                    Database file = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
                    file.CreateQueryDef(QStringLiteral("SELECT count(*) AS n FROM survey"))
                        .OpenRecordset();
                    file.Close();
                    QVERIFY(!QFile::exists(journal));
                }
            }
            QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
            QVERIFY2(Keeps(before, Snapshot(db), &why), qPrintable(why));
            // The history first, in the order the Replaces were made, then
            // the table: every Submit whole, in order.
            const QList<QVariantList> moved = db.rows(QStringLiteral(
                "SELECT question_id, answer FROM history_answer ORDER BY change_id, rowid"));
            const QList<QVariantList> answers = moved + answersOf(db, 1);
            QCOMPARE(answers.size() % kCellQuestions, 0);
            for (qsizetype i = 0; i < answers.size(); ++i) {
                const qint64 submit = i / kCellQuestions;
                const int q = int(i % kCellQuestions);
                QCOMPARE(answers[i], (QVariantList{questions[q], SubmitScore(submit, q)}));
            }
            submits = answers.size() / kCellQuestions;
            // Each change took one answer out, for the question the next
            // Submit scored anew.
            const QList<QVariantList> changes = db.rows(QStringLiteral(
                "SELECT action, question_id, new_value, answers FROM history_change ORDER BY id"));
            QCOMPARE(changes.size(), moved.size());
            for (qsizetype i = 0; i < changes.size(); ++i) {
                const int q = int(i % kCellQuestions);
                QCOMPARE(
                    changes[i],
                    (QVariantList{"replaced", questions[q],
                                  QString::number(SubmitScore(i / kCellQuestions + 1, q)), 1}));
            }
            QCOMPARE(answersOf(db, 1).size(),
                     replace ? qMin<qsizetype>(answers.size(), kCellQuestions) : answers.size());
        }
        QVERIFY(submits > 1);
        Report(QStringLiteral("kills (%1): %2 SIGKILLs of a copy submitting full cells; %3 hit an "
                              "unfinished write, %4 of them with the journal marked valid (the "
                              "file perhaps part written) and rolled back by the program's next "
                              "read; %5 Submits stored, every one whole%6; integrity ok; nothing "
                              "lost")
                   .arg(QString::fromLatin1(QTest::currentDataTag()))
                   .arg(kills)
                   .arg(unfinished)
                   .arg(hot)
                   .arg(submits)
                   .arg(replace ? QStringLiteral(", each replaced set whole in the history")
                                : QString()));
    }

    // Two copies on one file, each storing survey headers through "Answer New
    // Survey" and then a full cell for each. Without a key on survey.id only
    // the window's own check keeps a number from being stored twice.
    void twoCopiesOnOneFile_data()
    {
        QTest::addColumn<bool>("bare");
        QTest::newRow("keyed survey table") << false;
        QTest::newRow("survey table without key") << true;
    }

    void twoCopiesOnOneFile()
    {
        QFETCH(bool, bare);
        TestDb db({QStringLiteral("R")}, {QStringLiteral("C")}, bare);
        const QList<qint64> questions = cellQuestions(db);
        db.addSurvey(1, QStringLiteral("Before"), QStringLiteral("Co"));
        db.addAnswer(1, questions[0], 2);
        const QStringList before = Snapshot(db);

        const int rounds = Count("QUELT_COPY_ROUNDS", 40);
        QProcess copies[2];
        const QString tags[2] = {QStringLiteral("A"), QStringLiteral("B")};
        for (int c = 0; c < 2; ++c)
            copies[c].start(kSubmitter, {QStringLiteral("headers"), db.dir(), tags[c],
                                         QString::number(rounds)});
        for (QProcess& copy : copies) {
            QString why;
            QVERIFY2(waitReady(copy, &why), qPrintable(why));
        }
        for (QProcess& copy : copies) {
            copy.write("go\n");
            QVERIFY(copy.waitForBytesWritten(10000));
        }
        int renumbered = 0;
        for (QProcess& copy : copies) {
            QVERIFY(copy.waitForFinished(180000));
            QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0,
                     qPrintable(lastWords(copy)));
            const QList<QByteArray> lines = copy.readAllStandardOutput().trimmed().split('\n');
            QVERIFY(lines.last().startsWith("renumbered "));
            renumbered += lines.last().mid(11).toInt();
        }

        QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
        QString why;
        QVERIFY2(Keeps(before, Snapshot(db), &why), qPrintable(why));
        const auto headers =
            db.rows(QStringLiteral("SELECT id, completed_by, company FROM survey WHERE id > 1"));
        QCOMPARE(headers.size(), 2 * rounds);
        QSet<int> numbers;
        QSet<QString> names;
        for (const QVariantList& h : headers) {
            numbers.insert(h[0].toInt());
            names.insert(h[1].toString());
            QCOMPARE(h[1].toString().section(u'-', 0, 0), h[2].toString());
            const QList<QVariantList> answers = answersOf(db, h[0].toInt());
            QCOMPARE(answers.size(), kCellQuestions);
            for (int q = 0; q < kCellQuestions; ++q)
                QCOMPARE(answers[q], (QVariantList{questions[q], CopyScore(h[0].toInt(), q)}));
        }
        QCOMPARE(numbers.size(), 2 * rounds);
        QCOMPARE(names.size(), 2 * rounds);
        QCOMPARE(db.count(QStringLiteral("survey_results")), 1 + 2 * rounds * kCellQuestions);
        Report(QStringLiteral("two copies, %1: %2 headers and %3 answers stored, no number "
                              "twice, %4 proposals taken by the other copy first and "
                              "stored under the next number; nothing lost")
                   .arg(QString::fromLatin1(QTest::currentDataTag()))
                   .arg(2 * rounds)
                   .arg(2 * rounds * kCellQuestions)
                   .arg(renumbered));
    }
};

QUELT_TEST(ProcessFaultTest);
#include "ProcessFaultTest.moc"
