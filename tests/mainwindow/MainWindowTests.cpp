// The main window's controls, commands, tiles, language switch and view toggles, on an
// ephemeral UDP port, with the serial line on a pseudo-terminal.
#include "MainFixture.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "ui/TTMICObject.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

using namespace fixture;

namespace
{

QList<StoredRecord> Records(int count)
{
    QList<StoredRecord> records;
    for (int i = 0; i < count; ++i) {
        StoredRecord r;
        r.rxid = i + 1;
        r.name = QStringLiteral("MIC%1").arg(i + 1);
        r.freq = 640.0 + 0.25 * i;
        records << r;
    }
    return records;
}

QAction* Action(TFrmMain& window, const char* name)
{
    return window.findChild<QAction*>(QString::fromLatin1(name));
}

QString TileText(const TTMICObject& tile, const char* label)
{
    return tile.findChild<QLabel*>(QString::fromLatin1(label))->text();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { UseRealClock(); }

    void startUpBuildsTheWindowAndLoadsTheList()
    {
        QList<StoredRecord> records = Records(2);
        records[1].freq = 641.5;
        ExeDir dir(records);
        auto window = MakeWindow();

        QCOMPARE(window->size(), QSize(1216, 866));
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvane Tessaro - V1.0.0.1"));
        for (const char* name : { "ToolBar1", "Image1", "Panel2", "lbDevList", "SpeedButton1", "Splitter1", "Panel3",
                 "lbMsg", "btDetailsClose", "ScrollBox1", "StatusBar1", "MainMenu1", "PopupMenu1" })
            QVERIFY2(window->findChild<QWidget*>(QString::fromLatin1(name)), name);

        QTreeWidget* list = DevList(*window);
        QCOMPARE(list->columnCount(), 6);
        const int widths[] = { 100, 70, 60, 90, 100, 50 };
        for (int c = 0; c < 6; ++c)
            QCOMPARE(list->columnWidth(c), widths[c]);
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("RXID"));
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);

        // Rows in list order, the frequency in three decimals.
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(Row(*window, 1)->text(0), QStringLiteral("127.0.0.2"));
        QCOMPARE(Row(*window, 1)->text(1), QStringLiteral("2"));
        QCOMPARE(Row(*window, 1)->text(3), QStringLiteral("641.500"));
        QCOMPARE(Row(*window, 1)->text(4), QStringLiteral("MIC2"));
        QCOMPARE(window->Devices().Count(), 2);

        // Menu items: hidden ones stay hidden, the four view items start checked, English ticked.
        for (const char* hidden : { "mnInitialization", "mnOpen", "mnSave", "mnSimpleChinese" })
            QVERIFY2(!Action(*window, hidden)->isVisible(), hidden);
        for (const char* checked : { "mnTools", "mnStatus", "mnDetails", "mnDeviceManage", "mnEnglish" })
            QVERIFY2(Action(*window, checked)->isChecked(), checked);
        QVERIFY(!Action(*window, "mnSimpleChinese")->isChecked());
        QCOMPARE(Action(*window, "mnEnglish")->text(), QStringLiteral("&English"));

        // Eight tool buttons with their icons and captions under them.
        auto* toolBar = window->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        QCOMPARE(toolBar->iconSize(), QSize(65, 65));
        for (const char* name : { "tbAddHR", "tbConnect", "tbDisConnect", "tbRFHistory", "tbScanRF", "tbSingleSet",
                 "tbCompSetup", "tbAbout" }) {
            auto* button = window->findChild<QToolButton*>(QString::fromLatin1(name));
            QVERIFY2(button, name);
            QCOMPARE(button->size(), QSize(77, 86));
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QVERIFY2(!Action(*window, name)->icon().isNull(), name);
        }

