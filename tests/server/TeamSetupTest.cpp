#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/DbEngine.h"
#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// README's set-up of a team's server, run exactly as written on the test
// server, with its socket for the host "dbhost" and names of the test's own
// for the roles and the database (the server is shared with other tests);
// then a consultant's whole session through the windows. A README edit that
// breaks a step fails here.
namespace {

struct Block
{
    QString language;
    QStringList lines;
};

// The fenced blocks of README's "Setting up", in order.
QList<Block> setUpBlocks()
{
    QFile readme(QStringLiteral(QUELT_SOURCE_DIR "/README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        FailTest(QStringLiteral("cannot read ") + readme.fileName());
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype from = text.indexOf(QLatin1String("### Setting up"));
    const qsizetype to = text.indexOf(QLatin1String("### Working together"), from);
    if (from < 0 || to < 0)
        FailTest(QStringLiteral("README has no \"Setting up\" before \"Working together\""));
    QList<Block> blocks;
    bool inside = false;
    for (const QString& line : text.mid(from, to - from).split(u'\n')) {
        if (line.startsWith(QLatin1String("```"))) {
            inside = !inside;
            if (inside)
                blocks.append({line.mid(3), {}});
        } else if (inside) {
            blocks.last().lines.append(line);
        }
    }
    return blocks;
}

const QString kOwnerPassword = QStringLiteral("owner-secret");
const QString kAnnaPassword = QStringLiteral("anna-secret");

QString keyword(const QString& name)
{
    for (const QString& pair : TestServerKeywords().split(u';'))
        if (pair.startsWith(name + u'='))
            return pair.mid(name.size() + 1);
    return {};
}

// README's names and host made the test server's.
QString substituted(QString line, const QString& passFile)
{
    const QString socket = keyword(QStringLiteral("host"));
    const QString port = keyword(QStringLiteral("port"));
    line.replace(QStringLiteral("sudo -u postgres "), QString());
    line.replace(QRegularExpression(QStringLiteral("^quelt-db ")),
                 QStringLiteral(QUELT_DB_TOOL " "));
    line.replace(QStringLiteral("~/.pgpass"), passFile);
    line.replace(QStringLiteral("dbhost:5432:"), socket + u':' + port + u':');
    line.replace(QStringLiteral("@dbhost/"),
                 u'@' + QString::fromLatin1(QUrl::toPercentEncoding(socket)) + u':' + port + u'/');
    line.replace(QStringLiteral("quelt_owner"), QStringLiteral("readme_owner"));
    line.replace(QStringLiteral("quelt_consultant"), QStringLiteral("readme_consultants"));
    line.replace(QRegularExpression(QStringLiteral("\\banna\\b")), QStringLiteral("readme_anna"));
    line.replace(QRegularExpression(QStringLiteral("(?<![\\w-])quelt(?![\\w-])")),
                 QStringLiteral("readme_quelt"));
    if (line.contains(QLatin1String(":readme_owner:")))
        line.replace(QStringLiteral("PASSWORD"), kOwnerPassword);
    line.replace(QStringLiteral("PASSWORD"), kAnnaPassword);
    return line;
}

// A command line as a shell runs it, without a terminal to ask on, so that
// a prompt reads what is typed from standard input.
void run(const QString& line, const QByteArray& typed, const QProcessEnvironment& environment)
{
    QProcess shell;
    shell.setProcessEnvironment(environment);
    shell.start(QStringLiteral("setsid"),
                {QStringLiteral("-w"), QStringLiteral("sh"), QStringLiteral("-c"), line});
    shell.write(typed);
    shell.closeWriteChannel();
    if (!shell.waitForFinished(60000) || shell.exitStatus() != QProcess::NormalExit ||
        shell.exitCode() != 0)
        FailTest(QStringLiteral("%1 failed: %2")
                     .arg(line, QString::fromUtf8(shell.readAllStandardError())));
}

void dropWhatTheSetUpMakes()
{
    ServerAdmin(QStringLiteral("DROP DATABASE IF EXISTS readme_quelt WITH (FORCE)"));
    ServerAdmin(QStringLiteral("DROP ROLE IF EXISTS readme_anna, readme_consultants, "
                               "readme_owner"));
}

} // namespace

class TeamSetupTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("QUELT_TEST_BACKEND", "server");
        dropWhatTheSetUpMakes();
    }
    void cleanupTestCase()
    {
        Ui::CloseAllWindows();
        DBEngine::CloseIdleConnections();
        DBEngine::SetSurveyDatabaseName(QStringLiteral("quelt.mdb"));
        qunsetenv("PGPASSFILE");
        dropWhatTheSetUpMakes();
    }

