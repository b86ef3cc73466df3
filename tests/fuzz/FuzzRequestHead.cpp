// The remote view's guard in front of the HTTP server: its verdict on a connection's bytes does
// not depend on how they were cut into chunks, and a stream of heads each within the bounds
// (counted here by splitting at empty lines) always passes.
#include "FuzzCheck.h"
#include "remote/RequestHeadGuard.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

namespace
{

// Each head within the bounds, judged by splitting the text rather than by counting bytes.
bool AllHeadsWithin(const QByteArray& bytes, const RequestHeadLimits& limits, bool* complete)
{
    QByteArray text = bytes;
    text.replace("\r", "");
    int headBytes = 0;
    int lines = 0;
    qsizetype start = 0;
    *complete = true;
    // A raw-bytes bound needs the raw text; only streams without '\r' are judged here.
    if (text.size() != bytes.size()) {
        *complete = false;
        return true;
    }
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        const QByteArray line = text.mid(start, end < 0 ? -1 : end - start);
        headBytes += static_cast<int>(line.size()) + (end < 0 ? 0 : 1);
        if (headBytes > limits.MaxHeadBytes || (lines == 0 && line.size() > limits.MaxRequestLine))
            return false;
        if (end < 0)
            break;
        if (line.isEmpty() && lines > 0) {
            headBytes = lines = 0;
        } else if (++lines > limits.MaxLines) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // Small bounds, so that short inputs reach every verdict.
    const RequestHeadLimits limits { 16 + data[0] % 64, 1 + data[0] % 5, 4 + data[1] % 32 };
    const QByteArray bytes(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    RequestHeadGuard whole(limits);
    const RequestHeadGuard::Verdict once = whole.Feed(bytes);

    RequestHeadGuard pieces(limits);
    RequestHeadGuard::Verdict chunked = RequestHeadGuard::Verdict::Pass;
    const qsizetype step = 1 + data[1] % 7;
    for (qsizetype at = 0; at < bytes.size() && chunked == RequestHeadGuard::Verdict::Pass; at += step)
        chunked = pieces.Feed(bytes.mid(at, step));
    FUZZ_CHECK(chunked == once);

    bool judged = false;
    const bool within = AllHeadsWithin(bytes, limits, &judged);
    if (judged)
        FUZZ_CHECK(within == (once == RequestHeadGuard::Verdict::Pass));
    return 0;
}
