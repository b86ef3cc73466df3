#include "ui/rf/GraphDraw.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

constexpr int Left = 50; // x of the Y axis
constexpr int Top = 20; // top of the plot area
constexpr int RightMargin = 20; // W - 20: right end of the X axis
constexpr int BottomMargin = 25; // H - 25: the X axis

// Values a pixel offset can take without overflowing the painter's integer coordinates.
constexpr double OffsetLimit = 1.0e6;

// Grid, ticks and track line are axis-parallel 1-pixel lines, written straight into the image:
// the painter's per-line cost and its dash stroker would cost more than the rest of a drawing.
// step 1 draws a solid line, step 2 a dotted one (every second pixel from the first).
void HorizontalLine(QImage& image, int y, int x0, int x1, QRgb colour, int step = 1)
{
    if (y < 0 || y >= image.height())
        return;
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const int first = x0 + std::max(0, (-x0 + step - 1) / step * step);
    for (int x = first; x <= std::min(x1, image.width() - 1); x += step)
        row[x] = colour;
}

void VerticalLine(QImage& image, int x, int y0, int y1, QRgb colour, int step = 1)
{
    if (x < 0 || x >= image.width())
        return;
    const int first = y0 + std::max(0, (-y0 + step - 1) / step * step);
    uchar* bits = image.bits(); // once: scanLine() checks for sharing on every call
    const qsizetype stride = image.bytesPerLine();
    for (int y = first; y <= std::min(y1, image.height() - 1); y += step)
        reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
}

constexpr int Dotted = 2;
constexpr int DashOn = 6, DashPeriod = 10; // a dashed series: 6 pixels drawn, 4 left out

