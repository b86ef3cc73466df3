#include "ui/rf/FormSetMuiltFreq.h"

#include "coord/CurrentShow.h"
#include "coord/Explain.h"
#include "coord/OnAir.h"
#include "coord/PlanShow.h"
#include "coord/Search.h"
#include "coord/ShowInputs.h"
#include "data/Device.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "ui/DialogParts.h"
#include "ui/Discovery.h"
#include "ui/FormMessage.h"
#include "ui/coord/FormCoordInputs.h"
#include "ui/coord/ShowSignals.h"
#include "ui/rf/ScanImport.h"

#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <numeric>

TFrmSetMuiltFreq* FrmSetMuiltFreq = nullptr;

using namespace coordination;

namespace
{

constexpr unsigned TextSetSuccess = 69;
constexpr unsigned TextSetFail = 72;
constexpr int ConfirmButtons = 0x21; // confirm and cancel, question icon

int CellNumber(const QTreeWidgetItem& row, int column)
{
    bool ok = false;
    const int value = row.text(column).toInt(&ok);
    return ok ? value : 1;
}

QString LevelText(int level)
{
    switch (level) {
    case 1:
        return LanguageText("载波间隔", "Spacing");
    case 2:
        return LanguageText("间隔 + 2f1−f2", "Spacing + 2f1−f2");
    case 3:
        return LanguageText("间隔 + 2f1−f2 + f1+f2−f3", "Spacing + 2f1−f2 + f1+f2−f3");
    default:
        return LanguageText("关", "Off");
    }
}

QString DeviceName(const TTMICListObj& device)
{
    return QStringLiteral("%1:%2").arg(device.RXID).arg(device.DevIdx);
}

} // namespace

TFrmSetMuiltFreq::TFrmSetMuiltFreq(
    QWidget* owner, bool& done, std::vector<ScanView> scans, const QTreeWidget& source, const DeviceList& devices)
    : TIdleFreqBase(owner, done, "FrmSetMuiltFreq")
    , m_scans(std::move(scans))
    , m_devices(devices)
{
    FrmSetMuiltFreq = this;
    RegisterToolWindow(ToolWindow::SetMuiltFreq, this);
    CreateControls();
    CopyCheckedRows(source);
    if (QTreeWidgetItem* first = lbDevList->topLevelItem(0)) {
        lbDevList->setCurrentItem(first);
        lbDevListClick(first);
    }
}

TFrmSetMuiltFreq::~TFrmSetMuiltFreq()
{
    PublicStruct::Instance().ScanBusy = false;
    UnregisterToolWindow(ToolWindow::SetMuiltFreq, this);
    if (FrmSetMuiltFreq == this)
        FrmSetMuiltFreq = nullptr;
}

