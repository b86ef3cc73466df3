// The chart's drawing paths, as the RF windows use them:
//  1. a page of RF history: 3 series x 600 points added and drawn at 1036 x 502, then shown;
//  2. a scan redrawn after every point: the scan window's whole path per point (frame,
//     HandleFrame, OnScanPoint, the curve cleared and added anew, DoPaint, the screen copy) over
//     the widest band a receiver reports, 256 channels (a scan point names its channel in one
//     byte); and the chart alone with 1024 distinct points (a compatibility chart of four such
//     bands, or an imported scan) at 1036 x 502.
// Where QCustomPlot 2.1 for Qt 6 was unpacked (tools/bench/qcustomplot.sh), it replots the same
// data at the same size, like for like: lines without antialiasing on both sides (TGraphDraw
// never antialiases; QCustomPlot is told so for every element, and its settings are printed).
// The runs alternate, ours then QCustomPlot's, so that both meet the same load; each figure is
// the best of its runs, as wall time and as the thread's CPU time (steadier on a busy machine).
// Figures only; nothing is asserted.
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "ui/FormMain.h"
#include "ui/rf/FormScanRF.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#ifdef TESSARO_BENCH_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

namespace
{

constexpr int Width = 1036;
constexpr int Height = 502;
constexpr int PagePoints = 600;
constexpr int PageRounds = 200;
constexpr int ScanLength = 1024;
constexpr int BandChannels = 256; // channel bytes 0..255: the widest band a receiver reports

struct Page {
    std::vector<double> x;
    std::vector<double> a, b, sq;
};

Page MakePage()
{
    std::mt19937 rng(7);
    std::normal_distribution<double> step(0.0, 3.0);
    Page page;
    double a = 60, b = 45;
    for (int i = 0; i < PagePoints; ++i) {
        a = std::clamp(a + step(rng), -10.0, 90.0);
        b = std::clamp(b + step(rng), -10.0, 90.0);
        page.x.push_back(i * 0.1);
        page.a.push_back(std::trunc(a));
        page.b.push_back(std::trunc(b));
        page.sq.push_back(40);
    }
    return page;
}

std::vector<int> ScanLevels()
{
    std::mt19937 rng(3);
    std::vector<int> levels;
    for (int i = 0; i < ScanLength; ++i)
        levels.push_back(rng() % 7 == 0 ? 40 + static_cast<int>(rng() % 50) : static_cast<int>(rng() % 14));
    return levels;
}

// Wall and CPU time of one run, in milliseconds.
struct Times {
    double wall = 0, cpu = 0;
};

// Wall time and this thread's CPU time (everything measured runs on the GUI thread).
class Stopwatch
{
public:
    Stopwatch()
        : m_wall(Now(CLOCK_MONOTONIC))
        , m_cpu(Now(CLOCK_THREAD_CPUTIME_ID))
    {
    }
    Times Elapsed() const { return { Now(CLOCK_MONOTONIC) - m_wall, Now(CLOCK_THREAD_CPUTIME_ID) - m_cpu }; }

private:
    static double Now(clockid_t clock)
    {
        timespec t {};
        clock_gettime(clock, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    }
    double m_wall, m_cpu;
};

// The machine is shared: each figure is the best of Tries runs, and where two paths are compared
// their runs alternate (ours, theirs, ours, theirs ...), so that both meet the same load.
constexpr int Tries = 5;

Times Better(Times a, Times b)
{
    return { std::min(a.wall, b.wall), std::min(a.cpu, b.cpu) };
}

template <typename Run> Times Best(Run run)
{
    Times best = run();
    for (int i = 1; i < Tries; ++i)
        best = Better(best, run());
    return best;
}

void Report(const char* what, Times total, int rounds)
{
    std::printf("  %-58s %9.3f ms total, %7.3f ms each; CPU %7.3f ms each\n", what, total.wall, total.wall / rounds,
        total.cpu / rounds);
}

#ifdef TESSARO_BENCH_QCUSTOMPLOT
struct Pair {
    Times ours, theirs;
};

template <typename Ours, typename Theirs> Pair BestAlternating(Ours ours, Theirs theirs)
{
    Pair best { ours(), theirs() };
    for (int i = 1; i < Tries; ++i) {
        best.ours = Better(best.ours, ours());
        best.theirs = Better(best.theirs, theirs());
    }
    return best;
}

void ReportRatio(const char* page, const Pair& times, const char* goal)
{
    std::printf("  %s: TGraphDraw takes %.2fx QCustomPlot's time, %.2fx its CPU time (%s)\n", page,
        times.ours.wall / times.theirs.wall, times.ours.cpu / times.theirs.cpu, goal);
}
#endif

// shift: the X range moves every round, as from page to page, so that the background (axes,
// grid, labels) is drawn anew each time; 0: the same page again, its background copied.
Times HistoryPageOurs(const Page& page, double shift)
{
    TGraphDraw chart;
    SetupRfChart(chart);
    chart.AddGraph(Qt::white);
    chart.AddGraph(Qt::magenta);
    chart.resize(Width, Height);
    chart.show();
    const Stopwatch clock;
    for (int round = 0; round < PageRounds; ++round) {
        chart.Clear(-1);
        chart.MinAxisY = -10;
        chart.MaxAxisY = 90;
        for (int i = 0; i < PagePoints; ++i) {
            const double x = page.x[static_cast<size_t>(i)] + round * shift;
            chart.AddXY(0, x, page.a[static_cast<size_t>(i)]);
            chart.AddXY(1, x, page.b[static_cast<size_t>(i)]);
            chart.AddXY(2, x, page.sq[static_cast<size_t>(i)]);
        }
        chart.DoPaint();
        chart.repaint();
    }
    return clock.Elapsed();
}

Times ScanChartOurs(const std::vector<int>& levels)
{
    TGraphDraw chart;
    SetupRfChart(chart);
    chart.resize(Width, Height);
    chart.show();
    const Stopwatch clock;
    for (int n = 1; n <= ScanLength; ++n) {
        chart.Clear(-1);
        chart.MinAxisY = -10;
        chart.MaxAxisY = 90;
        chart.MinAxisX = 470.0;
        chart.MaxAxisX = 470.0 + ScanLength * 0.25;
        for (int i = 0; i < n; ++i)
            chart.AddXY(0, 470.0 + i * 0.25, levels[static_cast<size_t>(i)]);
        chart.DoPaint();
        chart.repaint();
    }
    return clock.Elapsed();
}

// The scan window inside the main window: a sweep of a 256-channel band, every point as a frame
// through HandleFrame.
Times ScanWindowPath(const std::vector<int>& levels)
{
    QTemporaryDir dir;
    PublicStruct::Install(std::make_unique<PublicStruct>(dir.path() + QLatin1Char('/')));
    QFile config(PublicStruct::Instance().ConfigPath());
    if (config.open(QIODevice::WriteOnly))
        config.write("[Public]\r\nUartPort=0\r\n[History]\r\nDevCnt=1\r\nIP0=127.0.0.2\r\nRXID0=1\r\nDevIdx0=1\r\n"
                     "StartFreq0=470\r\nStartChannel0=0\r\nMaxChannel0=256\r\nFreq0=470\r\n");
    config.close();
    TFrmMain window(0);
    window.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    window.Devices().At(0)->Connected = true;
    TFrmScanRF scan(&window, window.Devices());
    scan.show();
    QTreeWidgetItem* row = scan.lbDevList->topLevelItem(0);
    row->setCheckState(0, Qt::Checked);
    emit scan.lbDevList->itemClicked(row, 0);
    scan.btStart->click(); // sends the start to 127.0.0.2:5000, where nothing listens
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < BandChannels; ++i) {
        const uint8_t payload[4]
            = { static_cast<uint8_t>(i), static_cast<uint8_t>(levels[static_cast<size_t>(i)] + 10), 0, 0 };
        frames.push_back(BuildFrame(1, 1, CMD_SCAN_POINT, payload, sizeof payload));
    }
    const Stopwatch clock;
    for (const auto& frame : frames) {
        window.HandleFrame(QStringLiteral("127.0.0.2"), frame.data(), static_cast<int>(frame.size()));
        scan.GraphDraw1->repaint();
    }
    const Times times = clock.Elapsed();
    scan.btStop->click();
    return times;
}

#ifdef TESSARO_BENCH_QCUSTOMPLOT
QCustomPlot* MakePlot(int graphs)
{
    auto* plot = new QCustomPlot;
    plot->resize(Width, Height);
    plot->setBackground(Qt::black);
    for (int g = 0; g < graphs; ++g) {
        plot->addGraph();
        plot->graph(g)->setPen(QPen(g == 0 ? Qt::red : g == 1 ? Qt::white : Qt::magenta, 1));
    }
    plot->yAxis->setRange(-10, 90);
    // Like TGraphDraw: no element antialiased (QCustomPlot antialiases its graphs by default).
    plot->setNotAntialiasedElements(QCP::aeAll);
    plot->show();
    return plot;
}

// The settings QCustomPlot draws with here: each element's antialiasing, then the plotting hints.
void PrintQcpSettings()
{
    const std::unique_ptr<QCustomPlot> plot(MakePlot(1));
    const std::pair<QCP::AntialiasedElement, const char*> elements[]
        = { { QCP::aeAxes, "axes" }, { QCP::aeGrid, "grid" }, { QCP::aeSubGrid, "sub-grid" },
              { QCP::aeLegend, "legend" }, { QCP::aeLegendItems, "legend items" }, { QCP::aePlottables, "plottables" },
              { QCP::aeItems, "items" }, { QCP::aeScatters, "scatters" }, { QCP::aeFills, "fills" },
              { QCP::aeZeroLine, "zero line" }, { QCP::aeOther, "other" } };
    std::printf("  QCustomPlot antialiasing:");
    for (const auto& [element, name] : elements) {
        const char* state = plot->notAntialiasedElements().testFlag(element) ? "off"
            : plot->antialiasedElements().testFlag(element)                  ? "on"
                                                                             : "element's own";
        std::printf(" %s %s;", name, state);
    }
    const std::pair<QCP::PlottingHint, const char*> hints[] = { { QCP::phFastPolylines, "phFastPolylines" },
        { QCP::phImmediateRefresh, "phImmediateRefresh" }, { QCP::phCacheLabels, "phCacheLabels" } };
    std::printf("\n  QCustomPlot plotting hints:");
    for (const auto& [hint, name] : hints)
        std::printf(" %s %s;", name, plot->plottingHints().testFlag(hint) ? "on" : "off");
    std::printf(" replot(rpImmediateRefresh)\n");
}

Times HistoryPageQcp(const Page& page, double shift)
{
    std::unique_ptr<QCustomPlot> plot(MakePlot(3));
    const QVector<double> x(page.x.begin(), page.x.end());
    const QVector<double> a(page.a.begin(), page.a.end()), b(page.b.begin(), page.b.end()),
        sq(page.sq.begin(), page.sq.end());
    const Stopwatch clock;
    QVector<double> shifted(x.size());
    for (int round = 0; round < PageRounds; ++round) {
        for (qsizetype i = 0; i < x.size(); ++i)
            shifted[i] = x[i] + round * shift;
        plot->graph(0)->setData(shifted, a, true);
        plot->graph(1)->setData(shifted, b, true);
        plot->graph(2)->setData(shifted, sq, true);
        plot->xAxis->setRange(shifted.front(), shifted.back());
        plot->replot(QCustomPlot::rpImmediateRefresh);
    }
    return clock.Elapsed();
}

Times ScanChartQcp(const std::vector<int>& levels)
{
    std::unique_ptr<QCustomPlot> plot(MakePlot(1));
    plot->xAxis->setRange(470.0, 470.0 + ScanLength * 0.25);
    const Stopwatch clock;
    QVector<double> x, y;
    for (int n = 1; n <= ScanLength; ++n) {
        x.clear();
        y.clear();
        for (int i = 0; i < n; ++i) {
            x.push_back(470.0 + i * 0.25);
            y.push_back(levels[static_cast<size_t>(i)]);
        }
        plot->graph(0)->setData(x, y, true);
        plot->replot(QCustomPlot::rpImmediateRefresh);
    }
    return clock.Elapsed();
}
#endif

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    cLanguage::Install(std::make_unique<cLanguage>());
    const Page page = MakePage();
    const std::vector<int> levels = ScanLevels();

