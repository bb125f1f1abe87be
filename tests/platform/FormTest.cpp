#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/Form.h"
#include "platform/QueltError.h"
#include "platform/TextBox.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

namespace {

int g_loads = 0;
int g_shows = 0;
// IsFirstShow() as each Form_Show saw it.
QList<bool> g_firstShows;
bool g_failLoad = false;

class frmProbe : public Form
{
    Q_OBJECT
public:
    frmProbe() : Form("frmProbe", QStringLiteral("Probe"), 4000, 2000)
    {
        Control<TextBox>("txtNote", 120, 120, 2000, 300);
        auto* butRun = Control<QPushButton>("butRun", 120, 600, 1200, 375);
        connect(butRun, &QPushButton::clicked, this, Handler(this, &frmProbe::butRun_Click));
    }
    int stepsDone = 0;

protected:
    void Form_Load() override
    {
        ++g_loads;
        if (g_failLoad)
            throw QueltError(QStringLiteral("Loading failed."));
    }
    void Form_Show() override
    {
        ++g_shows;
        g_firstShows.append(IsFirstShow());
    }

private:
    void butRun_Click()
    {
        ++stepsDone;
        DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"))
            .Execute(QStringLiteral("SELECT `missing\x1b[2J` FROM survey"));
        ++stepsDone;
    }
};

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        g_loads = g_shows = 0;
        g_firstShows.clear();
        g_failLoad = false;
    }
    void cleanup() { Ui::CloseAllWindows(); }

    void singleInstanceLifecycle()
    {
        frmProbe* first = ShowForm<frmProbe>();
        QVERIFY(first->isVisible());
        QCOMPARE(first->objectName(), QStringLiteral("frmProbe"));
        QVERIFY(!first->parentWidget());
        Ui::Find<TextBox>(first, "txtNote")->setText(QStringLiteral("kept"));

        // Shown again while visible: same instance, no second Load, but the
        // show hook runs.
        QCOMPARE(ShowForm<frmProbe>(), first);
        QCOMPARE(g_loads, 1);
        QCOMPARE(g_shows, 2);

        // Hide keeps the instance and its contents.
        first->hide();
        QCOMPARE(FormInstance<frmProbe>(), first);
        QCOMPARE(ShowForm<frmProbe>(), first);
        QCOMPARE(Ui::Find<TextBox>(first, "txtNote")->text(), QStringLiteral("kept"));
        QCOMPARE(g_loads, 1);

        // A minimised window comes back restored.
        first->showMinimized();
        ShowForm<frmProbe>();
        QVERIFY(!first->isMinimized());

        // The close box destroys it; the next use makes it anew.
        QPointer<frmProbe> old = first;
        Ui::CloseBox(first);
        QVERIFY(old.isNull());
        QVERIFY(!FormInstance<frmProbe>());
        frmProbe* second = ShowForm<frmProbe>();
        QCOMPARE(g_loads, 2);
        QVERIFY(Ui::Find<TextBox>(second, "txtNote")->text().isEmpty());
        // Only the show right after each Load is a first show.
        QCOMPARE(g_firstShows, (QList<bool>{true, false, false, false, true}));
        QVERIFY(!second->IsFirstShow());
    }

    void failedLoadLeavesNoInstance()
    {
        g_failLoad = true;
        QVERIFY_THROWS_EXCEPTION(QueltError, ShowForm<frmProbe>());
        QVERIFY(!FormInstance<frmProbe>());
        Ui::Settle();
        QVERIFY(!Ui::Window(QStringLiteral("frmProbe")));
        g_failLoad = false;
        QVERIFY(ShowForm<frmProbe>()->isVisible());
        QCOMPARE(g_loads, 2);
    }

    // A failing handler stops at the failing step, shows one report naming
    // what failed, the engine's words and the file, and the program goes on.
    // The same report on standard error, which may be a terminal, shows the
    // control characters a file can put into the engine's words.
    void failureEndsInTheErrorReport()
    {
        TestDb fixture;
        MessageCapture box;
        frmProbe* form = ShowForm<frmProbe>();
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral(
                                 "^QueltProject error: .*\n\nThe database engine said: no such "
                                 "column: missing\\\\e\\[2J\nFile: ")));
        Ui::Click(form, "butRun");
        QCOMPARE(form->stepsDone, 1);
        QCOMPARE(box.messages.size(), 1);
        QVERIFY(box.last().contains(QStringLiteral("no such column: missing\x1b[2J")));
        QVERIFY(box.last().contains(fixture.path()));
        Ui::Click(form, "butRun");
        QCOMPARE(box.messages.size(), 2);
    }

    // At the design font the twip layout holds to the pixel; at a larger
    // font every position and size grows with it.
    void placesControlsInTwips_data()
    {
        QTest::addColumn<double>("points");
        QTest::newRow("design font") << 8.25;
        QTest::newRow("1.5 times the font") << 12.375;
    }

    void placesControlsInTwips()
    {
        QFETCH(double, points);
        const Ui::AppFont font(points);
        const double scale = LayoutScale();
        QCOMPARE(scale == 1.0, points == 8.25);
        QVERIFY2(scale >= points / 8.25 - 0.05, qPrintable(QString::number(scale)));
        const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX() * scale;
        QCOMPARE(TwipsToPxX(1440), qRound(dpi));
        // Each coordinate is converted on its own, not from a sum.
        frmProbe* form = ShowForm<frmProbe>();
        QCOMPARE(Ui::Find(form, "butRun")->geometry(),
                 QRect(qRound(120 * dpi / 1440), qRound(600 * dpi / 1440),
                       qRound(1200 * dpi / 1440), qRound(375 * dpi / 1440)));
        QCOMPARE(form->size(), QSize(qRound(4000 * dpi / 1440), qRound(2000 * dpi / 1440)));
    }

    // A window opens where it was left, at the size it was given, in this
    // run and the next; never off every screen, and at a size chosen at
    // another font only where it was.
    void placementIsRemembered_data()
    {
        QTest::addColumn<QPoint>("movedTo");
        QTest::addColumn<double>("reopenedAt"); // points
        QTest::addColumn<bool>("sameSize");
        QTest::newRow("as left") << QPoint(40, 30) << 8.25 << true;
        QTest::newRow("off every screen") << QPoint(20000, 20000) << 8.25 << true;
        QTest::newRow("another font") << QPoint(40, 30) << 12.375 << false;
    }

    void placementIsRemembered()
    {
        QFETCH(QPoint, movedTo);
        QFETCH(double, reopenedAt);
        QFETCH(bool, sameSize);
        frmProbe* form = ShowForm<frmProbe>();
        form->move(movedTo);
        form->resize(form->size() - QSize(30, 20));
        const QRect left = form->geometry();
        Ui::CloseBox(form);
        const Ui::AppFont font(reopenedAt);
        form = ShowForm<frmProbe>();
        const QRect screen = form->screen()->availableGeometry();
        QVERIFY(screen.contains(form->frameGeometry()));
        if (screen.contains(left))
            QCOMPARE(form->geometry().topLeft(), left.topLeft());
        QCOMPARE(form->size() == left.size(), sameSize);
        if (!sameSize)
            QCOMPARE(form->size(), QSize(TwipsToPxX(4000), TwipsToPxY(2000)));
    }

    void textBoxesHaveNoLimit()
    {
        TextBox box;
        const QString longText(100000, u'x');
        box.setText(longText);
        QCOMPARE(box.text().size(), longText.size());
        box.clear();
        QTest::keyClicks(&box, QStringLiteral("typed"));
        box.insert(longText);
        QCOMPARE(box.text().size(), longText.size() + 5);
    }
};

QUELT_TEST(FormTest);
#include "FormTest.moc"
