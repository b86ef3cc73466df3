#pragma once
// TGraphDraw: the line chart the RF windows draw with, and TGraphData, one series of it.
//
//     auto* chart = new TGraphDraw(panel);
//     chart->SetColorLine(0, Qt::red);            // series 0 always exists
//     int b = chart->AddGraph(Qt::white);         // more series
//     chart->Clear(-1);                           // empty every series, reset the ranges
//     chart->MinAxisY = -10; chart->MaxAxisY = 90;
//     chart->AddXY(0, 640.25, 35);                // sorted insert; widens the ranges
//     chart->DoPaint();                           // redraw the image and show it
//
// Data changes (AddXY, Clear, LocateXY, the axis fields) show at the next DoPaint; the Set...
// property setters repaint at once. Everything is drawn into one off-screen RGB32 image
// (GetDrawBmp); paintEvent only copies it. Series are 1-pixel lines (solid, or dashed where
// TGraphData::Dashed is set) without antialiasing,
// so that the mouse track line finds a series by its exact colour in a pixel column.
//
// Geometry for a control of W x H pixels: the plot origin is (50, H - 25); there are
// nx = (W - 70) / XStep grid columns and ny = (H - 45) / YStep grid rows. A control too small
// for one cell (nx or ny 0) draws its axes only; an empty axis range maps every value to the axis.
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

// One series: points kept in ascending x, no two with the same x.
class TGraphData
{
public:
    static constexpr int InitialCapacity = 100;

    explicit TGraphData(QColor color = QColor(255, 0, 0));

    // Inserts in x order; an equal x replaces that point's y. The last point is checked first,
    // so ascending input costs O(1) per point.
    void Add(double x, double y);
    void Clear() { m_count = 0; }

    int Count() const { return m_count; }
    int Capacity() const { return static_cast<int>(m_x.size()); }
    double X(int i) const { return m_x[static_cast<size_t>(i)]; }
    double Y(int i) const { return m_y[static_cast<size_t>(i)]; }

    QColor Color;
    bool Dashed = false; // drawn as dashes, for a colour hard to tell from another one's

private:
    void Grow();

    std::vector<double> m_x;
    std::vector<double> m_y;
    int m_count = 0;
};

class TGraphDraw : public QWidget
{
    Q_OBJECT
public:
    explicit TGraphDraw(QWidget* parent = nullptr);
    ~TGraphDraw() override;

    // The read-out of the tracked point (data coordinates under the track line).
    std::function<void(TGraphDraw* sender, double x, double y)> OnShowData;

    bool TraceMouse = false;
    int TrackIdx = 0;
    bool DrawBoxLine = true;
    double MinAxisX = 0, MinAxisY = 0, MaxAxisX = 1, MaxAxisY = 1;
    bool StartZeroX = true, StartZeroY = true;
    int XStep = 50, YStep = 30;
    QString XStr, YStr;
    QColor ColorGrid { 128, 128, 128 };
    QColor ColorAxis { 128, 128, 128 };
    QColor ColorAxisLine { 128, 128, 128 };
    QColor ColorTrack { 0, 0, 255 };
    QColor Color { 240, 240, 240 }; // background
    QColor FontColor { 0, 0, 0 }; // axis labels and captions

    // index at or above GraphCount() is ignored.
    void AddXY(int index, double x, double y);
    // -1: every series, the ranges and the located point; a valid index: that series only.
    void Clear(int index);
    int AddGraph(QColor color);
    void DeleteGraph(int index); // 1 <= index < GraphCount(); series 0 stays
    int GraphCount() const { return static_cast<int>(m_series.size()); }
    const TGraphData& Graph(int index) const { return *m_series[static_cast<size_t>(index)]; }
    QColor GetColorLine(int index) const;
    void SetColorLine(int index, QColor color);
    void SetDashed(int index, bool on); // shows at the next DoPaint
    void SetTrackIdx(int index);
    void SetXStep(int n); // 5 < n < 200, rounded up to a multiple of 5
    void SetYStep(int n);
    void SetXStr(const QString& text);
    void SetYStr(const QString& text);
    void SetGridColor(QColor color);
    void SetAxisColor(QColor color);
    void SetAxisLineColor(QColor color);
    void SetTrackColor(QColor color);
    void SetDrawBoxLine(bool on);
    // Marks (x, y) with cross-hair lines at the next DoPaint; false, changing nothing, when the
    // point lies outside the axis ranges.
    bool LocateXY(double x, double y);
    void DoPaint();
    // The drawing image. A caller that draws on it sees its drawing until the next DoPaint.
    QImage& GetDrawBmp() { return m_image; }