void TFrmSetMuiltFreq::CreateControls()
{
    lbDevList = Named(new QTreeWidget(this), "lbDevList");
    lbDevList->setRootIsDecorated(false);
    lbDevList->setSelectionMode(QAbstractItemView::SingleSelection);
    lbDevList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lbDevList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbDevList->setHeaderLabels({ TranslateText(QStringLiteral("序号")), TranslateText(QStringLiteral("通道")),
        TranslateText(QStringLiteral("设备名称")), QStringLiteral("IP"), LanguageText("建议通道", "Proposed"),
        LanguageText("建议频率", "Proposed freq"), LanguageText("结果", "Result") });
    const int widths[ColumnCount] = { 80, 60, 100, 180, 70, 110, 100 };
    for (int c = 0; c < ColumnCount; ++c)
        lbDevList->header()->resizeSection(c, widths[c]);
    // Wide enough for the proposal beside the device, without scrolling.
    lbDevList->setFixedWidth(std::accumulate(std::begin(widths), std::end(widths), 6));

    lbIntermod = NewLabel(this, "lbIntermod", LanguageText("互调:", "Intermodulation:"));
    cbIntermod = Named(new QComboBox(this), "cbIntermod");
    for (int level = 0; level < LevelCount; ++level)
        cbIntermod->addItem(LevelText(level));
    lbSpacing = NewLabel(this, "lbSpacing", LanguageText("间隔 (kHz):", "Spacing (kHz):"));
    edSpacing = Named(new QSpinBox(this), "edSpacing");
    lbGuard = NewLabel(this, "lbGuard", LanguageText("互调保护 (kHz):", "Product guard (kHz):"));
    edGuard = Named(new QSpinBox(this), "edGuard");
    for (QSpinBox* box : { edSpacing, edGuard }) {
        box->setRange(0, MaxSettingKHz);
        box->setSingleStep(50);
    }
    const coordination::Rule rule = LoadRule(PublicStruct::Instance().ConfigPath());
    cbIntermod->setCurrentIndex(static_cast<int>(rule.level));
    edSpacing->setValue(rule.SpacingKHz);
    edGuard->setValue(rule.GuardKHz);
    lbBudget = NewLabel(this, "lbBudget", LanguageText("搜索时间 (秒):", "Search time (s):"));
    edBudget = Named(new QSpinBox(this), "edBudget");
    edBudget->setRange(1, MaxBudgetMs / 1000);
    edBudget->setValue(LoadBudgetMs(PublicStruct::Instance().ConfigPath()) / 1000);
    lbHidden = NewLabel(this, "lbHidden", QString());
    lbHidden->setWordWrap(true);
    lbPlan = NewLabel(this, "lbPlan", QString());
    lbPlan->setWordWrap(true);
    btAssignAll = NewButton(this, "btAssignAll", LanguageText("全部分配", "Assign all"));
    btAnalyze = NewButton(this, "btAnalyze", LanguageText("分析", "Analyze"));
    btCoordInputs = NewButton(this, "btCoordInputs", LanguageText("协调输入...", "Inputs..."));

    connect(lbDevList, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) { lbDevListClick(row); });
    connect(btSet, &QPushButton::clicked, this, &TFrmSetMuiltFreq::btSetClick);
    connect(btAssignAll, &QPushButton::clicked, this, &TFrmSetMuiltFreq::btAssignAllClick);
    connect(btAnalyze, &QPushButton::clicked, this, &TFrmSetMuiltFreq::btAnalyzeClick);
    connect(btCoordInputs, &QPushButton::clicked, this, &TFrmSetMuiltFreq::btCoordInputsClick);
    connect(cbIntermod, &QComboBox::activated, this, &TFrmSetMuiltFreq::RuleChanged);
    connect(edSpacing, &QSpinBox::editingFinished, this, &TFrmSetMuiltFreq::RuleChanged);
    connect(edGuard, &QSpinBox::editingFinished, this, &TFrmSetMuiltFreq::RuleChanged);
    connect(edBudget, &QSpinBox::editingFinished, this,
        [this] { SaveBudgetMs(PublicStruct::Instance().ConfigPath(), edBudget->value() * 1000); });

    QGridLayout* head = NewHeadGrid();
    head->addWidget(lbIntermod, 2, 0, 1, 2);
    head->addWidget(cbIntermod, 2, 2, 1, 2);
    head->addWidget(lbSpacing, 3, 0, 1, 2);
    head->addWidget(edSpacing, 3, 2, 1, 2);
    head->addWidget(lbGuard, 4, 0, 1, 2);
    head->addWidget(edGuard, 4, 2, 1, 2);
    head->addWidget(lbBudget, 5, 0, 1, 2);
    head->addWidget(edBudget, 5, 2, 1, 2);
    auto* right = new QVBoxLayout;
    right->addLayout(head);
    right->addWidget(lvFreq, 1);
    right->addWidget(lbHidden);
    right->addWidget(lbPlan);
    auto* fields = new QHBoxLayout;
    fields->addWidget(lbDevList);
    fields->addLayout(right, 1);
    ArrangeFieldsAndButtons(*this, fields, { btCoordInputs, btAnalyze, btAssignAll, btSet, btCancel });
    // Wider than the plain window by the proposal columns and the coordination settings.
    setFixedSize(1110, 614);
}

void TFrmSetMuiltFreq::CopyCheckedRows(const QTreeWidget& source)
{
    for (int i = 0; i < source.topLevelItemCount(); ++i) {
        const QTreeWidgetItem& from = *source.topLevelItem(i);
        if (from.checkState(0) != Qt::Checked)
            continue;
        auto* row = new QTreeWidgetItem(lbDevList);
        for (int c = 0; c < std::min(from.columnCount(), int(ColProposedChannel)); ++c)
            row->setText(c, from.text(c));
    }
}

