// tessaro-rxsim: simulated wireless-microphone receivers for Tessaro's tests and demo.
#include "SimConfig.h"
#include "Simulator.h"
#include "ui/FormDebug.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace
{

int g_signalPipe[2] = { -1, -1 };

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop, so that everything is closed in order and the exit
// code is 0; the handler itself only writes to a pipe.
bool WatchTerminationSignals(QCoreApplication& app)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0)
        return false;
    std::signal(SIGPIPE, SIG_IGN);
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
        app.quit();
    });
    return true;
}

bool WantsWindow(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--debug-window") == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Widgets only when the debug window is asked for: the simulator runs without a display.
    std::unique_ptr<QCoreApplication> app = WantsWindow(argc, argv) ? std::make_unique<QApplication>(argc, argv)
                                                                    : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaro-rxsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3.%4")
                                                .arg(TESSARO_VERSION_MAJOR)
                                                .arg(TESSARO_VERSION_MINOR)
                                                .arg(TESSARO_VERSION_PATCH)
                                                .arg(TESSARO_VERSION_TWEAK));

    SimOptions options;
    const ParseOutcome parsed = ParseCommandLine(app->arguments(), options);
    switch (parsed.Outcome) {
    case ParseOutcome::Help:
        std::fputs(parsed.Text.toUtf8().constData(), stdout);
        return 0;
    case ParseOutcome::Version:
        std::printf("tessaro-rxsim %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    case ParseOutcome::Error:
        std::fprintf(stderr, "rxsim: %s\n(see tessaro-rxsim --help)\n", parsed.Text.toUtf8().constData());
        return ExitUsage;
    case ParseOutcome::Run:
        break;
    }

    if (!WatchTerminationSignals(*app)) {
        std::perror("rxsim: signal handling");
        return ExitSetup;
    }
    Simulator simulator(options);
    QString error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "rxsim: %s\n", error.toUtf8().constData());
        return ExitSetup;
    }
    if (options.DebugWindow)
        CreateDebugWindow(nullptr);
    for (const QString& line : simulator.AnnouncementLines())
        std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);

    app->exec();
    if (options.DebugWindow)
        DestroyDebugWindow();
    return 0;
}
