// A second copy of the program for the reliability tests. It works the real
// windows as a user does, on the quelt.mdb of a folder the test prepared:
//
//   quelt_submitter cells|replace FOLDER
//       Submits the full cell (model row 0, column 0) of survey 1 again and
//       again until it is killed, each time after the first adding another
//       set of answers (cells) or replacing the stored ones (replace). Submit
//       n scores question q of the cell with Reliability::SubmitScore(n, q),
//       n counting on from the Submits already in the file and its history.
//   quelt_submitter headers FOLDER TAG COUNT
//       COUNT times: starts a survey in "Answer New Survey" (completed by
//       TAG-i, company TAG), then submits its full cell (0, 0) with
//       Reliability::CopyScore.
//
// Prints "ready" once its windows are open and, at the end of "headers",
// "renumbered N": how many proposed numbers the other copy stored first, so
// that the header went under the next one. Any other message ends it with
// exit code 2, the message on stderr.

#include "common/TestDb.h"
#include "common/Ui.h"
#include "reliability/Reliability.h"

#include "platform/DbEngine.h"
#include "platform/TextBox.h"
#include "platform/Toolkit.h"
#include "survey/SurveyQuestionControl.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <random>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "%s\n", qPrintable(why));
    std::fflush(stderr);
    ::_exit(2);
}

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void expectOnly(const MessageCapture& mc, const QString& message)
{
    if (mc.messages != QStringList{message})
        fail(QStringLiteral("expected \"%1\", got: %2").arg(message, mc.messages.join(u'|')));
}

TextBox* box(const QWidget* window, const char* name)
{
    return Ui::Find<TextBox>(window, QLatin1String(name));
}

// The answering window, from the main menu, with survey and cell (0, 0)
// chosen. (A window, control or item that is not there ends the copy through
// the TestAbort that main catches.)
QWidget* openCell(const QString& survey)
{
    Ui::MenuItem(QStringLiteral("miModifySurveyAnswers"));
    QWidget* w = Ui::FindWindow(QStringLiteral("frmSurvey"));
    Ui::PickText(w, QStringLiteral("cmbSurveyID"), survey);
    Ui::Pick(w, QStringLiteral("cmbModelRow"), 0);
    Ui::Pick(w, QStringLiteral("cmbModelCol"), 0);
    const int rows = int(w->findChildren<SurveyQuestionControl*>().size());
    int shown = 0;
    while (shown < rows && Ui::Row(w, shown)->Get_QuestionID() > -1)
        ++shown;
    if (shown != Reliability::kCellQuestions)
        fail(QStringLiteral("the cell shows %1 questions").arg(shown));
    return w;
}

void choose(const QWidget* w, int row, int score)
{
    const SurveyQuestionControl* control = Ui::Row(w, row);
    Ui::Choose(control, score);
    if (control->Get_Value() != score)
        fail(QStringLiteral("the click on score %1 of row %2 missed").arg(score).arg(row));
}

// Survey 1's answers stored, and those its corrections took out.
qint64 answersEverStored()
{
    Database db = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
    QueryDef qd = db.CreateQueryDef(QStringLiteral(
        "SELECT (SELECT count(*) FROM survey_results WHERE survey_id = 1) + (SELECT count(*) "
        "FROM history_answer WHERE survey_id = 1) AS n"));
    Recordset rs = qd.OpenRecordset();
    return rs.FieldInt64(QStringLiteral("n"));
}

int submitCells(const QString& choice)
{
    MessageCapture mc;
    const QWidget* w = openCell(QStringLiteral("1"));
    const qint64 stored = answersEverStored();
    if (stored % Reliability::kCellQuestions != 0)
        fail(QStringLiteral("a Submit is stored in part: %1 answers").arg(stored));
    if (!mc.messages.isEmpty())
        fail(mc.messages.join(u'|'));
    say(QStringLiteral("ready"));
    for (qint64 n = stored / Reliability::kCellQuestions;; ++n) {
        for (int q = 0; q < Reliability::kCellQuestions; ++q)
            choose(w, q, Reliability::SubmitScore(n, q));
        mc.messages.clear();
        if (n > 0)
            mc.choices << choice;
        Ui::Click(w, QStringLiteral("butSubmit"));
        if (n > 0 && !mc.messages.isEmpty() &&
            mc.messages.first().startsWith(QLatin1String("This cell already holds")))
            mc.messages.removeFirst();
        expectOnly(mc, QStringLiteral("Survey Submitted"));
    }
}