        // The serial port opened on the pseudo-terminal behind COM1.
        QCOMPARE(window->StatusPanelText(TFrmMain::SerialPanel), QStringLiteral("Open port 1 success"));
        QCOMPARE(window->StatusPanelText(0), QString());
    }

    void serialPortThatCannotOpenIsShownNotFatal()
    {
        {
            // On the LAN the serial port is opened all the same; not opening it is no alarm.
            ExeDir dir({}, "UartPort=999\r\n");
            auto window = MakeWindow();
            QCOMPARE(window->StatusPanelText(TFrmMain::SerialPanel),
                QStringLiteral("Serial port 999 not opened (LAN in use)"));
            QCOMPARE(window->Devices().Count(), 0);
        }
        ExeDir dir({}, "ConnectType=1\r\nUartPort=999\r\n");
        auto window = MakeWindow();
        QCOMPARE(window->StatusPanelText(TFrmMain::SerialPanel), QStringLiteral("Open port 999 fail"));
    }

    void connectSetsDueTimesAndDisconnectClearsRows()
    {
        ExeDir dir(Records(3));
        UseFakeClock(50000);
        auto window = MakeWindow();
        window->AddMessage(QStringLiteral("old line"));
        window->Devices().At(1)->ConnectDeadline = 777;

        Action(*window, "tbConnect")->trigger();
        QVERIFY(Messages(*window).isEmpty());
        QCOMPARE(window->Devices().At(0)->ConnectDue, 50200u);
        QCOMPARE(window->Devices().At(1)->ConnectDue, 50400u);
        QCOMPARE(window->Devices().At(2)->ConnectDue, 50600u);
        QCOMPARE(window->Devices().At(1)->ConnectDeadline, 777u);

        // The Devices menu's Connect is the same command; a due time landing on 0 is kept pending.
        SetNow(0xFFFFFF38);
        Action(*window, "mnConnect")->trigger();
        QCOMPARE(window->Devices().At(0)->ConnectDue, 1u);
        QCOMPARE(window->Devices().At(1)->ConnectDue, 200u);

        // Connected rows are red until Disconnect.
        for (int i = 0; i < 3; ++i)
            window->Devices().At(i)->ConnectDeadline = 1;
        Deliver(*window, Frame(1, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "ONE")));
        Deliver(*window, Frame(3, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "THREE")));
        QCOMPARE(RowValue(*window, 0), 1);
        QCOMPARE(RowValue(*window, 1), 0);
        QCOMPARE(DrawnTextColour(*window, 0), QColor(255, 0, 0));
        QVERIFY(DrawnTextColour(*window, 1) != QColor(255, 0, 0));

        Action(*window, "tbDisConnect")->trigger();
        for (int i = 0; i < 3; ++i) {
            const TTMICListObj& r = *window->Devices().At(i);
            QVERIFY(!r.Connected);
            QCOMPARE(r.ConnectDue, 0u);
            QCOMPARE(r.ConnectDeadline, 0u);
            QCOMPARE(RowValue(*window, i), 0);
            QVERIFY(DrawnTextColour(*window, i) != QColor(255, 0, 0));
        }
    }

    void removeAsksAndRemovesRowRecordTileAndSaves()
    {
        ExeDir dir(Records(3));
        auto window = MakeWindow();
        MessageBoxes boxes;

        // Nothing selected: no question.
        DevList(*window)->clearSelection();
        window->mnDelDeviceClick();
        QVERIFY(boxes.calls.empty());

        SelectRow(*window, 1);
        window->lbDevListDblClick();
        QVERIFY(window->FindTile(2, 1));
        const QByteArray before = dir.ConfigText();

        boxes.answers = { 2 };
        Action(*window, "mnDelDevice")->trigger();
        QCOMPARE(boxes.calls.size(), size_t(1));
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Are you sure remove device?"));
        QCOMPARE(boxes.calls[0].title, QStringLiteral("Delete confirmation"));
        QCOMPARE(boxes.calls[0].flags, 0x21);
        QCOMPARE(boxes.calls[0].timeout, -1);
        QCOMPARE(DevList(*window)->topLevelItemCount(), 3);
        QCOMPARE(window->Devices().Count(), 3);
        QVERIFY(window->FindTile(2, 1));
        QCOMPARE(dir.ConfigText(), before);

        boxes.answers = { 1 };
        window->mnDelDeviceClick();
        QCOMPARE(DevList(*window)->topLevelItemCount(), 2);
        QCOMPARE(Row(*window, 1)->text(1), QStringLiteral("3"));
        QVERIFY(Row(*window, 1)->isSelected());
        QVERIFY(!FindDevice(window->Devices(), 2, 1));
        QVERIFY(!window->FindTile(2, 1));
        QVERIFY(!window->TileSlotTaken(0));
        QVERIFY(!window->findChild<TTMICObject*>(QStringLiteral("MICObject2_1")));
        QCOMPARE(dir.HistoryValue("DevCnt"), QStringLiteral("2"));
        QCOMPARE(dir.HistoryValue("RXID1"), QStringLiteral("3"));

        // The last row: the one before it is selected; the only row: nothing is.
        window->mnDelDeviceClick();
        QCOMPARE(DevList(*window)->topLevelItemCount(), 1);
        QVERIFY(Row(*window, 0)->isSelected());
        window->mnDelDeviceClick();
        QCOMPARE(DevList(*window)->topLevelItemCount(), 0);
        QVERIFY(DevList(*window)->selectedItems().isEmpty());
        QCOMPARE(window->Devices().Count(), 0);
        QCOMPARE(dir.HistoryValue("DevCnt"), QStringLiteral("0"));
    }

    void removeOfADuplicatePairTakesTheFirstRecord()
    {
        QList<StoredRecord> records = Records(2);
        records[1].rxid = 1;
        records[1].ip = QStringLiteral("127.0.0.9");
        ExeDir dir(records);
        auto window = MakeWindow();
        MessageBoxes boxes;
        SelectRow(*window, 1);
        window->mnDelDeviceClick();
        QCOMPARE(window->Devices().Count(), 1);
        QCOMPARE(window->Devices().At(0)->IP, QStringLiteral("127.0.0.9"));
        QCOMPARE(Row(*window, 0)->text(0), QStringLiteral("127.0.0.2"));
    }

    void doubleClickOpensOneTilePerChannelInTheLowestFreeSlot()
    {
        QList<StoredRecord> records = Records(3);
        records[0].band = QStringLiteral("7");
        records[0].channel = 12;
        ExeDir dir(records);
        auto window = MakeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        DevList(*window)->clearSelection();
        window->lbDevListDblClick();
        QVERIFY(window->Tiles().empty());

        SelectRow(*window, 0);
        window->lbDevListDblClick();
        QCOMPARE(window->Tiles().size(), size_t(1));
        const TTMICObject& first = *window->Tiles()[0];
        QCOMPARE(first.objectName(), QStringLiteral("MICObject1_1"));
        QCOMPARE(first.Slot(), 0);
        QCOMPARE(first.pos(), QPoint(5, 5));
        QCOMPARE(first.parentWidget(), window->findChild<QScrollArea*>(QStringLiteral("ScrollBox1"))->widget());
        QCOMPARE(TileText(first, "lbTitle"), QStringLiteral("1-1: MIC1"));
        QCOMPARE(TileText(first, "lbBand"), QStringLiteral("Band 7"));
        QCOMPARE(TileText(first, "lbFreq"), QStringLiteral("640.000M"));
        QCOMPARE(TileText(first, "lbCH"), QStringLiteral("CH   12"));

        window->lbDevListDblClick();
        QCOMPARE(window->Tiles().size(), size_t(1));

        SelectRow(*window, 1);
        window->lbDevListDblClick();
        QCOMPARE(window->Tiles()[1]->Slot(), 1);
        QCOMPARE(window->Tiles()[1]->pos(), TTMICObject::CellPosition(1, window->TileColumns()));

        // The tile's own close button frees its slot; the next tile takes it.
        QTest::mouseClick(window->Tiles()[0]->findChild<QWidget*>(QStringLiteral("btClose")), Qt::LeftButton);
        QTRY_COMPARE(window->Tiles().size(), size_t(1));
        QVERIFY(!window->FindTile(1, 1));
        QVERIFY(!window->TileSlotTaken(0));
        SelectRow(*window, 2);
        window->lbDevListDblClick();
        QCOMPARE(window->FindTile(3, 1)->Slot(), 0);
        QCOMPARE(window->FindTile(3, 1)->pos(), QPoint(5, 5));

        // A row without a record still gets a tile with the default name; unreadable RXID counts as 0.
        window->Devices().RemoveFirst(1, 1);
        Row(*window, 0)->setText(1, QStringLiteral("x"));
        SelectRow(*window, 0);
        window->lbDevListDblClick();
        QVERIFY(window->FindTile(0, 1));
        QCOMPARE(TileText(*window->FindTile(0, 1), "lbTitle"), QStringLiteral("0-1: QX-500"));
    }

    void sixtyFourTilesAtMost()
    {
        QList<StoredRecord> records = Records(65);
        ExeDir dir(records);
        auto window = MakeWindow();
        for (int i = 0; i < 65; ++i) {
            SelectRow(*window, i);
            window->lbDevListDblClick();
        }
        QCOMPARE(window->Tiles().size(), size_t(TFrmMain::TileSlotCount));
        QVERIFY(!window->FindTile(65, 1));
        QVERIFY(window->FindTile(64, 1));
        QCOMPARE(window->FindTile(64, 1)->Slot(), 63);

        // Closing one through the window's message frees exactly that slot.
        QCoreApplication::sendEvent(window.get(), new MessageEvent(MSG_NOTIFY, 1, PackChannel(10, 1)));
        QVERIFY(!window->FindTile(10, 1));
        QVERIFY(!window->TileSlotTaken(9));
        SelectRow(*window, 64);
        window->lbDevListDblClick();
        QCOMPARE(window->FindTile(65, 1)->Slot(), 9);
    }

    void tileAreaReLaysOutWhenTheColumnCountChanges()
    {
        ExeDir dir(Records(6));
        auto window = MakeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* area = window->findChild<QScrollArea*>(QStringLiteral("ScrollBox1"));
        const int leftOfArea = window->width() - area->width();

        window->resize(leftOfArea + 700, window->height());
        QTRY_COMPARE(area->width(), 700);
        QCOMPARE(window->TileColumns(), 4);
        for (int i = 0; i < 5; ++i) {
            SelectRow(*window, i);
            window->lbDevListDblClick();
        }
        QCOMPARE(window->FindTile(4, 1)->pos(), QPoint(425, 5));
        QCOMPARE(window->FindTile(5, 1)->pos(), QPoint(5, 162));

        // A tile dragged away stays where it is while the column count holds.
        window->FindTile(1, 1)->move(300, 300);
        window->resize(leftOfArea + 704, window->height());
        QTRY_COMPARE(area->width(), 704);
        QCOMPARE(window->TileColumns(), 4);
        QCOMPARE(window->FindTile(1, 1)->pos(), QPoint(300, 300));

        window->resize(leftOfArea + 705, window->height());
        QTRY_COMPARE(window->TileColumns(), 5);
        QCOMPARE(window->FindTile(1, 1)->pos(), QPoint(5, 5));
        QCOMPARE(window->FindTile(5, 1)->pos(), QPoint(565, 5));

        // Narrower than one cell: one column all the same.
        window->setMinimumWidth(0);
        area->setMinimumWidth(0);
        window->resize(leftOfArea + 100, window->height());
        QTRY_COMPARE(window->TileColumns(), 1);
        QCOMPARE(window->FindTile(2, 1)->pos(), QPoint(5, 162));
        // The scrolled area reaches past the lowest tile.
        QVERIFY(area->widget()->height() >= 4 * 157 + 152);
    }

    void languageSwitchReappliesTextsAndStoresTheChoice()
    {
        ExeDir dir(Records(1));
        auto window = MakeWindow();
        SelectRow(*window, 0);
        window->lbDevListDblClick();
        const TTMICObject& tile = *window->Tiles()[0];

        window->mnSimpleChineseClick();
        QCOMPARE(PublicStruct::Instance().LanguageIndex, 0);
        QVERIFY(window->windowTitle().startsWith(QStringLiteral("无线麦克风管理软件 - V")));
        QCOMPARE(Action(*window, "tbConnect")->text(), QStringLiteral("连接(&C)"));
        QCOMPARE(Action(*window, "mnDelDevice")->text(), QStringLiteral("删除设备"));
        QCOMPARE(Action(*window, "mnSystem")->text(), QStringLiteral("系统(&S)"));
        QCOMPARE(DevList(*window)->headerItem()->text(3), QStringLiteral("频率"));
        QCOMPARE(tile.findChild<QPushButton*>(QStringLiteral("btSet"))->text(), QStringLiteral("对频"));
        QVERIFY(Action(*window, "mnSimpleChinese")->isChecked());
        QVERIFY(!Action(*window, "mnEnglish")->isChecked());
        QVERIFY(dir.ConfigText().contains("Language=0"));
        QCOMPARE(Action(*window, "mnEnglish")->text(), QStringLiteral("&English"));

        Action(*window, "mnEnglish")->trigger();
        QCOMPARE(PublicStruct::Instance().LanguageIndex, 1);
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvane Tessaro - V1.0.0.1"));
        QCOMPARE(Action(*window, "tbConnect")->text(), QStringLiteral("&Connect"));
        QCOMPARE(Action(*window, "mnCompSetup")->text(), QStringLiteral("Co&mpatibility Setup"));
        QCOMPARE(Action(*window, "tbCompSetup")->text(), QStringLiteral("Compatible"));
        QCOMPARE(DevList(*window)->headerItem()->text(2), QStringLiteral("Channel"));
        QCOMPARE(tile.findChild<QPushButton*>(QStringLiteral("btSet"))->text(), QStringLiteral("Sync Tx"));
        QVERIFY(Action(*window, "mnEnglish")->isChecked());
        QVERIFY(!Action(*window, "mnSimpleChinese")->isChecked());
        QVERIFY(dir.ConfigText().contains("Language=1"));
        QVERIFY(!dir.ConfigText().contains("Language=0"));
        QCOMPARE(dir.HistoryValue("DevCnt"), QStringLiteral("1"));
    }

    void viewTogglesShowAndHideTheirAreas()
    {
        ExeDir dir;
        auto window = MakeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* toolBar = window->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        auto* status = window->findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
        auto* panel2 = window->findChild<QWidget*>(QStringLiteral("Panel2"));
        auto* panel3 = window->findChild<QWidget*>(QStringLiteral("Panel3"));
        auto* logo = window->findChild<QLabel*>(QStringLiteral("Image1"));

        Action(*window, "mnTools")->trigger();
        QVERIFY(!Action(*window, "mnTools")->isChecked());
        QVERIFY(!toolBar->isVisible());
        QVERIFY(logo->isVisible());
        Action(*window, "mnTools")->trigger();
        QVERIFY(toolBar->isVisible());

        Action(*window, "mnStatus")->trigger();
        QVERIFY(!status->isVisible());
        Action(*window, "mnStatus")->trigger();
        QVERIFY(status->isVisible());

        window->findChild<QToolButton*>(QStringLiteral("btDetailsClose"))->click();
        QVERIFY(!Action(*window, "mnDetails")->isChecked());
        QVERIFY(!panel3->isVisible());
        QTRY_VERIFY(panel2->height() > 413);

        Action(*window, "mnDetails")->trigger();
        QVERIFY(Action(*window, "mnDetails")->isChecked());
        QVERIFY(panel3->isVisible());
        QTRY_COMPARE(panel2->height(), 413);

        // The device list's own "x" does what Device Manage does.
        window->findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
        QVERIFY(!Action(*window, "mnDeviceManage")->isChecked());
        QVERIFY(!panel2->isVisible());
        Action(*window, "mnDeviceManage")->trigger();
        QVERIFY(panel2->isVisible());
    }

    void syncTxAndNoticesThroughTheNotifyMessage()
    {
        ExeDir dir(Records(2), "ConnectType=1\r\n");
        UseFakeClock(123456);
        auto window = MakeWindow();
        MessageBoxes boxes;
        SelectRow(*window, 1);
        window->lbDevListDblClick();

        // Sync Tx goes to the serial line (ConnectType 1) and starts the wait.
        QCoreApplication::sendEvent(window.get(), new MessageEvent(MSG_NOTIFY, 2, PackChannel(2, 1)));
        QCOMPARE(dir.ReadSerial(1000), Frame(2, 1, CMD_SYNC_TX, QByteArray(1, '\0')));
        QCOMPARE(PublicStruct::Instance().SyncStartTick, 123456u);

        // No tile for the pair: nothing is sent.
        PublicStruct::Instance().SyncStartTick = 0;
        QCoreApplication::sendEvent(window.get(), new MessageEvent(MSG_NOTIFY, 2, PackChannel(1, 1)));
        QCOMPARE(dir.ReadSerial(100), QByteArray());
        QCOMPARE(PublicStruct::Instance().SyncStartTick, 0u);

        QCoreApplication::postEvent(window.get(), new MessageEvent(MSG_NOTIFY, 3, 1));
        QTRY_COMPARE(boxes.calls.size(), size_t(1));
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Sync Successfully!"));
        QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
        QCOMPARE(boxes.calls[0].flags, 0);
        QCOMPARE(boxes.calls[0].timeout, -1);
    }

    void aFailedSaveIsToldOnceInTheMessageList()
    {
        ExeDir dir(Records(2));
        auto window = MakeWindow();
        MessageBoxes boxes;
        // A folder in the place of Config.ini cannot be replaced by a file.
        QVERIFY(QFile::remove(dir.ConfigPath()));
        QVERIFY(QDir().mkdir(dir.ConfigPath()));
        SelectRow(*window, 0);
        window->mnDelDeviceClick();
        QCOMPARE(window->Devices().Count(), 1);
        QStringList lines = Messages(*window);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains(dir.ConfigPath()), qPrintable(lines[0]));
        QVERIFY2(lines[0].contains("in the way"), qPrintable(lines[0]));
        window->mnDelDeviceClick();
        QCOMPARE(Messages(*window).size(), 1);

        // A list that cannot be read at start-up is said so too.
        {
            auto second = MakeWindow();
            QCOMPARE(second->Devices().Count(), 0);
            QCOMPARE(Messages(*second).size(), 1);
            QVERIFY(Messages(*second)[0].contains(dir.ConfigPath()));
        }

        // Once saving works again a later failure is told again.
        QVERIFY(QDir().rmdir(dir.ConfigPath()));
        Deliver(*window, Frame(9, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "NINE")));
        QCOMPARE(dir.HistoryValue("DevCnt"), QStringLiteral("1"));
        QVERIFY(QFile::remove(dir.ConfigPath()));
        QVERIFY(QDir().mkdir(dir.ConfigPath()));
        Deliver(*window, Frame(8, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "EIGHT")));
        QTRY_COMPARE_WITH_TIMEOUT(Messages(*window).size(), 2, 3000); // saves come a second apart at most
    }

    void settingsAndAboutOpenModally()
    {
        ExeDir dir;
        auto window = MakeWindow();
        QStringList shown;
        const auto closeModal = [&shown] {
            QTimer::singleShot(50, [&shown] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    shown << QString::fromLatin1(modal->metaObject()->className());
                    modal->close();
                }
            });
        };
        closeModal();
        Action(*window, "mnSet")->trigger();
        closeModal();
        Action(*window, "mnAbout")->trigger();
        QCOMPARE(shown, (QStringList { "TFrmSet", "TFrmAbout" }));
    }

    void closingDestroysTilesBeforeRecordsAndWritesNothing()
    {
        ExeDir dir(Records(2));
        auto window = MakeWindow();
        SelectRow(*window, 0);
        window->lbDevListDblClick();
        SelectRow(*window, 1);
        window->lbDevListDblClick();
        const QByteArray before = dir.ConfigText();
        QList<int> destroyedWhileRecordsLeft;
        for (const auto& tile : window->Tiles())
            connect(tile.get(), &QObject::destroyed, this,
                [&destroyedWhileRecordsLeft, w = window.get()] { destroyedWhileRecordsLeft << w->Devices().Count(); });
        window.reset();
        QCOMPARE(destroyedWhileRecordsLeft, (QList<int> { 2, 2 }));
        QCOMPARE(dir.ConfigText(), before);
    }
};

QTEST_MAIN(TestMainWindow)
#include "MainWindowTests.moc"
