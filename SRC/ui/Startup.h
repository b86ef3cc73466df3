#pragma once
#include "transport/SendCommand.h"

#include <QApplication>
#include <QString>

// The application object. A handler that throws while the loop runs has its error shown, and
// the loop goes on.
class TessaroApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* e) override;
};

// An error on standard error, for a start from a terminal, and in the framework's error box.
void ShowErrorBox(const QString& message);

// The process-wide objects that exist before the main window: the settings of the settings
// folder's Config.ini, the translation table and the serial port, closed. The folder is
// configDir when given, else the one ChooseSettingsFolder picks; it is made when missing.
void CreateProcessObjects(const QString& configDir = {});

// Creates the main window on udpPort, shows it and runs the loop until it closes: 0. A start
// that fails is shown with ShowErrorBox, and the result is 1; the window is then never shown.
int RunMainWindow(int udpPort = LocalUdpPort);

// The whole process: main() is this. The command line is read first (--help, --version and
// errors end the process there), then the application object is made, then the rest.
int RunTessaro(int argc, char** argv);
