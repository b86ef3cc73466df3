// Idle frequencies and coordination: how long the compatibility setup's idle list takes to
// rebuild from ten full scans (the threshold choice, through the window's list), and how long
// Assign all takes and how many devices it places at each level, for 10, 32 and 64 devices on
// bands of 100 and 256 channels (15 % of them busy in the scans), and on 400 channels (100 MHz).
// Every plan is recomputed by the independent check.
#include "data/Coordination.h"
#include "data/Device.h"
#include "data/IdleChannels.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "ui/FormMessage.h"
#include "ui/rf/FormSetMuiltFreq.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace coordination;

namespace
{

struct Scan {
    std::vector<int32_t> channels;
    std::vector<int32_t> levels;
};

// The channels other systems use: every receiver's sweep sees the same ones.
std::vector<bool> BusyChannels(int channels, double share, std::mt19937& rng)
{
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    std::vector<bool> busy;
    for (int c = 0; c < channels; ++c)
        busy.push_back(draw(rng) < share);
    return busy;
}

// A sweep of `points` points over the band, busy channels strong, the others at the noise floor.
Scan Sweep(const std::vector<bool>& busy, int points, std::mt19937& rng)
{
    Scan scan;
    std::uniform_int_distribution<int> noise(-10, 8);
    for (int i = 0; i < points; ++i) {
        const int channel = i % static_cast<int>(busy.size());
        scan.channels.push_back(channel);
        scan.levels.push_back(busy[static_cast<size_t>(channel)] ? 60 : noise(rng));
    }
    return scan;
}

// The compatibility setup's assignment window over `count` devices on a 256-channel band and ten
// scans of 1024 points each.
struct AssignmentWindow {
    explicit AssignmentWindow(int count)
    {
        PublicStruct::Install(std::make_unique<PublicStruct>(dir.path() + QLatin1Char('/')));
        for (int i = 0; i < count; ++i) {
            DeviceBandInfo band;
            band.StartFreq = 470.0;
            band.MaxChannel = 256;
            AddRepliedDevice(devices, QStringLiteral("127.0.0.2"), i + 1, 1, band);
            auto* row
                = new QTreeWidgetItem(&source, { QString::number(i + 1), QStringLiteral("1"), "Rx", "127.0.0.2" });
            row->setCheckState(0, Qt::Checked);
        }
        std::mt19937 rng(7);
        const std::vector<bool> busy = BusyChannels(256, 0.15, rng);
        std::vector<ScanView> views;
        for (int i = 0; i < 10; ++i)
            scans.push_back(Sweep(busy, 1024, rng));
        for (const Scan& s : scans)
            views.push_back({ s.channels, s.levels });
        window = std::make_unique<TFrmSetMuiltFreq>(nullptr, done, views, source, devices);
    }
    QTemporaryDir dir;
    DeviceList devices;
    QTreeWidget source;
    std::vector<Scan> scans;
    bool done = false;
    std::unique_ptr<TFrmSetMuiltFreq> window;
};

double IdleListRebuildMs()
{
    AssignmentWindow stage(10);
    constexpr int Runs = 200;
    QElapsedTimer timer;
    timer.start();
    for (int run = 0; run < Runs; ++run) {
        stage.window->cbMaxRF->setCurrentIndex(run % ThresholdItems);
        emit stage.window->cbMaxRF->activated(run % ThresholdItems);
    }
    return timer.nsecsElapsed() / 1e6 / Runs;
}

// Assign all as the operator starts it: idle lists, the plan, the proposal in the list; the
// confirmation is declined, so nothing is sent.
double AssignAllThroughTheWindowMs(int count)
{
    AssignmentWindow stage(count);
    stage.window->cbIntermod->setCurrentIndex(static_cast<int>(Level::ThreeTransmitter));
    SetMessageBoxHook([](QWidget*, const QString&, const QString&, int, int) { return 2; });
    constexpr int Runs = 5;
    QElapsedTimer timer;
    timer.start();
    for (int run = 0; run < Runs; ++run)
        stage.window->btAssignAllClick();
    SetMessageBoxHook({});
    return timer.nsecsElapsed() / 1e6 / Runs;
}

struct Figures {
    double ms = 0;
    int placed = 0;
    bool checked = false;
};

Figures AssignAllFigures(Level level, int deviceCount, int channels, double busyShare)
{
    std::mt19937 rng(11);
    const std::vector<bool> busy = BusyChannels(channels, busyShare, rng);
    std::vector<Scan> scans;
    std::vector<ScanView> views;
    for (int i = 0; i < std::min(deviceCount, 10); ++i)
        scans.push_back(Sweep(busy, channels, rng));
    for (const Scan& s : scans)
        views.push_back({ s.channels, s.levels });
    const std::vector<IdleChannel> idle = IdleChannels({ 600.0, 0, channels }, views, 10);
    std::vector<DeviceOptions> devices;
    for (int i = 0; i < deviceCount; ++i)
        devices.push_back({ i + 1, 1, idle });
    std::vector<double> times;
    Plan plan;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        plan = AssignAll({ level, 400, 100 }, devices);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return { times[times.size() / 2], plan.PlacedCount(), check(plan).empty() };
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::printf("Idle list rebuild, 10 scans x 1024 points, 256-channel band: %.2f ms\n", IdleListRebuildMs());
    for (int count : { 10, 32 })
        std::printf("Assign all through the window, %d devices, f1+f2-f3, 256 channels: %.2f ms\n", count,
            AssignAllThroughTheWindowMs(count));
    std::printf("Assign all (median of 5 runs; devices placed; independent check of the plan):\n");
    std::printf(
        "  %-9s %8s %8s %6s %10s %8s %6s\n", "level", "devices", "channels", "busy", "time ms", "placed", "check");
    const char* names[] = { "off", "spacing", "2f1-f2", "f1+f2-f3" };
    struct Band {
        int channels;
        double busy;
    };
    for (const Band band : { Band { 100, 0.15 }, Band { 256, 0.15 }, Band { 400, 0.0 } }) {
        for (int level = 0; level < LevelCount; ++level) {
            for (int devices : { 10, 32, 64 }) {
                const Figures f = AssignAllFigures(static_cast<Level>(level), devices, band.channels, band.busy);
                std::printf("  %-9s %8d %8d %5.0f%% %10.2f %8d %6s\n", names[level], devices, band.channels,
                    band.busy * 100, f.ms, f.placed, f.checked ? "ok" : "FAILED");
            }
        }
    }
    return 0;
}