// A solid 1-pixel line from a to b, both ends included (Bresenham), written straight into the
// image: the painter spends several times as long per pixel on steep thin lines. Pixels off the
// image are skipped; a segment wholly beside it costs nothing.
void SolidLine(QImage& image, QPoint a, QPoint b, QRgb colour, int* dash = nullptr)
{
    const int w = image.width(), h = image.height();
    if ((a.x() < 0 && b.x() < 0) || (a.y() < 0 && b.y() < 0) || (a.x() >= w && b.x() >= w)
        || (a.y() >= h && b.y() >= h))
        return;
    const int dx = std::abs(b.x() - a.x()), sx = a.x() < b.x() ? 1 : -1;
    const int dy = -std::abs(b.y() - a.y()), sy = a.y() < b.y() ? 1 : -1;
    int err = dx + dy;
    int x = a.x(), y = a.y();
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    while (true) {
        const bool drawn = !dash || (*dash)++ % DashPeriod < DashOn;
        if (drawn && x >= 0 && x < w && y >= 0 && y < h)
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
        if (x == b.x() && y == b.y())
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
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

// The offset of a value from the axis in whole pixels: toward zero, within the painter's range,
// at most `limit`; a zero (or not finite) value per pixel puts it on the axis.
double PixelOffset(double value, double min, double perPixel, int limit)
{
    double offset = perPixel != 0 ? std::trunc((value - min) / perPixel) : 0.0;
    if (!std::isfinite(offset))
        offset = 0;
    return std::min<double>(limit, std::clamp(offset, -OffsetLimit, OffsetLimit));
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

void TGraphDraw::SetDashed(int index, bool on)
{
    if (index >= 0 && index < GraphCount())
        m_series[static_cast<size_t>(index)]->Dashed = on;
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

// Property setters show their change at once.
template <typename T, typename V> void TGraphDraw::SetAndPaint(T& field, const V& value)
{
    field = value;
    DoPaint();
}

void TGraphDraw::SetXStr(const QString& text)
{
    SetAndPaint(XStr, text);
}

void TGraphDraw::SetYStr(const QString& text)
{
    SetAndPaint(YStr, text);
}

void TGraphDraw::SetGridColor(QColor color)
{
    SetAndPaint(ColorGrid, color);
}

void TGraphDraw::SetAxisColor(QColor color)
{
    SetAndPaint(ColorAxis, color);
}

void TGraphDraw::SetAxisLineColor(QColor color)
{
    SetAndPaint(ColorAxisLine, color);
}

void TGraphDraw::SetTrackColor(QColor color)
{
    SetAndPaint(ColorTrack, color);
}

void TGraphDraw::SetDrawBoxLine(bool on)
{
    SetAndPaint(DrawBoxLine, on);
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

// Unclamped (clamp false) for the located point only.
int TGraphDraw::ColumnOf(double x, bool clamp) const
{
    const int limit = clamp ? GridColumns() * StepOf(XStep) : static_cast<int>(OffsetLimit);
    return Left + static_cast<int>(PixelOffset(x, MinAxisX, ValuePerPixelX(), limit));
}

int TGraphDraw::RowOf(double y, bool clamp) const
{
    const int limit = clamp ? GridRows() * StepOf(YStep) : static_cast<int>(OffsetLimit);
    return height() - BottomMargin - static_cast<int>(PixelOffset(y, MinAxisY, ValuePerPixelY(), limit));
}

QPoint TGraphDraw::PointPosition(double x, double y) const
{
    return CurrentMapping()(x, y);
}

TGraphDraw::Mapping TGraphDraw::CurrentMapping() const
{
    return { MinAxisX, MinAxisY, ValuePerPixelX(), ValuePerPixelY(), GridColumns() * StepOf(XStep),
        GridRows() * StepOf(YStep), height() - BottomMargin };
}

QPoint TGraphDraw::Mapping::operator()(double x, double y) const
{
    return { Left + static_cast<int>(PixelOffset(x, MinX, Ex, Gw)),
        Bottom - static_cast<int>(PixelOffset(y, MinY, Ey, Gh)) };
}

TGraphDraw::BackgroundKey TGraphDraw::CurrentBackgroundKey() const
{
    const AxesKey axes { size(), XStep, YStep, DrawBoxLine,
        { Color.rgb(), FontColor.rgb(), ColorGrid.rgb(), ColorAxis.rgb(), ColorAxisLine.rgb() } };
    return { axes, MinAxisX, MaxAxisX, MinAxisY, MaxAxisY, font() };
}

// Fill, axes, grid, ticks and labels: drawn again only when something they show has changed.
// A background is kept from the second drawing with the same ranges on: a live view whose range
// moves on every refresh then never pays for a copy it would not use again.
void TGraphDraw::DrawBackground()
{
    const BackgroundKey key = CurrentBackgroundKey();
    const bool kept = m_background.size() == m_image.size() && key == m_backgroundKey;
    if (!kept && key == m_lastBackgroundKey) {
        if (m_background.size() != m_image.size()) // a fresh 2 MB image costs its page faults
            m_background = QImage(m_image.size(), QImage::Format_RGB32);
        PaintBackground(m_background);
        m_backgroundKey = key;
    }
    m_lastBackgroundKey = key;
    if (kept || key == m_backgroundKey)
        std::memcpy(m_image.bits(), m_background.constBits(), static_cast<size_t>(m_image.sizeInBytes()));
    else
        PaintBackground(m_image);
}

void TGraphDraw::PaintBackground(QImage& image)
{
    const QImage& axes = AxesImage(CurrentBackgroundKey().Axes);
    std::memcpy(image.bits(), axes.constBits(), static_cast<size_t>(image.sizeInBytes()));
    if (GridColumns() > 0 && GridRows() > 0) {
        QPainter p(&image);
        p.setFont(font());
        DrawAxisTitle(p);
    }
}

// Fill, axes, grid and ticks, drawn again only when their size, steps or colours change.
const QImage& TGraphDraw::AxesImage(const AxesKey& key)
{
    if (m_axes.size() == m_image.size() && key == m_axesKey)
        return m_axes;
    if (m_axes.size() != m_image.size())
        m_axes = QImage(m_image.size(), QImage::Format_RGB32);
    m_axes.fill(Color);
    QPainter p(&m_axes);
    p.setClipRect(m_axes.rect()); // a clip rectangle halves the cost of thin lines
    DrawAxis(p);
    m_axesKey = key;
    return m_axes;
}

void TGraphDraw::DoPaint()
{
    m_trackShown = false;
    if (m_image.size() != size())
        ResizeImage();
    DrawBackground();
    QPainter p(&m_image);
    p.setClipRect(m_image.rect());
    p.setFont(font());
    if (GridColumns() > 0 && GridRows() > 0) {
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

    // The painter works on the image directly (raster engine), so both can draw in turn.
    QImage& image = *static_cast<QImage*>(p.device());
    const QRgb axis = ColorAxis.rgb();
    if (xStep < 20) {
        for (int i = 1; i <= nx; ++i)
            VerticalLine(image, i * xStep + Left, H - 24, H - 19, axis);
    } else {
        const int tick = xStep / 5;
        for (int i = 1; i <= (W - 70) / tick; ++i)
            VerticalLine(image, i * tick + Left, H - 24, i % 5 == 0 ? H - 19 : H - 22, axis);
    }
    if (yStep < 20) {
        for (int i = 1; i <= ny; ++i)
            HorizontalLine(image, H - i * yStep - BottomMargin, 44, 49, axis);
    } else {
        const int tick = yStep / 5;
        for (int i = 1; i <= (H - 45) / tick; ++i)
            HorizontalLine(image, H - i * tick - BottomMargin, i % 5 == 0 ? 44 : 47, 49, axis);
    }

    const QRgb grid = ColorGrid.rgb();
    for (int i = 1; i <= nx; ++i)
        VerticalLine(image, i * xStep + Left, Top, H - 26, grid, Dotted);
    for (int i = 1; i <= ny; ++i)
        HorizontalLine(image, H - i * yStep - BottomMargin, 51, W - 21, grid, Dotted);
}

// Forgets the glyph images once the font or the colours they were drawn with have changed.
void TGraphDraw::CheckGlyphs()
{
    if (m_labelFont == font() && m_labelColours[0] == Color.rgb() && m_labelColours[1] == FontColor.rgb())
        return;
    m_glyphs.clear();
    m_labelFont = font();
    m_labelColours[0] = Color.rgb();
    m_labelColours[1] = FontColor.rgb();
}

const QImage& TGraphDraw::GlyphImage(QChar c)
{
    auto at = m_glyphs.find(c.unicode());
    if (at == m_glyphs.end()) {
        const QFontMetrics metrics(font());
        QImage image(std::max(1, metrics.horizontalAdvance(c)), 20, QImage::Format_RGB32);
        image.fill(Color);
        QPainter p(&image);
        p.setFont(font());
        p.setPen(FontColor);
        p.drawText(0, metrics.ascent(), QString(c));
        at = m_glyphs.emplace(c.unicode(), image).first;
    }
    return at->second;
}

// The text at the top of its box, centred in it (always, or only when narrower than the box;
// otherwise from its left edge), cut off at the box. Composed from glyph images: rendering the
// text anew for each of some thirty labels would cost more than the rest of a drawing.
void TGraphDraw::DrawLabel(QImage& image, const QString& text, const QRect& box, bool centreAlways)
{
    m_labelGlyphs.clear();
    int width = 0;
    for (QChar c : text) {
        m_labelGlyphs.push_back(&GlyphImage(c));
        width += m_labelGlyphs.back()->width();
    }
    int x = centreAlways || width < box.width() ? box.left() + (box.width() - width) / 2 : box.left();
    const QRect visible = box.intersected(image.rect());
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (const QImage* glyph : m_labelGlyphs) {
        const QRect target = QRect(x, box.top(), glyph->width(), glyph->height()).intersected(visible);
        for (int y = target.top(); y <= target.bottom(); ++y) {
            const QRgb* from = reinterpret_cast<const QRgb*>(glyph->constScanLine(y - box.top())) + (target.left() - x);
            std::copy(from, from + target.width(), reinterpret_cast<QRgb*>(bits + y * stride) + target.left());
        }
        x += glyph->width();
    }
}

void TGraphDraw::DrawAxisTitle(QPainter& p)
{
    const int H = height();
    const int nx = GridColumns(), ny = GridRows();
    const int xStep = StepOf(XStep), yStep = StepOf(YStep);
    QImage& image = *static_cast<QImage*>(p.device());
    CheckGlyphs();
    const int px = xStep >= 40 ? 1 : 2;
    for (int k = 1; k <= nx; k += px) {
        const double q = RoundLabel(k * (MaxAxisX - MinAxisX) / nx + MinAxisX, false);
        DrawLabel(image, LabelText(q, 1e-6), QRect(k * xStep + Left - (xStep * px) / 2, H - 19, xStep * px, 20), true);
    }
    const int py = yStep >= 20 ? 1 : 2;
    for (int k = 0; k <= ny; k += py) {
        const double q = RoundLabel(k * (MaxAxisY - MinAxisY) / ny + MinAxisY, true);
        DrawLabel(image, LabelText(q, q >= 0 ? 1e-6 : -1e-6), QRect(2, H - k * yStep - 31, 42, 20), false);
    }
}

void TGraphDraw::DrawXY(QPainter& p)
{
    QImage& image = *static_cast<QImage*>(p.device());
    std::vector<QPoint>& path = m_path;
    const Mapping map = CurrentMapping();
    for (const auto& series : m_series) {
        const int n = series->Count();
        path.clear();
        path.reserve(static_cast<size_t>(n) + 1);
        const int firstRow = n > 0 ? map(0, series->Y(0)).y() : height() - BottomMargin;
        path.emplace_back(Left + 1, firstRow);
        for (int i = 0; i < n; ++i)
            path.push_back(map(series->X(i), series->Y(i)));
        const QRgb colour = series->Color.rgb();
        int dash = 0; // the pattern runs on along the whole polyline
        for (size_t i = 1; i < path.size(); ++i)
            SolidLine(image, path[i - 1], path[i], colour, series->Dashed ? &dash : nullptr);
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
    HorizontalLine(m_image, y, Left + 1, x, ColorTrack.rgb(), Dotted);
    VerticalLine(m_image, x, y, height() - 26, ColorTrack.rgb(), Dotted);
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
        OnShowData(
            this, (x - Left) * ValuePerPixelX() + MinAxisX, (H - BottomMargin - found) * ValuePerPixelY() + MinAxisY);
}