coordination::Rule TFrmSetMuiltFreq::Rule() const
{
    return { static_cast<Level>(cbIntermod->currentIndex()), edSpacing->value(), edGuard->value() };
}

const TTMICListObj* TFrmSetMuiltFreq::DeviceOf(const QTreeWidgetItem& row) const
{
    return FindDevice(m_devices, CellNumber(row, ColID), CellNumber(row, ColChannel));
}

void TFrmSetMuiltFreq::lbDevListClick(QTreeWidgetItem* row)
{
    if (Assigning() || !row)
        return;
    if (const TTMICListObj* device = DeviceOf(*row))
        BuildFor(*device);
}

// The device on show stays the one rebuilt, so that Set never addresses another device than the
// one whose channels are listed.
void TFrmSetMuiltFreq::cbMaxRFClick()
{
    if (m_target)
        BuildFor(*m_target);
    else if (QTreeWidgetItem* first = lbDevList->topLevelItem(0))
        lbDevListClick(first);
}

void TFrmSetMuiltFreq::RuleChanged()
{
    SaveRule(PublicStruct::Instance().ConfigPath(), Rule());
    if (m_target)
        BuildFor(*m_target);
}

std::vector<IdleChannel> TFrmSetMuiltFreq::IdleOf(const TTMICListObj& device) const
{
    const BandOfChannels band { device.StartFreq, device.StartChannel, device.MaxChannel };
    return IdleChannelsWithShowScans(band, m_scans, Threshold());
}

// The frequencies on air now (what this window assigned, else the devices' current ones, and the
// show's foreign carriers) judged by the window's rule.
void TFrmSetMuiltFreq::btAnalyzeClick()
{
    std::vector<NamedCarrier> carriers;
    for (int i = 0; i < lbDevList->topLevelItemCount(); ++i) {
        const TTMICListObj* device = DeviceOf(*lbDevList->topLevelItem(i));
        if (!device)
            continue;
        const auto assigned = m_assigned.find({ device->RXID, device->DevIdx });
        const double freq = assigned != m_assigned.end() ? assigned->second : device->Freq;
        if (freq > 0.0)
            carriers.push_back({ DeviceName(*device), FreqKHz(freq) });
    }
    const std::vector<NamedCarrier> foreign = ForeignCarriersOf(TheShow().file);
    carriers.insert(carriers.end(), foreign.begin(), foreign.end());
    ShowText(Analyze(Rule(), carriers).join(QLatin1Char('\n')));
}

std::vector<int> TFrmSetMuiltFreq::OtherCarriers(const TTMICListObj& device) const
{
    std::vector<int> carriers;
    for (int i = 0; i < lbDevList->topLevelItemCount(); ++i) {
        const TTMICListObj* other = DeviceOf(*lbDevList->topLevelItem(i));
        if (!other || other == &device)
            continue;
        const auto assigned = m_assigned.find({ other->RXID, other->DevIdx });
        const double freq = assigned != m_assigned.end() ? assigned->second : other->Freq;
        if (freq > 0.0) // a device that never reported its frequency puts no carrier on air
            carriers.push_back(FreqKHz(freq));
    }
    return carriers;
}

void TFrmSetMuiltFreq::BuildFor(const TTMICListObj& device)
{
    if (m_target != &device)
        m_pendingChannel = -1; // a Set for the previous device is no longer awaited
    m_target = &device;
    lbRxID->setText(DeviceName(device));
    lbBand->setText(device.Band);
    std::vector<IdleChannel> idle = IdleOf(device);
    const coordination::Rule rule = Rule();
    if (rule.level == Level::Off) { // the plain rule: every idle channel
        ShowHidden(0, 0);
        ShowIdleChannels(idle);
        return;
    }
    std::vector<int> candidates;
    for (const IdleChannel& c : idle)
        candidates.push_back(FreqKHz(c.Freq));
    const std::vector<Block> blocks = BlocksOnAir(rule, candidates, OtherCarriers(device));
    int tooClose = 0;
    int onProducts = 0;
    std::vector<IdleChannel> usable;
    for (size_t i = 0; i < idle.size(); ++i) {
        tooClose += blocks[i] == Block::TooClose;
        onProducts += blocks[i] == Block::Product;
        if (blocks[i] == Block::None)
            usable.push_back(idle[i]);
    }
    ShowHidden(tooClose, onProducts);
    ShowIdleChannels(usable);
}

