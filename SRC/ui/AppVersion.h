#pragma once
#include <QString>

// The executable's file version, four parts joined by ".", e.g. "1.0.0.1".
QString FileVersionText();

// The version for window captions, "V1.0.0.1": the parts are packed into one number
// major x 1000000 + minor x 10000 + release x 100 + build and shown from its decimal places.
QString CaptionVersionText();
QString CaptionVersionText(int major, int minor, int release, int build);
