// Device search and add window, IP change window and the main window's Add New. Most cases use
// the serial connection type, so the windows' broadcasts go to a pseudo-terminal and are read back
// byte for byte; the UDP case with the receiver simulator runs only inside a private network
// namespace.
#include "MainFixture.h"
#include "RxSim.h"
#include "ui/TTMICObject.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "transport/ClassCom.h"
#include "ui/FormModifyHrIP.h"
#include "ui/FormSearceHR.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <unistd.h>

using namespace fixture;

namespace
{

const QString ReceiverIp = QStringLiteral("127.0.0.5");
constexpr int ReceiverRxid = 7;

// The main window with the serial connection type: every request goes to the pseudo-terminal.
struct SerialBench {
    explicit SerialBench(const QList<StoredRecord>& records = {})
        : dir(records, "ConnectType=1\r\n")
        , window(MakeWindow())
    {
    }
    void Answer(int rxid, int channels, const QByteArray& name = "Lectern", const QString& source = ReceiverIp)
    {
        QByteArray p = "H2S5B" + QByteArray(1, static_cast<char>(channels)) + name.left(12);
        Deliver(*window, Frame(rxid, 1, CMD_SEARCH_REPLY, p.leftJustified(SearchReplyLen, '\0')), source);
    }
    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
};

const QByteArray SearchRequest = Frame(SearchRxid, SearchDevIdx, CMD_SEARCH, QByteArray(1, '\0'));

QByteArray SetIpAck(int rxid)
{
    return Frame(rxid, 1, CMD_SET_IP_ACK, QByteArray(1, '\0'));
}

QStringList Channels(const QTreeWidget& list)
{
    QStringList channels;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        channels << list.topLevelItem(i)->text(TFrmSearceHR::ColChannel);
    return channels;
}

QString RowText(const QTreeWidget& list, int row)
{
    QStringList cells;
    for (int c = 0; c < list.columnCount(); ++c)
        cells << list.topLevelItem(row)->text(c);
    return cells.join(QLatin1Char('|'));
}

int SelectedRow(const QTreeWidget& list)
{
    const QList<QTreeWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.indexOfTopLevelItem(selected.first());
}

void Select(QTreeWidget& list, int row)
{
    list.setCurrentItem(list.topLevelItem(row));
}

void DoubleClickRow(QTreeWidget& list, int row)
{
    // A mouse's double click: a click, then the double-click event.
    const QPoint centre = list.visualItemRect(list.topLevelItem(row)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
}

void Retype(QLineEdit& edit, const QString& text)
{
    edit.clear();
    QTest::keyClicks(&edit, text);
}

void AddLanguageRows()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Chinese") << 0;
    QTest::newRow("English") << 1;
}

QString InLanguage(int language, const char* chinese, const char* english)
{
    return QString::fromUtf8(language == 0 ? chinese : english);
}

// Runs action on the modal window of type Window once it is open (from a timer, inside its
// exec()), then closes the window should action leave it open, so a failing test never hangs.
template <typename Window>
std::shared_ptr<bool> WhenOpen(std::function<void(Window&)> action)
{
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(5000);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (!window && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (!window)
            return;
        *ran = true;
        action(*window);
        if (window->isVisible())
            window->reject();
    });
    timer->start(10);
    return ran;
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void searchOffersEachUnknownChannelOnce()
    {
        SerialBench bench;
        uint8_t result = 7;
        std::vector<SearchDevStruct> managed { { ReceiverIp, ReceiverRxid, 2, {}, {}, {}, {} } };
        TFrmSearceHR search(bench.window.get(), result, managed);
        QCOMPARE(result, uint8_t { 0 });
        QCOMPARE(bench.dir.ReadSerial(1000), SearchRequest);
        bench.Answer(ReceiverRxid, 4);
        QCOMPARE(Channels(*search.lvDev), QStringList({ "1", "3", "4" }));
        QCOMPARE(RowText(*search.lvDev, 0), QStringLiteral("127.0.0.5|7|1|Lectern|H2|S5|B"));

        Select(*search.lvDev, 1);
        search.btAddClick();
        search.btSearceClick(); // both lists stay; only unknown channels come in
        QCOMPARE(bench.dir.ReadSerial(1000), SearchRequest);
        bench.Answer(ReceiverRxid, 4);
        bench.Answer(ReceiverRxid, 4);
        QCOMPARE(Channels(*search.lvDev), QStringList({ "1", "4" }));
        QCOMPARE(Channels(*search.lvAddDev), QStringList({ "3" }));
        bench.Answer(ReceiverRxid, 1, "Lectern", QStringLiteral("127.0.0.6")); // another address
        QCOMPARE(search.lvDev->topLevelItemCount(), 3);
    }

