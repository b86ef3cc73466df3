// The monitoring path of the main window, in process: how many status replies per second
// HandleFrame takes with N records and T tiles open (the row, the tile and, when the channel
// moved, Config.ini), and how many monitoring cycle runs per second Timer1Timer makes with 1024
// records. Polls go to 127.0.0.2:5000 on loopback, where nothing listens. Last, what the lost and
// alert checks add to each status reply with 256 records and 64 tiles.
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "ui/FormMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

constexpr qint64 RunMs = 1000;

void WriteConfig(const QString& path, int records)
{
    QByteArray text = "[Public]\r\nUartPort=0\r\n[History]\r\nDevCnt=" + QByteArray::number(records) + "\r\n";
    for (int i = 0; i < records; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "IP" + n + "=127.0.0.2\r\nRXID" + n + "=" + QByteArray::number(i / 4 + 1) + "\r\nDevIdx" + n + "="
            + QByteArray::number(i % 4 + 1) + "\r\nBand" + n + "=A\r\nStartFreq" + n + "=640\r\nFreq" + n + "=640\r\n";
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

std::vector<uint8_t> StatusFrame(int record, int channel)
{
    const uint8_t payload[9] = { static_cast<uint8_t>(record % 4 + 1), static_cast<uint8_t>(channel), 3,
        static_cast<uint8_t>(record * 7 % 100), static_cast<uint8_t>(record * 3 % 100),
        static_cast<uint8_t>(record * 5 % 100), 2, 50, 1 };
    return BuildFrame(static_cast<uint8_t>(record / 4 + 1), static_cast<uint8_t>(record % 4 + 1), CMD_STATUS, payload,
        sizeof payload);
}

// A window over a fresh ExeDir holding `records` records, `tiles` of them with a tile open.
struct Stage {
    Stage(int records, int tiles)
    {
        PublicStruct::Install(std::make_unique<PublicStruct>(dir.path() + QLatin1Char('/')));
        WriteConfig(PublicStruct::Instance().ConfigPath(), records);
        window = std::make_unique<TFrmMain>(0);
        window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        auto* list = window->findChild<QTreeWidget*>(QStringLiteral("lbDevList"));
        for (int i = 0; i < tiles; ++i) {
            list->setCurrentItem(list->topLevelItem(i));
            window->lbDevListDblClick();
        }
    }
    QTemporaryDir dir;
    std::unique_ptr<TFrmMain> window;
};

// Replies per second; with moving channels every reply changes the frequency and saves the list
// (Config.ini replaced whole and flushed to disk).
void BenchStatus(int records, int tiles, bool movingChannel)
{
    Stage stage(records, tiles);
    std::vector<std::vector<uint8_t>> frames;
    for (int channel = 0; channel < 3; ++channel)
        for (int i = 0; i < records; ++i)
            frames.push_back(StatusFrame(i, channel));
    QElapsedTimer clock;
    clock.start();
    qint64 handled = 0;
    while (clock.elapsed() < RunMs) {
        const int i = static_cast<int>(handled % records);
        // The records are stored on channel 0: 1 and 2 in turn move every one of them.
        const int channel = movingChannel ? 1 + static_cast<int>(handled / records % 2) : 0;
        const auto& frame = frames[static_cast<size_t>(channel * records + i)];
        stage.window->HandleFrame(QStringLiteral("127.0.0.2"), frame.data(), static_cast<int>(frame.size()));
        ++handled;
        if (handled % 64 == 0)
            QCoreApplication::processEvents(); // the repaints a running window would do
    }
    std::printf("HandleFrame status  %5d records %3d tiles %-15s %10.0f replies/s\n", records, tiles,
        movingChannel ? "channel moves" : "channel steady", handled * 1000.0 / clock.elapsed());
}

// Cycle runs per second: all connected (every run sends a poll) or none (every run walks the list).
void BenchCycle(int records, bool connected)
{
    Stage stage(records, 0);
    for (const auto& record : stage.window->Devices())
        record->Connected = connected;
    QElapsedTimer clock;
    clock.start();
    qint64 runs = 0;
    while (clock.elapsed() < RunMs) {
        stage.window->Timer1Timer();
        ++runs;
    }
    std::printf("Timer1Timer         %5d records %-25s %10.0f runs/s  (needed: 10/s)\n", records,
        connected ? "all connected (polls)" : "none connected (no send)", runs * 1000.0 / clock.elapsed());
}

// One monitoring round after another: the cycle polls (through the real UDP socket) and the
// polled channel's reply is handled, with the repaints in between. Microseconds per reply.
double WatchedRoundMicroseconds(Stage& stage, int records, bool watching)
{
    stage.window->SetWatching(watching);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < records; ++i)
        frames.push_back(StatusFrame(i, 0));
    QElapsedTimer clock;
    clock.start();
    qint64 handled = 0;
    while (clock.elapsed() < RunMs) {
        stage.window->Timer1Timer();
        const int polled = (stage.window->PollIndex() + records - 1) % records;
        const auto& frame = frames[static_cast<size_t>(polled)];
        stage.window->HandleFrame(QStringLiteral("127.0.0.2"), frame.data(), static_cast<int>(frame.size()));
        ++handled;
        if (handled % 16 == 0)
            QCoreApplication::processEvents();
    }
    return clock.nsecsElapsed() / 1000.0 / static_cast<double>(handled);
}

// The lost and alert checks against the same run without them, in turns, best of five each, so
// that a busy machine slows both alike.
void BenchWatch(int records, int tiles)
{
    Stage stage(records, tiles);
    for (const auto& record : stage.window->Devices())
        record->Connected = true;
    double on = 1e9, off = 1e9;
    for (int round = 0; round < 5; ++round) {
        off = std::min(off, WatchedRoundMicroseconds(stage, records, false));
        on = std::min(on, WatchedRoundMicroseconds(stage, records, true));
    }
    std::printf("Poll + status reply %5d records %3d tiles checks off %8.2f us  on %8.2f us  (%+.1f %%, allowed +10 %%)\n",
        records, tiles, off, on, (on / off - 1.0) * 100.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    cLanguage::Install(std::make_unique<cLanguage>());

    for (const int records : { 16, 256, 1024 })
        BenchStatus(records, 0, false);
    for (const int tiles : { 16, 64 })
        BenchStatus(1024, tiles, false);
    BenchStatus(64, 64, true);
    BenchStatus(1024, 64, true);
    BenchCycle(1024, true);
    BenchCycle(1024, false);
    BenchWatch(256, 64);
    return 0;
}
