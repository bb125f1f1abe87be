#include "common/Fail.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/MessageBox.h"
#include "platform/Toolkit.h"

#include <QApplication>
#include <QMetaMethod>
#include <QTest>
#include <cstdio>

namespace {
std::vector<std::pair<const char*, TestRegistry::Factory>>& registry()
{
    static std::vector<std::pair<const char*, TestRegistry::Factory>> tests;
    return tests;
}
} // namespace

int TestRegistry::Add(const char* name, Factory factory)
{
    registry().emplace_back(name, std::move(factory));
    return int(registry().size());
}

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform cannot raise windows and says so at every show.
void dropPlatformChatter(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text == QLatin1String("This plugin does not support raise()"))
        return;
    g_previousHandler(type, context, text);
}

// A box no test expected would wait for a click that never comes, until CTest
// gives up on the whole executable: it fails the test that raised it, with
// its text, and is answered with OK or No, which change nothing. A test that
// expects boxes answers them itself (MessageCapture).
void unexpectedBox(const QString& text)
{
    QTest::qFail(qPrintable(QStringLiteral("a message box the test did not answer: ") + text),
                 __FILE__, __LINE__);
}

// The test functions of a class in the order Qt Test runs them: private
// slots without arguments, other than the set-up and clean-up ones and the
// data tables.
QStringList testFunctions(const QMetaObject* meta)
{
    static const QStringList fixtures = {QStringLiteral("initTestCase"),
                                         QStringLiteral("cleanupTestCase"), QStringLiteral("init"),
                                         QStringLiteral("cleanup")};
    QStringList names;
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod m = meta->method(i);
        const QString name = QString::fromLatin1(m.name());
        if (m.methodType() == QMetaMethod::Slot && m.access() == QMetaMethod::Private &&
            m.parameterCount() == 0 && !name.endsWith(QLatin1String("_data")) &&
            !fixtures.contains(name))
            names.append(name);
    }
    return names;
}

// Runs one class. Qt Test counts an exception out of a test function as a
// failure but then lets it through and stops the class, skipping the test's
// clean-up. A helper's failed step ends its test that way (TestAbort, the
// failure already recorded), so the clean-up runs here and the tests after
// the failed one run in a further pass. An exception from anywhere else
// fails the test and ends the class, as nothing tells which test threw it.
int runClass(QObject* test, const char* name, const QStringList& args)
{
    const QStringList functions = testFunctions(test->metaObject());
    QStringList options;
    QStringList pending; // "function" or "function:tag", as chosen on the command line
    for (qsizetype i = 1; i < args.size(); ++i)
        (functions.contains(args[i].section(u':', 0, 0)) ? pending : options).append(args[i]);
    const bool chosen = !pending.isEmpty();
    if (!chosen)
        pending = functions;
    const auto cleanUp = [test] {
        if (test->metaObject()->indexOfMethod("cleanup()") >= 0)
            QMetaObject::invokeMethod(test, "cleanup");
    };
    int failures = 0;
    bool firstPass = true;
    for (;;) {
        try {
            const QStringList run = firstPass && !chosen ? QStringList() : pending;
            return failures + QTest::qExec(test, QStringList{args.first()} + options + run);
        } catch (const TestAbort& abort) {
            ++failures;
            cleanUp();
            // Goes on after the failed test; a row of its data table named
            // on the command line counts as a test of its own.
            const QString ended = QString::fromUtf8(abort.function());
            const QString row = ended + u':' + QString::fromUtf8(abort.dataTag());
            qsizetype at = pending.indexOf(row);
            if (at < 0)
                at = pending.indexOf(ended);
            if (at < 0)
                at = pending.size();
            pending = pending.mid(at + 1);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: stopped by \"%s\"\n", name, e.what());
            cleanUp();
            return failures + 1;
        } catch (...) {
            std::fprintf(stderr, "%s: stopped by an exception\n", name);
            cleanUp();
            return failures + 1;
        }
        if (pending.isEmpty())
            return failures;
        std::fprintf(stderr, "%s: going on with %s\n", name,
                     qPrintable(pending.join(QStringLiteral(", "))));
        firstPass = false;
    }
}

} // namespace

// Runs every registered class; "-class Name" picks one, the other arguments
// go to Qt Test (test function names, -v2, ...).
int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                       : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Ui::UseTestToolkit();
    g_previousHandler = qInstallMessageHandler(dropPlatformChatter);
    InitToolkit(app);
    app.setQuitOnLastWindowClosed(false);
    MessageBox::SetHandler([](const QString& text, QWidget*) { unexpectedBox(text); });
    MessageBox::SetQuestionHandler([](const QString& text, QWidget*) {
        unexpectedBox(text);
        return false;
    });

    QStringList args = app.arguments();
    QString only;
    const qsizetype at = args.indexOf(QStringLiteral("-class"));
    if (at > 0 && at + 1 < args.size()) {
        only = args[at + 1];
        args.remove(at, 2);
    }
    int failures = 0;
    for (auto& [name, factory] : registry()) {
        if (!only.isEmpty() && only != QLatin1String(name))
            continue;
        std::unique_ptr<QObject> test = factory();
        failures += runClass(test.get(), name, args);
    }
    return failures == 0 ? 0 : 1;
}
