// The chart control: series order and ranges, the drawn image (axes, grid, a series along its
// path, labels, the located point), mouse tracking with exact restoring, and the degenerate sizes.
#include "ui/rf/GraphDraw.h"

#include <QFontMetrics>
#include <QTest>

class ChartTests : public QObject
{
    Q_OBJECT
private slots:
    void seriesKeepOrderAndRanges();
    void settersFollowTheirRules();
    void drawsAxesGridSeriesAndLabels();
    void locatedPointAndNegativeValues();
    void trackLineFollowsTheSeriesAndRestoresExactly();
    void degenerateSizesAndRanges();
    void keptBackgroundsMatchAFreshDrawing();
};

namespace
{

const QRgb Black = qRgb(0, 0, 0) & 0xFFFFFF;
const QRgb Red = qRgb(255, 0, 0) & 0xFFFFFF;
const QRgb Axis = qRgb(128, 128, 128) & 0xFFFFFF;
const QRgb Grid = qRgb(0, 80, 0) & 0xFFFFFF;
const QRgb Aqua = qRgb(0, 255, 255) & 0xFFFFFF;
const QRgb Blue = qRgb(0, 0, 255) & 0xFFFFFF;

// 320 x 300: nx = 5 columns of 50 px, ny = 8 rows of 30 px. Ranges 0..1 on both axes.
std::unique_ptr<TGraphDraw> MakeChart(QSize size = QSize(320, 300))
{
    auto chart = std::make_unique<TGraphDraw>();
    chart->resize(size);
    chart->Color = Qt::black;
    chart->FontColor = QColor(Aqua);
    chart->ColorGrid = QColor(Grid);
    chart->ColorAxis = QColor(Axis);
    chart->ColorAxisLine = QColor(Axis);
    QFont font;
    font.setPixelSize(12);
    chart->setFont(font);
    chart->show();
    return chart;
}

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

int CountColour(const QImage& image, const QRect& box, QRgb colour)
{
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            n += At(image, x, y) == (colour & 0xFFFFFF) ? 1 : 0;
    return n;
}

// Left and right end of the ink (pixels not of the background) in the box, or (-1, -1).
QPair<int, int> InkExtent(const QImage& image, const QRect& box, QRgb background)
{
    int left = -1, right = -1;
    for (int x = box.left(); x <= box.right(); ++x)
        for (int y = box.top(); y <= box.bottom(); ++y)
            if (At(image, x, y) != background) {
                if (left < 0)
                    left = x;
                right = x;
            }
    return { left, right };
}

} // namespace

void ChartTests::seriesKeepOrderAndRanges()
{
    TGraphDraw chart;
    chart.StartZeroX = false;
    chart.Clear(-1);
    chart.AddXY(0, 3, 30);
    QCOMPARE(chart.MinAxisX, 3.0);
    QCOMPARE(chart.MaxAxisX, 3.0);
    chart.AddXY(0, 1, 10);
    chart.AddXY(0, 2, 20);
    chart.AddXY(0, 2, -5); // equal x replaces
    const TGraphData& s = chart.Graph(0);
    QCOMPARE(s.Count(), 3);
    QCOMPARE(QList<double>({ s.X(0), s.X(1), s.X(2) }), QList<double>({ 1, 2, 3 }));
    QCOMPARE(s.Y(1), -5.0);
    QCOMPARE(chart.MinAxisX, 1.0);
    QCOMPARE(chart.MinAxisY, 0.0); // StartZeroY keeps the floor at 0
    chart.AddXY(5, 1, 1); // no such series: ignored
    chart.AddXY(1, 1, 1);

    // Descending input past the first capacity: doubled twice, still sorted.
    for (int i = 250; i > 0; --i)
        chart.AddXY(0, 100 + i, i);
    QCOMPARE(s.Count(), 253);
    QCOMPARE(s.Capacity(), 400);
    for (int i = 1; i < s.Count(); ++i)
        QVERIFY(s.X(i - 1) < s.X(i));

    chart.Clear(0);
    QCOMPARE(s.Count(), 0);
    QCOMPARE(chart.MaxAxisX, 350.0); // ranges stay
}

void ChartTests::settersFollowTheirRules()
{
    TGraphDraw chart;
    chart.SetXStep(23);
    QCOMPARE(chart.XStep, 25);
    chart.SetXStep(5);
    chart.SetXStep(200);
    QCOMPARE(chart.XStep, 25);
    const int b = chart.AddGraph(Qt::white);
    const int c = chart.AddGraph(Qt::yellow);
    chart.SetTrackIdx(c);
    chart.SetTrackIdx(7);
    QCOMPARE(chart.TrackIdx, c);
    chart.DeleteGraph(0);
    QCOMPARE(chart.GraphCount(), 3);
    chart.DeleteGraph(c);
    QCOMPARE(chart.TrackIdx, 0);
    QCOMPARE(chart.GetColorLine(b), QColor(Qt::white));
    QVERIFY(!chart.LocateXY(2, 0.5)); // outside 0..1
}

