// Times LoadDeviceList and SaveDeviceList for a full device list (1024 records) in a temporary
// directory. Prints figures; asserts nothing.
#include "data/Device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

template <typename Step> double MedianMilliseconds(int runs, Step step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step(i);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_data: no temporary directory\n");
        return 1;
    }
    const QString path = dir.path() + "/Config.ini";

    DeviceList list;
    for (int i = 0; i < DeviceList::MaxRecords; ++i) {
        auto record = std::make_unique<TTMICListObj>();
        record->IP = QStringLiteral("192.168.%1.%2").arg(i / 250).arg(i % 250 + 2);
        record->RXID = i / 4 % 256;
        record->DevIdx = i % 4;
        record->Band = QStringLiteral("A");
        record->StartFreq = 640.0;
        record->Freq = 640.25 + (i % 100) * 0.25;
        record->Name = QStringLiteral("舞台话筒%1").arg(i);
        list.Append(std::move(record));
    }

    const int runs = 15;
    bool ok = true;
    const double save = MedianMilliseconds(runs, [&](int i) {
        list.At(i)->Freq += 0.25; // every save changes one value, as a status report does
        ok = SaveDeviceList(path, list) && ok;
    });
    DeviceList loaded;
    const double load = MedianMilliseconds(runs, [&](int) { ok = LoadDeviceList(path, loaded) && ok; });
    if (!ok || loaded.Count() != list.Count()) {
        std::fprintf(stderr, "bench_data: saving or loading failed\n");
        return 1;
    }
    std::printf("bench_data: %d records, Config.ini %lld bytes\n", list.Count(),
        static_cast<long long>(QFileInfo(path).size()));
    std::printf("  SaveDeviceList  median %.2f ms over %d runs (one file replace, fsync included)\n", save, runs);
    std::printf("  LoadDeviceList  median %.2f ms over %d runs\n", load, runs);
    return 0;
}