    void movesCarryWholeRowsAndKeepASelection()
    {
        SerialBench bench;
        uint8_t result = 0;
        std::vector<SearchDevStruct> managed;
        TFrmSearceHR search(bench.window.get(), result, managed);
        search.show();
        QVERIFY(QTest::qWaitForWindowExposed(&search));
        bench.Answer(ReceiverRxid, 4);
        QTreeWidget& online = *search.lvDev;
        QTreeWidget& chosen = *search.lvAddDev;

        online.clearSelection();
        search.btAddClick();
        QCOMPARE(chosen.topLevelItemCount(), 0);
        Select(online, 1);
        search.btAddClick();
        QCOMPARE(RowText(chosen, 0), QStringLiteral("127.0.0.5|7|2|Lectern|H2|S5|B"));
        QCOMPARE(SelectedRow(online), 1); // the row that took its place
        Select(online, 2);
        search.btAddClick();
        QCOMPARE(SelectedRow(online), 1); // the new last row
        DoubleClickRow(online, 0);
        DoubleClickRow(chosen, 1);
        QCOMPARE(Channels(online), QStringList({ "3", "4" }));
        QCOMPARE(Channels(chosen), QStringList({ "2", "1" }));

        search.btAddAllClick();
        QCOMPARE(Channels(chosen), QStringList({ "2", "1", "3", "4" }));
        Select(chosen, 3);
        search.btDelClick();
        QCOMPARE(SelectedRow(chosen), 2);
        search.btDelAllClick();
        QCOMPARE(Channels(online), QStringList({ "4", "2", "1", "3" }));
        QCOMPARE(chosen.topLevelItemCount(), 0);
        Select(chosen, 0);
        search.btDelClick(); // an empty list has nothing to move
        Select(online, 3);
        for (int i = 0; i < 4; ++i)
            search.btAddClick();
        QCOMPARE(SelectedRow(online), -1);
        QCOMPARE(Channels(chosen), QStringList({ "3", "1", "2", "4" }));
    }

    void confirmHandsBackTheAddListCancelNothing()
    {
        SerialBench bench;
        uint8_t result = 0;
        std::vector<SearchDevStruct> channels { { ReceiverIp, 99, 1, {}, {}, {}, {} } };
        {
            TFrmSearceHR search(bench.window.get(), result, channels);
            QCOMPARE(FrmSearceHR, &search);
            search.btClose->click();
        }
        QCOMPARE(FrmSearceHR, nullptr);
        QCOMPARE(result, uint8_t { 0 });
        QCOMPARE(channels.size(), size_t { 1 });
        {
            TFrmSearceHR search(bench.window.get(), result, channels);
            search.btSure->click();
        }
        QCOMPARE(result, uint8_t { 1 });
        QVERIFY(channels.empty());

        TFrmSearceHR search(bench.window.get(), result, channels);
        bench.Answer(ReceiverRxid, 3, "Stage");
        Select(*search.lvDev, 2);
        search.btAddClick();
        Select(*search.lvDev, 0);
        search.btAddClick();
        search.btSure->click();
        QCOMPARE(result, uint8_t { 1 });
        QCOMPARE(channels.size(), size_t { 2 });
        const SearchDevStruct& first = channels[0];
        QCOMPARE(QStringList({ first.IP, QString::number(first.RXID), QString::number(first.Channel), first.Name,
                     first.HWVer, first.SWVer, first.Band }),
            QStringList({ "127.0.0.5", "7", "3", "Stage", "H2", "S5", "B" }));
        QCOMPARE(channels[1].Channel, 1);
    }

