// The device property window against a loopback socket in the receiver's place (inside a private
// network namespace), replies through HandleFrame, the main window's Property entry, and the whole
// road through the simulator.
#include "../mainwindow/MainFixture.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "ui/FormDevProperty.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <RxSim.h>

using namespace fixture;

namespace
{

// Channel 7:2 at 127.0.0.9, band 640.000 MHz from channel 4, tuned to 641.000 (channel 8).
StoredRecord Channel(double startFreq = 640.0, int startChannel = 4, int maxChannel = 100, double freq = 641.0)
{
    return { QStringLiteral("127.0.0.9"), 7, 2, QStringLiteral("65"), 0, startChannel, maxChannel, startFreq, freq,
        QStringLiteral("Podium") };
}

QString Pick(const char* chinese, const char* english)
{
    return QString::fromUtf8(PublicStruct::Instance().LanguageIndex == 0 ? chinese : english);
}

struct Bench {
    explicit Bench(const StoredRecord& stored = Channel())
        : dir({ stored })
        , window(MakeWindow())
        , receiver("127.0.0.9", ReceiverPort)
    {
        record().Connected = true;
        record().SQ = 4;
        record().HWVer = QStringLiteral("H3");
        record().SWVer = QStringLiteral("S9");
    }
    TTMICListObj& record() { return *window->Devices().At(0); }
    std::unique_ptr<TFrmDevProperty> Open()
    {
        auto property = std::make_unique<TFrmDevProperty>(window.get(), record());
        property->show();
        return property;
    }
    void Reply(int cmd, int rxid = 7, int devIdx = 2)
    {
        Deliver(*window, Frame(rxid, devIdx, cmd, QByteArray(1, '\x05')), QStringLiteral("127.0.0.9"));
        QCoreApplication::processEvents();
    }
    // "cmd:byte" of each command the receiver got.
    QStringList Received(int waitMs = 400)
    {
        QStringList seen;
        for (const QByteArray& f : receiver.Receive(waitMs))
            seen << QStringLiteral("%1:%2").arg(static_cast<uint8_t>(f[4])).arg(static_cast<uint8_t>(f[6]));
        return seen;
    }
    QString LastShown() const { return boxes.calls.empty() ? QString() : boxes.calls.back().message; }
    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
    FarEnd receiver;
    MessageBoxes boxes;
};

void AddLanguages()
{
    QTest::addColumn<int>("language");
    QTest::newRow("zh") << 0;
    QTest::newRow("en") << 1;
}

} // namespace