void TFrmSetMuiltFreq::ShowHidden(int tooClose, int onProducts)
{
    if (tooClose + onProducts == 0) {
        lbHidden->clear();
        return;
    }
    lbHidden->setText(LanguageText("已隐藏 %1 个通道: %2 个间隔过近, %3 个位于互调产物上",
        "%1 channels hidden: %2 too close, %3 on intermodulation products")
                          .arg(tooClose + onProducts)
                          .arg(tooClose)
                          .arg(onProducts));
}

void TFrmSetMuiltFreq::btSetClick()
{
    const int channel = SelectedChannel();
    if (channel < 0 || !m_target || Assigning())
        return;
    m_pendingChannel = channel;
    m_ackAwaited = true;
    PublicStruct::Instance().ScanBusy = true; // no status poll between the command and its reply
    SendSetChannel(*m_target, channel);
}

// Replies of other channels, SQ acknowledgements, acknowledgements nobody asked for and repeats
// of one already counted are ignored; one that comes after the time-out still confirms the channel.
void TFrmSetMuiltFreq::OnSetReply(int rxid, int devIdx, int command)
{
    if (!m_target || m_pendingChannel < 0 || !m_ackAwaited || rxid != m_target->RXID || devIdx != m_target->DevIdx
        || command != CMD_SET_CHANNEL_ACK)
        return;
    m_ackAwaited = false;
    Timer1->stop();
    if (!Assigning())
        PublicStruct::Instance().ScanBusy = false;
    PostConfirmed();
}

void TFrmSetMuiltFreq::Timer1Timer()
{
    Timer1->stop();
    if (Assigning()) {
        FinishStep(false);
        return;
    }
    PublicStruct::Instance().ScanBusy = false;
    ShowText(BuiltinText(TextSetFail));
}

void TFrmSetMuiltFreq::OnAssignmentConfirmed()
{
    if (m_pendingChannel < 0 || !m_target)
        return;
    const double freq = ChannelFrequency(m_target->StartFreq, m_target->StartChannel, m_pendingChannel);
    m_assigned[{ m_target->RXID, m_target->DevIdx }] = freq;
    m_pendingChannel = -1;
    SetDone();
    if (Assigning()) {
        FinishStep(true);
        return;
    }
    ShowText(BuiltinText(TextSetSuccess));
}

void TFrmSetMuiltFreq::btCoordInputsClick()
{
    TFrmCoordInputs inputs(this, m_devices);
    inputs.exec();
}

// The show's inputs (profiles, exclusions, TV channels, foreign carriers, locks, inclusion lists)
// and this window's idle rule make the plan; the show keeps it. A locked device keeps its
// frequency and is sent nothing.
void TFrmSetMuiltFreq::btAssignAllClick()
{
    if (Assigning())
        return;
    std::vector<WindowDevice> devices;
    std::vector<QTreeWidgetItem*> rows;
    QStringList unknown;
    for (int i = 0; i < lbDevList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lbDevList->topLevelItem(i);
        const TTMICListObj* device = DeviceOf(*row);
        if (!device) {
            unknown << row->text(ColID) + QLatin1Char(':') + row->text(ColChannel);
            continue;
        }
        devices.push_back({ device, IdleOf(*device) });
        rows.push_back(row);
    }
    const CoordinationFile file = PlanningFile(TheShow().file, devices, Rule(), edBudget->value() * 1000);
    const ShowPlan shown = Search(file);
    if (!devices.empty()) { // a plan of nothing leaves the show's last plan alone
        KeepPlan(TheShow().file, file, FilePlanOf(file, shown));
        MarkShowModified();
    }
    const Plan& plan = shown.found.plan;
    ShowProposal(file, plan, devices, rows);
    ShowPlanQuality(file, shown);

    QStringList unplaced = unknown;
    m_steps.clear();
    for (size_t d = 0; d < rows.size(); ++d) {
        const TTMICListObj* device = devices[d].record;
        if (plan.ChannelOf(d) < 0)
            unplaced << DeviceName(*device);
        else if (!file.devices[d].locked)
            m_steps.push_back({ device, rows[d], device->StartChannel + plan.ChannelOf(d), plan.FreqOf(d) });
    }
    m_unplacedText.clear();
    if (!unplaced.isEmpty())
        m_unplacedText = LanguageText("没有可用的兼容通道: %1", "No compatible channel for: %1")
                             .arg(unplaced.join(QStringLiteral(", ")));
    const QString& text = m_unplacedText;
    if (m_steps.empty()) {
        ShowText(text.isEmpty() ? LanguageText("没有设备可分配!", "No device to assign!") : text);
        return;
    }
    const QString question
        = LanguageText("将 %1 个设备设置为建议的频率?", "Set %1 devices to the proposed frequencies?")
              .arg(m_steps.size());
    if (ShowMessageBox(this, text.isEmpty() ? question : text + QLatin1Char('\n') + question, QStringLiteral("提示"),
            ConfirmButtons, -1)
        != 1) {
        m_steps.clear();
        return;
    }
    m_confirmed.assign(m_steps.size(), false);
    m_step = 0;
    PublicStruct::Instance().ScanBusy = true;
    EnableChoosing(false);
    SetNextDevice();
}

