#include "ui/rf/GraphDraw.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr int Left = 50;        // x of the Y axis
constexpr int Top = 20;         // top of the plot area
constexpr int RightMargin = 20; // W - 20: right end of the X axis
constexpr int BottomMargin = 25; // H - 25: the X axis

// Values a pixel offset can take without overflowing the painter's integer coordinates.
constexpr double OffsetLimit = 1.0e6;

QPen DottedPen(QColor color)
{
    QPen pen(color, 0);
    pen.setDashPattern({ 1.0, 1.0 });
    return pen;
}

QPen SolidPen(QColor color)
{
    return QPen(color, 0);
}

// The label value rounded to 3 decimals: half away from zero for Y, half up for X.
double RoundLabel(double v, bool awayFromZero)
{
    if (awayFromZero && v <= 0)
        return std::trunc(v * 1000 - 0.5) * 0.001;
    return std::trunc(v * 1000 + 0.5) * 0.001;
}

QString LabelText(double q, double e)
{
    if (q == std::trunc(q))
        return QString::asprintf("%.0f", q);
    if (std::fabs(q * 10 - std::trunc(q * 10 + e)) < 1e-7)
        return QString::asprintf("%.1f", q);
    if (std::fabs(q * 100 - std::trunc(q * 100 + e)) < 1e-7)
        return QString::asprintf("%.2f", q);
    return QString::asprintf("%.3f", q);
}

int StepOf(int step)
{
    return std::max(1, step);
}

} // namespace

TGraphData::TGraphData(QColor color)
    : Color(color)
    , m_x(InitialCapacity)
    , m_y(InitialCapacity)
{
}

void TGraphData::Grow()
{
    const size_t capacity = m_x.size() * 2;
    m_x.resize(capacity);
    m_y.resize(capacity);
}

void TGraphData::Add(double x, double y)
{
    if (m_count == Capacity())
        Grow();
    // Most callers add in ascending x: look at the end first.
    int at = m_count;
    if (m_count > 0 && !(x > m_x[static_cast<size_t>(m_count - 1)])) {
        at = static_cast<int>(std::lower_bound(m_x.begin(), m_x.begin() + m_count, x) - m_x.begin());
        if (at < m_count && m_x[static_cast<size_t>(at)] == x) {
            m_y[static_cast<size_t>(at)] = y;
            return;
        }
        std::move_backward(m_x.begin() + at, m_x.begin() + m_count, m_x.begin() + m_count + 1);
        std::move_backward(m_y.begin() + at, m_y.begin() + m_count, m_y.begin() + m_count + 1);
    }
    m_x[static_cast<size_t>(at)] = x;
    m_y[static_cast<size_t>(at)] = y;
    ++m_count;
}

TGraphDraw::TGraphDraw(QWidget* parent)
    : QWidget(parent)
{
    m_series.push_back(std::make_unique<TGraphData>());
    setAttribute(Qt::WA_OpaquePaintEvent); // the image covers the control: nothing to erase
    setMouseTracking(true);
    ResizeImage();
}

TGraphDraw::~TGraphDraw() = default;

void TGraphDraw::AddXY(int index, double x, double y)
{
    if (index < 0 || index >= GraphCount())
        return;
    m_series[static_cast<size_t>(index)]->Add(x, y);
    if (x > MaxAxisX)
        MaxAxisX = x;
    if (y > MaxAxisY)
        MaxAxisY = y;
    if (!StartZeroX && x < MinAxisX)
        MinAxisX = x;
    if (!StartZeroY && y < MinAxisY)
        MinAxisY = y;
}

void TGraphDraw::Clear(int index)
{
    if (index == -1) {
        for (auto& series : m_series)
            series->Clear();
        // A free bound starts beyond any value, so that the first point sets it.
        MinAxisX = StartZeroX ? 0.0 : 2147483648.0;
        MaxAxisX = -134217728.0;
        MinAxisY = StartZeroY ? 0.0 : 2147483648.0;
        MaxAxisY = -134217728.0;
        m_located = false;
        m_locateX = m_locateY = 0;
    } else if (index >= 0 && index < GraphCount()) {
        m_series[static_cast<size_t>(index)]->Clear();
    }
}

int TGraphDraw::AddGraph(QColor color)
{
    m_series.push_back(std::make_unique<TGraphData>(color));
    return GraphCount() - 1;
}

