// The main window's intake, offscreen: datagrams through OnDatagram and serial frames through
// HandleFrame, against a window with three records and two open tiles. Input: records of
// [control][length][bytes]; control bit 0 mends Len and checksum (so that deep branches are
// reached), bit 1 starts a Sync Tx first, bit 2 delivers the bytes as a serial frame, the rest
// picks the sender 127.0.0.x. Invariants: the list keeps its bound, each row shows its record,
// and a sync result opens a box only for a Sync Tx that waits for one.
#include "FuzzCheck.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Frame.h"
#include "transport/UDPServer.h"
#include "ui/FormMain.h"
#include "ui/FormMessage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstring>
#include <memory>

namespace
{

const QByteArray StartConfig = "[Public]\r\nUartPort=0\r\nLanguage=1\r\n[History]\r\nDevCnt=3\r\n"
                               "IP0=127.0.0.2\r\nRXID0=1\r\nDevIdx0=1\r\nBand0=A\r\nStartFreq0=640\r\nFreq0=640\r\n"
                               "IP1=127.0.0.2\r\nRXID1=1\r\nDevIdx1=2\r\nBand1=A\r\nStartFreq1=640\r\nFreq1=640\r\n"
                               "IP2=127.0.0.3\r\nRXID2=2\r\nDevIdx2=1\r\nBand2=B\r\nStartFreq2=600\r\nFreq2=600\r\n";

struct Stage {
    Stage()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_dispatch";
        static char* argv[] = { name, nullptr };
        app = std::make_unique<QApplication>(argc, argv);
        // A folder in memory where there is one: the window saves its list there.
        dir = std::make_unique<QTemporaryDir>(QDir("/dev/shm").exists() ? "/dev/shm/fuzz_dispatch-XXXXXX" : QString());
        PublicStruct::Install(std::make_unique<PublicStruct>(dir->path() + QLatin1Char('/')));
        cLanguage::Install(std::make_unique<cLanguage>());
        SetMessageBoxHook([this](QWidget*, const QString&, const QString&, int, int) {
            ++boxes;
            return 1;
        });
        WriteStartConfig();
        window = std::make_unique<TFrmMain>(0);
        window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        list = window->findChild<QTreeWidget*>(QStringLiteral("lbDevList"));
    }

    void WriteStartConfig() const
    {
        QFile file(PublicStruct::Instance().ConfigPath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(StartConfig);
    }

    // Every input starts from the same three records, two of them with a tile.
    void Reset()
    {
        window->SaveDeviceList(); // nothing of the last input waits to be saved over the start
        WriteStartConfig();
        window->LoadDeviceList();
        for (int row : { 0, 2 }) {
            list->setCurrentItem(list->topLevelItem(row));
            window->lbDevListDblClick();
        }
        PublicStruct::Instance().SyncStartTick = 0;
        boxes = 0;
        syncs = 0;
    }

    void Deliver(uint8_t control, QByteArray bytes)
    {
        if ((control & 1) && bytes.size() >= FrameOverhead) {
            bytes[5] = static_cast<char>(bytes.size() - FrameOverhead);
            const auto* raw = reinterpret_cast<const uint8_t*>(bytes.constData());
            bytes[bytes.size() - 1] = static_cast<char>(FrameCrc8(raw, static_cast<size_t>(bytes.size() - 1)));
        }
        if (control & 2) {
            PublicStruct::Instance().SyncStartTick = 1;
            ++syncs;
        }
        if (control & 4) {
            window->HandleFrame(QString(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                static_cast<int>(bytes.size()));
            return;
        }
        auto source = std::make_unique<SourceBlock>();
        std::snprintf(source->sourceAddress, sizeof source->sourceAddress, "127.0.0.%d", control >> 3);
        auto datagram = std::make_unique<DatagramBlock>(static_cast<int32_t>(bytes.size()));
        std::memcpy(datagram->data, bytes.constData(), static_cast<size_t>(bytes.size()));
        window->OnDatagram(DatagramEvent(std::move(source), std::move(datagram)));
    }

    void CheckInvariants() const
    {
        const DeviceList& devices = window->Devices();
        FUZZ_CHECK(devices.Count() <= DeviceList::MaxRecords);
        FUZZ_CHECK(list->topLevelItemCount() == devices.Count());
        for (int i = 0; i < devices.Count(); ++i) {
            const TTMICListObj& record = *devices.At(i);
            const QTreeWidgetItem& row = *list->topLevelItem(i);
            FUZZ_CHECK(row.text(TFrmMain::ColIP) == record.IP);
            FUZZ_CHECK(row.text(TFrmMain::ColRXID) == QString::number(record.RXID));
            FUZZ_CHECK(row.text(TFrmMain::ColChannel) == QString::number(record.DevIdx));
        }
        FUZZ_CHECK(boxes <= syncs);
    }

    std::unique_ptr<QApplication> app;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TFrmMain> window;
    QTreeWidget* list = nullptr;
    int boxes = 0;
    int syncs = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Never destroyed: the window must not outlive the process-wide objects it uses at exit.
    static Stage& stage = *new Stage;
    stage.Reset();
    for (size_t at = 0; at + 2 <= size;) {
        const uint8_t control = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        stage.Deliver(control, QByteArray(reinterpret_cast<const char*>(data + at + 2), static_cast<qsizetype>(length)));
        at += 2 + length;
    }
    QCoreApplication::sendPostedEvents();
    stage.CheckInvariants();
    return 0;
}
