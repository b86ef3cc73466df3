#pragma once
#include <QObject>
#include <QTimer>
#include <functional>

// Coalesces the saves a burst of changes asks for into one: the save runs before the thread's
// event loop next waits for events, however many requests came meanwhile, and at the latest
// maxDelayMs after the first of them (a loop kept busy by a flood may not wait for a long time).
// The owner runs Flush() before it goes, so that no requested save is lost.
class DeferredSave : public QObject
{
public:
    DeferredSave(std::function<void()> save, int maxDelayMs, QObject* parent = nullptr);

    void Request();
    bool Pending() const { return m_pending; }
    void Cancel(); // the caller has saved everything itself
    void Flush(); // saves now when a save is pending

private:
    std::function<void()> m_save;
    QTimer m_deadline;
    bool m_pending = false;
};