void TGraphDraw::DeleteGraph(int index)
{
    if (index < 1 || index >= GraphCount())
        return;
    m_series.erase(m_series.begin() + index);
    if (TrackIdx >= GraphCount())
        TrackIdx = 0;
}

QColor TGraphDraw::GetColorLine(int index) const
{
    return index >= 0 && index < GraphCount() ? m_series[static_cast<size_t>(index)]->Color : QColor();
}

void TGraphDraw::SetColorLine(int index, QColor color)
{
    if (index < 0 || index >= GraphCount())
        return;
    m_series[static_cast<size_t>(index)]->Color = color;
    DoPaint();
}

void TGraphDraw::SetTrackIdx(int index)
{
    if (index < 0 || index >= GraphCount())
        return;
    TrackIdx = index;
    DoPaint();
}

void TGraphDraw::SetXStep(int n)
{
    if (n <= 5 || n >= 200)
        return;
    XStep = (n + 4) / 5 * 5;
    DoPaint();
}

void TGraphDraw::SetYStep(int n)
{
    if (n <= 5 || n >= 200)
        return;
    YStep = (n + 4) / 5 * 5;
    DoPaint();
}

void TGraphDraw::SetXStr(const QString& text)
{
    XStr = text;
    DoPaint();
}

void TGraphDraw::SetYStr(const QString& text)
{
    YStr = text;
    DoPaint();
}

void TGraphDraw::SetGridColor(QColor color)
{
    ColorGrid = color;
    DoPaint();
}

void TGraphDraw::SetAxisColor(QColor color)
{
    ColorAxis = color;
    DoPaint();
}

void TGraphDraw::SetAxisLineColor(QColor color)
{
    ColorAxisLine = color;
    DoPaint();
}

void TGraphDraw::SetTrackColor(QColor color)
{
    ColorTrack = color;
    DoPaint();
}

void TGraphDraw::SetDrawBoxLine(bool on)
{
    DrawBoxLine = on;
    DoPaint();
}

bool TGraphDraw::LocateXY(double x, double y)
{
    if (!(MinAxisX <= x && x <= MaxAxisX && MinAxisY <= y && y <= MaxAxisY))
        return false;
    m_located = true;
    m_locateX = x;
    m_locateY = y;
    return true;
}

int TGraphDraw::GridColumns() const
{
    return std::max(0, (width() - 70) / StepOf(XStep));
}

int TGraphDraw::GridRows() const
{
    return std::max(0, (height() - 45) / StepOf(YStep));
}

// Values per pixel; 0 when there is no grid cell to spread the range over.
double TGraphDraw::ValuePerPixelX() const
{
    const int gw = GridColumns() * StepOf(XStep);
    return gw > 0 ? (MaxAxisX - MinAxisX) / gw : 0.0;
}

double TGraphDraw::ValuePerPixelY() const
{
    const int gh = GridRows() * StepOf(YStep);
    return gh > 0 ? (MaxAxisY - MinAxisY) / gh : 0.0;
}

// A zero (or not finite) value per pixel maps the value to the axis.
int TGraphDraw::ColumnOf(double x, bool clamp) const
{
    const double ex = ValuePerPixelX();
    double offset = ex != 0 ? std::trunc((x - MinAxisX) / ex) : 0.0;
    if (!std::isfinite(offset))
        offset = 0;
    offset = std::clamp(offset, -OffsetLimit, OffsetLimit);
    if (clamp)
        offset = std::min<double>(GridColumns() * StepOf(XStep), offset);
    return Left + static_cast<int>(offset);
}

int TGraphDraw::RowOf(double y, bool clamp) const
{
    const double ey = ValuePerPixelY();
    double offset = ey != 0 ? std::trunc((y - MinAxisY) / ey) : 0.0;
    if (!std::isfinite(offset))
        offset = 0;
    offset = std::clamp(offset, -OffsetLimit, OffsetLimit);
    if (clamp)
        offset = std::min<double>(GridRows() * StepOf(YStep), offset);
    return height() - BottomMargin - static_cast<int>(offset);
}

QPoint TGraphDraw::PointPosition(double x, double y) const
{
    return { ColumnOf(x, true), RowOf(y, true) };
}

