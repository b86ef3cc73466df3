#pragma once
// A plan judged against everything its coordination file says, recomputed from the file alone:
// nothing the search or the idle lists computed is trusted.
#include "coord/CoordFile.h"

#include <QStringList>

namespace coordination
{

// Each rule the plan breaks, in words; empty when it keeps them all. A placed device lies on its
// band's channel grid, outside every exclusion and TV channel on air, clear of every busy
// frequency and every scan point above its threshold, on its inclusion list when it has one; a
// locked device is placed on its current frequency. Every carrier on air, foreign ones included,
// keeps the spacing and the product guards of the profiles. What only foreign carriers and
// locked devices do among themselves is given, not the plan's doing, and not reported.
QStringList CheckShow(const CoordinationFile& file, const FilePlan& plan);

} // namespace coordination
