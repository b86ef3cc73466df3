#pragma once
// The timeline window: the recorded history of the managed channels from Timeline.sqlite. Choose
// the channels (all, the selected one, or those whose name holds a filter text) and a period
// (the last hour, 6 hours, 24 hours, since the show started, or from–to); the lanes show RF A/B,
// audio, battery and the events; Export CSV writes the chosen channels and period.
#include "store/TimelineQuery.h"

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
    enum Scope { AllChannels, SelectedChannel, NameFilter };
    enum Period { LastHour, Last6Hours, Last24Hours, SinceShowStart, FromTo };

    // selected: the channel the device list had selected, if any.
    TFrmTimeline(TFrmMain& owner, const ChannelKey* selected);
    ~TFrmTimeline() override;

    // Reads the chosen period anew (the writer is flushed first, so the latest second is in).
    void Refresh();
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

private:
    void CreateControls();
    void ChoosePeriod();
    void ShowPeriod(int64_t fromMs, int64_t toMs);
    std::vector<ChannelKey> ChosenChannels() const;
    QString ChannelName(const ChannelKey& channel) const;
    void btExportClick();

    TFrmMain& m_owner;
    std::unique_ptr<TimelineQuery> m_query;
    bool m_hasSelected = false;
    ChannelKey m_selected;
    QScrollArea* m_scroll = nullptr;
    TimelineChart* chTimeline = nullptr;
};