    std::printf("Chart, platform %s; TGraphDraw: 1-pixel lines, no antialiasing\n",
        qPrintable(QGuiApplication::platformName()));
#ifdef TESSARO_BENCH_QCUSTOMPLOT
    PrintQcpSettings();
#endif
    std::printf("RF history page: 3 series x %d points at %d x %d, %d rounds\n", PagePoints, Width, Height, PageRounds);
#ifdef TESSARO_BENCH_QCUSTOMPLOT
    const Pair newPage
        = BestAlternating([&] { return HistoryPageOurs(page, 60.0); }, [&] { return HistoryPageQcp(page, 60.0); });
    const Pair samePage
        = BestAlternating([&] { return HistoryPageOurs(page, 0.0); }, [&] { return HistoryPageQcp(page, 0.0); });
    Report("TGraphDraw, new page each time: AddXY x 1800, DoPaint, show", newPage.ours, PageRounds);
    Report("QCustomPlot 2.1, new page each time: setData x 3, replot", newPage.theirs, PageRounds);
    Report("TGraphDraw, same page again (background copied)", samePage.ours, PageRounds);
    Report("QCustomPlot 2.1, same page again", samePage.theirs, PageRounds);
    ReportRatio("new pages", newPage, "goal: at most 0.5x");
    ReportRatio("same page again", samePage, "no goal");
#else
    Report("TGraphDraw, new page each time: AddXY x 1800, DoPaint, show",
        Best([&] { return HistoryPageOurs(page, 60.0); }), PageRounds);
    Report("TGraphDraw, same page again (background copied)", Best([&] { return HistoryPageOurs(page, 0.0); }),
        PageRounds);
    std::printf("  QCustomPlot comparison not built: run tools/bench/qcustomplot.sh, then reconfigure\n");
#endif

    std::printf("Scan redrawn after every point, the whole curve each time\n");
    Report("scan window, 256-channel band: frame, HandleFrame, redraw, copy",
        Best([&] { return ScanWindowPath(levels); }), 1);
    std::printf("Chart alone, %d distinct points, at %d x %d\n", ScanLength, Width, Height);
#ifdef TESSARO_BENCH_QCUSTOMPLOT
    const Pair scan = BestAlternating([&] { return ScanChartOurs(levels); }, [&] { return ScanChartQcp(levels); });
    Report("TGraphDraw", scan.ours, 1);
    Report("QCustomPlot 2.1", scan.theirs, 1);
    ReportRatio("1024-point scan", scan, "goal: at most 1.2 s in all");
#else
    Report("TGraphDraw", Best([&] { return ScanChartOurs(levels); }), 1);
#endif
    return 0;
}
