#pragma once
#include <QString>

// Where Config.ini and the logs live. The executable's folder keeps them when it is writable and
// already holds a Config.ini or is a portable folder (it holds an entry named "portable");
// otherwise the XDG configuration folder does, so that rebuilding into a clean folder never
// loses the device list and an executable installed to a system folder can still save. Every
// folder here ends with '/'.

inline const QString PortableMarkerName = QStringLiteral("portable");

// $XDG_CONFIG_HOME/tessaro/ when the variable holds an absolute path, else ~/.config/tessaro/.
QString XdgSettingsFolder();

// The folder the rule picks for an executable in exeDir; nothing is created.
QString ChooseSettingsFolder(const QString& exeDir);

// A folder named by the operator (relative to the working directory), absolute, with '/'.
QString AbsoluteFolder(const QString& folder);

// Makes the folder and its parents when missing. An empty result means it is there; otherwise
// the result says why it could not be made.
QString MakeSettingsFolder(const QString& folder);