// The search runs on a thread of its own; this window keeps drawing and shows its progress with
// a Cancel, which ends the search with the best plan found so far.
ShowPlan TFrmSetMuiltFreq::Search(const CoordinationFile& file)
{
    std::atomic_bool cancel { false };
    std::atomic_int placed { 0 };
    std::atomic_int usedPermille { 0 };
    const SearchLimits limits { file.budgetMs, &cancel, [&](int best, double used) {
                                   placed = best;
                                   usedPermille = static_cast<int>(used * 1000);
                               } };
    ShowPlan result;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = PlanShow(file, limits); }));
    QProgressDialog progress(LanguageText("正在搜索最佳方案...", "Searching for the best plan..."),
        LanguageText("取消", "Cancel"), 0, 1000, this);
    progress.setObjectName(QStringLiteral("pdSearch"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(300);
    connect(&progress, &QProgressDialog::canceled, &progress, [&] { cancel = true; });
    QTimer tick;
    connect(&tick, &QTimer::timeout, &progress, [&] {
        progress.setValue(usedPermille);
        progress.setLabelText(LanguageText("正在搜索最佳方案... 已放置 %1 个设备", "Searching for the best plan... %1 devices placed")
                                  .arg(placed.load()));
    });
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    tick.start(100);
    loop.exec();
    worker->wait();
    return result;
}

void TFrmSetMuiltFreq::ShowPlanQuality(const CoordinationFile& file, const ShowPlan& shown)
{
    const SearchResult& found = shown.found;
    const int placed = found.plan.PlacedCount();
    const int devices = static_cast<int>(found.plan.devices.size());
    QString text = LanguageText("方案: 已放置 %1/%2 个设备", "Plan: %1 of %2 devices placed").arg(placed).arg(devices);
    if (placed > 1)
        text += LanguageText(", 最小余量 %1 kHz", ", worst margin %1 kHz").arg(found.worstMarginKHz);
    if (found.proved && !shown.exact)
        text += LanguageText(
            ", 按最严格的设备类型搜索 (未证明为最佳)", ", searched at the strictest profile (not proved best)");
    else if (found.proved)
        text += LanguageText(", 已证明为最佳", ", proved best");
    else if (found.cancelled)
        text += LanguageText(", 搜索已取消 (未证明为最佳)", ", search cancelled (not proved best)");
    else
        text += LanguageText(", 时间用完 (未证明为最佳)", ", time ran out (not proved best)");
    QStringList lines { text };
    int bandCount = 0;
    const std::vector<int> bands = BandsOf(found.plan, &bandCount);
    std::vector<QStringList> spares(static_cast<size_t>(bandCount));
    for (const Backup& backup : shown.backups)
        spares[static_cast<size_t>(backup.band)] << QString::number(backup.kHz / 1000.0, 'f', 3);
    for (int band = 0; band < bandCount; ++band) {
        const auto first = static_cast<size_t>(std::find(bands.begin(), bands.end(), band) - bands.begin());
        const auto& idle = found.plan.devices[first].Idle;
        // A locked device's band is its own frequency: there is nothing to hold in reserve there.
        bool locked = true;
        for (size_t d = 0; d < bands.size(); ++d)
            locked = locked && (bands[d] != band || found.plan.devices[d].locked);
        if (idle.empty() || locked)
            continue;
        lines << LanguageText("备用 %1-%2 MHz: %3", "Backups %1-%2 MHz: %3")
                     .arg(idle.front().Freq, 0, 'f', 3)
                     .arg(idle.back().Freq, 0, 'f', 3)
                     .arg(spares[static_cast<size_t>(band)].isEmpty() ? LanguageText("无", "none")
                                                                      : spares[static_cast<size_t>(band)].join(QStringLiteral(", ")));
    }
    for (size_t d = 0; d < file.devices.size(); ++d)
        if (!shown.why[d].isEmpty())
            lines << DeviceId(file.devices[d]) + QStringLiteral(": ") + shown.why[d];
    lbPlan->setText(lines.join(QLatin1Char('\n')));
}

// The plan's channels count from its band's first; the window shows the receiver's numbers.
void TFrmSetMuiltFreq::ShowProposal(const CoordinationFile& file, const Plan& plan,
    const std::vector<WindowDevice>& devices, const std::vector<QTreeWidgetItem*>& rows)
{
    for (int i = 0; i < lbDevList->topLevelItemCount(); ++i)
        for (int c : { ColProposedChannel, ColProposedFreq, ColResult })
            lbDevList->topLevelItem(i)->setText(c, QString());
    for (size_t d = 0; d < rows.size(); ++d) {
        const int channel = plan.ChannelOf(d);
        rows[d]->setText(ColProposedChannel,
            channel < 0 ? QStringLiteral("-") : QString::number(devices[d].record->StartChannel + channel));
        rows[d]->setText(ColProposedFreq, channel < 0 ? LanguageText("无", "none") : IdleFrequencyText(plan.FreqOf(d)));
        if (file.devices[d].locked)
            rows[d]->setText(ColResult, LanguageText("锁定", "Locked"));
    }
}

// One device after another, each with the exchange of Set: pause, command, pause, time-out.
void TFrmSetMuiltFreq::SetNextDevice()
{
    const Step& step = m_steps[static_cast<size_t>(m_step)];
    m_target = step.device;
    m_pendingChannel = step.channel;
    lbDevList->setCurrentItem(step.row); // the highlighted row names the device the panel shows
    m_ackAwaited = true;
    lbRxID->setText(DeviceName(*step.device));
    lbBand->setText(step.device->Band);
    SendSetChannel(*step.device, step.channel);
}

void TFrmSetMuiltFreq::FinishStep(bool confirmed)
{
    const auto at = static_cast<size_t>(m_step);
    m_confirmed[at] = confirmed;
    m_steps[at].row->setText(ColResult, BuiltinText(confirmed ? TextSetSuccess : TextSetFail));
    if (!confirmed)
        m_pendingChannel = -1;
    if (at + 1 < m_steps.size()) {
        ++m_step;
        SetNextDevice();
        return;
    }
    m_step = -1;
    PublicStruct::Instance().ScanBusy = false;
    EnableChoosing(true);
    ReportAssignment();
}

void TFrmSetMuiltFreq::ReportAssignment()
{
    QStringList confirmed;
    QStringList failed;
    for (size_t i = 0; i < m_steps.size(); ++i)
        (m_confirmed[i] ? confirmed : failed)
            << DeviceName(*m_steps[i].device) + QLatin1Char(' ') + IdleFrequencyText(m_steps[i].freq);
    QStringList lines;
    if (!confirmed.isEmpty())
        lines << LanguageText("设置成功: %1", "Set success: %1").arg(confirmed.join(QStringLiteral(", ")));
    if (!failed.isEmpty())
        lines << LanguageText("设置失败: %1", "Set fail: %1").arg(failed.join(QStringLiteral(", ")));
    if (!m_unplacedText.isEmpty())
        lines << m_unplacedText;
    m_steps.clear();
    if (m_target)
        BuildFor(*m_target);
    ShowText(lines.join(QLatin1Char('\n')));
}

void TFrmSetMuiltFreq::EnableChoosing(bool on)
{
    for (QWidget* control : std::initializer_list<QWidget*> { lbDevList, cbMaxRF, cbIntermod, edSpacing, edGuard,
             edBudget, btSet, btAssignAll, btAnalyze, btCoordInputs, lvFreq })
        control->setEnabled(on);
}
