#include "remote/RequestHeadGuard.h"

RequestHeadGuard::Verdict RequestHeadGuard::Feed(QByteArrayView chunk)
{
    for (const char c : chunk) {
        if (++m_bytes > m_limits.MaxHeadBytes)
            return Verdict::TooLarge;
        if (c == '\r')
            continue;
        if (c != '\n') {
            if (++m_lineLength > m_limits.MaxRequestLine && m_lines == 0)
                return Verdict::RequestLineTooLong;
            continue;
        }
        if (m_lineLength == 0 && m_lines > 0) {
            m_bytes = m_lines = 0;
            continue;
        }
        if (++m_lines > m_limits.MaxLines)
            return Verdict::TooManyLines;
        m_lineLength = 0;
    }
    return Verdict::Pass;
}
