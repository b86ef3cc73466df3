#include "data/DeferredSave.h"

#include <QAbstractEventDispatcher>
#include <QThread>

DeferredSave::DeferredSave(std::function<void()> save, int maxDelayMs, QObject* parent)
    : QObject(parent)
    , m_save(std::move(save))
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(maxDelayMs);
    connect(&m_deadline, &QTimer::timeout, this, &DeferredSave::Flush);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &DeferredSave::Flush);
}

void DeferredSave::Request()
{
    if (m_pending)
        return;
    m_pending = true;
    m_deadline.start();
}

void DeferredSave::Cancel()
{
    m_pending = false;
    m_deadline.stop();
}

void DeferredSave::Flush()
{
    if (!m_pending)
        return;
    Cancel();
    m_save();
}
