// tessaro-demo [shots-folder]
//
// Drives the real main window, from the Config.ini beside this executable, through what an
// operator does first: Connect, open a tile per channel, watch the live values, Sync Tx, the
// settings and about windows; then the watch over the show, as the simulator's episodes bring it
// (demo.sh starts it so): a channel lost and restored, a low battery and an RF loss; at the end
// the timeline of the show. Writes a screenshot of each step into the shots folder (default:
// "shots" beside the executable) and exits 0, or says what did not happen and exits 1.
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "store/TimelineStore.h"
#include "transport/UDPServer.h"
#include "ui/FormMain.h"
#include "ui/FormMessage.h"
#include "ui/FormSet.h"
#include "ui/Startup.h"
#include "ui/TTMICObject.h"
#include "ui/rf/FormMulitSet.h"
#include "ui/rf/FormRFHistory.h"
#include "ui/rf/FormScanRF.h"
#include "ui/rf/FormSetFreq.h"
#include "ui/rf/FormSetMuiltFreq.h"
#include "ui/rf/FormSingleSet.h"
#include "ui/timeline/FormTimeline.h"
#include "ui/timeline/TimelineChart.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace
{

constexpr int ConnectWaitMs = 15000;
constexpr int LiveValuesWaitMs = 20000;
constexpr int ModalWaitMs = 5000;
constexpr int SyncWaitMs = 10000;
constexpr int EpisodeWaitMs = 60000;
constexpr int RecordMs = 4000;
constexpr int ScanWaitMs = 20000;
constexpr int SequenceWaitMs = 60000; // ten scans one after another
constexpr int AssignWaitMs = 60000; // up to twelve set exchanges of 2.4 s

class DemoFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

void Say(const QString& line)
{
    std::printf("demo: %s\n", qPrintable(line));
    std::fflush(stdout);
}

// Serves the event loop until done() holds; false when the time ran out first.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

class Demo
{
public:
    Demo(TFrmMain& window, QString shots)
        : m_window(window)
        , m_shots(std::move(shots))
    {
        m_rows = window.findChild<QTreeWidget*>(QStringLiteral("lbDevList"));
        m_messages = window.findChild<QListWidget*>(QStringLiteral("lbMsg"));
    }

    void Run()
    {
        ShowMainWindow();
        ConnectAll();
        OpenTiles();
        WaitForLiveValues();
        Shoot(&m_window, "main-window");
        Shoot(m_window.Tiles().front().get(), "tile");
        SyncFirstTile();
        ConfirmSettings();
        ShowAbout();
        WatchTheShow();
        RecordRfHistory();
        ScanBand();
        SingleSetup();
        CompatibilitySetup();
        ShowTimeline();
    }

    // What the window showed when something went wrong, for the failure message.
    void ShootForDiagnosis() { Shoot(&m_window, "failure"); }

private:
    void ShowMainWindow()
    {
        m_window.show();
        WaitUntil([this] { return m_window.isVisible(); }, ModalWaitMs);
        if (m_rows->topLevelItemCount() == 0)
            throw DemoFailure("Config.ini beside the executable lists no channel");
        Say(QStringLiteral("%1 channels in the device list").arg(m_rows->topLevelItemCount()));
    }

    int RedRows() const
    {
        int red = 0;
        for (int i = 0; i < m_rows->topLevelItemCount(); ++i)
            red += m_rows->topLevelItem(i)->data(TFrmMain::ColIP, Qt::UserRole).toInt() != 0;
        return red;
    }

    QString MessageLines() const
    {
        QStringList lines;
        for (int i = 0; i < m_messages->count(); ++i)
            lines << m_messages->item(i)->text();
        return lines.join(QStringLiteral("; "));
    }

    void ConnectAll()
    {
        Action("tbConnect")->trigger();
        const int rows = m_rows->topLevelItemCount();
        if (!WaitUntil([&] { return RedRows() == rows; }, ConnectWaitMs))
            throw DemoFailure(QStringLiteral("only %1 of %2 rows turned red within %3 s after Connect (messages: %4)")
                                  .arg(RedRows())
                                  .arg(rows)
                                  .arg(ConnectWaitMs / 1000)
                                  .arg(MessageLines())
                                  .toStdString());
        Say(QStringLiteral("connected: %1").arg(MessageLines()));
    }

    // As the operator does it: select a row and double-click it.
    void OpenTiles()
    {
        for (int i = 0; i < m_rows->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = m_rows->topLevelItem(i);
            m_rows->setCurrentItem(row);
            emit m_rows->itemDoubleClicked(row, TFrmMain::ColIP);
        }
        if (static_cast<int>(m_window.Tiles().size()) != m_rows->topLevelItemCount())
            throw DemoFailure(QStringLiteral("%1 tiles opened for %2 rows")
                                  .arg(m_window.Tiles().size())
                                  .arg(m_rows->topLevelItemCount())
                                  .toStdString());
    }

    // A tile opens with no battery state (symbol 0); a status reply gives it 1 to 3.
    static bool Live(const TTMICObject& tile) { return tile.BatterySymbol() > 0; }

    void WaitForLiveValues()
    {
        const auto& tiles = m_window.Tiles();
        const auto liveCount
            = [&tiles] { return std::count_if(tiles.begin(), tiles.end(), [](const auto& t) { return Live(*t); }); };
        if (!WaitUntil([&] { return liveCount() == static_cast<long>(tiles.size()); }, LiveValuesWaitMs))
            throw DemoFailure(QStringLiteral("only %1 of %2 tiles showed live values within %3 s")
                                  .arg(liveCount())
                                  .arg(tiles.size())
                                  .arg(LiveValuesWaitMs / 1000)
                                  .toStdString());
        // One more round of polls, so that every bar has moved at least once.
        WaitUntil([] { return false; }, 100 * static_cast<int>(tiles.size()) + 300);
        Say(QStringLiteral("all %1 tiles show live values").arg(tiles.size()));
    }

    // The tile's Sync Tx button; the result arrives as a message box.
    void SyncFirstTile()
    {
        bool shown = false;
        WhenModal("TFrmMessage", SyncWaitMs, [&](QWidget* box) {
            Shoot(box, "message-box");
            shown = true;
            box->close();
        });
        m_window.Tiles().front()->findChild<QPushButton*>(QStringLiteral("btSet"))->click();
        if (!WaitUntil([&] { return shown; }, SyncWaitMs + 1000))
            throw DemoFailure("Sync Tx gave no result box");
    }

    // The settings window, confirmed as it is: "Saved!" follows.
    void ConfirmSettings()
    {
        bool saved = false;
        WhenModal("TFrmSet", ModalWaitMs, [&](QWidget* modal) {
            Shoot(modal, "settings");
            WhenModal("TFrmMessage", ModalWaitMs, [&](QWidget* box) {
                Shoot(box, "saved-box");
                saved = true;
                box->close();
            });
            static_cast<TFrmSet*>(modal)->btSureClick();
        });
        Action("mnSet")->trigger();
        if (!saved)
            throw DemoFailure("the settings window did not confirm with \"Saved!\"");
    }

    void ShowAbout()
    {
        bool shown = false;
        WhenModal("TFrmAbout", ModalWaitMs, [&](QWidget* about) {
            Shoot(about, "about");
            shown = true;
            about->close();
        });
        Action("tbAbout")->trigger();
        if (!shown)
            throw DemoFailure("the about window did not open");
    }

    TTMICObject* TileWhere(const std::function<bool(const TTMICObject&)>& state) const
    {
        for (const auto& tile : m_window.Tiles())
            if (state(*tile))
                return tile.get();
        return nullptr;
    }

    // Waits for a tile in this state and shoots it and the main window.
    TTMICObject& ShootState(const char* what, const std::function<bool(const TTMICObject&)>& state)
    {
        if (!WaitUntil([&] { return TileWhere(state) != nullptr; }, EpisodeWaitMs))
            throw DemoFailure(QStringLiteral("no tile showed %1 within %2 s (messages: %3)")
                                  .arg(QLatin1String(what))
                                  .arg(EpisodeWaitMs / 1000)
                                  .arg(MessageLines())
                                  .toStdString());
        TTMICObject& tile = *TileWhere(state);
        const QString name = QLatin1String(what);
        ShootInState(&m_window, QStringLiteral("watch-") + name, tile, state);
        ShootInState(&tile, QStringLiteral("tile-") + name, tile, state);
        Say(QStringLiteral("%1: %2").arg(QLatin1String(what), m_messages->item(m_messages->count() - 1)->text()));
        return tile;
    }

    // Handles what is pending, then shoots once the tile is (again) in the state, with no event
    // handled in between: a flashing symbol is taken in its on phase, never in whichever phase
    // the flash timer happened to leave it.
    void ShootInState(QWidget* widget, const QString& name, const TTMICObject& tile,
        const std::function<bool(const TTMICObject&)>& state) const
    {
        QCoreApplication::processEvents();
        if (!WaitUntil([&] { return state(tile); }, EpisodeWaitMs))
            throw DemoFailure(QStringLiteral("the tile left the state of %1").arg(name).toStdString());
        Shoot(widget, qPrintable(name));
    }

    static bool Flashing(const TTMICObject& tile)
    {
        const auto* flash = tile.findChild<QWidget*>(QStringLiteral("BatteryFlash"));
        return tile.IsLowBattery() && flash && flash->isVisible();
    }

    void WatchTheShow()
    {
        ShootState("low-battery", &Flashing);
        ShootState("rf-loss", [](const TTMICObject& t) { return t.IsRfLoss(); });
        const TTMICObject& lost = ShootState("lost", [](const TTMICObject& t) { return t.IsLost(); });
        const int rxid = lost.RXID(), devIdx = lost.DevIdx();
        ShootState("restored", [&](const TTMICObject& t) {
            return t.RXID() == rxid && t.DevIdx() == devIdx && !t.IsLost();
        });
        Say(QStringLiteral("the show's events are in %1").arg(m_window.EventLogPath()));
    }

    static void CheckFirstRow(QTreeWidget* list)
    {
        QTreeWidgetItem* row = list->topLevelItem(0);
        row->setCheckState(0, Qt::Checked);
        emit list->itemClicked(row, 0);
    }

    // A few seconds of the first channel's RF levels, then the record after Stop.
    void RecordRfHistory()
    {
        int samples = -1;
        WhenModal("TFrmRFHistory", ModalWaitMs, [&](QWidget* modal) {
            auto* history = static_cast<TFrmRFHistory*>(modal);
            CheckFirstRow(history->lbDevList);
            history->btStart->click();
            WaitUntil([] { return false; }, RecordMs);
            history->btStop->click();
            QCoreApplication::processEvents();
            samples = history->Record().SampleCount();
            Shoot(history, "rf-history");
            history->close();
        });
        Action("tbRFHistory")->trigger();
        if (samples < RecordMs / 200)
            throw DemoFailure(QStringLiteral("the RF history recorded %1 samples in %2 s").arg(samples).arg(RecordMs / 1000).toStdString());
        Say(QStringLiteral("RF history: %1 samples in %2 s").arg(samples).arg(RecordMs / 1000));
    }

    // Clicks a scan window's Start and waits for the box that says the scan is over, which it
    // closes; false when none came within waitMs.
    bool StartAndAwaitFinish(QPushButton& start, int waitMs)
    {
        bool finished = false;
        WhenModal("TFrmMessage", waitMs, [&](QWidget* box) {
            finished = true;
            box->close();
        });
        start.click();
        WaitUntil([&] { return finished; }, waitMs + 1000);
        return finished;
    }

    // One sweep of the first receiver's band, its busy channels standing out as peaks.
    void ScanBand()
    {
        int points = -1;
        WhenModal("TFrmScanRF", ModalWaitMs, [&](QWidget* modal) {
            auto* scan = static_cast<TFrmScanRF*>(modal);
            CheckFirstRow(scan->lbDevList);
            const bool finished = StartAndAwaitFinish(*scan->btStart, ScanWaitMs);
            points = finished ? scan->Points().PointCount : 0;
            QCoreApplication::processEvents();
            Shoot(scan, "scan-rf");
            scan->close();
        });
        Action("tbScanRF")->trigger();
        if (points <= 0)
            throw DemoFailure("the band scan did not finish");
        Say(QStringLiteral("scan: %1 points").arg(points));
    }

    // One band scanned, its idle channels listed; the list is left without a choice.
    void SingleSetup()
    {
        int offered = -1;
        WhenModal("TFrmSingleSet", ModalWaitMs, [&](QWidget* modal) {
            auto* single = static_cast<TFrmSingleSet*>(modal);
            CheckFirstRow(single->lbDevList);
            StartAndAwaitFinish(*single->btStart, ScanWaitMs);
            QCoreApplication::processEvents();
            Shoot(single, "single-setup");
            WhenModal("TFrmSetFreq", ModalWaitMs, [&](QWidget* list) {
                offered = static_cast<TFrmSetFreq*>(list)->lvFreq->topLevelItemCount();
                Shoot(list, "set-freq");
                list->close();
            });
            single->btSetFreq->click();
            single->close();
        });
        Action("tbSingleSet")->trigger();
        if (offered <= 0)
            throw DemoFailure("the single band setup offered no idle channel");
        Say(QStringLiteral("single band setup: %1 idle channels offered").arg(offered));
    }

    // Every channel checked: the first ten are scanned one after another and drawn together;
    // Assign all at the three-transmitter level proposes a frequency for all twelve and sets them.
    void CompatibilitySetup()
    {
        int scans = -1;
        int confirmed = -1;
        WhenModal("TFrmMulitSet", ModalWaitMs, [&](QWidget* modal) {
            auto* multi = static_cast<TFrmMulitSet*>(modal);
            for (int i = 0; i < multi->lbDevList->topLevelItemCount(); ++i)
                multi->lbDevList->topLevelItem(i)->setCheckState(0, Qt::Checked);
            StartAndAwaitFinish(*multi->btStart, SequenceWaitMs);
            scans = multi->CompleteScans();
            QCoreApplication::processEvents();
            Shoot(multi, "compatibility-scans");
            WhenModal("TFrmSetMuiltFreq", ModalWaitMs, [&](QWidget* assign) {
                confirmed = AssignAll(*static_cast<TFrmSetMuiltFreq*>(assign));
            });
            multi->btSetFreq->click();
            if (multi->isVisible())
                multi->close();
        });
        Action("tbCompSetup")->trigger();
        if (scans <= 0)
            throw DemoFailure("the compatibility setup scanned no band");
        if (confirmed <= 0)
            throw DemoFailure("Assign all set no device");
        Say(QStringLiteral("compatibility setup: %1 scans, %2 devices set").arg(scans).arg(confirmed));
        WaitUntil([] { return false; }, 100 * m_rows->topLevelItemCount() + 1500); // the next status polls
        Shoot(&m_window, "main-window-assigned");
    }

    // Shoots the proposal when the confirmation is asked, confirms, shoots the report; the
    // number of devices confirmed.
    int AssignAll(TFrmSetMuiltFreq& assign)
    {
        assign.cbIntermod->setCurrentIndex(static_cast<int>(coordination::Level::ThreeTransmitter));
        emit assign.cbIntermod->activated(assign.cbIntermod->currentIndex());
        bool reported = false;
        WhenModal("TFrmMessage", ModalWaitMs, [&](QWidget* question) {
            Shoot(&assign, "assign-proposal");
            WhenModal("TFrmMessage", AssignWaitMs, [&](QWidget* report) {
                Shoot(report, "assign-report");
                reported = true;
                report->close();
            });
            static_cast<TFrmMessage*>(question)->btSureClick();
        });
        assign.btAssignAll->click();
        WaitUntil([&] { return reported; }, AssignWaitMs + 1000);
        QCoreApplication::processEvents();
        Shoot(&assign, "assign-result");
        int confirmed = 0;
        for (int i = 0; i < assign.lbDevList->topLevelItemCount(); ++i)
            confirmed += assign.lbDevList->topLevelItem(i)->text(TFrmSetMuiltFreq::ColResult) == BuiltinText(69);
        assign.close();
        return confirmed;
    }

    QAction* Action(const char* name) const
    {
        auto* action = m_window.findChild<QAction*>(QString::fromLatin1(name));
        if (!action)
            throw DemoFailure(std::string("no action ") + name);
        return action;
    }

    // Runs action on the next modal window of this class once it is shown. Each wait has a timer
    // of its own, so that a wait can be armed inside another one's action.
    void WhenModal(const char* className, int timeoutMs, std::function<void(QWidget*)> action)
    {
        auto* poll = new QTimer(&m_window);
        const QDeadlineTimer deadline(timeoutMs);
        QObject::connect(poll, &QTimer::timeout, &m_window, [poll, deadline, className, action = std::move(action)] {
            QPointer<QWidget> modal = QApplication::activeModalWidget();
            const bool found = modal && modal->isVisible() && qstrcmp(modal->metaObject()->className(), className) == 0;
            if (!found && !deadline.hasExpired())
                return;
            poll->stop();
            poll->deleteLater();
            if (found) {
                QCoreApplication::processEvents(); // let it paint once before the shot
                action(modal);
            }
        });
        poll->start(50);
    }

    // The show so far in the timeline: a lane per channel with the simulator's episodes.
    void ShowTimeline()
    {
        Action("mnTimeline")->trigger();
        auto* timeline = m_window.findChild<TFrmTimeline*>();
        if (!timeline)
            throw DemoFailure("Devices > Timeline opened no window");
        timeline->resize(1200, 100 + m_rows->topLevelItemCount() * TimelineChart::LaneHeight);
        m_window.Timeline().Flush(); // the lanes hold the show until this moment
        timeline->cbPeriod->setCurrentIndex(TFrmTimeline::SinceShowStart);
        if (!WaitUntil([timeline] { return !timeline->Loading(); }, ModalWaitMs))
            throw DemoFailure("the timeline's lanes did not arrive");
        const int lanes = (timeline->Chart().minimumHeight() - TimelineChart::AxisHeight) / TimelineChart::LaneHeight;
        Shoot(timeline, "timeline");
        if (lanes != m_rows->topLevelItemCount())
            throw DemoFailure(QStringLiteral("the timeline shows %1 lanes for %2 channels")
                                  .arg(lanes)
                                  .arg(m_rows->topLevelItemCount())
                                  .toStdString());
        Say(QStringLiteral("timeline: %1 lanes in %2").arg(lanes).arg(m_window.Timeline().Path()));
        timeline->close();
    }

    void Shoot(QWidget* widget, const char* name) const
    {
        const QString path = m_shots + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
        if (!widget->grab().save(path))
            throw DemoFailure(QStringLiteral("cannot write %1").arg(path).toStdString());
        Say(QStringLiteral("shot %1").arg(path));
    }

    TFrmMain& m_window;
    const QString m_shots;
    QTreeWidget* m_rows = nullptr;
    QListWidget* m_messages = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    CreateProcessObjects();
    TessaroApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaro"));
    const QString shots = argc > 1 ? QString::fromLocal8Bit(argv[1]) : PublicStruct::Instance().ExeDir + "shots";
    if (!QDir().mkpath(shots)) {
        std::fprintf(stderr, "demo: cannot make the folder %s\n", qPrintable(shots));
        return 1;
    }
    try {
        TFrmMain window;
        Demo demo(window, shots);
        try {
            demo.Run();
        } catch (const DemoFailure&) {
            demo.ShootForDiagnosis();
            throw;
        }
    } catch (const UDPServerException& error) {
        std::fprintf(stderr, "demo: the main window could not start: %s\n", qPrintable(error.Message()));
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "demo: %s\n", error.what());
        return 1;
    }
    Say(QStringLiteral("screenshots in %1").arg(QDir(shots).absolutePath()));
    return 0;
}
