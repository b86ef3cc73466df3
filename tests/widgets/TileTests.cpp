#include "WidgetTests.h"

#include "data/Device.h"
#include "data/PublicStruct.h"
#include "protocol/Messages.h"
#include "ui/FormMessage.h"
#include "ui/TTMICObject.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

// The main window's side of the tile's requests: every MSG_NOTIFY it receives.
class NotifyReceiver : public QObject {
public:
    struct Notify {
        quintptr wParam;
        qintptr lParam;
    };
    QList<Notify> received;

    bool event(QEvent* event) override
    {
        if (event->type() == EventType(MSG_NOTIFY)) {
            auto* message = static_cast<MessageEvent*>(event);
            received.append({ message->wParam(), message->lParam() });
            return true;
        }
        return QObject::event(event);
    }
};

TTMICListObj* AddRecord(DeviceList& list, int rxid, int devIdx, bool connected)
{
    auto record = std::make_unique<TTMICListObj>();
    record->RXID = rxid;
    record->DevIdx = devIdx;
    record->Connected = connected;
    return list.Append(std::move(record));
}

template <typename T> T* Part(const QWidget* tile, const char* name)
{
    T* part = tile->findChild<T*>(QLatin1String(name));
    if (!part)
        qWarning("missing part %s", name);
    return part;
}

QString Text(const QWidget* tile, const char* name)
{
    return Part<QLabel>(tile, name)->text();
}

QImage BatteryShown(const QWidget* tile)
{
    return Part<QLabel>(tile, "Image1")->pixmap().toImage();
}

QColor Background(const QWidget* tile, const char* name)
{
    return Part<QLabel>(tile, name)->palette().color(QPalette::Window);
}

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& local, const QPoint& global, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
        Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TileTests : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void controlsStandWhereTheyBelong();
    void designTextsUntilTheFirstReport();
    void textsOfTheSetters();
    void levelsOutsideTheirRangeLeaveTheBars();
    void batterySymbolIsDrawnOnTheBackground();
    void activeAntennaColours();
    void tileTextsFollowSettingsAndLanguage();
    void gridPositions();
    void narrowAreaStillHasOneColumn();
    void closePostsItsRequest();
    void syncTxNeedsTheReceiversFirstRecordConnected();
    void titleDragsTheTileInsideItsArea();

private:
    DeviceList m_devices;
    NotifyReceiver m_mainWnd;
};

void TileTests::cleanup()
{
    PublicStruct& settings = PublicStruct::Instance();
    settings.LanguageIndex = 1;
    settings.FontName = QStringLiteral("Arial");
    settings.FontSize = 10;
    SetMessageBoxHook({});
    m_devices.Clear();
    m_mainWnd.received.clear();
}

void TileTests::controlsStandWhereTheyBelong()
{
    TTMICObject tile(&m_mainWnd, m_devices, 3, 1, QStringLiteral("QX-500"));
    QCOMPARE(tile.size(), QSize(135, 152));
    QCOMPARE(tile.RXID(), 3);
    QCOMPARE(tile.DevIdx(), 1);
    QCOMPARE(tile.Slot(), 0);
    tile.SetSlot(6);
    QCOMPARE(tile.Slot(), 6);
    const struct {
        const char* name;
        QRect geometry;
    } controls[] = {
        { "Image2", { 0, 0, 135, 152 } },
        { "lbTitle", { 0, 2, 133, 19 } },
        { "btClose", { 104, 2, 21, 18 } },
        { "lbChannelA", { 8, 27, 14, 16 } },
        { "lbChannelB", { 24, 27, 14, 16 } },
        { "btSet", { 43, 25, 58, 20 } },
        { "ASignLevel", { 8, 45, 13, 81 } },
        { "BSignLevel", { 26, 45, 13, 81 } },
        { "VoiceLevel", { 110, 41, 13, 81 } },
        { "Image1", { 48, 124, 44, 20 } },
    };
    for (const auto& control : controls) {
        auto* widget = Part<QWidget>(&tile, control.name);
        QVERIFY2(widget, control.name);
        QCOMPARE(widget->geometry(), control.geometry);
    }
    QCOMPARE(Part<QLabel>(&tile, "lbBand")->pos(), QPoint(39, 46));
    QCOMPARE(Part<QLabel>(&tile, "lbCH")->pos(), QPoint(46, 66));
    QCOMPARE(Part<QLabel>(&tile, "lbFreq")->pos(), QPoint(45, 87));
    for (const char* bar : { "ASignLevel", "BSignLevel", "VoiceLevel" }) {
        QCOMPARE(Part<QProgressBar>(&tile, bar)->orientation(), Qt::Vertical);
        QCOMPARE(Part<QProgressBar>(&tile, bar)->maximum(), 100);
    }
}

