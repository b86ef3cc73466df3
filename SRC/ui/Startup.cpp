// Start-up: the process-wide settings, translation table and serial port, then the main window
// and the message loop.
#include "ui/Startup.h"

#include "data/PublicStruct.h"
#include "data/SettingsFolder.h"
#include "lang/Language.h"
#include "transport/ClassCom.h"
#include "transport/UDPServer.h"
#include "ui/FormMain.h"
#include "ui/Privilege.h"
#include "ui/StartOptions.h"

#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <memory>

namespace
{

const QString ApplicationTitle = QStringLiteral("Tessaro");

// The message of whatever was thrown; empty when the value carries none.
QString CurrentExceptionMessage()
{
    try {
        throw;
    } catch (const UDPServerException& error) {
        return error.Message();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QString();
    }
}

} // namespace

bool TessaroApplication::notify(QObject* receiver, QEvent* e)
{
    try {
        return QApplication::notify(receiver, e);
    } catch (...) {
        ShowErrorBox(CurrentExceptionMessage());
    }
    return false;
}

void ShowErrorBox(const QString& message)
{
    const QString text = message.isEmpty() ? QStringLiteral("Unknown error") : message;
    std::fprintf(stderr, "tessaro: %s\n", qPrintable(text));
    QMessageBox::critical(nullptr, ApplicationTitle, text);
}

void CreateProcessObjects(const QString& configDir)
{
    const QString folder = configDir.isEmpty() ? ChooseSettingsFolder(PublicStruct::ExecutableDirectory()) : configDir;
    // A folder that cannot be made still lets the window open; every save then reports its path.
    const QString problem = MakeSettingsFolder(folder);
    if (!problem.isEmpty())
        std::fprintf(stderr, "tessaro: %s\n", qPrintable(problem));
    PublicStruct::Install(std::make_unique<PublicStruct>(folder));
    cLanguage::Install(std::make_unique<cLanguage>());
    cnComm::Instance();
}

// A start that fails ends with a non-zero code after saying why, so that a script or a service
// manager sees it too.
int RunMainWindow(int udpPort)
{
    try {
        TFrmMain window(udpPort);
        window.show();
        return QApplication::exec();
    } catch (...) {
        ShowErrorBox(CurrentExceptionMessage());
    }
    return 1;
}

int RunTessaro(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = ParseStartOptions(arguments);
    if (options.action != StartOptions::Action::Run)
        return PrintStartOptions(options);
    // Before the application object exists: nothing has loaded a plug-in yet.
    if (const QString refusal = BindPortAndDropCapabilities(LocalUdpPort); !refusal.isEmpty()) {
        std::fprintf(stderr, "tessaro: %s\n", qPrintable(refusal));
        return 1;
    }
    const std::unique_ptr<TessaroApplication> app = StartApplication(argc, argv);
    CreateProcessObjects(options.configDir);
    QApplication::setApplicationName(ApplicationTitle);
    return RunMainWindow();
}
