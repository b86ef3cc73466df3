// The timeline's paths. The writer: rows per CPU-second it commits when the GUI thread hands it
// a day's worth of 1024 channels at the monitoring cycle's rate (one reply per 100 ms, whatever
// the channel count) plus the RF history window's 10 per second, and the GUI thread's cost per
// handed-over row. The window: reading and drawing 64 channels × 24 hours of such rows, written
// through the recorder into a real file, read back by the query and painted, and the same through
// the window's loader thread. The file: bytes per channel-day.
#include "store/TimelineLoader.h"
#include "store/TimelineQuery.h"
#include "store/TimelineStore.h"
#include "ui/timeline/TimelineChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace
{

constexpr int64_t DayMs = 24LL * 3600 * 1000;
constexpr int64_t CycleMs = 100;

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

StatusRow Row(int64_t t, int channel, int source)
{
    StatusRow row;
    row.TimeMs = t;
    row.Rxid = channel / 4 + 1;
    row.DevIdx = channel % 4 + 1;
    row.RfA = static_cast<int>(50 + (t / 1000 + channel) % 40);
    row.RfB = static_cast<int>(45 + (t / 700 + channel) % 40);
    row.Audio = static_cast<int>((t / 300) % 60);
    row.Battery = 3;
    row.Antenna = 1;
    row.Squelch = 40;
    row.Channel = channel % 100;
    row.Source = source;
    return row;
}

// One day of the cycle polling `channels` in turn, with an RF history record every 100 ms of the
// first hour on channel 0.
size_t FillDay(TimelineStore& store, int64_t start, int channels, double* handOverUs)
{
    size_t rows = 0;
    QElapsedTimer handOver;
    qint64 handOverNs = 0;
    for (int64_t t = start, i = 0; t < start + DayMs; t += CycleMs, ++i) {
        const StatusRow cycle = Row(t, static_cast<int>(i % channels), TimelineStore::SourceCycle);
        handOver.start();
        store.Record(cycle);
        if (t < start + 3600 * 1000)
            store.Record(Row(t + 50, 0, TimelineStore::SourceRfHistory)), ++rows;
        handOverNs += handOver.nsecsElapsed();
        ++rows;
        if (rows % 100000 == 0)
            store.Flush(); // the real hand-over is spread over the day, not one burst
    }
    store.Flush();
    *handOverUs = handOverNs / 1000.0 / static_cast<double>(rows);
    return rows;
}

void WriterFigures(const QString& folder)
{
    const int64_t start = QDateTime::currentMSecsSinceEpoch() - DayMs;
    TimelineStore store(folder + QStringLiteral("writer.sqlite"));
    const double cpu0 = CpuSeconds();
    double handOverUs = 0;
    const size_t rows = FillDay(store, start, 1024, &handOverUs);
    const double cpu = CpuSeconds() - cpu0;
    std::printf(
        "writer, 1024 channels, a day at the cycle's rate + 1 h of RF history: %zu rows, %.0f rows per CPU-second "
        "(a day of the show costs %.1f CPU-seconds)\n",
        rows, rows / cpu, cpu);
    std::printf("GUI thread per handed-over row: %.2f us\n", handOverUs);
}

void WindowFigures(const QString& folder)
{
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const QString path = folder + QStringLiteral("window.sqlite");
    const int channels = 64;
    {
        TimelineStore store(path);
        double unused = 0;
        FillDay(store, now - DayMs, channels, &unused);
    }
    const qint64 bytes = QFileInfo(path).size();
    std::printf("database: %lld bytes for %d channel-days at the cycle's rate: %.0f bytes per channel-day\n",
        static_cast<long long>(bytes), channels, static_cast<double>(bytes) / channels);

    TimelineChart chart;
    chart.resize(1200, 64 * TimelineChart::LaneHeight + TimelineChart::AxisHeight);
    chart.SetPeriod(now - DayMs, now);
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = CpuSeconds();
    std::vector<Lane> lanes;
    QStringList names;
    {
        TimelineQuery query(path);
        for (const ChannelKey& channel : query.Channels()) {
            lanes.push_back(query.Read(channel, chart.From(), chart.To(), chart.Columns()));
            names << QStringLiteral("%1:%2").arg(channel.Rxid).arg(channel.DevIdx);
        }
    }
    const qint64 queried = timer.restart();
    const double cpu1 = CpuSeconds();
    chart.SetLanes(std::move(lanes), names);
    const qint64 painted = timer.elapsed();
    // CPU times beside the wall times: on a machine shared with builds the wall times wander.
    std::printf("timeline, %d channels x 24 h (%lld rows, read by minute): query %lld ms (%.0f ms CPU), paint %lld ms "
                "(%.0f ms CPU)\n",
        channels, static_cast<long long>(DayMs / CycleMs), static_cast<long long>(queried), (cpu1 - cpu0) * 1000,
        static_cast<long long>(painted), (CpuSeconds() - cpu1) * 1000);

    // The window's own path: a request to the loader's thread, the answer through the event loop,
    // then the paint; once for the day (by minute) and once for the last hour (every row).
    TimelineLoader loader(path);
    QObject::connect(&loader, &TimelineLoader::Loaded, &chart,
        [&chart](const TimelineAnswer& answer) { chart.SetLanes(answer.Lanes, answer.Names); });
    for (const int64_t span : { DayMs, DayMs / 24 }) {
        chart.SetPeriod(now - span, now);
        timer.start();
        TimelineRequest request;
        request.FromMs = chart.From();
        request.ToMs = chart.To();
        request.Columns = chart.Columns();
        loader.Request(std::move(request));
        while (loader.Loading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        std::printf("timeline window, %d channels x %lld h: request to painted lanes %lld ms\n", channels,
            static_cast<long long>(span / 3600000), static_cast<long long>(timer.elapsed()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    WriterFigures(folder);
    WindowFigures(folder);
    return 0;
}
