// The main window's intake, offscreen: datagrams through OnDatagram and serial frames through
// HandleFrame, against a window with three records and two open tiles. Input: records of
// [control][length][bytes]; control bit 0 mends Len and checksum (so that deep branches are
// reached), bit 1 starts a Sync Tx first, bit 2 delivers the bytes as a serial frame, the rest
// picks the sender 127.0.0.x. Invariants: the list keeps its bound, each row shows its record,
// and a sync result opens a box only for a Sync Tx that waits for one.
//
// A first byte of 0xF8 or more picks a mode with an RF window open, the records following it:
// Scan RF or Single Setup with a scan of 1:1 running, the compatibility setup scanning all three,
// or the assignment window in an Assign all. The box answers after running what was posted (as
// its own loop would). Further invariants: never a box inside a box, one finish box per scan,
// ScanBusy clear whenever no scan runs, no point added to a scan that has ended, "Set success!" only for a device whose
// acknowledgement came from its address, and the message list within its bound.
#include "FuzzCheck.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Frame.h"
#include "transport/UDPServer.h"
#include "ui/FormMain.h"
#include "ui/FormMessage.h"
#include "ui/rf/FormMulitSet.h"
#include "ui/rf/FormScanRF.h"
#include "ui/rf/FormSetMuiltFreq.h"
#include "ui/rf/FormSingleSet.h"
#include "ui/rf/ScanProcedure.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

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
        TScanProcedure::StartPauseMs = 0;
        TIdleFreqBase::CommandPauseMs = 0;
        SetMessageBoxHook([this](QWidget*, const QString&, const QString&, int, int) {
            ++boxes;
            FUZZ_CHECK(++openBoxes == 1);
            QCoreApplication::sendPostedEvents();
            --openBoxes;
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
        NoteAnswer(control, bytes);
        if (control & 4) {
            window->HandleFrame(QString(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                static_cast<int>(bytes.size()));
            return;
        }
        auto sender = std::make_unique<SourceBlock>();
        std::snprintf(sender->sourceAddress, sizeof sender->sourceAddress, "127.0.0.%d", control >> 3);
        auto datagram = std::make_unique<DatagramBlock>(static_cast<int32_t>(bytes.size()));
        std::memcpy(datagram->data, bytes.constData(), static_cast<size_t>(bytes.size()));
        window->OnDatagram(DatagramEvent(std::move(sender), std::move(datagram)));
    }

    QString Source(uint8_t control) const { return QStringLiteral("127.0.0.%1").arg(control >> 3); }

    // A channel acknowledgement the window may believe: serial, or from its record's address.
    void NoteAnswer(uint8_t control, const QByteArray& bytes)
    {
        const auto* raw = reinterpret_cast<const uint8_t*>(bytes.constData());
        if (bytes.size() != FrameOverhead + 1 || FrameCmd(raw) != 0x0C
            || !FrameChecksumOk(raw, static_cast<size_t>(bytes.size())))
            return;
        const TTMICListObj* record = FindDevice(window->Devices(), FrameRxid(raw), FrameDevIdx(raw));
        if (record && ((control & 4) || record->IP == Source(control)))
            answered.insert({ record->RXID, record->DevIdx });
    }

    // The windows offer only connected receivers: the three have answered their connect requests.
    void OpenWindow(int mode)
    {
        rfMode = true;
        scanMode = mode % 4 != 3;
        for (const auto& record : window->Devices())
            record->Connected = true;
        auto checkRows = [](QTreeWidget* rows, int count) {
            for (int i = 0; i < count && i < rows->topLevelItemCount(); ++i)
                rows->topLevelItem(i)->setCheckState(0, Qt::Checked);
        };
        switch (mode % 4) {
        case 0:
            scanRF = std::make_unique<TFrmScanRF>(window.get(), window->Devices());
            checkRows(scanRF->lbDevList, 1);
            scanRF->btStart->click();
            break;
        case 1:
            single = std::make_unique<TFrmSingleSet>(window.get(), window->Devices());
            checkRows(single->lbDevList, 1);
            single->btStart->click();
            break;
        case 2:
            multi = std::make_unique<TFrmMulitSet>(window.get(), window->Devices());
            checkRows(multi->lbDevList, 3);
            multi->btStart->click();
            break;
        default:
            source = std::make_unique<QTreeWidget>();
            source->setColumnCount(4);
            for (const auto& [rxid, devIdx] : { std::pair { 1, 1 }, { 1, 2 }, { 2, 1 } }) {
                auto* row = new QTreeWidgetItem(source.get(), { QString::number(rxid), QString::number(devIdx) });
                row->setCheckState(0, Qt::Checked);
            }
            assign = std::make_unique<TFrmSetMuiltFreq>(window.get(), assignDone, std::vector<ScanView> {}, *source,
                window->Devices());
            assign->btAssignAllClick();
            break;
        }
    }

    void CheckWindows() const
    {
        const bool scanning = (scanRF && scanRF->Scan().Running()) || (single && single->Scan().Running()) || multi
            || (assign && assign->Assigning());
        FUZZ_CHECK(scanning || !PublicStruct::Instance().ScanBusy);
        if (!assign)
            return;
        for (int i = 0; i < assign->lbDevList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem& row = *assign->lbDevList->topLevelItem(i);
            if (row.text(TFrmSetMuiltFreq::ColResult) == QStringLiteral("Set success!"))
                FUZZ_CHECK(answered.count({ row.text(0).toInt(), row.text(1).toInt() }) == 1);
        }
    }

    // Once a scan window's scan has ended (what was posted run, as the window's loop would
    // between two datagrams), the points it holds stay as they are.
    void CheckNoLatePoints()
    {
        QCoreApplication::sendPostedEvents();
        const auto check = [](const auto& scanWindow, int& ended) {
            if (!scanWindow || scanWindow->Scan().Running()) {
                ended = -1;
                return;
            }
            if (ended < 0)
                ended = scanWindow->Points().PointCount;
            FUZZ_CHECK(scanWindow->Points().PointCount == ended);
        };
        check(scanRF, scanRFEnded);
        check(single, singleEnded);
    }

    void CloseWindows()
    {
        scanRF.reset();
        single.reset();
        multi.reset();
        assign.reset();
        source.reset();
        answered.clear();
        rfMode = scanMode = false;
        scanRFEnded = singleEnded = -1;
    }

    void CheckInvariants() const
    {
        CheckWindows();
        FUZZ_CHECK(window->findChild<QListWidget*>(QStringLiteral("lbMsg"))->count() <= 5000);
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
        FUZZ_CHECK(rfMode || boxes <= syncs);
        FUZZ_CHECK(!scanMode || boxes <= syncs + 1); // one finish box for the scan or sequence
    }

    std::unique_ptr<QApplication> app;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TFrmMain> window;
    QTreeWidget* list = nullptr;
    std::unique_ptr<TFrmScanRF> scanRF;
    std::unique_ptr<TFrmSingleSet> single;
    std::unique_ptr<TFrmMulitSet> multi;
    std::unique_ptr<QTreeWidget> source;
    std::unique_ptr<TFrmSetMuiltFreq> assign;
    bool assignDone = false;
    std::set<std::pair<int, int>> answered;
    bool rfMode = false;
    bool scanMode = false; // Scan RF, Single Setup or the compatibility setup
    int scanRFEnded = -1; // points held when the scan ended, -1 while it runs
    int singleEnded = -1;
    int openBoxes = 0;
    int boxes = 0;
    int syncs = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Never destroyed: the window must not outlive the process-wide objects it uses at exit.
    static Stage& stage = *new Stage;
    stage.Reset();
    size_t at = 0;
    if (size > 0 && data[0] >= 0xF8) {
        stage.OpenWindow(data[0] & 7);
        at = 1;
    }
    for (; at + 2 <= size;) {
        const uint8_t control = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        stage.Deliver(control, QByteArray(reinterpret_cast<const char*>(data + at + 2), static_cast<qsizetype>(length)));
        if (stage.rfMode)
            stage.CheckNoLatePoints();
        at += 2 + length;
    }
    QCoreApplication::sendPostedEvents();
    stage.CheckInvariants();
    stage.CloseWindows();
    return 0;
}
