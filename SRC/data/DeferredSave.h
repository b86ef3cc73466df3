#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// Coalesces the saves a burst of changes asks for: at most one save per gapMs while changes keep
// coming. A request after a quiet gap saves before the thread's event loop next waits for events;
// one sooner after the last save waits until gapMs have passed since it (a flood of changes, or a
// loop kept busy by one, gives one write per gapMs, never one per change). The owner runs Flush()
// before it goes, so that no requested save is lost.
class DeferredSave : public QObject
{
public:
    DeferredSave(std::function<void()> save, int gapMs, QObject* parent = nullptr);

    void Request();
    bool Pending() const { return m_pending; }
    void Cancel(); // the caller has saved everything itself
    void Flush(); // saves now when a save is pending

private:
    int MsUntilDue() const;
    void FlushWhenDue();

    std::function<void()> m_save;
    const int m_gapMs;
    QTimer m_deadline;
    QElapsedTimer m_sinceSave; // invalid until the first save
    bool m_pending = false;
};
