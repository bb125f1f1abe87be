#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "reliability/Reliability.h"

#include <QProcess>
#include <QSet>
#include <QTest>

using namespace Reliability;

// Two desktops at once on one server database: two copies of the program
// start surveys and answer them through the windows (quelt_submitter
// headers), each proposal racing the other copy's.
class TwoDesktopsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("QUELT_TEST_BACKEND", "server"); }

    void noNumberTwiceNothingLost()
    {
        TestDb db({QStringLiteral("R")}, {QStringLiteral("C")});
        QList<qint64> questions;
        for (int q = 0; q < kCellQuestions; ++q)
            questions.append(db.addQuestion(0, 0, QStringLiteral("Question %1").arg(q)));
        const int rounds = Count("QUELT_COPY_ROUNDS", 25);

        QProcess copies[2];
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUELT_DATABASE"), db.location());
        for (int c = 0; c < 2; ++c) {
            copies[c].setProcessEnvironment(environment);
            copies[c].start(QStringLiteral(QUELT_SUBMITTER),
                            {QStringLiteral("headers"), db.dir(), QString(QChar(u'A' + c)),
                             QString::number(rounds)});
        }
        for (QProcess& copy : copies) {
            QVERIFY(copy.waitForStarted());
            while (!copy.canReadLine() && copy.state() == QProcess::Running)
                copy.waitForReadyRead(1000);
            QCOMPARE(copy.readLine().trimmed(), QByteArray("ready"));
        }
        for (QProcess& copy : copies)
            copy.write("go\n");
        int renumbered = 0;
        for (QProcess& copy : copies) {
            QVERIFY(copy.waitForFinished(180000));
            QVERIFY2(copy.exitCode() == 0, copy.readAllStandardError().constData());
            const QList<QByteArray> lines = copy.readAllStandardOutput().trimmed().split('\n');
            QVERIFY(lines.last().startsWith("renumbered "));
            renumbered += lines.last().mid(11).toInt();
        }

        const auto headers = db.rows(QStringLiteral("SELECT id, completed_by FROM survey"));
        QCOMPARE(headers.size(), 2 * rounds);
        QSet<int> numbers;
        QSet<QString> names;
        for (const QVariantList& h : headers) {
            numbers.insert(h[0].toInt());
            names.insert(h[1].toString());
            const auto answers = db.rows(QStringLiteral("SELECT question_id, answer FROM "
                                                        "survey_results WHERE survey_id = %1 "
                                                        "ORDER BY entry")
                                             .arg(h[0].toInt()));
            QCOMPARE(answers.size(), kCellQuestions);
            for (int q = 0; q < kCellQuestions; ++q)
                QCOMPARE(answers[q], (QVariantList{questions[q], CopyScore(h[0].toInt(), q)}));
        }
        QCOMPARE(numbers.size(), 2 * rounds);
        QCOMPARE(names.size(), 2 * rounds);
        Report(QStringLiteral("two desktops on a server: %1 headers and %2 answers stored, no "
                              "number twice, %3 proposals taken by the other desktop first and "
                              "stored under the next number; nothing lost")
                   .arg(2 * rounds)
                   .arg(2 * rounds * kCellQuestions)
                   .arg(renumbered));
    }
};

QUELT_TEST(TwoDesktopsTest);
#include "TwoDesktopsTest.moc"
