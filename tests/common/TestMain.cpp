#include "common/TestRegistry.h"

#include "platform/Toolkit.h"

#include <QApplication>
#include <QTest>

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

} // namespace

// Runs every registered class; "-class Name" picks one, the other arguments
// go to Qt Test (test function names, -v2, ...).
int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                       : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    g_previousHandler = qInstallMessageHandler(dropPlatformChatter);
    InitToolkit(app);
    app.setQuitOnLastWindowClosed(false);

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
        failures += QTest::qExec(test.get(), args);
    }
    return failures == 0 ? 0 : 1;
}
