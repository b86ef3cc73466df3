#pragma once
#include <QString>

class QListWidget;

// The main window's message list under a flood of lines: every line costs the same whatever the
// list holds. All rows share one height (no row is measured but the first), the oldest rows
// leave once limit is reached, and the scroll to the newest line is made once per
// ScrollBatchMs however many lines came meanwhile.
constexpr int ScrollBatchMs = 50;

void PrepareMessageList(QListWidget& list);
void AppendMessageLine(QListWidget& list, const QString& line, int limit);
