#pragma once
// DebugPrint's lines, as the debug window would get them, from any thread.
#include "data/DebugPrint.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

class DebugLines : public DebugSink
{
public:
    DebugLines() { RegisterDebugSink(this); }
    ~DebugLines() override { UnregisterDebugSink(this); }
    bool DebugAccepting() const override { return true; }
    void DebugLine(const QByteArray& gbkLine) override
    {
        QMutexLocker lock(&m_mutex);
        m_lines.append(gbkLine);
    }
    QList<QByteArray> Lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    QList<QByteArray> Containing(const QByteArray& part) const
    {
        QList<QByteArray> found;
        for (const QByteArray& line : Lines())
            if (line.contains(part))
                found.append(line);
        return found;
    }

private:
    mutable QMutex m_mutex;
    QList<QByteArray> m_lines;
};
