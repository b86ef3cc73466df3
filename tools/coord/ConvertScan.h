#pragma once
#include <QStringList>

// tessaro-coord convert-scan IN OUT --to FORM: args are those after "convert-scan". Returns the
// exit status: 0 written, 2 bad input or option, 3 the output could not be written.
int ConvertScanMain(const QStringList& args);
