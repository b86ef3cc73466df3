#include "WidgetMover.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

TWidgetMover::TWidgetMover(QWidget* target) : QObject(target), m_target(target) {}

void TWidgetMover::AddHandle(QWidget* handle)
{
    handle->installEventFilter(this);
}

bool TWidgetMover::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            Begin(mouse->globalPosition().toPoint());
        break;
    }
    case QEvent::MouseMove:
        if (m_dragging)
            Follow(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            m_dragging = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QPoint TWidgetMover::TargetPositionAt(const QPoint& globalPos) const
{
    return m_target->isWindow() ? globalPos : m_target->parentWidget()->mapFromGlobal(globalPos);
}

void TWidgetMover::Begin(const QPoint& globalPos)
{
    if (m_target->isWindow() && m_target->windowHandle() && m_target->windowHandle()->startSystemMove())
        return;
    if (!m_target->isWindow() && !m_target->parentWidget())
        return;
    m_grabOffset = TargetPositionAt(globalPos) - m_target->pos();
    m_dragging = true;
    if (!m_target->isWindow())
        m_target->raise();
}

void TWidgetMover::Follow(const QPoint& globalPos)
{
    QPoint position = TargetPositionAt(globalPos) - m_grabOffset;
    if (!m_target->isWindow()) {
        const QSize room = m_target->parentWidget()->size() - m_target->size();
        position.setX(qBound(0, position.x(), qMax(0, room.width())));
        position.setY(qBound(0, position.y(), qMax(0, room.height())));
    }
    m_target->move(position);
}