    // The plot geometry of the current size and ranges.
    int GridColumns() const;
    int GridRows() const;
    QPoint PointPosition(double x, double y) const; // the pixel a data point is drawn at
    bool TrackShown() const { return m_trackShown; }
    int TrackColumn() const { return m_trackX; }
    int TrackRow() const { return m_trackY; }

    // Draws extra content between the grid and the series (used to shade sample columns); set
    // it before DoPaint. Gets the painter on the image and the chart.
    std::function<void(class QPainter& painter, const TGraphDraw& chart)> OnDrawBackground;

protected:
    virtual void DrawAxis(QPainter& p);
    virtual void DrawAxisTitle(QPainter& p);
    virtual void DrawXY(QPainter& p);
    virtual void PaintXYStr(QPainter& p);
    virtual void DrawLocateLine(QPainter& p);
    virtual void DrawTrackLine(int x, int y);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    double ValuePerPixelX() const;
    double ValuePerPixelY() const;
    int ColumnOf(double x, bool clamp) const;
    int RowOf(double y, bool clamp) const;
    // The mapping of values to pixels for one drawing: ColumnOf and RowOf without recomputing
    // the geometry for every point.
    struct Mapping {
        double MinX, MinY, Ex, Ey;
        int Gw, Gh, Bottom;
        QPoint operator()(double x, double y) const;
    };
    Mapping CurrentMapping() const;
    template <typename T, typename V> void SetAndPaint(T& field, const V& value);
    void TrackMouse(int x);
    void RestoreUnderTrack();
    void ResizeImage();
    void DrawBackground();
    void PaintBackground(QImage& image);

    // What the fill, axes, grid and ticks depend on: not the ranges, so a new page of history
    // starts from a copy of them and draws only its labels.
    struct AxesKey {
        QSize Size;
        int XStep = 0, YStep = 0;
        bool BoxLine = false;
        QRgb Colours[5] {};
        bool operator==(const AxesKey&) const = default;
    };
    // What the whole background (the axes and the labels) depends on: while it stays the same,
    // DoPaint copies the background drawn last time instead of drawing it again.
    struct BackgroundKey {
        AxesKey Axes;
        double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
        QFont Font;
        bool operator==(const BackgroundKey&) const = default;
    };
    const QImage& AxesImage(const AxesKey& key);
    BackgroundKey CurrentBackgroundKey() const;
    // One character of the labels drawn on the background colour, as wide as its advance; kept
    // while font and colours stay (labels are numbers: a dozen characters in all).
    void CheckGlyphs();
    const QImage& GlyphImage(QChar c);
    void DrawLabel(QImage& image, const QString& text, const QRect& box, bool centreAlways);

    std::vector<std::unique_ptr<TGraphData>> m_series;
    bool m_located = false;
    double m_locateX = 0, m_locateY = 0;
    bool m_trackShown = false;
    int m_trackX = 0, m_trackY = 0;
    QImage m_image;
    QImage m_axes;
    AxesKey m_axesKey; // of m_axes
    QImage m_background;
    BackgroundKey m_backgroundKey; // of m_background
    BackgroundKey m_lastBackgroundKey; // of the drawing before
    std::vector<QPoint> m_path; // one series' polyline, kept to spare an allocation per drawing
    std::unordered_map<char16_t, QImage> m_glyphs; // references stay valid while it grows
    std::vector<const QImage*> m_labelGlyphs; // one label's glyphs, kept to spare an allocation
    QFont m_labelFont;
    QRgb m_labelColours[2] {};
    std::vector<QRgb> m_savedRow;
    std::vector<QRgb> m_savedColumn;
};
