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
    m_loader = std::make_unique<TimelineLoader>(owner.Timeline().Path());
    connect(m_loader.get(), &TimelineLoader::Loaded, this, &TFrmTimeline::ShowLanes);
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
    lbLoading = new QLabel(this);
    lbLoading->setObjectName(QStringLiteral("lbLoading"));
    chTimeline = new TimelineChart;
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(chTimeline);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*> {
             cbScope, edNameFilter, cbPeriod, dtFrom, dtTo, btRefresh, btExport, lbLoading })
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
    m_fromShowStart = false;
    switch (cbPeriod->currentIndex()) {
    case LastHour:
        return ShowPeriod(now - HourMs, now);
    case Last6Hours:
        return ShowPeriod(now - 6 * HourMs, now);
    case Last24Hours:
        return ShowPeriod(now - 24 * HourMs, now);
    case SinceShowStart:
        m_fromShowStart = true; // the last hour until the loader finds the show's start
        chTimeline->SetPeriod(now - HourMs, now);
        return Refresh();
    default:
        return ShowPeriod(dtFrom->dateTime().toMSecsSinceEpoch(), dtTo->dateTime().toMSecsSinceEpoch());
    }
}

void TFrmTimeline::ShowPeriod(int64_t fromMs, int64_t toMs)
{
    m_fromShowStart = false;
    chTimeline->SetPeriod(fromMs, toMs);
    Refresh();
}

void TFrmTimeline::Refresh()
{
    TimelineRequest request;
    request.FromMs = chTimeline->From();
    request.ToMs = chTimeline->To();
    request.FromShowStart = m_fromShowStart;
    request.Columns = chTimeline->Columns();
    request.Which = static_cast<TimelineRequest::Scope>(cbScope->currentIndex());
    request.Selected = m_hasSelected ? m_selected : ChannelKey { -1, -1 };
    request.Filter = edNameFilter->text();
    DeviceList& devices = m_owner.Devices();
    for (int i = 0; i < devices.Count(); ++i)
        request.Names[{ devices.At(i)->RXID, devices.At(i)->DevIdx }] = devices.At(i)->Name;
    m_loader->Request(std::move(request));
    lbLoading->setText(LanguageText("正在读取…", "Loading…"));
}

void TFrmTimeline::ShowLanes(const TimelineAnswer& answer)
{
    lbLoading->setText(answer.Error.isEmpty()
            ? QString()
            : LanguageText("无法读取时间线: %1", "Cannot read the timeline: %1").arg(answer.Error));
    if (m_fromShowStart)
        chTimeline->SetPeriod(answer.FromMs, answer.ToMs);
    m_fromShowStart = false;
    m_shown.clear();
    for (const Lane& lane : answer.Lanes)
        m_shown.push_back(lane.Channel);
    chTimeline->SetLanes(answer.Lanes, answer.Names);
}

bool TFrmTimeline::ExportCsv(const QString& path)
{
    m_owner.Timeline().Flush(); // the operator asked for a file: it holds everything until now
    TimelineQuery query(m_owner.Timeline().Path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return query.ExportCsv(m_shown, chTimeline->From(), chTimeline->To(), file) && file.commit();
}

void TFrmTimeline::btExportClick()
{
    const QString path = QFileDialog::getSaveFileName(
        this, btExport->text(), QStringLiteral("Timeline.csv"), QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty() && !ExportCsv(path))
        QMessageBox::warning(this, windowTitle(), LanguageText("无法写入 %1", "Cannot write %1").arg(path));
}
