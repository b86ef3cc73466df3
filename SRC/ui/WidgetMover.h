#pragma once
#include <QObject>
#include <QPoint>

class QWidget;

// Lets the mouse move a widget by pressing the left button on one of its handles, as a title
// bar does. A window is handed to the window system's own move where it offers one; otherwise,
// and for a child widget, the widget follows the mouse until the button is released. A child
// stays inside its parent.
class TWidgetMover : public QObject {
    Q_OBJECT
public:
    explicit TWidgetMover(QWidget* target);

    void AddHandle(QWidget* handle);
    bool Dragging() const { return m_dragging; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Begin(const QPoint& globalPos);
    void Follow(const QPoint& globalPos);
    QPoint TargetPositionAt(const QPoint& globalPos) const;

    QWidget* m_target;
    QPoint m_grabOffset;
    bool m_dragging = false;
};