void ChartTests::drawsAxesGridSeriesAndLabels()
{
    auto chart = MakeChart();
    const int H = 300;
    chart->AddXY(0, 0.1, 0.2);
    chart->AddXY(0, 0.9, 0.8);
    chart->DoPaint();
    const QImage shown = chart->grab().toImage(); // what paintEvent puts on the screen
    QCOMPARE(shown.size(), QSize(320, 300));

    QCOMPARE(At(shown, 50, 100), Axis); // Y axis line
    QCOMPARE(At(shown, 150, H - 25), Axis); // X axis line
    QCOMPARE(At(shown, 100, 20), Grid); // grid line 1, dotted
    QCOMPARE(At(shown, 100, 21), Black);
    QCOMPARE(At(shown, 61, H - 25 - 30), Grid); // horizontal grid line 1, dotted from x 51

    // The series along its path: from the Y axis at the first point's height to each point.
    const QPoint p0 = chart->PointPosition(0.1, 0.2), p1 = chart->PointPosition(0.9, 0.8);
    QCOMPARE(p0, QPoint(50 + 25, H - 25 - 48));
    QCOMPARE(At(shown, 51, p0.y()), Red);
    QCOMPARE(At(shown, p0.x(), p0.y()), Red);
    QCOMPARE(At(shown, p1.x(), p1.y()), Red);
    QCOMPARE(At(shown, (p0.x() + p1.x()) / 2, (p0.y() + p1.y()) / 2), Red);

    // X labels 0.2 .. 0.8 centred in their boxes under grid lines 1..4 (the box of 1 runs past
    // the edge); none at the origin.
    const QFontMetrics metrics(chart->font());
    const char* texts[] = { "0.2", "0.4", "0.6", "0.8" };
    for (int k = 1; k <= 4; ++k) {
        const QRect box(k * 50 + 50 - 25, H - 18, 50, 18); // under the long ticks
        const auto [left, right] = InkExtent(shown, box, Black);
        const int width = metrics.tightBoundingRect(QString::fromLatin1(texts[k - 1])).width();
        QVERIFY2(left >= 0, texts[k - 1]);
        QVERIFY2(std::abs((right - left + 1) - width) <= 2,
            qPrintable(QStringLiteral("%1: ink %2, advance %3").arg(texts[k - 1]).arg(right - left + 1).arg(width)));
        QVERIFY(std::abs((left + right) / 2 - (k * 50 + 50)) <= 2);
    }
    QCOMPARE(CountColour(shown, QRect(30, H - 19, 40, 19), Aqua), 0);
    // Y label 0 at the origin, in its box left of the axis.
    QVERIFY(CountColour(shown, QRect(2, H - 31, 42, 20), Aqua) > 0);

    // X step 30: labels on every second grid line only, from line 1.
    chart->SetXStep(30);
    const QImage narrow = chart->GetDrawBmp();
    QVERIFY(CountColour(narrow, QRect(1 * 30 + 50 - 10, H - 18, 20, 18), Aqua) > 0);
    QCOMPARE(CountColour(narrow, QRect(2 * 30 + 50 - 5, H - 18, 10, 18), Aqua), 0);
    QVERIFY(CountColour(narrow, QRect(3 * 30 + 50 - 10, H - 18, 20, 18), Aqua) > 0);

    // A dashed series along a flat line: 6 of every 10 pixels drawn, the gaps show the background.
    const int white = chart->AddGraph(Qt::white);
    chart->SetDashed(white, true);
    chart->AddXY(white, 0.0, 0.5);
    chart->AddXY(white, 1.0, 0.5);
    chart->DoPaint();
    const int y = chart->PointPosition(0.5, 0.5).y();
    const QRect run(60, y, 200, 1);
    QCOMPARE(CountColour(chart->GetDrawBmp(), run, qRgb(255, 255, 255)), 120);
}

void ChartTests::locatedPointAndNegativeValues()
{
    auto chart = MakeChart();
    const int H = 300;
    QVERIFY(chart->LocateXY(0.5, 0.5));
    QVERIFY(!chart->LocateXY(-1, 0.5)); // outside: the earlier point stays
    chart->AddXY(0, 0.2, -0.25); // StartZeroY: drawn below the X axis
    chart->DoPaint();
    const QImage image = chart->GetDrawBmp();
    const QPoint p = chart->PointPosition(0.5, 0.5);
    QCOMPARE(At(image, 80, p.y()), Blue);
    QCOMPARE(At(image, p.x(), H - 30), Blue);
    QVERIFY(chart->PointPosition(0.2, -0.25).y() > H - 25);
}

