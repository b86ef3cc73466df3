#include "data/DebugPrint.h"

#include "lang/Gbk.h"

#include <QString>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {
// Guards the registration and the shared format buffer; held for a whole DebugPrint so that
// the sink cannot go away while a line is being delivered to it.
std::mutex g_sinkMutex;
DebugSink* g_sink = nullptr;
char g_buffer[DebugBufferSize];

// Set while this thread is inside DebugPrint: a nested call would lock g_sinkMutex twice.
thread_local bool t_printing = false;

struct PrintingScope {
    PrintingScope() { t_printing = true; }
    ~PrintingScope() { t_printing = false; }
};

qsizetype GbkCharSize(QByteArrayView gbk, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(gbk[at]);
    return lead >= 0x81 && lead <= 0xFE && at + 1 < gbk.size() ? 2 : 1;
}

// The formatted text in UTF-8, whole however long: the shared buffer serves the usual short
// line, a longer one is formatted again into a buffer of its own size.
QByteArray FormatUtf8(const char* format, va_list args)
{
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(g_buffer, sizeof g_buffer, format, args);
    QByteArray text;
    if (length < 0)
        text = QByteArray("DebugPrint cannot format: ") + format;
    else if (length < DebugBufferSize)
        text = QByteArray(g_buffer, length);
    else {
        std::vector<char> whole(static_cast<size_t>(length) + 1);
        std::vsnprintf(whole.data(), whole.size(), format, again);
        text = QByteArray(whole.data(), length);
    }
    va_end(again);
    return text;
}

QByteArray CutToCapacity(QByteArray gbk)
{
    if (gbk.size() <= DebugLineCapacity)
        return gbk;
    const qsizetype markSize = sizeof DebugCutMark - 1;
    gbk.truncate(GbkCharBoundary(gbk, DebugLineCapacity - markSize));
    return gbk + DebugCutMark;
}
} // namespace

qsizetype GbkCharBoundary(QByteArrayView gbk, qsizetype limit)
{
    if (limit >= gbk.size())
        return gbk.size();
    qsizetype at = 0;
    while (at < limit) {
        const qsizetype next = at + GbkCharSize(gbk, at);
        if (next > limit)
            break;
        at = next;
    }
    return at;
}

void RegisterDebugSink(DebugSink* sink)
{
    const std::lock_guard lock(g_sinkMutex);
    g_sink = sink;
}

void UnregisterDebugSink(DebugSink* sink)
{
    const std::lock_guard lock(g_sinkMutex);
    if (g_sink == sink)
        g_sink = nullptr;
}

void DebugPrint(const char* format, ...)
{
    if (t_printing)
        return;
    const std::lock_guard lock(g_sinkMutex);
    if (!g_sink || !g_sink->DebugAccepting())
        return;
    const PrintingScope scope;
    va_list args;
    va_start(args, format);
    const QByteArray utf8 = FormatUtf8(format, args);
    va_end(args);
    g_sink->DebugLine(CutToCapacity(ToGbk(QString::fromUtf8(utf8))));
}