    void addNewCreatesOneRecordPerChosenChannelAndSavesOnce()
    {
        StoredRecord stored;
        stored.ip = ReceiverIp;
        stored.rxid = ReceiverRxid;
        stored.devIdx = 2;
        SerialBench bench({ stored });
        SaveCounter saves(bench.dir.Path());
        for (const bool confirm : { true, false }) { // nothing chosen: nothing added, nothing saved
            auto ran = WhenOpen<TFrmSearceHR>([&](TFrmSearceHR& search) {
                bench.Answer(ReceiverRxid, 2);
                confirm ? search.btSureClick() : search.btCloseClick();
            });
            bench.window->tbAddHRClick();
            QVERIFY(*ran);
        }
        QCOMPARE(bench.window->Devices().Count(), 1);
        QCOMPARE(saves.Saves(), 0);

        QStringList offered;
        auto ran = WhenOpen<TFrmSearceHR>([&](TFrmSearceHR& search) {
            bench.Answer(ReceiverRxid, 4);
            offered = Channels(*search.lvDev);
            search.btAddAllClick();
            search.btSureClick();
        });
        bench.window->tbAddHRClick();
        QVERIFY(*ran);
        QCOMPARE(FrmSearceHR, nullptr);
        QCOMPARE(offered, QStringList({ "1", "3", "4" })); // the managed channel 2 is not offered
        QCOMPARE(bench.window->Devices().Count(), 4);
        const int added[] = { 1, 3, 4 };
        for (int i = 1; i < 4; ++i) {
            const TTMICListObj& record = *bench.window->Devices().At(i);
            QCOMPARE(QStringList({ record.IP, QString::number(record.RXID), QString::number(record.DevIdx),
                         record.HWVer, record.SWVer, record.Band, record.Name, QString::number(record.Channel) }),
                QStringList({ "127.0.0.5", "7", QString::number(added[i - 1]), "H2", "S5", "B", "QX-500", "0" }));
            QCOMPARE(record.Freq, 640.0);
            QCOMPARE(Row(*bench.window, i)->text(TFrmMain::ColFreq), QStringLiteral("640"));
            QCOMPARE(Row(*bench.window, i)->text(TFrmMain::ColName), QStringLiteral("QX-500"));
        }
        QCOMPARE(saves.Saves(), 1);
        QCOMPARE(bench.dir.HistoryValue(QStringLiteral("DevCnt")), QStringLiteral("4"));
        QCOMPARE(bench.dir.HistoryValue(QStringLiteral("DevIdx3")), QStringLiteral("4"));
    }

    void addNewNamesTheChannelsTheListHasNoRoomFor_data() { AddLanguageRows(); }
    void addNewNamesTheChannelsTheListHasNoRoomFor()
    {
        QFETCH(int, language);
        SerialBench bench;
        PublicStruct::Instance().LanguageIndex = language;
        DeviceList& devices = bench.window->Devices();
        while (devices.Count() < DeviceList::MaxRecords - 2)
            devices.Append(std::make_unique<TTMICListObj>());
        MessageBoxes boxes;
        auto ran = WhenOpen<TFrmSearceHR>([&](TFrmSearceHR& search) {
            bench.Answer(ReceiverRxid, 12);
            search.btAddAllClick();
            search.btSureClick();
        });
        bench.window->tbAddHRClick();
        QVERIFY(*ran);
        QCOMPARE(devices.Count(), DeviceList::MaxRecords);
        QCOMPARE(devices.At(DeviceList::MaxRecords - 1)->DevIdx, 2);
        QString expected = InLanguage(language, "设备列表已满(最多1024个通道), 以下通道未添加:",
            "The device list is full (at most 1024 channels); these channels were not added:");
        for (int channel = 3; channel <= 10; ++channel)
            expected += QStringLiteral("\n127.0.0.5 [7:%1]").arg(channel);
        expected += InLanguage(language, "\n以及另外2个通道", "\nand 2 more channels");
        QCOMPARE(boxes.calls.size(), size_t { 1 });
        QCOMPARE(boxes.calls[0].message, expected);
        QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
    }

    void modifyIpNeedsAnOnlineRow_data() { AddLanguageRows(); }
    void modifyIpNeedsAnOnlineRow()
    {
        QFETCH(int, language);
        SerialBench bench;
        PublicStruct::Instance().LanguageIndex = language;
        MessageBoxes boxes;
        uint8_t result = 0;
        std::vector<SearchDevStruct> managed;
        TFrmSearceHR search(bench.window.get(), result, managed);
        QCOMPARE(search.windowTitle(), InLanguage(language, "添加设备", "Add Device"));
        bench.Answer(ReceiverRxid, 1);
        search.btAddAllClick();
        Select(*search.lvAddDev, 0); // a row of the add list cannot be used
        search.btModifyIPClick();
        QCOMPARE(boxes.calls.size(), size_t { 1 });
        QCOMPARE(boxes.calls[0].message, InLanguage(language, "请选择一个设备!", "Please select a device!"));
        QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
    }

