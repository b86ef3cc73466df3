#pragma once
#include <QString>
#include <QStringList>
#include <memory>

class TessaroApplication;

// The exit code of a command line that cannot be followed, and of a start without a display.
constexpr int UsageExitCode = 2;

// What the command line asks for. No option changes what the windows do.
struct StartOptions {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString configDir; // absolute, ending with '/'; empty: the settings folder rule decides
    QString output; // what Help, Version and Error print
};

// Parses the arguments (the program's name first); nothing is created or opened.
StartOptions ParseStartOptions(const QStringList& arguments);

// Prints what the options ask for (errors and the usage after them on standard error) and
// returns the exit code: 0, or UsageExitCode for a command line with an error.
int PrintStartOptions(const StartOptions& options);

// The application object. Where the toolkit finds no display it would abort with its own long
// story; instead one line says so and how to run the program, and the process ends with
// UsageExitCode. The toolkit's messages from that time are passed on when the start succeeds.
// The application gets the desktop entry's name and the window icon.
std::unique_ptr<TessaroApplication> StartApplication(int& argc, char** argv);

// The one line said when no display was found, naming what DISPLAY held.
QString NoDisplayText();