class TestProperty : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        PublicStruct::Instance().LanguageIndex = 1;
        QVERIFY2(!FrmDevProperty, "a window left its instance pointer behind");
    }

    void showsTheRecordInBothLanguages_data() { AddLanguages(); }
    void showsTheRecordInBothLanguages()
    {
        QFETCH(int, language);
        Bench bench;
        PublicStruct::Instance().LanguageIndex = language;
        auto property = bench.Open();
        QCOMPARE(FrmDevProperty, property.get());
        const QStringList shown { property->windowTitle(), property->lbName->text(), property->edName->text(),
            property->lbFreq->text(), property->edFreq->text(), property->cbSQ->currentText(),
            property->lbHWVer->text(), property->lbSWVer->text(), property->lbConnect->text(),
            property->lbConnectStatus->text(), property->btSure->text(), property->btCancel->text() };
        QCOMPARE(shown,
            (QStringList { Pick("设备属性信息", "Device Property"), Pick("名称", "Name"), "Podium", Pick("频率", "Frequency"),
                "641.000", "-20dBm", Pick("硬件版本: H3", "HW Version: H3"), Pick("软件版本: S9", "Soft Version: S9"),
                Pick("连接: ", "Connected: "), Pick("是 ", "Yes"), Pick("设置", "Set"), Pick("返回", "Return") }));
        QCOMPARE(property->cbSQ->count(), 9);
        QCOMPARE(property->cbSQ->itemText(8), QStringLiteral("-40dBm"));
        QCOMPARE(property->lbConnectStatus->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(property->btSure->isEnabled() && property->edName->isReadOnly());

        property.reset();
        QVERIFY(!FrmDevProperty);
        bench.record().Connected = false;
        property = bench.Open();
        QCOMPARE(property->lbConnectStatus->text(), Pick("否", "No"));
        QCOMPARE(property->lbConnectStatus->palette().color(QPalette::WindowText), QColor(Qt::red));
        QVERIFY(!property->btSure->isEnabled() && property->btNext->isEnabled());
    }

    void entryRuleOnLeavingTheField_data()
    {
        QTest::addColumn<double>("startFreq");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cut to 250 kHz") << 640.0 << "650.3" << "650.250";
        QTest::newRow("on the grid stays as typed") << 640.0 << "650.25" << "650.25";
        QTest::newRow("whole kHz truncated") << 640.0 << "650.4999" << "650.250";
        QTest::newRow("letters") << 640.0 << "abc" << "640.000";
        QTest::newRow("below the band") << 640.0 << "600" << "640.000";
        QTest::newRow("above the band") << 640.0 << "700" << "665.000";
        // A band whose first channel lies between 250 kHz marks keeps its own channel grid.
        QTest::newRow("off-grid band keeps its channel") << 520.125 << "530.125" << "530.125";
        QTest::newRow("off-grid band cut to its channel") << 520.125 << "530.3" << "530.125";
        QTest::newRow("off-grid band end") << 520.125 << "999" << "545.125";
    }
    void entryRuleOnLeavingTheField()
    {
        QFETCH(double, startFreq);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Bench bench(Channel(startFreq, 0, 100, startFreq));
        auto property = bench.Open();
        QApplication::setActiveWindow(property.get());
        QVERIFY(QTest::qWaitForWindowActive(property.get()));
        for (int pass = 0; pass < 2; ++pass) { // a second exit leaves a ruled value alone
            property->edFreq->setFocus();
            property->edFreq->setText(pass == 0 ? typed : shown);
            property->cbSQ->setFocus();
            QCOMPARE(property->edFreq->text(), shown);
        }
    }

    void stepButtonsStopAtStartFreqAndBandEnd()
    {
        Bench bench(Channel(640.0, 4, 100, 664.75));
        auto property = bench.Open();
        QStringList seen;
        for (auto step : { &TFrmDevProperty::btNextClick, &TFrmDevProperty::btNextClick, &TFrmDevProperty::btProirClick }) {
            (property.get()->*step)();
            seen << property->edFreq->text();
        }
        property->edFreq->setText(QStringLiteral("640.250"));
        property->btProirClick();
        property->btProirClick();
        seen << property->edFreq->text();
        QCOMPARE(seen, (QStringList { "665.000", "665.000", "664.750", "640.000" }));
    }

    // Every outcome of Set, with the commands on the wire: the channel goes out as the absolute
    // channel number, as status reports carry it.
    void setOutcomesInBothLanguages_data() { AddLanguages(); }
    void setOutcomesInBothLanguages()
    {
        QFETCH(int, language);
        Bench bench;
        PublicStruct::Instance().LanguageIndex = language;
        auto property = bench.Open();
        property->btSureClick();
        QCOMPARE(bench.LastShown(), Pick("设置成功!", "Set success!"));
        QCOMPARE(bench.boxes.calls[0].title, QStringLiteral("提示"));
        QVERIFY(bench.boxes.calls[0].flags == 0 && bench.boxes.calls[0].timeout < 0);
        QVERIFY(bench.Received().isEmpty() && !property->Timer1->isActive());

        property->edFreq->setText(QStringLiteral("642.75"));
        QElapsedTimer took;
        took.start();
        property->btSureClick();
        QVERIFY(took.elapsed() >= 400); // a pause before and after the command
        QCOMPARE(bench.Received(), QStringList { "11:15" });
        bench.Reply(CMD_SET_SQ_ACK);         // not asked for
        bench.Reply(CMD_SET_CHANNEL_ACK, 7, 1); // another channel
        bench.Reply(CMD_SET_CHANNEL_ACK, 8, 2);
        QVERIFY(property->Timer1->isActive() && bench.boxes.calls.size() == 1);
        bench.Reply(CMD_SET_CHANNEL_ACK);
        QVERIFY(!property->Timer1->isActive() && bench.boxes.calls.size() == 2);
        QCOMPARE(bench.LastShown(), Pick("设置成功!", "Set success!"));
        QCOMPARE(bench.record().Freq, 641.0); // the record follows the receiver, not the window

        property->edFreq->setText(QStringLiteral("640"));
        property->cbSQ->setCurrentIndex(8);
        property->btSureClick();
        QCOMPARE(bench.Received(), (QStringList { "11:4", "13:8" }));
        bench.Reply(CMD_SET_SQ_ACK);
        QTRY_COMPARE_WITH_TIMEOUT(bench.boxes.calls.size(), size_t(3), 3000);
        QCOMPARE(bench.LastShown(), Pick("设置频率失败!", "Set frequency fail!"));
        bench.Reply(CMD_SET_CHANNEL_ACK); // late, but it still completes the Set
        QCOMPARE(bench.LastShown(), Pick("设置成功!", "Set success!"));
        bench.Reply(CMD_SET_CHANNEL_ACK);
        QCOMPARE(bench.boxes.calls.size(), size_t(4));

        property->edFreq->setText(QStringLiteral("641"));
        property->btSureClick();
        QCOMPARE(bench.Received(), QStringList { "13:8" });
        QCOMPARE(property->Pending(), TFrmDevProperty::PendingSq);
        QTRY_COMPARE_WITH_TIMEOUT(bench.LastShown(), Pick("设置SQ失败!", "Set SQ Fail!"), 3000);

        property->edFreq->setText(QStringLiteral("650"));
        property->btSureClick();
        QTest::qWait(1500);
        QCOMPARE(bench.boxes.calls.size(), size_t(5));
        QTRY_COMPARE_WITH_TIMEOUT(bench.LastShown(), Pick("设置失败!", "Set fail!"), 2000);
    }

    void sqListFollowsTheReportedStep()
    {
        Bench bench;
        bench.record().SQ = -1;
        auto property = bench.Open();
        QCOMPARE(property->cbSQ->currentIndex(), -1);
        property->btSureClick();
        QVERIFY(bench.Received().isEmpty());
        property->cbSQ->setCurrentIndex(6);
        property->btSureClick();
        QCOMPARE(bench.Received(), QStringList { "13:6" });
        property.reset();

        bench.record().SQ = 12;
        property = bench.Open();
        QCOMPARE(property->cbSQ->currentIndex(), 3);
        property->btSureClick();
        QCOMPARE(bench.Received(), QStringList { "13:3" });
    }

    // Set without a change on a band between 250 kHz marks must not move the channel.
    void offGridBandKeepsItsChannel()
    {
        Bench bench(Channel(520.125, 1, 96, 530.125));
        auto property = bench.Open();
        property->btSureClick();
        QVERIFY(bench.Received().isEmpty());
        property->btNextClick();
        property->btSureClick();
        QCOMPARE(bench.Received(), QStringList { "11:42" });
    }

    // A channel number a byte cannot carry is not sent, and is reported as not set.
    void channelBeyondAByteIsReportedAsFailed()
    {
        Bench bench(Channel(640.0, 250, 6, 640.0));
        auto property = bench.Open();
        property->edFreq->setText(QStringLiteral("641.5")); // BandEnd: channel 256
        property->btSureClick();
        QVERIFY(bench.Received().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(bench.LastShown(), QStringLiteral("Set frequency fail!"), 3000);
    }

    void propertyEntryOpensTheSelectedRecordOnly()
    {
        Bench bench;
        QStringList opened;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&] {
            if (auto* property = qobject_cast<TFrmDevProperty*>(QApplication::activeModalWidget())) {
                opened << property->edName->text() + (property->parent() == bench.window.get() ? " owned" : "");
                property->btCancelClick();
            }
        });
        watcher.start(20);
        auto* popup = bench.window->findChild<QMenu*>(QStringLiteral("PopupMenu1"));
        QAction* entry = bench.window->findChild<QAction*>(QStringLiteral("mnProperty"));
        QVERIFY(popup && entry && popup->actions().contains(entry));
        entry->trigger(); // no row selected
        SelectRow(*bench.window, 0);
        entry->trigger();
        QCOMPARE(opened, QStringList { "Podium owned" });

        Row(*bench.window, 0)->setText(TFrmMain::ColRXID, QStringLiteral("8")); // no such record
        entry->trigger();
        bench.record().RXID = 1;
        Row(*bench.window, 0)->setText(TFrmMain::ColRXID, QStringLiteral("x")); // counts as 1
        entry->trigger();
        QCOMPARE(opened.size(), 2);
    }

    // The simulator takes the channel; the next status poll brings it to the main window's row.
    void frequencySetThroughTheSimulatorReachesTheRow()
    {
        REQUIRE_PRIVATE_NETNS();
        testsupport::RxSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.Error()));
        StoredRecord stored = Channel(740.5, 4, 77, 740.5); // receiver 2: 740.5 MHz, channels 4..80
        stored.ip = sim.Receiver(2)->Ip;
        stored.rxid = 2;
        ExeDir dir({ stored });
        auto window = MakeWindow(0, false);
        MessageBoxes boxes;
        window->tbConnectClick();
        TTMICListObj& record = *window->Devices().At(0);
        QTRY_VERIFY_WITH_TIMEOUT(record.Connected && record.SQ >= 0 && record.Freq != 740.5, 5000);

        TFrmDevProperty property(window.get(), record);
        property.show();
        property.edFreq->setText(QStringLiteral("755.25"));
        property.cbSQ->setCurrentIndex((record.SQ + 1) % 9);
        const int wantedSq = property.cbSQ->currentIndex();
        property.btSureClick();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.calls.size(), size_t(1), 3000);
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Set success!"));
        QTRY_COMPARE_WITH_TIMEOUT(Row(*window, 0)->text(TFrmMain::ColFreq), QStringLiteral("755.250"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(record.SQ, wantedSq, 5000);

        // BandEnd lies one channel above the band: the receiver refuses it and the time-out tells.
        property.edFreq->setText(QStringLiteral("999"));
        property.btSureClick();
        QCOMPARE(property.edFreq->text(), QStringLiteral("759.750"));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.calls.size(), size_t(2), 3000);
        QCOMPARE(boxes.calls[1].message, QStringLiteral("Set frequency fail!"));
        QCOMPARE(record.Freq, 755.25);
        QCOMPARE(sim.Stop(), 0);
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestProperty)

#include "PropertyTests.moc"
