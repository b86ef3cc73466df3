#pragma once
#include <QString>

// Config.ini in the Windows INI form: sections and key names compared without regard to case,
// GBK text values, CR LF line ends; every write keeps all other sections, keys, comments and
// unparsable lines and replaces the file whole (temporary file, flush, rename, flush directory).
// Writes return false, leave the old file as it was and log the cause when they fail.
QString IniReadString(const QString& path, const QString& section, const QString& key, const QString& def);
int IniReadInt(const QString& path, const QString& section, const QString& key, int def);
bool IniWriteString(const QString& path, const QString& section, const QString& key, const QString& value);
bool IniWriteInt(const QString& path, const QString& section, const QString& key, int value);