    void gatewayTakesTheNetworkPartOfTheAddress()
    {
        SerialBench bench;
        uint8_t changed = 5;
        TFrmModifyHrIP modify(bench.window.get(), changed, QStringLiteral("192.168.1.20"), 3);
        QCOMPARE(changed, uint8_t { 0 });
        QCOMPARE(modify.edGateway->text(), QStringLiteral("192.168.1.1"));
        Retype(*modify.edDevIP, QStringLiteral("10.0.0.5"));
        QCOMPARE(modify.edGateway->text(), QStringLiteral("10.0.0.1"));
        modify.cbMask->setCurrentIndex(2); // 255.0.0.0: the gateway waits for the address to change
        QCOMPARE(modify.edGateway->text(), QStringLiteral("10.0.0.1"));
        Retype(*modify.edDevIP, QStringLiteral("172.16.5.9"));
        QCOMPARE(modify.edGateway->text(), QStringLiteral("172.0.0.1"));

        modify.cbMask->setCurrentIndex(0);
        modify.edGateway->setText(QStringLiteral("no gateway")); // counts as 255.255.255.255
        modify.edDevIP->setText(QStringLiteral("192.168.7.20"));
        QCOMPARE(modify.edGateway->text(), QStringLiteral("192.168.7.255"));
        modify.edGateway->setText(QStringLiteral("1.2.3.4"));
        modify.edDevIP->setText(QStringLiteral("255.255.255.255")); // valid
        QCOMPARE(modify.edGateway->text(), QStringLiteral("255.255.255.4"));
        modify.edDevIP->setText(QStringLiteral("192.168.1")); // not valid: no change
        QCOMPARE(modify.edGateway->text(), QStringLiteral("255.255.255.4"));
    }

    void setRefusesBadEntriesAndSendsTheChange_data() { AddLanguageRows(); }
    void setRefusesBadEntriesAndSendsTheChange()
    {
        QFETCH(int, language);
        SerialBench bench;
        PublicStruct::Instance().LanguageIndex = language;
        MessageBoxes boxes;
        uint8_t changed = 0;
        TFrmModifyHrIP modify(bench.window.get(), changed, QStringLiteral("192.168.1.20"), 3);
        QCOMPARE(modify.windowTitle(), InLanguage(language, "修改设备IP", "Modify IP"));
        const QString incorrect = InLanguage(language, "IP地址不正确!", "The IP address is incorrect!");
        const QString segment = InLanguage(language, "网关与IP地址不在同一个网段!",
            "The gateway and IP address are not in the same network segment!");
        const std::pair<const char*, QString> refused[] = {
            { "192.168.1 192.168.1.1", incorrect },
            // Addresses the receiver could not be reached at afterwards.
            { "255.255.255.255 255.255.255.1", incorrect },
            { "0.1.2.3 0.1.2.1", incorrect },
            { "224.0.0.7 224.0.0.1", incorrect },
            { "192.168.1.0 192.168.1.1", incorrect },
            { "192.168.1.255 192.168.1.1", incorrect },
            { "192.168.1.20 192.168.2.1", segment },
            { "192.168.1.20 gateway", segment },
        };
        for (const auto& [entries, message] : refused) {
            const QStringList addressAndGateway = QString::fromLatin1(entries).split(QLatin1Char(' '));
            modify.edDevIP->setText(addressAndGateway[0]);
            modify.edGateway->setText(addressAndGateway[1]);
            boxes.calls.clear();
            modify.btSure->click();
            QVERIFY2(boxes.calls.size() == 1 && boxes.calls[0].message == message, entries);
            QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
        }
        QCOMPARE(bench.dir.ReadSerial(200), QByteArray());

        modify.cbMask->setCurrentIndex(1); // 255.255.0.0 takes 192.168.2.1 into the segment
        modify.edGateway->setText(QStringLiteral("192.168.2.1"));
        boxes.calls.clear();
        modify.btSure->click();
        QVERIFY(boxes.calls.empty());
        const char address[] = { char(192), char(168), 1, 20, char(255), char(255), 0, 0, char(192), char(168), 2, 1 };
        QCOMPARE(bench.dir.ReadSerial(1000), Frame(3, 1, CMD_SET_IP, QByteArray(address, sizeof address)));
        QCOMPARE(changed, uint8_t { 0 });

        cnComm::Instance().Close(); // a change that cannot leave is not waited for in silence
        modify.btSure->click();
        QCOMPARE(boxes.calls.size(), size_t { 1 });
        QCOMPARE(boxes.calls[0].message, InLanguage(language, "请求未能发出: 串口未打开!",
            "The request could not be sent: the serial port is not open!"));
    }