void TGraphDraw::DoPaint()
{
    m_trackShown = false;
    if (m_image.size() != size())
        ResizeImage();
    m_image.fill(Color);
    QPainter p(&m_image);
    p.setClipRect(m_image.rect()); // a clip rectangle halves the cost of thin lines
    p.setFont(font());
    DrawAxis(p);
    if (GridColumns() > 0 && GridRows() > 0) {
        DrawAxisTitle(p);
        if (OnDrawBackground)
            OnDrawBackground(p, *this);
        DrawXY(p);
        DrawLocateLine(p);
    }
    PaintXYStr(p);
    p.end();
    update();
}

void TGraphDraw::DrawAxis(QPainter& p)
{
    const int W = width(), H = height();
    const int nx = GridColumns(), ny = GridRows();
    const int xStep = StepOf(XStep), yStep = StepOf(YStep);
    // Axis lines 2 pixels wide: the X axis on rows H-25 and H-24, the Y axis on columns 49 and 50.
    p.fillRect(QRect(QPoint(Left, H - BottomMargin), QPoint(W - RightMargin, H - BottomMargin + 1)), ColorAxisLine);
    p.fillRect(QRect(QPoint(Left - 1, Top), QPoint(Left, H - BottomMargin)), ColorAxisLine);
    if (DrawBoxLine) {
        p.setPen(SolidPen(ColorAxisLine));
        p.drawLine(Left, Top, W - RightMargin, Top);
        p.drawLine(W - RightMargin, Top, W - RightMargin, H - BottomMargin);
    }

    p.setPen(SolidPen(ColorAxis));
    if (xStep < 20) {
        for (int i = 1; i <= nx; ++i)
            p.drawLine(i * xStep + Left, H - 24, i * xStep + Left, H - 19);
    } else {
        const int tick = xStep / 5;
        for (int i = 1; i <= (W - 70) / tick; ++i)
            p.drawLine(i * tick + Left, H - 24, i * tick + Left, i % 5 == 0 ? H - 19 : H - 22);
    }
    if (yStep < 20) {
        for (int i = 1; i <= ny; ++i)
            p.drawLine(44, H - i * yStep - BottomMargin, 49, H - i * yStep - BottomMargin);
    } else {
        const int tick = yStep / 5;
        for (int i = 1; i <= (H - 45) / tick; ++i) {
            const int y = H - i * tick - BottomMargin;
            p.drawLine(i % 5 == 0 ? 44 : 47, y, 49, y);
        }
    }

    p.setPen(DottedPen(ColorGrid));
    for (int i = 1; i <= nx; ++i)
        p.drawLine(i * xStep + Left, Top, i * xStep + Left, H - 26);
    for (int i = 1; i <= ny; ++i)
        p.drawLine(51, H - i * yStep - BottomMargin, W - 21, H - i * yStep - BottomMargin);
}

void TGraphDraw::DrawAxisTitle(QPainter& p)
{
    const int H = height();
    const int nx = GridColumns(), ny = GridRows();
    const int xStep = StepOf(XStep), yStep = StepOf(YStep);
    p.setPen(FontColor);
    p.setBackground(Color);
    p.setBackgroundMode(Qt::OpaqueMode);
    const QFontMetrics metrics(p.font());

    const int px = xStep >= 40 ? 1 : 2;
    for (int k = 1; k <= nx; k += px) {
        const double q = RoundLabel(k * (MaxAxisX - MinAxisX) / nx + MinAxisX, false);
        const QRect box(k * xStep + Left - (xStep * px) / 2, H - 19, xStep * px, 20);
        p.setClipRect(box);
        p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, LabelText(q, 1e-6));
    }
    const int py = yStep >= 20 ? 1 : 2;
    for (int k = 0; k <= ny; k += py) {
        const double q = RoundLabel(k * (MaxAxisY - MinAxisY) / ny + MinAxisY, true);
        const QString text = LabelText(q, q >= 0 ? 1e-6 : -1e-6);
        const QRect box(2, H - k * yStep - 31, 42, 20);
        p.setClipRect(box);
        const int textWidth = metrics.horizontalAdvance(text);
        const int x = textWidth < box.width() ? box.left() + (box.width() - textWidth) / 2 : box.left();
        p.drawText(QRect(x, box.top(), box.right() - x + 1, box.height()), Qt::AlignLeft | Qt::AlignTop, text);
    }
    p.setBackgroundMode(Qt::TransparentMode);
    p.setClipRect(m_image.rect());
}

