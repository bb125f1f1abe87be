#include "platform/TerminalText.h"
#include "platform/Toolkit.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <cstdio>

namespace {

QStringList rawArguments(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

} // namespace

int main(int argc, char* argv[])
{
    // Help and version need no display, so they come before the toolkit.
    const StartOptions early = ParseStartOptions(rawArguments(argc, argv), {});
    if (early.help || early.version) {
        const QString text = early.help ? StartHelp() : QStringLiteral("quelt " QUELT_VERSION "\n");
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    // The toolkit has taken its own arguments (-platform, -style, ...) by now.
    const StartOptions options =
        ParseStartOptions(QApplication::arguments().mid(1), qEnvironmentVariable("QUELT_DATABASE"));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "quelt: %s\nTry 'quelt --help'.\n",
                     Visible(options.error).toLocal8Bit().constData());
        return 2;
    }
    InitToolkit(app);
    Main(options.database);
    return app.exec();
}