    void setUpAsWrittenThenAConsultantsSession()
    {
        // Without blanks: README's lines name its files unquoted.
        QTemporaryDir home(QDir::tempPath() + QStringLiteral("/quelt-readme-XXXXXX"));
        QList<Block> typed;
        for (const Block& block : setUpBlocks())
            if (block.language == QLatin1String("text"))
                typed.append(block);
        QString location;
        QString consultantsPassFile;
        for (const Block& block : setUpBlocks()) {
            if (block.language != QLatin1String("sh"))
                continue;
            const QString who = block.lines.value(0);
            // The server's network settings are the system's; the test
            // server listens on a socket of its own.
            if (who.startsWith(QLatin1String("# as root on the server")))
                continue;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("PGPASSWORD"));
            const QString passFile =
                home.filePath(who.section(u' ', 3).remove(u' ') + QStringLiteral(".pgpass"));
            environment.insert(QStringLiteral("PGPASSFILE"), passFile);
            if (who == QLatin1String("# as the server's administrator")) {
                environment.insert(QStringLiteral("PGHOST"), keyword(QStringLiteral("host")));
                environment.insert(QStringLiteral("PGPORT"), keyword(QStringLiteral("port")));
                environment.insert(QStringLiteral("PGUSER"), keyword(QStringLiteral("user")));
            } else if (who != QLatin1String("# as the owner") &&
                       who != QLatin1String("# as the consultant")) {
                QFAIL(qPrintable(QStringLiteral("a block of README nobody runs: ") + who));
            }
            for (const QString& written : block.lines.mid(1)) {
                const QString line = substituted(written, passFile);
                if (line.startsWith(QLatin1String("readme_quelt --database "))) {
                    location = line.section(u'\'', 1, 1);
                    consultantsPassFile = passFile;
                    continue;
                }
                QByteArray input;
                if (line.contains(QLatin1String("--pwprompt"))) {
                    const QByteArray password =
                        (line.endsWith(QLatin1String("readme_owner")) ? kOwnerPassword
                                                                      : kAnnaPassword)
                            .toUtf8();
                    input = password + '\n' + password + '\n';
                } else if (line.startsWith(QLatin1String("cat >> "))) {
                    QVERIFY2(!typed.isEmpty(), "a line to type into cat is missing");
                    input =
                        substituted(typed.takeFirst().lines.join(u'\n'), passFile).toUtf8() + '\n';
                }
                run(line, input, environment);
            }
            if (who != QLatin1String("# as the server's administrator"))
                QCOMPARE(QFile::permissions(passFile),
                         QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        }
        QVERIFY2(!location.isEmpty(), "README starts no program for the consultant");

        // The consultant's session, through the windows.
        MessageCapture messages;
        qputenv("PGPASSFILE", consultantsPassFile.toUtf8());
        DBEngine::SetSurveyDatabaseName(location);
        Ui::MenuItem(QStringLiteral("miAddQuestion"));
        QWidget* question = Ui::FindWindow(QStringLiteral("frmQuestion"));
        Ui::Pick(question, QStringLiteral("cmbModelRow"), 1);
        Ui::Pick(question, QStringLiteral("cmbModelCol"), 2);
        Ui::Find<MultiLineTextBox>(question, QStringLiteral("txtQuestion"))
            ->setPlainText(QStringLiteral("Why?"));
        Ui::Click(question, QStringLiteral("butSubmit"));
        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        QWidget* header = Ui::FindWindow(QStringLiteral("frmNewSurvey"));
        Ui::Find<TextBox>(header, QStringLiteral("txtCompletedBy"))
            ->setText(QStringLiteral("Anna"));
        Ui::Find<TextBox>(header, QStringLiteral("txtCompany"))->setText(QStringLiteral("Acme"));
        Ui::Click(header, QStringLiteral("butSubmit"));
        QWidget* answers = Ui::FindWindow(QStringLiteral("frmSurvey"));
        Ui::PickText(answers, QStringLiteral("cmbSurveyID"), QStringLiteral("1"));
        Ui::Pick(answers, QStringLiteral("cmbModelRow"), 1);
        Ui::Pick(answers, QStringLiteral("cmbModelCol"), 2);
        Ui::Choose(Ui::Row(answers, 0), 4);
        Ui::Click(answers, QStringLiteral("butSubmit"));
        Ui::MenuItem(QStringLiteral("miQueltTable"));
        QWidget* results = Ui::FindWindow(QStringLiteral("frmModelTable"));
        Ui::PickText(results, QStringLiteral("cmbSurvey"), QStringLiteral("1"));
        Ui::Click(results, QStringLiteral("butResults"));
        QCOMPARE(messages.messages, QStringList{QStringLiteral("Survey Submitted")});

        const QString owner = QString(location).replace(QStringLiteral("readme_anna@"),
                                                        QStringLiteral("readme_owner@"));
        QProcess exported;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGPASSFILE"),
                           home.filePath(QStringLiteral("owner.pgpass")));
        exported.setProcessEnvironment(environment);
        exported.start(QStringLiteral(QUELT_DB_TOOL),
                       {QStringLiteral("export"), owner, QStringLiteral("--stored-by")});
        QVERIFY(exported.waitForFinished(60000));
        const QString out = QString::fromUtf8(exported.readAllStandardOutput());
        QVERIFY2(out.contains(QRegularExpression(
                     QStringLiteral("\\n1,Anna,Acme,\\d+,,Why\\?,1,Training,2,Review,4,readme_anna,"
                                    "[^,]+,readme_anna,[^,]+,readme_anna,"))),
                 qPrintable(out + QString::fromUtf8(exported.readAllStandardError())));
    }
};

QUELT_TEST(TeamSetupTest);
#include "TeamSetupTest.moc"
