#pragma once

// A printf-style line (UTF-8 format and arguments) to the debug window, from any thread and from
// code that knows no widgets. Does nothing while no debug window exists or while it is stopped.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
