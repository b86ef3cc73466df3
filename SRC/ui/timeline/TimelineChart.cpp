#include "ui/timeline/TimelineChart.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

namespace
{

const QColor RfAColour(0, 170, 0);
const QColor RfBColour(0, 170, 200);
const QColor AudioColour(200, 200, 200);
const QColor LostColour(150, 150, 150, 110);
const QColor RfLossColour(220, 0, 0);
const QColor BatteryColour(255, 170, 0);
constexpr int64_t MinuteMs = 60000;
constexpr int64_t ShortestSpanMs = 10000;
constexpr int BatteryStrip = 4;

QColor BatteryShade(int bars)
{
    switch (bars) {
    case 3:
        return QColor(120, 200, 120);
    case 2:
        return QColor(210, 210, 60);
    case 1:
        return BatteryColour;
    }
    return QColor(230, 230, 230);
}

} // namespace

TimelineChart::TimelineChart(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TimelineChart"));
    setMouseTracking(true);
    setMinimumSize(400, LaneHeight + AxisHeight);
}

void TimelineChart::SetPeriod(int64_t fromMs, int64_t toMs)
{
    m_from = fromMs;
    m_to = std::max(toMs, fromMs + 1);
}

void TimelineChart::SetLanes(std::vector<Lane> lanes, QStringList names)
{
    m_lanes = std::move(lanes);
    m_names = std::move(names);
    setMinimumHeight(static_cast<int>(m_lanes.size()) * LaneHeight + AxisHeight);
    Render();
    update();
}

int64_t TimelineChart::TimeAt(int x) const
{
    return m_from + (m_to - m_from) * std::clamp(x - LabelWidth, 0, Columns()) / Columns();
}

int TimelineChart::XOf(int64_t t) const
{
    return LabelWidth + static_cast<int>((t - m_from) * Columns() / (m_to - m_from));
}

