#include "data/DeferredSave.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <algorithm>

DeferredSave::DeferredSave(std::function<void()> save, int gapMs, QObject* parent)
    : QObject(parent)
    , m_save(std::move(save))
    , m_gapMs(gapMs)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &DeferredSave::Flush);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &DeferredSave::FlushWhenDue);
}

int DeferredSave::MsUntilDue() const
{
    if (!m_sinceSave.isValid())
        return 0;
    return static_cast<int>(std::max<qint64>(0, m_gapMs - m_sinceSave.elapsed()));
}

void DeferredSave::Request()
{
    if (m_pending)
        return;
    m_pending = true;
    m_deadline.start(MsUntilDue());
}

void DeferredSave::FlushWhenDue()
{
    if (m_pending && MsUntilDue() == 0)
        Flush();
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
    m_sinceSave.start();
    m_save();
}