int submitHeaders(const QString& tag, int count)
{
    MessageCapture mc;
    say(QStringLiteral("ready"));
    // Both copies start together on the test's word, so their work overlaps.
    char go[8];
    if (!std::fgets(go, sizeof go, stdin))
        fail(QStringLiteral("no word to start"));
    std::mt19937 random(qHash(tag));
    std::uniform_int_distribution<int> typingUs(0, 5000);
    int renumbered = 0;
    for (int i = 0; i < count; ++i) {
        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        const QWidget* header = Ui::Window(QStringLiteral("frmNewSurvey"));
        if (!header || !mc.messages.isEmpty())
            fail(QStringLiteral("no survey number proposed: ") + mc.messages.join(u'|'));
        box(header, "txtCompletedBy")->setText(QStringLiteral("%1-%2").arg(tag).arg(i));
        box(header, "txtCompany")->setText(tag);
        // The user types for a while between the proposal and Submit.
        QThread::usleep(typingUs(random));
        QString number = box(header, "txtSurveyID")->text();
        mc.messages.clear();
        Ui::Click(header, QStringLiteral("butSubmit"));
        if (header->isVisible())
            fail(QStringLiteral("storing %1: %2").arg(number, mc.messages.join(u'|')));
        // The other copy stored this number first: the header went under
        // the next one, which the message names.
        if (!mc.messages.isEmpty()) {
            static const QRegularExpression taken(
                QStringLiteral("^Survey number (\\d+) was taken in the meantime; this survey "
                               "was stored as number (\\d+)\\.$"));
            const QRegularExpressionMatch m = taken.match(mc.messages.join(u'|'));
            if (!m.hasMatch() || m.captured(1) != number)
                fail(QStringLiteral("storing %1: %2").arg(number, mc.messages.join(u'|')));
            number = m.captured(2);
            ++renumbered;
        }

        const QWidget* w = openCell(number);
        const QString shown = box(w, "txtCompletedBy")->text();
        if (shown != QStringLiteral("%1-%2").arg(tag).arg(i))
            fail(QStringLiteral("survey %1 shows %2").arg(number, shown));
        for (int q = 0; q < Reliability::kCellQuestions; ++q)
            choose(w, q, Reliability::CopyScore(number.toInt(), q));
        mc.messages.clear();
        Ui::Click(w, QStringLiteral("butSubmit"));
        expectOnly(mc, QStringLiteral("Survey Submitted"));
        mc.messages.clear();
    }
    say(QStringLiteral("renumbered %1").arg(renumbered));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Ui::UseTestToolkit();
    InitToolkit(app);
    app.setQuitOnLastWindowClosed(false);
    const QStringList args = app.arguments();
    if (args.size() < 3 || !QDir::setCurrent(args[2]))
        fail(QStringLiteral("usage: quelt_submitter cells|replace|headers FOLDER [TAG COUNT]"));
    // A server database instead of the folder's file, as the program takes it.
    if (qEnvironmentVariableIsSet("QUELT_DATABASE"))
        DBEngine::SetSurveyDatabaseName(qEnvironmentVariable("QUELT_DATABASE"));
    try {
        if (args[1] == QLatin1String("cells"))
            return submitCells(QStringLiteral("Add"));
        if (args[1] == QLatin1String("replace"))
            return submitCells(QStringLiteral("Replace"));
        if (args[1] == QLatin1String("headers") && args.size() == 5)
            return submitHeaders(args[3], args[4].toInt());
    } catch (const TestAbort& missing) {
        fail(QString::fromUtf8(missing.what()));
    }
    fail(QStringLiteral("unknown mode ") + args[1]);
}
