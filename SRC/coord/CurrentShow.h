#pragma once
// The show the operator works on: what the assignment window plans with and keeps its last plan
// in, what the compatibility setup adds imported scans to, what File > Save Show writes. Used on
// the GUI thread only.
#include "coord/CoordFile.h"

#include <QString>

namespace coordination
{

struct CurrentShow {
    CoordinationFile file;
    QString path; // where it was last saved or opened from; empty for a new show
    bool modified = false;
};

CurrentShow& TheShow();

} // namespace coordination