    void onlyTheAddressedReceiversConfirmationCounts_data() { AddLanguageRows(); }
    void onlyTheAddressedReceiversConfirmationCounts()
    {
        QFETCH(int, language);
        SerialBench bench;
        PublicStruct::Instance().LanguageIndex = language;
        MessageBoxes boxes;
        uint8_t changed = 0;
        TFrmModifyHrIP modify(bench.window.get(), changed, QStringLiteral("127.0.0.4"), 3);
        QCOMPARE(FrmModifyHrIP, &modify);
        modify.show();
        Deliver(*bench.window, SetIpAck(4));
        QVERIFY(boxes.calls.empty());
        QVERIFY(modify.isVisible());
        Deliver(*bench.window, SetIpAck(3));
        QCOMPARE(changed, uint8_t { 1 });
        QCOMPARE(modify.result(), int(QDialog::Accepted));
        QVERIFY(!modify.isVisible());
        Deliver(*bench.window, SetIpAck(3)); // a late repeat shows nothing more
        QCOMPARE(boxes.calls.size(), size_t { 1 });
        QCOMPARE(boxes.calls[0].message, InLanguage(language, "设置成功!", "Set successfully!"));
        QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
    }

    // With the simulator over UDP: the search lists its receivers, an IP change moves one, and the
    // fresh search lists it, to be added, at its new address.
    // From an empty device list to a live tile with nothing but the windows.
    void movedReceiverReappearsAtItsNewAddressAndConnects()
    {
        REQUIRE_PRIVATE_NETNS();
        testsupport::RxSim sim;
        QVERIFY2(sim.Start({ "--hexlog" }), qPrintable(sim.Error()));
        ExeDir dir;
        auto window = MakeWindow(LocalUdpPort, false);
        MessageBoxes boxes;
        int everyChannel = 0;
        for (const testsupport::RxSimReceiver& receiver : sim.Receivers())
            everyChannel += receiver.Channels;
        const auto listsAll = [&](TFrmSearceHR& search) {
            return QTest::qWaitFor([&] { return search.lvDev->topLevelItemCount() == everyChannel; }, 3000);
        };

        bool emptiedByTheChange = false;
        QStringList movedRows;
        auto ran = WhenOpen<TFrmSearceHR>([&](TFrmSearceHR& search) {
            if (!listsAll(search))
                return;
            const QList<QTreeWidgetItem*> rx3 = search.lvDev->findItems("3", Qt::MatchExactly, TFrmSearceHR::ColRXID);
            search.lvDev->setCurrentItem(rx3.value(1));
            search.btAddClick();
            search.lvDev->setCurrentItem(rx3.value(0));
            WhenOpen<TFrmModifyHrIP>([&](TFrmModifyHrIP& modify) {
                modify.cbMask->setCurrentIndex(2);
                Retype(*modify.edDevIP, QStringLiteral("127.0.0.9"));
                modify.btSure->click();
                QVERIFY(QTest::qWaitFor([&] { return !modify.isVisible(); }, 3000));
            });
            search.btModifyIPClick();
            emptiedByTheChange = search.lvDev->topLevelItemCount() == 0 && search.lvAddDev->topLevelItemCount() == 0;
            if (!listsAll(search))
                return;
            for (QTreeWidgetItem* row : search.lvDev->findItems("3", Qt::MatchExactly, TFrmSearceHR::ColRXID)) {
                movedRows << row->text(TFrmSearceHR::ColIP) + QLatin1Char(':') + row->text(TFrmSearceHR::ColChannel);
                search.lvDev->setCurrentItem(row);
                search.btAddClick();
            }
            search.btSureClick();
        });
        window->tbAddHRClick();
        QVERIFY(*ran);
        QVERIFY(sim.WaitForLine(QRegularExpression("^RX udp .* C8 03 01 C9 13 0C 7F 00 00 09 FF 00 "
                                                   "00 00 7F 00 00 01 "),
            2000));
        QVERIFY(sim.WaitForLine(QRegularExpression("^MOVED rxid=3 ip=127\\.0\\.0\\.9 "), 2000));
        QCOMPARE(boxes.calls.size(), size_t { 1 });
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Set successfully!"));
        QVERIFY(emptiedByTheChange);
        QCOMPARE(movedRows, QStringList({ "127.0.0.9:1", "127.0.0.9:2" }));
        QCOMPARE(window->Devices().Count(), 2);
        QCOMPARE(window->Devices().At(0)->IP, QStringLiteral("127.0.0.9"));

        window->tbConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(window->Devices().At(0)->Connected && window->Devices().At(1)->Connected, 5000);
        QVERIFY(RowValue(*window, 0) != 0 && RowValue(*window, 1) != 0);
        SelectRow(*window, 1);
        window->lbDevListDblClick();
        QCOMPARE(window->Tiles().size(), size_t { 1 });
        QTRY_VERIFY_WITH_TIMEOUT(window->Tiles().back()->BatterySymbol() >= 1, 5000);
        QCOMPARE(sim.Stop(), 0);
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestDiscovery)
#include "DiscoveryTests.moc"