void ChartTests::trackLineFollowsTheSeriesAndRestoresExactly()
{
    auto chart = MakeChart();
    chart->TraceMouse = true;
    chart->AddXY(0, 0, 0.5);
    chart->AddXY(0, 1, 0.5); // a flat line across the plot
    double shownX = -1, shownY = -1;
    chart->OnShowData = [&](TGraphDraw*, double x, double y) {
        shownX = x;
        shownY = y;
    };
    chart->DoPaint();
    const QImage clean = chart->GetDrawBmp().copy();
    const int row = chart->PointPosition(0, 0.5).y();

    QTest::mouseMove(chart.get(), QPoint(100, 150));
    QTRY_VERIFY(chart->TrackShown());
    QCOMPARE(chart->TrackRow(), row);
    QCOMPARE(shownX, 0.2);
    QCOMPARE(shownY, 0.5);
    const QImage tracked = chart->grab().toImage();
    QCOMPARE(At(tracked, 51, row), Blue);
    QCOMPARE(At(tracked, 100, row + 2), Blue); // the vertical part, dotted
    QCOMPARE(At(tracked, 100, row + 3) == At(clean, 100, row + 3), true);

    QTest::mouseMove(chart.get(), QPoint(200, 150));
    QTRY_COMPARE(chart->TrackColumn(), 200);
    // Everything off the new line is exactly the clean image: the old row and column came back.
    const QImage now = chart->GetDrawBmp();
    for (int y = 0; y < now.height(); ++y)
        for (int x = 0; x < now.width(); ++x)
            if (x != 200 && y != row && now.pixel(x, y) != clean.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 not restored").arg(x).arg(y)));

    // A column the series does not cross (right of its last point) leaves the line in place.
    chart->Clear(0);
    chart->AddXY(0, 0.4, 0.5);
    chart->DoPaint();
    QTest::mouseMove(chart.get(), QPoint(120, 150));
    QTRY_COMPARE(chart->TrackColumn(), 120);
    QTest::mouseMove(chart.get(), QPoint(250, 150));
    QTest::qWait(50);
    QCOMPARE(chart->TrackColumn(), 120);
    QVERIFY(chart->TrackShown());
}

void ChartTests::degenerateSizesAndRanges()
{
    // Too small for one grid cell: axes only, nothing divides by zero.
    auto tiny = MakeChart(QSize(90, 60));
    QCOMPARE(tiny->GridColumns(), 0);
    tiny->TraceMouse = true;
    tiny->AddXY(0, 0.5, 0.5);
    QVERIFY(tiny->LocateXY(0.5, 0.5));
    tiny->DoPaint();
    QTest::mouseMove(tiny.get(), QPoint(60, 30));
    const QImage small = tiny->GetDrawBmp();
    QCOMPARE(At(small, 50, 30), Axis);
    QCOMPARE(CountColour(small, small.rect(), Red), 0);
    QCOMPARE(CountColour(small, small.rect(), Blue), 0);

    // An empty X range with a located point: the point sits on the axis.
    auto flat = MakeChart();
    flat->MinAxisX = flat->MaxAxisX = 5;
    QVERIFY(flat->LocateXY(5, 0.5));
    flat->AddXY(0, 5, 0.5);
    flat->DoPaint();
    QCOMPARE(flat->PointPosition(5, 0.5).x(), 50);
    QCOMPARE(At(flat->GetDrawBmp(), 50, 200), Blue);
}

// A chart that has drawn other pages, sizes and colours before (its axes and backgrounds kept
// from them) shows exactly what a new chart draws for the same page.
void ChartTests::keptBackgroundsMatchAFreshDrawing()
{
    const auto page = [](TGraphDraw& chart, double from, QColor grid) {
        chart.ColorGrid = grid;
        chart.Clear(-1);
        chart.AddXY(0, from, 0.2);
        chart.AddXY(0, from + 7.5, 0.9);
        chart.DoPaint();
        return chart.grab().toImage();
    };
    auto used = MakeChart();
    for (double from : { 0.0, 3.0, 3.0, 3.0, 120.0, 120.0 })
        page(*used, from, QColor(Grid));
    used->resize(400, 260);
    page(*used, 120.0, Qt::yellow);
    page(*used, 120.0, Qt::yellow);
    const QImage shown = page(*used, 5.0, Qt::yellow);

    auto fresh = MakeChart(QSize(400, 260));
    const QImage expected = page(*fresh, 5.0, Qt::yellow);
    QCOMPARE(shown, expected);
    QCOMPARE(At(shown, 100, 20), qRgb(255, 255, 0) & 0xFFFFFF); // the grid in its new colour
}

QTEST_MAIN(ChartTests)
#include "ChartTests.moc"