void TGraphDraw::DrawXY(QPainter& p)
{
    std::vector<QPoint> path;
    for (const auto& series : m_series) {
        const int n = series->Count();
        path.clear();
        path.reserve(static_cast<size_t>(n) + 1);
        const int firstRow = n > 0 ? RowOf(series->Y(0), true) : height() - BottomMargin;
        path.emplace_back(Left + 1, firstRow);
        for (int i = 0; i < n; ++i)
            path.push_back(PointPosition(series->X(i), series->Y(i)));
        p.setPen(SolidPen(series->Color));
        if (path.size() > 1)
            p.drawPolyline(path.data(), static_cast<int>(path.size()));
    }
}

void TGraphDraw::DrawLocateLine(QPainter& p)
{
    if (!m_located)
        return;
    const int px = ColumnOf(m_locateX, false);
    const int py = RowOf(m_locateY, false);
    p.setPen(SolidPen(QColor(0, 0, 255)));
    p.drawLine(Left + 1, py, px, py);
    p.drawLine(px, py, px, height() - 26);
}

void TGraphDraw::PaintXYStr(QPainter& p)
{
    const int W = width(), H = height();
    p.setPen(FontColor);
    const QFontMetrics metrics(p.font());
    if (!YStr.isEmpty())
        p.drawText(QRect(0, 2, Left, 18), Qt::AlignRight | Qt::AlignTop, YStr);
    if (!XStr.isEmpty()) {
        const int textWidth = metrics.horizontalAdvance(XStr);
        p.setClipRect(QRect(W - textWidth - 10, H - 20, textWidth + 10, 20));
        p.drawText(QPoint(W - textWidth - 5, H - 20 + metrics.ascent()), XStr);
        p.setClipRect(m_image.rect());
    }
}

void TGraphDraw::DrawTrackLine(int x, int y)
{
    QPainter p(&m_image);
    p.setPen(DottedPen(ColorTrack));
    p.drawLine(Left + 1, y, x, y);
    p.drawLine(x, y, x, height() - 26);
}

void TGraphDraw::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

void TGraphDraw::ResizeImage()
{
    m_image = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_savedRow.assign(static_cast<size_t>(m_image.width()), 0);
    m_savedColumn.assign(static_cast<size_t>(m_image.height()), 0);
    m_trackShown = false;
}

void TGraphDraw::resizeEvent(QResizeEvent*)
{
    ResizeImage();
    DoPaint();
}

void TGraphDraw::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange)
        DoPaint();
    QWidget::changeEvent(event);
}

void TGraphDraw::mouseMoveEvent(QMouseEvent* event)
{
    TrackMouse(static_cast<int>(event->position().x()));
    QWidget::mouseMoveEvent(event);
}

void TGraphDraw::RestoreUnderTrack()
{
    QRgb* row = reinterpret_cast<QRgb*>(m_image.scanLine(m_trackY));
    std::copy(m_savedRow.begin(), m_savedRow.end(), row);
    for (int y = 0; y < m_image.height(); ++y)
        reinterpret_cast<QRgb*>(m_image.scanLine(y))[m_trackX] = m_savedColumn[static_cast<size_t>(y)];
}

void TGraphDraw::TrackMouse(int x)
{
    const int W = width(), H = height();
    if (!TraceMouse || TrackIdx < 0 || TrackIdx >= GraphCount() || Graph(TrackIdx).Count() == 0)
        return;
    if (!(x > 52 && x < W - RightMargin) || GridColumns() == 0 || GridRows() == 0 || m_image.size() != size())
        return;
    if (x == m_trackX)
        return;
    const QRgb wanted = Graph(TrackIdx).Color.rgb();
    int found = -1;
    for (int y = Top; y < H - BottomMargin; ++y) {
        if (reinterpret_cast<const QRgb*>(m_image.constScanLine(y))[x] == wanted) {
            found = y;
            break;
        }
    }
    if (found < 0)
        return;
    if (m_trackShown)
        RestoreUnderTrack();
    const QRgb* row = reinterpret_cast<const QRgb*>(m_image.constScanLine(found));
    std::copy(row, row + m_image.width(), m_savedRow.begin());
    for (int y = 0; y < m_image.height(); ++y)
        m_savedColumn[static_cast<size_t>(y)] = reinterpret_cast<const QRgb*>(m_image.constScanLine(y))[x];
    m_trackX = x;
    m_trackY = found;
    DrawTrackLine(x, found);
    m_trackShown = true;
    update();
    if (OnShowData)
        OnShowData(this, (x - Left) * ValuePerPixelX() + MinAxisX, (H - BottomMargin - found) * ValuePerPixelY() + MinAxisY);
}
