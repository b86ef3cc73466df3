#pragma once
#include <QByteArray>
#include <QByteArrayView>

// A printf-style line (UTF-8 format and arguments) to the debug window, from any thread and from
// code that knows no widgets. Does nothing while no debug window exists or while it is stopped.
// The line is handed on in GBK; one longer than DebugLineCapacity bytes is cut at a character
// boundary and ends with DebugCutMark. A DebugPrint made from inside a sink's DebugLine (say by
// a message handler) is dropped rather than deadlocking.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The format buffer is 8192 bytes: a line holds at most 8191 bytes and the terminator.
constexpr qsizetype DebugBufferSize = 8192;
constexpr qsizetype DebugLineCapacity = DebugBufferSize - 1;
inline constexpr char DebugCutMark[] = "...";

// Where DebugPrint delivers its lines: the debug window, which lives in the widget layer.
// Both calls come from the printing thread while the registration is locked, so a sink is never
// called once UnregisterDebugSink has returned.
class DebugSink {
public:
    virtual ~DebugSink() = default;
    // False while lines are dropped; nothing is then formatted.
    virtual bool DebugAccepting() const = 0;
    virtual void DebugLine(const QByteArray& gbkLine) = 0;
};

// One sink at a time: a new registration replaces the old one.
void RegisterDebugSink(DebugSink* sink);
// Clears the registration if it still holds sink; returns once no DebugPrint is using it.
void UnregisterDebugSink(DebugSink* sink);

// The largest character boundary of the GBK text gbk at or below limit: a double-byte
// character (lead byte 0x81..0xFE) is never split.
qsizetype GbkCharBoundary(QByteArrayView gbk, qsizetype limit);