void TileTests::designTextsUntilTheFirstReport()
{
    TTMICObject tile(&m_mainWnd, m_devices, 3, 1, QStringLiteral("QX-500"));
    QCOMPARE(Text(&tile, "lbTitle"), QStringLiteral("3-1: QX-500"));
    QCOMPARE(Text(&tile, "lbBand"), QStringLiteral("Band ER"));
    QCOMPARE(Text(&tile, "lbCH"), QStringLiteral("CH  --"));
    QCOMPARE(Text(&tile, "lbFreq"), QStringLiteral("618.000M"));
    QCOMPARE(Text(&tile, "lbChannelA"), QStringLiteral("A"));
    QCOMPARE(Text(&tile, "lbChannelB"), QStringLiteral("B"));
}

void TileTests::textsOfTheSetters()
{
    TTMICObject tile(&m_mainWnd, m_devices, 12, 0, QStringLiteral("x"));
    tile.SetTitle(QStringLiteral("Mic %1"));
    QCOMPARE(Text(&tile, "lbTitle"), QStringLiteral("12-0: Mic %1"));
    tile.SetTitle(QStringLiteral("舞台"));
    QCOMPARE(Text(&tile, "lbTitle"), QStringLiteral("12-0: 舞台"));
    tile.SetBand(QStringLiteral("JB"));
    QCOMPARE(Text(&tile, "lbBand"), QStringLiteral("Band JB"));
    tile.SetChannel(7);
    QCOMPARE(Text(&tile, "lbCH"), QStringLiteral("CH    7"));
    tile.SetChannel(123);
    QCOMPARE(Text(&tile, "lbCH"), QStringLiteral("CH  123"));
    tile.SetFreq(640.25);
    QCOMPARE(Text(&tile, "lbFreq"), QStringLiteral("640.250M"));
    tile.SetFreq(618.0004);
    QCOMPARE(Text(&tile, "lbFreq"), QStringLiteral("618.000M"));
    // The label grows with its text instead of cutting it.
    auto* freq = Part<QLabel>(&tile, "lbFreq");
    tile.SetFreq(1234.5);
    QVERIFY(freq->width() >= freq->sizeHint().width());
}

void TileTests::levelsOutsideTheirRangeLeaveTheBars()
{
    TTMICObject tile(&m_mainWnd, m_devices, 1, 0, QStringLiteral("x"));
    tile.SetRFLevels(40, 60);
    QCOMPARE(tile.RFLevelA(), 40);
    QCOMPARE(tile.RFLevelB(), 60);
    tile.SetRFLevels(120, 50);
    QCOMPARE(tile.RFLevelA(), 40);
    QCOMPARE(tile.RFLevelB(), 50);
    tile.SetRFLevels(0, -1);
    QCOMPARE(tile.RFLevelA(), 0);
    QCOMPARE(tile.RFLevelB(), 50);
    tile.SetRFLevels(101, 100);
    QCOMPARE(tile.RFLevelA(), 0);
    QCOMPARE(tile.RFLevelB(), 100);
    QCOMPARE(Part<QProgressBar>(&tile, "BSignLevel")->value(), 100);

    tile.SetVoiceLevel(100);
    QCOMPARE(tile.VoiceLevelValue(), 100);
    tile.SetVoiceLevel(101);
    QCOMPARE(tile.VoiceLevelValue(), 100);
    tile.SetVoiceLevel(-5);
    QCOMPARE(tile.VoiceLevelValue(), 100);
    tile.SetVoiceLevel(0);
    QCOMPARE(Part<QProgressBar>(&tile, "VoiceLevel")->value(), 0);
}

void TileTests::batterySymbolIsDrawnOnTheBackground()
{
    TTMICObject tile(&m_mainWnd, m_devices, 1, 0, QStringLiteral("x"));
    QList<QImage> shown;
    for (int symbol = 0; symbol <= 3; ++symbol) {
        tile.SetBattery(symbol);
        QCOMPARE(tile.BatterySymbol(), symbol);
        shown << BatteryShown(&tile);
        QCOMPARE(shown.last().size(), QSize(44, 20));
    }
    for (int a = 0; a < shown.size(); ++a)
        for (int b = a + 1; b < shown.size(); ++b)
            QVERIFY2(shown[a] != shown[b], qPrintable(QStringLiteral("symbols %1 and %2").arg(a).arg(b)));

    tile.SetBattery(4);
    QCOMPARE(tile.BatterySymbol(), 3);
    QCOMPARE(BatteryShown(&tile), shown[3]);
    tile.SetBattery(-1);
    QCOMPARE(tile.BatterySymbol(), 3);
    tile.SetBattery(1);
    QCOMPARE(BatteryShown(&tile), shown[1]);

    // Where the symbol leaves room, Image1 shows the tile's background.
    const QImage background = Part<QLabel>(&tile, "Image2")->pixmap().toImage();
    const QRgb expected = background.pixel(48 + 43, 124 + 19);
    QCOMPARE(qRed(BatteryShown(&tile).pixel(43, 19)), qRed(expected));
    QCOMPARE(qBlue(BatteryShown(&tile).pixel(43, 19)), qBlue(expected));
}