void TimelineChart::Render()
{
    m_image = QImage(size(), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    std::vector<std::pair<QColor, QLine>> joins;
    for (size_t i = 0; i < m_lanes.size(); ++i)
        DrawLevels(m_lanes[i], LaneTop(i), joins);
    QPainter p(&m_image);
    for (const auto& [colour, line] : joins) {
        p.setPen(colour);
        p.drawLine(line);
    }
    for (size_t i = 0; i < m_lanes.size(); ++i) {
        const int top = LaneTop(i);
        p.setPen(QColor(225, 225, 225));
        p.drawLine(0, top + LaneHeight - 1, width(), top + LaneHeight - 1);
        p.setPen(Qt::black);
        p.drawText(QRect(2, top, LabelWidth - 4, LaneHeight), Qt::AlignVCenter | Qt::AlignLeft,
            m_names.value(static_cast<int>(i)));
        DrawEvents(p, m_lanes[i], top);
    }
    DrawAxis(p);
}

int TimelineChart::LaneTop(size_t lane) const
{
    return AxisHeight + static_cast<int>(lane) * LaneHeight;
}

// A day's lanes are a few hundred thousand one-pixel-wide bars: written straight into the image
// they cost a fraction of what painter lines do.
void TimelineChart::Bar(int x, int y0, int y1, QRgb colour)
{
    if (x < 0 || x >= m_image.width())
        return;
    const auto [top, bottom]
        = std::minmax(std::clamp(y0, 0, m_image.height() - 1), std::clamp(y1, 0, m_image.height() - 1));
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    for (int y = top; y <= bottom; ++y)
        reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
}

// RF and audio on 0..100 over the lane's plot height. A column joins the column before it with
// data: next to it, its bar reaches over to the neighbour's range; further away, a line (in
// joins, drawn afterwards) runs between the two. A column without rows stays empty, so a gap
// stays a gap.
void TimelineChart::DrawLevels(const Lane& lane, int top, std::vector<std::pair<QColor, QLine>>& joins)
{
    const int plot = LaneHeight - BatteryStrip - 6;
    auto y = [&](int level) { return top + 2 + plot - std::clamp(level, 0, 100) * plot / 100; };
    const LaneColumn* previous = nullptr;
    int previousX = 0;
    for (size_t c = 0; c < lane.Columns.size(); ++c) {
        const LaneColumn& col = lane.Columns[c];
        if (!col.Has)
            continue;
        const int x = LabelWidth + static_cast<int>(c);
        const bool joined = previous && col.JoinsPrevious;
        auto trace = [&](const QColor& colour, int min, int max, int previousMin, int previousMax) {
            if (joined && x == previousX + 1) {
                min = std::min(min, previousMax);
                max = std::max(max, previousMin);
            } else if (joined) {
                joins.push_back(
                    { colour, QLine(previousX, y((previousMin + previousMax) / 2), x, y((min + max) / 2)) });
            }
            Bar(x, y(min), y(max), colour.rgb());
        };
        const LaneColumn& before = previous ? *previous : col;
        trace(AudioColour, col.MinAudio, col.MaxAudio, before.MinAudio, before.MaxAudio);
        trace(RfBColour, col.MinB, col.MaxB, before.MinB, before.MaxB);
        trace(RfAColour, col.MinA, col.MaxA, before.MinA, before.MaxA);
        for (int strip = joined ? previousX + 1 : x; strip <= x; ++strip)
            Bar(strip, top + LaneHeight - 1 - BatteryStrip, top + LaneHeight - 2, BatteryShade(col.MinBattery).rgb());
        previous = &col;
        previousX = x;
    }
}

// Lost and RF loss are spans from their start to their end (or the period's end); a low
// battery is a mark at its moment.
void TimelineChart::DrawEvents(QPainter& p, const Lane& lane, int top)
{
    int64_t lostSince = -1, rfSince = -1;
    auto span = [&](int64_t from, int64_t to, const QColor& colour, int height) {
        const int x0 = std::max(XOf(from), LabelWidth);
        const int x1 = std::max(XOf(to), x0 + 1);
        p.fillRect(QRect(x0, top + 1, x1 - x0, height), colour);
    };
    for (const LaneEvent& e : lane.Events) {
        if (e.Kind == QLatin1String("lost"))
            lostSince = e.TimeMs;
        else if (e.Kind == QLatin1String("restored") && lostSince >= 0) {
            span(lostSince, e.TimeMs, LostColour, LaneHeight - 2);
            lostSince = -1;
        } else if (e.Kind == QLatin1String("rf_loss_start"))
            rfSince = e.TimeMs;
        else if (e.Kind == QLatin1String("rf_loss_end")) {
            span(rfSince >= 0 ? rfSince : e.TimeMs - e.Value, e.TimeMs, RfLossColour, 5);
            rfSince = -1;
        } else if (e.Kind == QLatin1String("low_battery"))
            p.fillRect(QRect(XOf(e.TimeMs) - 1, top + 1, 3, LaneHeight - 2), BatteryColour);
    }
    if (lostSince >= 0)
        span(lostSince, m_to, LostColour, LaneHeight - 2);
    if (rfSince >= 0)
        span(rfSince, m_to, RfLossColour, 5);
}

void TimelineChart::DrawAxis(QPainter& p)
{
    p.fillRect(QRect(0, 0, width(), AxisHeight), QColor(245, 245, 245));
    p.setPen(Qt::black);
    const int64_t span = m_to - m_from;
    const bool seconds = span <= 10 * MinuteMs;
    const QString format = span > 2 * 24 * 60 * MinuteMs
        ? QStringLiteral("MM-dd HH:mm")
        : (seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    for (int x = LabelWidth; x < width() - 40; x += 120) {
        p.drawLine(x, AxisHeight - 4, x, AxisHeight);
        p.drawText(x + 2, AxisHeight - 5, QDateTime::fromMSecsSinceEpoch(TimeAt(x)).toString(format));
    }
}

QString TimelineChart::ReadOut(const QPoint& at) const
{
    const int lane = (at.y() - AxisHeight) / LaneHeight;
    const int column = at.x() - LabelWidth;
    const QString when = QDateTime::fromMSecsSinceEpoch(TimeAt(at.x())).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (at.y() < AxisHeight || lane >= static_cast<int>(m_lanes.size()) || column < 0
        || column >= static_cast<int>(m_lanes[static_cast<size_t>(lane)].Columns.size()))
        return when;
    const LaneColumn& c = m_lanes[static_cast<size_t>(lane)].Columns[static_cast<size_t>(column)];
    const QString name = m_names.value(lane);
    if (!c.Has)
        return QStringLiteral("%1  %2  -").arg(when, name);
    return QStringLiteral("%1  %2  RF A %3-%4 dB  RF B %5-%6 dB  audio %7-%8  battery %9")
        .arg(when, name)
        .arg(c.MinA)
        .arg(c.MaxA)
        .arg(c.MinB)
        .arg(c.MaxB)
        .arg(c.MinAudio)
        .arg(c.MaxAudio)
        .arg(c.MinBattery);
}

void TimelineChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

void TimelineChart::resizeEvent(QResizeEvent*)
{
    emit PeriodChanged(m_from, m_to); // columns changed: read anew at the new width
}

void TimelineChart::wheelEvent(QWheelEvent* e)
{
    const int64_t at = TimeAt(static_cast<int>(e->position().x()));
    const double factor = e->angleDelta().y() > 0 ? 0.5 : 2.0;
    const int64_t from = at - static_cast<int64_t>((at - m_from) * factor);
    const int64_t to = at + static_cast<int64_t>((m_to - at) * factor);
    if (to - from >= ShortestSpanMs)
        emit PeriodChanged(from, to);
    e->accept();
}

void TimelineChart::mousePressEvent(QMouseEvent* e)
{
    m_dragging = e->button() == Qt::LeftButton;
    m_dragX = static_cast<int>(e->position().x());
    m_dragFrom = m_from;
}

void TimelineChart::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    if (m_dragging) {
        const int64_t shift = (m_to - m_from) * (at.x() - m_dragX) / Columns();
        const int64_t span = m_to - m_from;
        if (shift != m_dragFrom - m_from)
            emit PeriodChanged(m_dragFrom - shift, m_dragFrom - shift + span);
    }
    emit Hovered(ReadOut(at));
}

void TimelineChart::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

void TimelineChart::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int64_t minute = TimeAt(static_cast<int>(e->position().x())) / MinuteMs * MinuteMs;
    emit PeriodChanged(minute, minute + MinuteMs);
}
