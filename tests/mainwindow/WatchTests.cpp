// The operator's watch, checked on what the main window draws: the tiles' antenna labels and
// title inside the tile area, the close button beside a scrolling list, lost channels on the
// replaceable clock, alerts with their episodes, flap summaries, thresholds and sound, Events.log
// and the alert switches.
#include "MainFixture.h"

#include "data/EventLog.h"
#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "ui/AlertSound.h"
#include "ui/FormSet.h"
#include "ui/MessageLines.h"
#include "ui/TTMICObject.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace fixture;

namespace
{

const QColor Aqua(0, 255, 255), Lime(0, 255, 0);

QList<StoredRecord> Records(int count)
{
    QList<StoredRecord> records;
    for (int i = 0; i < count; ++i) {
        StoredRecord r;
        r.rxid = i / 4 + 1;
        r.devIdx = i % 4 + 1;
        records << r;
    }
    return records;
}

// The window shown, all records connected, a tile open for the first row.
struct Show {
    explicit Show(const QList<StoredRecord>& records)
        : dir(records)
        , window(MakeWindow())
    {
        for (int i = 0; i < window->Devices().Count(); ++i)
            window->Devices().At(i)->Connected = true;
        window->show();
        SelectRow(*window, 0);
        window->lbDevListDblClick();
    }
    TTMICObject& Tile() { return *window->Tiles().front(); }
    // The colour the main window shows at this point of the first tile.
    QColor TilePixel(int x, int y)
    {
        return window->grab().toImage().pixelColor(Tile().mapTo(window.get(), QPoint(x, y)));
    }
    void Status(int rxid, int devIdx, int battery, int rfA, int rfB, int level, int antenna = 1)
    {
        Deliver(*window, Frame(rxid, devIdx, CMD_STATUS, StatusPayload(3, battery, 40, rfA, rfB, 4, level, antenna)));
    }
    int Lines(const QString& line) { return static_cast<int>(Messages(*window).count(line)); }

    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
};

bool IsGrey(const QColor& c)
{
    return c.red() == c.green() && c.green() == c.blue();
}

bool IsRed(const QColor& c)
{
    return c.red() > 180 && c.green() < 60 && c.blue() < 60;
}

// The red frame runs round both bars (left of A, right of B, above and below them) and shows
// nowhere in the box of the band text beside bar B.
void RfLossFrameSparesTheBandText(Show& show)
{
    const QImage shown = show.window->grab().toImage();
    const auto pixel
        = [&](int x, int y) { return shown.pixelColor(show.Tile().mapTo(show.window.get(), QPoint(x, y))); };
    for (QPoint edge : { QPoint(6, 80), QPoint(40, 100), QPoint(23, 43), QPoint(23, 127) })
        QVERIFY2(IsRed(pixel(edge.x(), edge.y())), qPrintable(QStringLiteral("%1,%2").arg(edge.x()).arg(edge.y())));
    const QRect band = show.Tile().findChild<QLabel*>(QStringLiteral("lbBand"))->geometry();
    QVERIFY(!band.isEmpty());
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            QVERIFY2(!IsRed(pixel(x, y)), qPrintable(QStringLiteral("red at %1,%2").arg(x).arg(y)));
}
class CountingDelegate : public QStyledItemDelegate
{
public:
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        ++sizeHints;
        return QStyledItemDelegate::sizeHint(option, index);
    }
    mutable int sizeHints = 0;
};

} // namespace

class TestWatch : public QObject
{
    Q_OBJECT

private slots:
    void init() { UseFakeClock(50000); }
    void cleanup() { UseRealClock(); }

    // Inside the tile area the labels inherited its white Base background.
    void antennaLabelsLightInsideTheMainWindow()
    {
        Show show(Records(1));
        const std::pair<int, std::pair<QColor, QColor>> cases[] = {
            { 1, { Lime, Aqua } }, { 2, { Aqua, Lime } }, { 0, { Aqua, Aqua } } };
        for (const auto& [antenna, colours] : cases) {
            show.Status(1, 1, 3, 50, 50, 20, antenna);
            QCOMPARE(show.TilePixel(9, 28), colours.first);
            QCOMPARE(show.TilePixel(25, 28), colours.second);
        }
    }

