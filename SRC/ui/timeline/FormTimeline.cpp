#include "ui/timeline/FormTimeline.h"

#include "data/Device.h"
#include "lang/Language.h"
#include "store/TimelineStore.h"
#include "ui/FormMain.h"
#include "ui/timeline/TimelineChart.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QVBoxLayout>

namespace
{

constexpr int64_t HourMs = 3600 * 1000;

} // namespace

TFrmTimeline::TFrmTimeline(TFrmMain& owner, const ChannelKey* selected)
    : QWidget(&owner, Qt::Window)
    , m_owner(owner)
    , m_hasSelected(selected != nullptr)
    , m_selected(selected ? *selected : ChannelKey {})
{
    setObjectName(QStringLiteral("FrmTimeline"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LanguageText("时间线", "Timeline"));
    owner.Timeline().Flush(); // the writer has made the file by now, if it can
    m_query = std::make_unique<TimelineQuery>(owner.Timeline().Path());
    CreateControls();
    cbScope->setCurrentIndex(m_hasSelected ? SelectedChannel : AllChannels);
    resize(1000, 640);
    ChoosePeriod();
}

TFrmTimeline::~TFrmTimeline() = default;

void TFrmTimeline::CreateControls()
{
    cbScope = new QComboBox(this);
    cbScope->setObjectName(QStringLiteral("cbScope"));
    cbScope->addItems({ LanguageText("全部通道", "All channels"), LanguageText("选中的通道", "Selected channel"),
        LanguageText("名称含", "Name contains") });
    edNameFilter = new QLineEdit(this);
    edNameFilter->setObjectName(QStringLiteral("edNameFilter"));
    cbPeriod = new QComboBox(this);
    cbPeriod->setObjectName(QStringLiteral("cbPeriod"));
    cbPeriod->addItems({ LanguageText("最近 1 小时", "Last hour"), LanguageText("最近 6 小时", "Last 6 hours"),
        LanguageText("最近 24 小时", "Last 24 hours"), LanguageText("本场演出", "Since the show started"),
        LanguageText("自定义", "From - to") });
    dtFrom = new QDateTimeEdit(QDateTime::currentDateTime().addSecs(-3600), this);
    dtFrom->setObjectName(QStringLiteral("dtFrom"));
    dtTo = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    dtTo->setObjectName(QStringLiteral("dtTo"));
    for (QDateTimeEdit* edit : { dtFrom, dtTo })
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    btRefresh = new QPushButton(LanguageText("刷新", "Refresh"), this);
    btRefresh->setObjectName(QStringLiteral("btRefresh"));
    btExport = new QPushButton(LanguageText("导出 CSV", "Export CSV"), this);
    btExport->setObjectName(QStringLiteral("btExport"));
    lbReadOut = new QLabel(this);
    lbReadOut->setObjectName(QStringLiteral("lbReadOut"));
    chTimeline = new TimelineChart;
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(chTimeline);

    auto* bar = new QHBoxLayout;
    for (QWidget* w :
        std::initializer_list<QWidget*> { cbScope, edNameFilter, cbPeriod, dtFrom, dtTo, btRefresh, btExport })
        bar->addWidget(w);
    auto* column = new QVBoxLayout(this);
    column->addLayout(bar);
    column->addWidget(m_scroll, 1);
    column->addWidget(lbReadOut);

    connect(cbScope, &QComboBox::currentIndexChanged, this, &TFrmTimeline::Refresh);
    connect(edNameFilter, &QLineEdit::textChanged, this, [this] {
        if (cbScope->currentIndex() == NameFilter)
            Refresh();
    });
    connect(cbPeriod, &QComboBox::currentIndexChanged, this, &TFrmTimeline::ChoosePeriod);
    connect(btRefresh, &QPushButton::clicked, this, &TFrmTimeline::ChoosePeriod);
    connect(btExport, &QPushButton::clicked, this, &TFrmTimeline::btExportClick);
    connect(chTimeline, &TimelineChart::PeriodChanged, this, &TFrmTimeline::ShowPeriod);
    connect(chTimeline, &TimelineChart::Hovered, lbReadOut, &QLabel::setText);
}

// The chosen period ends now, except from-to; the chart's zoom and pan start from it.
void TFrmTimeline::ChoosePeriod()
{
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const bool fromTo = cbPeriod->currentIndex() == FromTo;
    dtFrom->setEnabled(fromTo);
    dtTo->setEnabled(fromTo);
    switch (cbPeriod->currentIndex()) {
    case LastHour:
        return ShowPeriod(now - HourMs, now);
    case Last6Hours:
        return ShowPeriod(now - 6 * HourMs, now);
    case Last24Hours:
        return ShowPeriod(now - 24 * HourMs, now);
    case SinceShowStart: {
        const int64_t start = m_query->ShowStart();
        return ShowPeriod(start > 0 ? start : now - HourMs, now);
    }
    default:
        return ShowPeriod(dtFrom->dateTime().toMSecsSinceEpoch(), dtTo->dateTime().toMSecsSinceEpoch());
    }
}

void TFrmTimeline::ShowPeriod(int64_t fromMs, int64_t toMs)
{
    chTimeline->SetPeriod(fromMs, toMs);
    Refresh();
}

void TFrmTimeline::Refresh()
{
    m_owner.Timeline().Flush();
    if (!m_query->IsOpen()) // the file was missing when the window opened
        m_query = std::make_unique<TimelineQuery>(m_owner.Timeline().Path());
    std::vector<Lane> lanes;
    QStringList names;
    for (const ChannelKey& channel : ChosenChannels()) {
        lanes.push_back(m_query->Read(channel, chTimeline->From(), chTimeline->To(), chTimeline->Columns()));
        names << ChannelName(channel);
    }
    chTimeline->SetLanes(std::move(lanes), names);
}

std::vector<ChannelKey> TFrmTimeline::ChosenChannels() const
{
    std::vector<ChannelKey> chosen;
    const QString filter = edNameFilter->text().trimmed();
    for (const ChannelKey& channel : m_query->Channels()) {
        switch (cbScope->currentIndex()) {
        case SelectedChannel:
            if (!m_hasSelected || !(channel == m_selected))
                continue;
            break;
        case NameFilter:
            if (!ChannelName(channel).contains(filter, Qt::CaseInsensitive))
                continue;
            break;
        default:
            break;
        }
        chosen.push_back(channel);
    }
    return chosen;
}

QString TFrmTimeline::ChannelName(const ChannelKey& channel) const
{
    const QString key = QStringLiteral("%1:%2").arg(channel.Rxid).arg(channel.DevIdx);
    const TTMICListObj* record = FindDevice(m_owner.Devices(), channel.Rxid, channel.DevIdx);
    return record && !record->Name.isEmpty() ? key + QLatin1Char(' ') + record->Name : key;
}

bool TFrmTimeline::ExportCsv(const QString& path)
{
    m_owner.Timeline().Flush();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return m_query->ExportCsv(ChosenChannels(), chTimeline->From(), chTimeline->To(), file) && file.commit();
}

void TFrmTimeline::btExportClick()
{
    const QString path = QFileDialog::getSaveFileName(
        this, btExport->text(), QStringLiteral("Timeline.csv"), QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty() && !ExportCsv(path))
        QMessageBox::warning(this, windowTitle(), LanguageText("无法写入 %1", "Cannot write %1").arg(path));
}
