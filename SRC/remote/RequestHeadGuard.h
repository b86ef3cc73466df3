#pragma once
// Counts a connection's incoming bytes into request heads without parsing them: bytes per head,
// lines per head and the request line's length. A head ends with an empty line; the remote view
// serves only GET, whose requests have no body, so anything else counts as the next head.
#include <QByteArrayView>

struct RequestHeadLimits {
    int MaxHeadBytes = 8192;
    int MaxLines = 64;      // request line and headers
    int MaxRequestLine = 2048;
};

class RequestHeadGuard
{
public:
    enum class Verdict { Pass, TooLarge, RequestLineTooLong, TooManyLines };

    explicit RequestHeadGuard(RequestHeadLimits limits = {}) : m_limits(limits) { }
    // The first bound the bytes so far break, whatever the chunks they came in; Pass while none.
    Verdict Feed(QByteArrayView chunk);

private:
    RequestHeadLimits m_limits;
    int m_bytes = 0;
    int m_lines = 0;
    int m_lineLength = 0;
};
