#include "ui/StartOptions.h"

#include "data/SettingsFolder.h"
#include "ui/AppVersion.h"
#include "ui/Pictures.h"
#include "ui/Startup.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{

QString UsageText(const QCommandLineParser& parser, const QStringList& arguments)
{
    // Parsed before the application object exists, the usage line has no program name of its own.
    QString text = parser.helpText();
    const QString program = arguments.isEmpty() ? QStringLiteral("tessaro") : QFileInfo(arguments.first()).fileName();
    return text.replace(QStringLiteral("<executable_name>"), program);
}

StartOptions Failure(const QString& why, const QCommandLineParser& parser, const QStringList& arguments)
{
    return { StartOptions::Action::Error, {},
        QStringLiteral("tessaro: %1\n\n").arg(why) + UsageText(parser, arguments) };
}

// A toolkit message kept while the application object is built.
struct HeldMessage {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

std::vector<HeldMessage>& HeldMessages()
{
    static std::vector<HeldMessage> held;
    return held;
}

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        // The platform plug-in could not start: no usable display. Nothing else runs yet.
        std::fprintf(stderr, "%s\n", qPrintable(NoDisplayText()));
        std::fflush(stdout);
        std::_Exit(UsageExitCode);
    }
    HeldMessages().push_back({ type, context.file, context.function, context.category, context.line, text });
}

// An argument such as -platform: one dash and letters that are not all our short options. Left to
// the parser it would be taken apart into -p -l -a ... and reported letter by letter.
QString SingleDashWord(const QStringList& arguments, const QString& shortOptions)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--"))
            break;
        if (a == QLatin1String("--config-dir")) {
            ++i; // its value, whatever it looks like
            continue;
        }
        if (a.size() > 2 && a.startsWith(QLatin1Char('-')) && a[1] != QLatin1Char('-')
            && !std::all_of(a.begin() + 1, a.end(), [&](QChar c) { return shortOptions.contains(c); }))
            return a;
    }
    return {};
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const char* size : { "32", "256" })
        icon.addPixmap(LoadPixmap(QStringLiteral(":/icons/tessaro-%1.png").arg(QLatin1String(size))));
    return icon;
}

} // namespace

StartOptions ParseStartOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tessaro manages wireless-microphone receivers on the LAN or an RS-485 line.\n"
                       "Config.ini and the logs live beside the executable when that folder is\n"
                       "writable and holds a Config.ini or an entry named \"portable\", else in\n"
                       "$XDG_CONFIG_HOME/tessaro (~/.config/tessaro); the about window shows the\n"
                       "folder in use."));
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Shows this help."));
    const QCommandLineOption version(
        { QStringLiteral("v"), QStringLiteral("version") }, QStringLiteral("Prints the version and exits."));
    const QCommandLineOption configDir(QStringList { QStringLiteral("config-dir") },
        QStringLiteral("Keeps Config.ini and the logs in <dir> (made when missing) instead of the usual "
                       "settings folder."),
        QStringLiteral("dir"));
    parser.addOptions({ help, version, configDir });

    const QString word = SingleDashWord(arguments, QStringLiteral("hv"));
    if (!word.isEmpty())
        return Failure(QStringLiteral("unknown option %1: options start with \"--\", and the toolkit's own options are "
                                      "not taken; set its environment variables instead, for example "
                                      "QT_QPA_PLATFORM=offscreen rather than -platform offscreen")
                           .arg(word),
            parser, arguments);
    if (!parser.parse(arguments))
        return Failure(parser.errorText(), parser, arguments);
    if (!parser.positionalArguments().isEmpty())
        return Failure(
            QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()), parser, arguments);
    if (parser.isSet(help))
        return { StartOptions::Action::Help, {}, UsageText(parser, arguments) };
    if (parser.isSet(version))
        return { StartOptions::Action::Version, {}, QStringLiteral("Tessaro %1\n").arg(FileVersionText()) };
    StartOptions run;
    if (parser.isSet(configDir)) {
        if (parser.value(configDir).isEmpty())
            return Failure(QStringLiteral("--config-dir needs a folder"), parser, arguments);
        run.configDir = AbsoluteFolder(parser.value(configDir));
    }
    return run;
}

int PrintStartOptions(const StartOptions& options)
{
    const bool error = options.action == StartOptions::Action::Error;
    std::fputs(qPrintable(options.output), error ? stderr : stdout);
    return error ? UsageExitCode : 0;
}

QString NoDisplayText()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    const QString which = display.isEmpty() ? QStringLiteral("DISPLAY is not set")
                                            : QStringLiteral("the display \"%1\" cannot be opened").arg(display);
    return QStringLiteral("tessaro: no display was found (%1): start it in a desktop session, set DISPLAY, "
                          "or run it as: xvfb-run tessaro")
        .arg(which);
}

std::unique_ptr<TessaroApplication> StartApplication(int& argc, char** argv)
{
    HeldMessages().clear();
    const QtMessageHandler previous = qInstallMessageHandler(HoldMessage);
    auto app = std::make_unique<TessaroApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage& m : HeldMessages()) {
        const QMessageLogContext context(m.file.constData(), m.line, m.function.constData(), m.category.constData());
        qt_message_output(m.type, context, m.text);
    }
    HeldMessages().clear();
    // The desktop entry's name lets the desktop match the window to the menu entry and its icon;
    // desktops that take the icon from the window get it too.
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaro"));
    QApplication::setWindowIcon(ApplicationIcon());
    return app;
}