    void longTitleKeepsItsPrefix()
    {
        StoredRecord r;
        r.rxid = 12;
        r.devIdx = 4;
        r.name = QStringLiteral("Stage Left Microphone");
        Show show({ r });
        const auto* title = show.Tile().findChild<QLabel*>(QStringLiteral("lbTitle"));
        QVERIFY2(title->text().startsWith(QStringLiteral("12-4: Stage")), qPrintable(title->text()));
        QVERIFY(title->text().endsWith(QChar(0x2026)));
        QVERIFY(title->fontMetrics().horizontalAdvance(title->text()) <= title->contentsRect().width());
    }

    // Nothing is drawn over the scroll bar's up arrow: the window shows what the bar draws.
    void closeButtonsLeaveTheScrollBarsFree()
    {
        Show show(Records(60));
        for (int i = 0; i < 300; ++i)
            show.window->AddMessage(QStringLiteral("line %1").arg(i));
        const QImage shown = show.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const char* list : { "lbDevList", "lbMsg" }) {
            const auto* view = show.window->findChild<QAbstractScrollArea*>(QLatin1String(list));
            QScrollBar* bar = view->verticalScrollBar();
            QVERIFY2(bar->isVisible(), list);
            const QImage own = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QPoint at = bar->mapTo(show.window.get(), QPoint(0, 0));
            QCOMPARE(shown.copy(QRect(at, QSize(bar->width(), 20))), own.copy(0, 0, bar->width(), 20));
        }
        for (const char* button : { "SpeedButton1", "btDetailsClose" })
            QVERIFY(show.window->findChild<QToolButton*>(QLatin1String(button))->isVisible());
    }

    // A line added to a full list measures no row: the view lays out one row height for all,
    // and the newest line still ends at the bottom of what the list shows.
    void messageLineCostsTheSameWhenTheListIsFull()
    {
        Show show(Records(1));
        auto* list = show.window->findChild<QListWidget*>(QStringLiteral("lbMsg"));
        for (int i = 0; i < 5000; ++i)
            show.window->AddMessage(QStringLiteral("line %1").arg(i));
        QTest::qWait(2 * ScrollBatchMs);
        CountingDelegate counting;
        list->setItemDelegate(&counting);
        for (int i = 5000; i < 5100; ++i) {
            show.window->AddMessage(QStringLiteral("line %1").arg(i));
            QCoreApplication::processEvents();
        }
        QTest::qWait(2 * ScrollBatchMs);
        QCOMPARE(list->count(), 5000);
        QVERIFY2(counting.sizeHints < 200, qPrintable(QString::number(counting.sizeHints)));
        QCOMPARE(list->item(4999)->text(), QStringLiteral("line 5099"));
        QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
        list->setItemDelegate(nullptr);
    }

    void lostAfterThreeMissedPollsOfItsOwn_data()
    {
        QTest::addColumn<int>("records");
        QTest::newRow("4 records") << 4;
        QTest::newRow("256 records") << 256;
    }

    // The first channel stays silent while every other one answers its polls.
    void lostAfterThreeMissedPollsOfItsOwn()
    {
        QFETCH(int, records);
        Show show(Records(records));
        TFrmMain& window = *show.window;
        const QString lost = QStringLiteral("Lost connection [1:1]");
        int silentPolls = 0;
        while (silentPolls < 4) {
            const bool silentNext = window.PollIndex() % records == 0;
            if (silentNext)
                QCOMPARE(window.Watch().IsLost(1, 1), false);
            window.Timer1Timer();
            Advance(100);
            const TTMICListObj& polled = *window.Devices().At((window.PollIndex() + records - 1) % records);
            if (silentNext)
                ++silentPolls;
            else
                show.Status(polled.RXID, polled.DevIdx, 3, 50, 50, 20);
        }
        QVERIFY(window.Watch().IsLost(1, 1));
        QCOMPARE(show.Lines(lost), 1);
        QCOMPARE(Messages(window).size(), 1);
        QCOMPARE(DrawnTextColour(window, 0), QColor(150, 150, 150));
        QVERIFY(IsGrey(show.TilePixel(5, 11)));

        for (int i = 0; i < 2 * records; ++i)
            window.Timer1Timer();
        QCOMPARE(show.Lines(lost), 1);
        Advance(42000);
        window.WatchTimerTimer();
        QCOMPARE(show.Tile().findChild<QLabel*>(QStringLiteral("lbLost"))->text(), QStringLiteral("lost 0:42"));

        window.mnSimpleChineseClick();
        show.Status(1, 1, 3, 50, 50, 20);
        show.Status(1, 1, 3, 50, 50, 20);
        QCOMPARE(show.Lines(QStringLiteral("连接已恢复[1:1]")), 1);
        QVERIFY(!window.Watch().IsLost(1, 1));
        QVERIFY(DrawnTextColour(window, 0) != QColor(150, 150, 150));
        QVERIFY(!IsGrey(show.TilePixel(5, 11)));
    }

    void lowBatteryOncePerFallAndRfLossOncePerEvent()
    {
        Show show(Records(1));
        for (int battery : { 3, 2, 1, 1, 0, 1, 3, 1 })
            show.Status(1, 1, battery, 50, 50, 20);
        QCOMPARE(show.Lines(QStringLiteral("Low battery [1:1]")), 2);
        show.window->WatchTimerTimer();
        const bool firstPhase = IsRed(show.TilePixel(46, 130));
        show.window->WatchTimerTimer();
        QCOMPARE(IsRed(show.TilePixel(46, 130)), !firstPhase);

        QVERIFY(!IsRed(show.TilePixel(23, 80)));
        show.Status(1, 1, 3, 10, 39, 40);
        QVERIFY2(!IsRed(show.TilePixel(23, 80)), "one reply below the level is no episode yet");
        for (int i = 0; i < 2; ++i) {
            Advance(700);
            show.Status(1, 1, 3, 10, 39, 40);
        }
        QCOMPARE(show.Lines(QStringLiteral("RF loss [1:1]")), 1);
        QVERIFY(IsRed(show.TilePixel(23, 80)));
        RfLossFrameSparesTheBandText(show);
        Advance(700);
        show.Status(1, 1, 3, 10, 40, 40); // antenna B at the squelch level opens it
        show.Status(1, 1, 3, 10, 12, 40); // a single reply above does not end the episode
        QVERIFY(IsRed(show.TilePixel(23, 80)));
        Advance(300);
        show.Status(1, 1, 3, 10, 40, 40);
        Advance(300);
        show.Status(1, 1, 3, 10, 40, 40);
        // From the first reply below to the first of the run above that ended it.
        QCOMPARE(Messages(*show.window).last(), QStringLiteral("RF restored [1:1] after 2.4 s"));
        QVERIFY(!IsRed(show.TilePixel(23, 80)));
    }

    // A channel at the edge of its range: four episodes within a minute make one summary line
    // instead of a line per flap, and after a quiet minute single lines come back.
    void flappingChannelIsSummarised()
    {
        Show show(Records(1));
        auto flap = [&show] {
            for (int rf : { 5, 5, 60, 60 }) {
                show.Status(1, 1, 3, rf, rf, 40);
                Advance(250);
            }
        };
        for (int i = 0; i < 3; ++i)
            flap();
        QCOMPARE(show.Lines(QStringLiteral("RF loss [1:1]")), 3);
        for (int i = 0; i < 9; ++i) {
            flap();
            show.window->WatchTimerTimer();
        }
        const QStringList lines = Messages(*show.window);
        QCOMPARE(show.Lines(QStringLiteral("RF loss [1:1]")), 3);
        QCOMPARE(lines.count(QStringLiteral("RF loss [1:1] 4 times in the last minute")), 1);
        QCOMPARE(lines.size(), 7);

        // Flapping on for two minutes more: one summary per minute, counting that minute.
        for (int i = 0; i < 120; ++i) {
            flap();
            show.window->WatchTimerTimer();
        }
        QCOMPARE(Messages(*show.window).size(), 9);
        QCOMPARE(Messages(*show.window).last(), QStringLiteral("RF loss [1:1] 60 times in the last minute"));

        Advance(61000);
        show.window->WatchTimerTimer();
        flap();
        QCOMPARE(Messages(*show.window).mid(9),
            QStringList({ QStringLiteral("RF loss [1:1]"), QStringLiteral("RF restored [1:1] after 0.5 s") }));
    }

    // Whatever a channel sends (here the battery and RF flipping with every reply, ten replies a
    // second for two minutes), it adds no more than a few lines a minute; other channels' lines
    // still get through one by one.
    void floodingChannelAddsFewLines()
    {
        Show show(Records(2));
        PublicStruct::Instance().AlertRFHoldReplies = 1;
        for (int i = 0; i < 1200; ++i) {
            const bool low = i % 2 == 0;
            show.Status(1, 1, low ? 1 : 3, low ? 0 : 90, low ? 0 : 90, 40);
            Advance(100);
            if (i % 5 == 0)
                show.window->WatchTimerTimer();
        }
        const QStringList lines = Messages(*show.window);
        QVERIFY2(lines.size() <= 2 * (2 * AlertLines::FlapLimit + 1) + 2, qPrintable(lines.join(QLatin1Char('|'))));
        const QStringList summaries = lines.filter(QRegularExpression(QStringLiteral("^RF loss \\[1:1\\] \\d+ times in the last minute$")));
        QCOMPARE(summaries.size(), 2); // at once, then a minute later with that minute's count
        QVERIFY2(summaries.last().split(QLatin1Char(' ')).at(3).toInt() >= 290, qPrintable(summaries.last()));
        show.Status(1, 2, 3, 0, 0, 40);
        QCOMPARE(Messages(*show.window).last(), QStringLiteral("RF loss [1:2]"));
        PublicStruct::Instance().AlertRFHoldReplies = 2;
    }

    // Thresholds out of range in a hand-edited Config.ini read as the nearest allowed value.
    void hostileThresholdsAreClamped()
    {
        ExeDir dir(Records(1), "AlertRFLevel=500\r\nAlertLostPolls=0\r\nAlertLowBatteryBars=7\r\nAlertRFHoldReplies=-3\r\n"
                               "AlertVolume=1000\r\n");
        const PublicStruct ps(dir.Path());
        QCOMPARE(ps.AlertRFLevel, 100);
        QCOMPARE(ps.AlertLostPolls, 1);
        QCOMPARE(ps.AlertLowBatteryBars, 2);
        QCOMPARE(ps.AlertRFHoldReplies, 1);
        QCOMPARE(ps.AlertVolume, 100);
    }

    // The thresholds of the settings window: stored, read back, and obeyed by the watch.
    void alertThresholdsAreStoredAndObeyed()
    {
        Show show(Records(1));
        {
            MessageBoxes boxes;
            TFrmSet settings(*show.window);
            auto* level = settings.findChild<QSpinBox*>(QStringLiteral("seAlertRFLevel"));
            QCOMPARE(level->value(), -1);
            QCOMPARE(level->text(), QStringLiteral("Squelch level"));
            level->setValue(25);
            settings.findChild<QComboBox*>(QStringLiteral("cbLowBatteryBars"))->setCurrentIndex(1);
            settings.findChild<QSpinBox*>(QStringLiteral("seAlertRFHold"))->setValue(1);
            settings.findChild<QSpinBox*>(QStringLiteral("seLostPolls"))->setValue(5);
            settings.btSureClick();
        }
        const QByteArray config = show.dir.ConfigText();
        for (const char* key : { "AlertRFLevel=25\r\n", "AlertLowBatteryBars=2\r\n", "AlertRFHoldReplies=1\r\n",
                 "AlertLostPolls=5\r\n" })
            QVERIFY2(config.contains(key), key);
        const PublicStruct stored(show.dir.Path());
        QCOMPARE(stored.AlertRFLevel, 25);
        QCOMPARE(stored.AlertLostPolls, 5);

        show.Status(1, 1, 2, 30, 30, 40); // above 25 dB though below the squelch level
        QCOMPARE(Messages(*show.window), QStringList { QStringLiteral("Low battery [1:1]") });
        show.Status(1, 1, 2, 24, 20, 40); // one reply is the episode now
        QCOMPARE(Messages(*show.window).last(), QStringLiteral("RF loss [1:1]"));
    }

    // The alert sound on a machine that may have no audio output: every attempt is recorded,
    // repeats keep a few seconds apart, Mute silences until the next new alert.
    void alertSoundCallsUntilMuted()
    {
        Show show(Records(2));
        TFrmMain& window = *show.window;
        for (int i = 0; i < 2; ++i)
            show.Status(1, 1, 3, 5, 5, 40);
        QCOMPARE(window.Sound().Attempts().size(), size_t(1));
        QCOMPARE(window.Sound().Attempts().back().Kind, AlertKind::RfLoss);
        for (int i = 0; i < 2; ++i)
            show.Status(1, 2, 1, 50, 50, 40); // a second alert within the gap makes no sound
        QCOMPARE(window.Sound().Attempts().size(), size_t(1));
        for (int i = 0; i < 24; ++i) { // 12 s while both alerts last
            Advance(500);
            window.WatchTimerTimer();
        }
        QCOMPARE(window.Sound().Attempts().size(), size_t(3));
        QCOMPARE(window.Sound().Attempts().back().Kind, AlertKind::LowBattery);

        window.findChild<QToolButton*>(QStringLiteral("tbMute"))->click();
        for (int i = 0; i < 24; ++i) {
            Advance(500);
            window.WatchTimerTimer();
        }
        QCOMPARE(window.Sound().Attempts().size(), size_t(3));
        show.Status(1, 2, 3, 50, 50, 40);
        for (int i = 0; i < 2; ++i)
            show.Status(1, 2, 3, 5, 5, 40); // a new alert calls again
        QCOMPARE(window.Sound().Attempts().size(), size_t(4));

        PublicStruct::Instance().AlertSound = false;
        Advance(7000);
        for (int i = 0; i < 2; ++i)
            show.Status(1, 2, 2, 50, 50, 40);
        for (int i = 0; i < 2; ++i)
            show.Status(1, 2, 2, 5, 5, 40);
        QCOMPARE(window.Sound().Attempts().size(), size_t(4));
    }

    // Switched off in the settings window: stored, and neither alert is raised.
    void alertSwitchesAreStoredAndObeyed()
    {
        Show show(Records(1));
        {
            MessageBoxes boxes;
            TFrmSet settings(*show.window);
            QVERIFY(settings.cbLowBattery->isChecked() && settings.cbRFLoss->isChecked());
            settings.cbLowBattery->setChecked(false);
            settings.cbRFLoss->setChecked(false);
            settings.btSureClick();
        }
        const QByteArray config = show.dir.ConfigText();
        QVERIFY(config.contains("AlertLowBattery=0\r\n") && config.contains("AlertRFLoss=0\r\n"));
        QVERIFY(!PublicStruct(show.dir.Path()).AlertLowBattery);
        show.Status(1, 1, 1, 5, 5, 40);
        QCOMPARE(Messages(*show.window), QStringList());
        show.window->WatchTimerTimer();
        QVERIFY(!IsRed(show.TilePixel(46, 130)) && !IsRed(show.TilePixel(23, 80)));
    }

    // Every line with its date and time; a folder in the log's place refuses it even to root:
    // said once, and the list goes on.
    void everyMessageLineGoesToTheEventLog()
    {
        Show show(Records(1));
        const QString path = show.dir.Path() + QStringLiteral("Events.log");
        QCOMPARE(show.window->EventLogPath(), path);
        show.Status(1, 1, 1, 50, 50, 20);
        show.window->AddMessage(QStringLiteral("two\nparts"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QRegularExpression stamped(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  (.*)$"));
        QCOMPARE(stamped.match(lines[0]).captured(1), QStringLiteral("Low battery [1:1]"));
        QCOMPARE(stamped.match(lines[1]).captured(1), QStringLiteral("two parts"));

        QVERIFY(file.remove() && QDir().mkdir(path));
        for (int i = 0; i < 3; ++i)
            show.window->AddMessage(QStringLiteral("event %1").arg(i));
        const QStringList shown = Messages(*show.window);
        QCOMPARE(shown.size(), 6);
        QVERIFY2(shown[3].startsWith(QStringLiteral("Cannot write the event log ")), qPrintable(shown[3]));
        QCOMPARE(shown.last(), QStringLiteral("event 2"));
    }
};

QTEST_MAIN(TestWatch)
#include "WatchTests.moc"
