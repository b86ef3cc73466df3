#pragma once
// The timeline's lanes: one per channel, RF A (green) and B (cyan) as a minimum–maximum bar per
// pixel column, so that a dip of a single reply stays visible at any zoom, joined to the column
// before unless a gap lies between them (see LaneColumn::JoinsPrevious); the audio level as a
// grey band under them, the battery as a strip at the lane's foot, and the events as markers
// (lost shaded grey, RF loss red, low battery amber). Everything is drawn into a cached image
// whenever the lanes or the size change; paintEvent only copies it. The wheel zooms around the
// mouse, a drag pans, the mouse shows time and values in the read-out, a double-click opens that
// minute.
#include "store/TimelineQuery.h"

#include <QImage>
#include <QWidget>
#include <functional>

class TimelineChart : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LaneHeight = 56;
    static constexpr int LabelWidth = 64;
    static constexpr int AxisHeight = 18;

    explicit TimelineChart(QWidget* parent = nullptr);

    void SetPeriod(int64_t fromMs, int64_t toMs);
    int64_t From() const { return m_from; }
    int64_t To() const { return m_to; }
    int Columns() const { return std::max(width() - LabelWidth, 1); }
    void SetLanes(std::vector<Lane> lanes, QStringList names);
    const QImage& Image() const { return m_image; }
    // The moment at x, and the read-out text for a point.
    int64_t TimeAt(int x) const;
    QString ReadOut(const QPoint& at) const;

signals:
    void PeriodChanged(int64_t fromMs, int64_t toMs); // zoom, pan or double-click: read anew
    void Hovered(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void Render();
    int LaneTop(size_t lane) const;
    void Bar(int x, int y0, int y1, QRgb colour);
    void DrawLevels(const Lane& lane, int top, std::vector<std::pair<QColor, QLine>>& joins);
    void DrawEvents(QPainter& p, const Lane& lane, int top);
    void DrawAxis(QPainter& p);
    int XOf(int64_t t) const;

    std::vector<Lane> m_lanes;
    QStringList m_names;
    int64_t m_from = 0;
    int64_t m_to = 1;
    QImage m_image;
    bool m_dragging = false;
    int m_dragX = 0;
    int64_t m_dragFrom = 0;
};
