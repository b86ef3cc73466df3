#pragma once
// The timeline window: the recorded history of the managed channels from Timeline.sqlite. Choose
// the channels (all, the selected one, or those whose name holds a filter text) and a period
// (the last hour, 6 hours, 24 hours, since the show started, or from–to); the lanes show RF A/B,
// audio, battery and the events; Export CSV writes the shown channels and period. The lanes are
// read on the loader's thread: the window says it is loading and draws when they arrive.
#include "store/TimelineLoader.h"

#include <QWidget>
#include <memory>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class TFrmMain;
class TimelineChart;

class TFrmTimeline : public QWidget
{
    Q_OBJECT

public:
    using enum TimelineRequest::Scope;
    enum Period { LastHour, Last6Hours, Last24Hours, SinceShowStart, FromTo };

    // selected: the channel the device list had selected, if any.
    TFrmTimeline(TFrmMain& owner, const ChannelKey* selected);
    ~TFrmTimeline() override;

    // Reads the chosen channels and period anew; what the writer has not committed yet (a quarter
    // of a second at most) comes with the next refresh.
    void Refresh();
    bool Loading() const { return m_loader->Loading(); }
    bool ExportCsv(const QString& path);
    TimelineChart& Chart() const { return *chTimeline; }

    QComboBox* cbScope = nullptr;
    QLineEdit* edNameFilter = nullptr;
    QComboBox* cbPeriod = nullptr;
    QDateTimeEdit* dtFrom = nullptr;
    QDateTimeEdit* dtTo = nullptr;
    QPushButton* btRefresh = nullptr;
    QPushButton* btExport = nullptr;
    QLabel* lbReadOut = nullptr;
    QLabel* lbLoading = nullptr;

private:
    void CreateControls();
    void ChoosePeriod();
    void ShowPeriod(int64_t fromMs, int64_t toMs);
    void ShowLanes(const TimelineAnswer& answer);
    void btExportClick();

    TFrmMain& m_owner;
    std::unique_ptr<TimelineLoader> m_loader;
    bool m_fromShowStart = false; // the period starts when the show did, once the loader knows when
    std::vector<ChannelKey> m_shown; // the lanes on screen, for the export
    bool m_hasSelected = false;
    ChannelKey m_selected;
    QScrollArea* m_scroll = nullptr;
    TimelineChart* chTimeline = nullptr;
};