void TileTests::activeAntennaColours()
{
    const QColor aqua(0, 255, 255), lime(0, 255, 0);
    TTMICObject tile(&m_mainWnd, m_devices, 1, 0, QStringLiteral("x"));
    QCOMPARE(Background(&tile, "lbChannelA"), aqua);
    QCOMPARE(Background(&tile, "lbChannelB"), aqua);
    tile.SetActiveAntenna(1);
    QCOMPARE(Background(&tile, "lbChannelA"), lime);
    QCOMPARE(Background(&tile, "lbChannelB"), aqua);
    tile.SetActiveAntenna(2);
    QCOMPARE(Background(&tile, "lbChannelA"), aqua);
    QCOMPARE(Background(&tile, "lbChannelB"), lime);
    tile.SetActiveAntenna(3);
    QCOMPARE(Background(&tile, "lbChannelA"), aqua);
    QCOMPARE(Background(&tile, "lbChannelB"), aqua);
    QVERIFY(Part<QLabel>(&tile, "lbChannelA")->autoFillBackground());
}

void TileTests::tileTextsFollowSettingsAndLanguage()
{
    TTMICObject tile(&m_mainWnd, m_devices, 1, 0, QStringLiteral("x"));
    QCOMPARE(Part<QPushButton>(&tile, "btSet")->text(), QStringLiteral("Sync Tx"));

    PublicStruct& settings = PublicStruct::Instance();
    settings.FontName = QStringLiteral("DejaVu Serif");
    settings.FontSize = 14;
    settings.LanguageIndex = 0;
    tile.ApplyTileTexts();
    QCOMPARE(Part<QPushButton>(&tile, "btSet")->text(), QStringLiteral("对频"));
    QCOMPARE(tile.font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(tile.font().pointSize(), 14);
    QCOMPARE(Part<QLabel>(&tile, "lbTitle")->font().pointSize(), 14);
    const struct {
        const char* name;
        int pixels;
    } fixed[] = { { "lbBand", 16 }, { "lbCH", 16 }, { "lbFreq", 12 } };
    for (const auto& label : fixed) {
        const QFont font = Part<QLabel>(&tile, label.name)->font();
        QCOMPARE(font.family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(font.pixelSize(), label.pixels);
        QVERIFY(font.bold());
    }
    QVERIFY(Part<QLabel>(&tile, "lbChannelA")->font().bold());
    QCOMPARE(Part<QLabel>(&tile, "lbChannelA")->font().family(), QStringLiteral("DejaVu Serif"));
}

void TileTests::gridPositions()
{
    QCOMPARE(TTMICObject::ColumnsFor(700), 4);
    QCOMPARE(TTMICObject::ColumnsFor(704), 4);
    QCOMPARE(TTMICObject::ColumnsFor(705), 5);
    QCOMPARE(TTMICObject::ColumnsFor(145), 1);
    QCOMPARE(TTMICObject::ColumnsFor(285), 2);

    const int columns = TTMICObject::ColumnsFor(700);
    const int lefts[] = { 5, 145, 285, 425 };
    for (int slot = 0; slot < 4; ++slot)
        QCOMPARE(TTMICObject::CellPosition(slot, columns), QPoint(lefts[slot], 5));
    QCOMPARE(TTMICObject::CellPosition(4, columns), QPoint(5, 162));
    QCOMPARE(TTMICObject::CellPosition(9, columns), QPoint(145, 319));

    const int wider = TTMICObject::ColumnsFor(705);
    QCOMPARE(TTMICObject::CellPosition(4, wider), QPoint(565, 5));
    QCOMPARE(TTMICObject::CellPosition(5, wider), QPoint(5, 162));
}

void TileTests::narrowAreaStillHasOneColumn()
{
    for (int width : { 144, 100, 5, 0, -20 }) {
        const int columns = TTMICObject::ColumnsFor(width);
        QCOMPARE(columns, 1);
        QCOMPARE(TTMICObject::CellPosition(2, columns), QPoint(5, 2 * 157 + 5));
    }
    QCOMPARE(TTMICObject::CellPosition(3, 0), QPoint(5, 3 * 157 + 5));
}

void TileTests::closePostsItsRequest()
{
    TTMICObject tile(&m_mainWnd, m_devices, 70000 + 5, 3, QStringLiteral("x"));
    tile.show();
    QTest::mouseClick(Part<QAbstractButton>(&tile, "btClose"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(&m_mainWnd);
    QCOMPARE(m_mainWnd.received.size(), 1);
    QCOMPARE(m_mainWnd.received[0].wParam, quintptr(1));
    QCOMPARE(m_mainWnd.received[0].lParam, qintptr(((70005 % 65536) * 65536) + 3));
}

void TileTests::syncTxNeedsTheReceiversFirstRecordConnected()
{
    int shown = 0;
    QString message, title;
    int flags = -2, timeout = 0;
    QWidget* owner = nullptr;
    SetMessageBoxHook([&](QWidget* o, const QString& m, const QString& t, int f, int ms) {
        ++shown;
        owner = o;
        message = m;
        title = t;
        flags = f;
        timeout = ms;
        return 1;
    });
    QWidget mainWindow;
    TTMICObject tile(&m_mainWnd, m_devices, 7, 1, QStringLiteral("x"), &mainWindow);
    auto* sync = Part<QPushButton>(&tile, "btSet");
    auto press = [&] {
        QTest::mouseClick(sync, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(&m_mainWnd);
    };

    // No record of the receiver at all.
    AddRecord(m_devices, 8, 1, true);
    press();
    QCOMPARE(shown, 1);
    QVERIFY(m_mainWnd.received.isEmpty());

    // The tile's own channel is connected, the receiver's first record is not.
    TTMICListObj* first = AddRecord(m_devices, 7, 0, false);
    TTMICListObj* own = AddRecord(m_devices, 7, 1, true);
    press();
    QCOMPARE(shown, 2);
    QCOMPARE(message, QStringLiteral("Device not connect!"));
    QCOMPARE(title, QStringLiteral("提示"));
    QCOMPARE(flags, 0);
    QCOMPARE(timeout, -1);
    QCOMPARE(owner, &mainWindow);
    QVERIFY(m_mainWnd.received.isEmpty());

    // The first record decides even when it is another channel.
    first->Connected = true;
    own->Connected = false;
    press();
    QCOMPARE(shown, 2);
    QCOMPARE(m_mainWnd.received.size(), 1);
    QCOMPARE(m_mainWnd.received[0].wParam, quintptr(2));
    QCOMPARE(m_mainWnd.received[0].lParam, PackChannel(7, 1));

    PublicStruct::Instance().LanguageIndex = 0;
    first->Connected = false;
    press();
    QCOMPARE(message, QStringLiteral("请先连接设备"));
}

void TileTests::titleDragsTheTileInsideItsArea()
{
    QWidget area;
    area.resize(700, 400);
    TTMICObject tile(&m_mainWnd, m_devices, 1, 0, QStringLiteral("x"), &area);
    tile.move(5, 5);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    auto* title = Part<QLabel>(&tile, "lbTitle");
    const QPoint grab(20, 8);
    const QPoint globalGrab = title->mapToGlobal(grab);

    SendMouse(title, QEvent::MouseButtonPress, grab, globalGrab, Qt::LeftButton);
    SendMouse(title, QEvent::MouseMove, grab, globalGrab + QPoint(100, 50), Qt::LeftButton);
    QCOMPARE(tile.pos(), QPoint(105, 55));
    SendMouse(title, QEvent::MouseMove, grab, globalGrab + QPoint(2000, 2000), Qt::LeftButton);
    QCOMPARE(tile.pos(), QPoint(700 - 135, 400 - 152));
    SendMouse(title, QEvent::MouseMove, grab, globalGrab - QPoint(300, 300), Qt::LeftButton);
    QCOMPARE(tile.pos(), QPoint(0, 0));
    SendMouse(title, QEvent::MouseButtonRelease, grab, globalGrab, Qt::NoButton);
    SendMouse(title, QEvent::MouseMove, grab, globalGrab + QPoint(60, 60), Qt::NoButton);
    QCOMPARE(tile.pos(), QPoint(0, 0));

    // The right button repaints but does not drag.
    QMouseEvent right(QEvent::MouseButtonPress, grab, globalGrab, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(title, &right);
    SendMouse(title, QEvent::MouseMove, grab, globalGrab + QPoint(60, 60), Qt::RightButton);
    QCOMPARE(tile.pos(), QPoint(0, 0));
}

int RunTileTests(int argc, char** argv)
{
    TileTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "TileTests.moc"
