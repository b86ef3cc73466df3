#include "ui/coord/FormCoordInputs.h"

#include "coord/CurrentShow.h"
#include "coord/ShowInputs.h"
#include "coord/TvChannels.h"
#include "lang/Language.h"
#include "ui/DialogParts.h"
#include "ui/coord/ShowSignals.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

using namespace coordination;

namespace
{

CoordinationFile& Show()
{
    return TheShow().file;
}

QString MHz(double mhz)
{
    return QString::number(mhz, 'f', 3);
}

QTableWidget* NewTable(QWidget* parent, const char* name, const QStringList& headers)
{
    auto* table = Named(new QTableWidget(0, static_cast<int>(headers.size()), parent), name);
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void SetRow(QTableWidget& table, int row, const QStringList& cells)
{
    for (int c = 0; c < cells.size(); ++c)
        table.setItem(row, c, new QTableWidgetItem(cells[c]));
}

int SelectedRow(const QTableWidget& table)
{
    const QList<QTableWidgetItem*> selected = table.selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

// Takes the entry of the table's selected row out of the show's list; false when none is selected.
template <typename Entry> bool RemoveSelected(const QTableWidget& table, std::vector<Entry>& list)
{
    const int row = SelectedRow(table);
    if (row < 0 || row >= static_cast<int>(list.size()))
        return false;
    list.erase(list.begin() + row);
    MarkShowModified();
    return true;
}

// A table above a row of entry fields and its Add and Remove buttons.
QWidget* TablePage(QTableWidget* table, std::initializer_list<QWidget*> entries)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->addWidget(table, 1);
    auto* row = new QHBoxLayout;
    for (QWidget* entry : entries)
        row->addWidget(entry);
    column->addLayout(row);
    return page;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& hint)
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setPlaceholderText(hint);
    return edit;
}

} // namespace

TFrmCoordInputs::TFrmCoordInputs(QWidget* owner, const DeviceList& devices)
    : QDialog(owner)
    , m_devices(devices)
{
    PrepareModalWindow(*this, "FrmCoordInputs", LanguageText("协调输入", "Coordination inputs"));
    JoinManagedDevices(Show(), m_devices);
    pcInputs = Named(new QTabWidget(this), "pcInputs");
    pcInputs->addTab(CreateShowPage(), LanguageText("演出", "Show"));
    pcInputs->addTab(CreateDevicesPage(), LanguageText("设备", "Devices"));
    pcInputs->addTab(CreateExclusionsPage(), LanguageText("排除范围", "Exclusions"));
    pcInputs->addTab(CreateTvPage(), LanguageText("电视频道", "TV channels"));
    pcInputs->addTab(CreateForeignPage(), LanguageText("外部载波", "Foreign carriers"));
    pcInputs->addTab(CreateInclusionsPage(), LanguageText("包含列表", "Inclusion lists"));
    pcInputs->addTab(CreateProfilesPage(), LanguageText("设备类型", "Profiles"));
    lbProblem = NewLabel(this, "lbProblem", QString());
    lbProblem->setWordWrap(true);
    lbProblem->setStyleSheet(QStringLiteral("color: #b00000"));
    btClose = NewButton(this, "btClose", LanguageText("关闭", "Close"));
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
    auto* fields = new QVBoxLayout;
    fields->addWidget(pcInputs, 1);
    fields->addWidget(lbProblem);
    ArrangeFieldsAndButtons(*this, fields, { btClose });
    resize(820, 540);
    FillDevices();
    FillExclusions();
    FillTvChannels();
    FillForeign();
    FillInclusions();
    FillOwnProfiles();
}

QWidget* TFrmCoordInputs::CreateShowPage()
{
    auto* page = new QWidget;
    edShowName = Named(new QLineEdit(Show().showName, page), "edShowName");
    edVenue = Named(new QLineEdit(Show().venue, page), "edVenue");
    edCoordinator = Named(new QLineEdit(Show().coordinator, page), "edCoordinator");
    edNotes = Named(new QPlainTextEdit(Show().notes, page), "edNotes");
    auto* form = new QFormLayout(page);
    form->addRow(LanguageText("演出名称:", "Show name:"), edShowName);
    form->addRow(LanguageText("场地:", "Venue:"), edVenue);
    form->addRow(LanguageText("协调员:", "Coordinator:"), edCoordinator);
    form->addRow(LanguageText("备注:", "Notes:"), edNotes);
    for (QLineEdit* edit : { edShowName, edVenue, edCoordinator })
        connect(edit, &QLineEdit::textEdited, this, &TFrmCoordInputs::ShowDetailsChanged);
    connect(edNotes, &QPlainTextEdit::textChanged, this, &TFrmCoordInputs::ShowDetailsChanged);
    return page;
}

void TFrmCoordInputs::ShowDetailsChanged()
{
    CoordinationFile& show = Show();
    const QString notes = edNotes->toPlainText();
    if (show.showName == edShowName->text() && show.venue == edVenue->text()
        && show.coordinator == edCoordinator->text() && show.notes == notes)
        return;
    show.showName = edShowName->text();
    show.venue = edVenue->text();
    show.coordinator = edCoordinator->text();
    show.notes = notes;
    MarkShowModified();
}

QWidget* TFrmCoordInputs::CreateDevicesPage()
{
    lvDevices = NewTable(this, "lvDevices",
        { LanguageText("设备", "Device"), LanguageText("名称", "Name"), LanguageText("频段", "Band"),
            LanguageText("当前 MHz", "Current MHz"), LanguageText("设备类型", "Profile"),
            LanguageText("锁定", "Locked"), LanguageText("包含列表", "Inclusion list") });
    const int widths[DeviceColumns] = { 60, 90, 140, 90, 150, 60, 120 };
    for (int c = 0; c < DeviceColumns; ++c)
        lvDevices->setColumnWidth(c, widths[c]);
    connect(lvDevices, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == ColLocked)
            DeviceLockTicked(*item);
    });
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->addWidget(lvDevices);
    column->addWidget(new QLabel(LanguageText("锁定的设备保持当前频率, 其余设备围绕它规划.",
        "A locked device keeps its current frequency; the others are planned around it.")));
    return page;
}

void TFrmCoordInputs::FillProfiles(QComboBox& box, const QString& chosen) const
{
    box.addItem(LanguageText("窗口的等级", "The window's level"), QString());
    for (const Profile& p : PresetProfiles(Show().rule))
        box.addItem(p.name, p.name);
    for (const Profile& p : Show().profiles)
        box.addItem(p.name, p.name);
    box.setCurrentIndex(std::max(0, box.findData(chosen)));
}

void TFrmCoordInputs::FillDevices()
{
    m_filling = true;
    const CoordinationFile& show = Show();
    lvDevices->setRowCount(static_cast<int>(show.devices.size()));
    for (int row = 0; row < lvDevices->rowCount(); ++row) {
        const FileDevice& d = show.devices[static_cast<size_t>(row)];
        const FileBand& band = show.bands[static_cast<size_t>(d.band)];
        SetRow(*lvDevices, row,
            { QStringLiteral("%1:%2").arg(d.rxid).arg(d.channel), d.name,
                QStringLiteral("%1 (%2-%3)")
                    .arg(band.name, MHz(band.startMHz), MHz(BandEnd(band.startMHz, band.channels))),
                d.currentMHz > 0 ? MHz(d.currentMHz) : QStringLiteral("-") });
        auto* lock = new QTableWidgetItem;
        lock->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        lock->setCheckState(d.locked ? Qt::Checked : Qt::Unchecked);
        lvDevices->setItem(row, ColLocked, lock);
        auto* profile = new QComboBox;
        FillProfiles(*profile, d.profile);
        connect(profile, &QComboBox::activated, this,
            [this, row, profile] { DeviceProfileChosen(row, profile->currentData().toString()); });
        lvDevices->setCellWidget(row, ColProfile, profile);
        auto* inclusion = new QComboBox;
        inclusion->addItem(LanguageText("无", "none"), QString());
        for (const InclusionList& list : show.inclusions)
            inclusion->addItem(list.name, list.name);
        inclusion->setCurrentIndex(std::max(0, inclusion->findData(d.inclusion)));
        connect(inclusion, &QComboBox::activated, this,
            [this, row, inclusion] { DeviceInclusionChosen(row, inclusion->currentData().toString()); });
        lvDevices->setCellWidget(row, ColInclusion, inclusion);
    }
    m_filling = false;
}

void TFrmCoordInputs::DeviceProfileChosen(int row, const QString& profile)
{
    Show().devices[static_cast<size_t>(row)].profile = profile;
    MarkShowModified();
}

void TFrmCoordInputs::DeviceInclusionChosen(int row, const QString& list)
{
    Show().devices[static_cast<size_t>(row)].inclusion = list;
    MarkShowModified();
}

// Locking takes the device's frequency from its record, so that it keeps the one it is on now.
void TFrmCoordInputs::DeviceLockTicked(QTableWidgetItem& tick)
{
    FileDevice& device = Show().devices[static_cast<size_t>(tick.row())];
    const bool locked = tick.checkState() == Qt::Checked;
    if (locked) {
        const TTMICListObj* record = FindDevice(m_devices, device.rxid, device.channel);
        const QString problem = record
            ? LockProblem(*record)
            : LanguageText("设备 %1:%2 不在设备列表中", "Device %1:%2 is not in the device list")
                  .arg(device.rxid)
                  .arg(device.channel);
        if (!Accepted(problem)) {
            m_filling = true;
            tick.setCheckState(Qt::Unchecked);
            m_filling = false;
            return;
        }
        device.currentMHz = record->Freq;
        lvDevices->item(tick.row(), ColCurrent)->setText(MHz(device.currentMHz));
    }
    device.locked = locked;
    MarkShowModified();
}

QWidget* TFrmCoordInputs::CreateExclusionsPage()
{
    lvExclusions = NewTable(this, "lvExclusions",
        { LanguageText("起始 MHz", "From MHz"), LanguageText("结束 MHz", "To MHz"), LanguageText("备注", "Note") });
    edExclusionFrom = NewEdit(this, "edExclusionFrom", LanguageText("起始 MHz", "From MHz"));
    edExclusionTo = NewEdit(this, "edExclusionTo", LanguageText("结束 MHz", "To MHz"));
    edExclusionNote
        = NewEdit(this, "edExclusionNote", LanguageText("备注, 如 \"内部通话\"", "Note, e.g. \"house intercom\""));
    btAddExclusion = NewButton(this, "btAddExclusion", LanguageText("添加", "Add"));
    btRemoveExclusion = NewButton(this, "btRemoveExclusion", LanguageText("删除", "Remove"));
    connect(btAddExclusion, &QPushButton::clicked, this, &TFrmCoordInputs::btAddExclusionClick);
    connect(btRemoveExclusion, &QPushButton::clicked, this, &TFrmCoordInputs::btRemoveExclusionClick);
    return TablePage(
        lvExclusions, { edExclusionFrom, edExclusionTo, edExclusionNote, btAddExclusion, btRemoveExclusion });
}

void TFrmCoordInputs::FillExclusions()
{
    const std::vector<Exclusion>& all = Show().exclusions;
    lvExclusions->setRowCount(static_cast<int>(all.size()));
    for (int row = 0; row < lvExclusions->rowCount(); ++row) {
        const Exclusion& e = all[static_cast<size_t>(row)];
        SetRow(*lvExclusions, row, { MHz(e.fromMHz), MHz(e.toMHz), e.note });
    }
}

void TFrmCoordInputs::btAddExclusionClick()
{
    const std::optional<double> from = NumberIn(*edExclusionFrom, LanguageText("起始", "From"));
    const std::optional<double> to = from ? NumberIn(*edExclusionTo, LanguageText("结束", "To")) : std::nullopt;
    if (!to)
        return;
    const Exclusion exclusion { *from, *to, edExclusionNote->text().trimmed() };
    if (!Accepted(ExclusionProblem(Show(), exclusion)))
        return;
    Show().exclusions.push_back(exclusion);
    MarkShowModified();
    FillExclusions();
    for (QLineEdit* edit : { edExclusionFrom, edExclusionTo, edExclusionNote })
        edit->clear();
}

void TFrmCoordInputs::btRemoveExclusionClick()
{
    if (RemoveSelected(*lvExclusions, Show().exclusions))
        FillExclusions();
}

QWidget* TFrmCoordInputs::CreateTvPage()
{
    cbTvRegion = Named(new QComboBox(this), "cbTvRegion");
    cbTvRegion->addItem(LanguageText("无", "none"), QString());
    cbTvRegion->addItem(LanguageText("中国 (8 MHz)", "China (8 MHz)"), TvRegionName(TvRegion::China));
    cbTvRegion->addItem(LanguageText("欧洲 (8 MHz)", "Europe (8 MHz)"), TvRegionName(TvRegion::Europe));
    cbTvRegion->addItem(LanguageText("美国 (6 MHz)", "USA (6 MHz)"), TvRegionName(TvRegion::Usa));
    lvTvChannels = Named(new QTreeWidget(this), "lvTvChannels");
    lvTvChannels->setRootIsDecorated(false);
    lvTvChannels->setHeaderLabels(
        { LanguageText("频道 (勾选在播)", "Channel (tick: on air)"), LanguageText("频率", "Frequencies") });
    lvTvChannels->header()->resizeSection(0, 180);
    connect(cbTvRegion, &QComboBox::activated, this, &TFrmCoordInputs::cbTvRegionChange);
    connect(lvTvChannels, &QTreeWidget::itemChanged, this, [this] {
        if (!m_filling)
            TvChannelTicked();
    });
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    auto* region = new QHBoxLayout;
    region->addWidget(new QLabel(LanguageText("地区:", "Region:")));
    region->addWidget(cbTvRegion, 1);
    column->addLayout(region);
    column->addWidget(lvTvChannels, 1);
    return page;
}

void TFrmCoordInputs::FillTvChannels()
{
    m_filling = true;
    const TvSelection& tv = Show().tv;
    cbTvRegion->setCurrentIndex(std::max(0, cbTvRegion->findData(tv.region)));
    lvTvChannels->clear();
    if (const std::optional<TvRegion> region = TvRegionNamed(tv.region)) {
        for (const TvChannel& channel : TvChannels(*region)) {
            auto* row = new QTreeWidgetItem(lvTvChannels,
                { QStringLiteral("TV %1").arg(channel.number),
                    QStringLiteral("%1-%2 MHz").arg(MHz(channel.fromMHz), MHz(channel.toMHz)) });
            row->setData(0, Qt::UserRole, channel.number);
            const bool onAir = std::find(tv.channels.begin(), tv.channels.end(), channel.number) != tv.channels.end();
            row->setCheckState(0, onAir ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_filling = false;
}

// Another region's channel numbers mean other frequencies: the ticks start afresh.
void TFrmCoordInputs::cbTvRegionChange()
{
    TvSelection& tv = Show().tv;
    const QString region = cbTvRegion->currentData().toString();
    if (region == tv.region)
        return;
    tv = { region, {} };
    MarkShowModified();
    FillTvChannels();
}

void TFrmCoordInputs::TvChannelTicked()
{
    std::vector<int> onAir;
    for (int i = 0; i < lvTvChannels->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvTvChannels->topLevelItem(i);
        if (row->checkState(0) == Qt::Checked)
            onAir.push_back(row->data(0, Qt::UserRole).toInt());
    }
    Show().tv.channels = onAir;
    MarkShowModified();
}

QWidget* TFrmCoordInputs::CreateForeignPage()
{
    lvForeign = NewTable(this, "lvForeign",
        { QStringLiteral("MHz"), LanguageText("标签", "Label"), LanguageText("设备类型", "Profile") });
    edForeignMHz = NewEdit(this, "edForeignMHz", QStringLiteral("MHz"));
    edForeignLabel = NewEdit(this, "edForeignLabel", LanguageText("标签, 如 \"IEM 1\"", "Label, e.g. \"IEM 1\""));
    cbForeignProfile = Named(new QComboBox(this), "cbForeignProfile");
    btAddForeign = NewButton(this, "btAddForeign", LanguageText("添加", "Add"));
    btRemoveForeign = NewButton(this, "btRemoveForeign", LanguageText("删除", "Remove"));
    connect(btAddForeign, &QPushButton::clicked, this, &TFrmCoordInputs::btAddForeignClick);
    connect(btRemoveForeign, &QPushButton::clicked, this, &TFrmCoordInputs::btRemoveForeignClick);
    btImportForeign = NewImportButton("btImportForeign");
    connect(btImportForeign, &QPushButton::clicked, this, &TFrmCoordInputs::btImportForeignClick);
    return TablePage(
        lvForeign, { edForeignMHz, edForeignLabel, cbForeignProfile, btAddForeign, btRemoveForeign, btImportForeign });
}

void TFrmCoordInputs::FillForeign()
{
    const std::vector<ForeignCarrier>& all = Show().foreign;
    lvForeign->setRowCount(static_cast<int>(all.size()));
    for (int row = 0; row < lvForeign->rowCount(); ++row) {
        const ForeignCarrier& c = all[static_cast<size_t>(row)];
        SetRow(*lvForeign, row,
            { MHz(c.mhz), c.label,
                c.profile.isEmpty() ? LanguageText("窗口的等级", "The window's level") : c.profile });
    }
}

void TFrmCoordInputs::btAddForeignClick()
{
    const std::optional<double> mhz = NumberIn(*edForeignMHz, QStringLiteral("MHz"));
    if (!mhz)
        return;
    const ForeignCarrier carrier { *mhz, edForeignLabel->text().trimmed(), cbForeignProfile->currentData().toString() };
    if (!Accepted(ForeignProblem(Show(), carrier)))
        return;
    Show().foreign.push_back(carrier);
    MarkShowModified();
    FillForeign();
    edForeignMHz->clear();
    edForeignLabel->clear();
}

void TFrmCoordInputs::btRemoveForeignClick()
{
    if (RemoveSelected(*lvForeign, Show().foreign))
        FillForeign();
}

// Every frequency of the file passes the page's own check before any is added.
void TFrmCoordInputs::btImportForeignClick()
{
    QString name;
    const std::optional<interchange::FrequencyListReading> list = ChosenList(&name);
    if (!list)
        return;
    const QString profile = cbForeignProfile->currentData().toString();
    for (const interchange::FrequencyEntry& entry : list->Entries)
        if (const QString problem = ForeignProblem(Show(), { entry.Mhz, entry.Name, profile }); !problem.isEmpty()) {
            Accepted(QStringLiteral("%1: %2").arg(name, problem));
            return;
        }
    QString why;
    if (!interchange::AddForeignCarriers(Show(), *list, name, profile, &why)) {
        Accepted(QStringLiteral("%1: %2").arg(name, why));
        return;
    }
    MarkShowModified();
    FillForeign();
}

QWidget* TFrmCoordInputs::CreateInclusionsPage()
{
    lvInclusions = NewTable(
        this, "lvInclusions", { LanguageText("名称", "Name"), LanguageText("频率 (MHz)", "Frequencies (MHz)") });
    lvInclusions->setColumnWidth(0, 160);
    edInclusionName
        = NewEdit(this, "edInclusionName", LanguageText("名称, 如 \"许可证 A\"", "Name, e.g. \"licence A\""));
    edInclusionMHz
        = NewEdit(this, "edInclusionMHz", LanguageText("MHz, 以空格或分号分隔", "MHz, separated by spaces or ;"));
    btAddInclusion = NewButton(this, "btAddInclusion", LanguageText("添加", "Add"));
    btRemoveInclusion = NewButton(this, "btRemoveInclusion", LanguageText("删除", "Remove"));
    connect(btAddInclusion, &QPushButton::clicked, this, &TFrmCoordInputs::btAddInclusionClick);
    connect(btRemoveInclusion, &QPushButton::clicked, this, &TFrmCoordInputs::btRemoveInclusionClick);
    btImportInclusion = NewImportButton("btImportInclusion");
    connect(btImportInclusion, &QPushButton::clicked, this, &TFrmCoordInputs::btImportInclusionClick);
    auto* page = TablePage(
        lvInclusions, { edInclusionName, edInclusionMHz, btAddInclusion, btRemoveInclusion, btImportInclusion });
    static_cast<QVBoxLayout*>(page->layout())
        ->addWidget(new QLabel(
            LanguageText("在\"设备\"页为每个设备选择它的列表.", "Bind a device to its list on the Devices page.")));
    return page;
}

void TFrmCoordInputs::FillInclusions()
{
    const std::vector<InclusionList>& all = Show().inclusions;
    lvInclusions->setRowCount(static_cast<int>(all.size()));
    for (int row = 0; row < lvInclusions->rowCount(); ++row) {
        const InclusionList& list = all[static_cast<size_t>(row)];
        QStringList mhz;
        for (double f : list.mhz)
            mhz << MHz(f);
        SetRow(*lvInclusions, row, { list.name, mhz.join(QLatin1Char(' ')) });
    }
}

void TFrmCoordInputs::btAddInclusionClick()
{
    QString bad;
    const std::optional<std::vector<double>> mhz = ParseMHzList(edInclusionMHz->text(), &bad);
    if (!mhz) {
        Accepted(LanguageText("不是数字: \"%1\"", "Not a number: \"%1\"").arg(bad));
        return;
    }
    const InclusionList list { edInclusionName->text().trimmed(), *mhz };
    if (!Accepted(InclusionProblem(Show(), list)))
        return;
    Show().inclusions.push_back(list);
    MarkShowModified();
    FillInclusions();
    FillDevices();
    edInclusionName->clear();
    edInclusionMHz->clear();
}

// The list is named by the Name field when it is filled, else by its file; a name already taken is
// refused, so that an import never replaces a list the devices may be bound to.
void TFrmCoordInputs::btImportInclusionClick()
{
    QString fileName;
    const std::optional<interchange::FrequencyListReading> list = ChosenList(&fileName);
    if (!list)
        return;
    const QString typed = edInclusionName->text().trimmed();
    InclusionList candidate { typed.isEmpty() ? fileName : typed, {} };
    for (const interchange::FrequencyEntry& entry : list->Entries)
        candidate.mhz.push_back(entry.Mhz);
    QString problem = InclusionProblem(Show(), candidate);
    const bool nameTaken = std::any_of(Show().inclusions.begin(), Show().inclusions.end(),
        [&](const InclusionList& held) { return held.name == candidate.name; });
    if (nameTaken)
        problem += LanguageText(
            " (可在名称栏输入另一个名称后再导入)", " (type another name in the Name field and import again)");
    if (!Accepted(problem.isEmpty() ? QString() : QStringLiteral("%1: %2").arg(fileName, problem)))
        return;
    QString why;
    if (!interchange::AddInclusionList(Show(), candidate.name, *list, &why)) {
        Accepted(QStringLiteral("%1: %2").arg(fileName, why));
        return;
    }
    MarkShowModified();
    FillInclusions();
    FillDevices();
    edInclusionName->clear();
}

// The devices bound to the list go back to using their whole band.
void TFrmCoordInputs::btRemoveInclusionClick()
{
    const int row = SelectedRow(*lvInclusions);
    if (row < 0)
        return;
    std::vector<InclusionList>& lists = Show().inclusions;
    const QString name = lists[static_cast<size_t>(row)].name;
    lists.erase(lists.begin() + row);
    for (FileDevice& device : Show().devices)
        if (device.inclusion == name)
            device.inclusion.clear();
    MarkShowModified();
    FillInclusions();
    FillDevices();
}

QWidget* TFrmCoordInputs::CreateProfilesPage()
{
    lvProfiles = NewTable(this, "lvProfiles",
        { LanguageText("名称", "Name"), LanguageText("间隔 kHz", "Spacing kHz"),
            LanguageText("2f1−f2 kHz", "2f1−f2 kHz"), LanguageText("f1+f2−f3 kHz", "f1+f2−f3 kHz"),
            LanguageText("五阶 kHz", "5th order kHz") });
    edProfileName = NewEdit(this, "edProfileName", LanguageText("名称", "Name"));
    const QString guardHint = LanguageText("kHz 或 off", "kHz or off");
    edProfileSpacing = NewEdit(this, "edProfileSpacing", LanguageText("间隔: ", "Spacing: ") + guardHint);
    edProfileThirdTwo = NewEdit(this, "edProfileThirdTwo", QStringLiteral("2f1−f2: ") + guardHint);
    edProfileThirdThree = NewEdit(this, "edProfileThirdThree", QStringLiteral("f1+f2−f3: ") + guardHint);
    edProfileFifth = NewEdit(this, "edProfileFifth", LanguageText("五阶: ", "5th: ") + guardHint);
    btAddProfile = NewButton(this, "btAddProfile", LanguageText("添加", "Add"));
    btRemoveProfile = NewButton(this, "btRemoveProfile", LanguageText("删除", "Remove"));
    connect(btAddProfile, &QPushButton::clicked, this, &TFrmCoordInputs::btAddProfileClick);
    connect(btRemoveProfile, &QPushButton::clicked, this, &TFrmCoordInputs::btRemoveProfileClick);
    return TablePage(lvProfiles,
        { edProfileName, edProfileSpacing, edProfileThirdTwo, edProfileThirdThree, edProfileFifth, btAddProfile,
            btRemoveProfile });
}

void TFrmCoordInputs::FillOwnProfiles()
{
    const auto guard
        = [](const std::optional<int>& kHz) { return kHz ? QString::number(*kHz) : QStringLiteral("off"); };
    const std::vector<Profile>& own = Show().profiles;
    lvProfiles->setRowCount(static_cast<int>(own.size()));
    for (int row = 0; row < lvProfiles->rowCount(); ++row) {
        const Profile& p = own[static_cast<size_t>(row)];
        SetRow(*lvProfiles, row,
            { p.name, guard(p.spacingKHz), guard(p.thirdTwoKHz), guard(p.thirdThreeKHz), guard(p.fifthKHz) });
    }
    cbForeignProfile->clear();
    FillProfiles(*cbForeignProfile, QString());
}

void TFrmCoordInputs::btAddProfileClick()
{
    Profile profile { edProfileName->text().trimmed(), {}, {}, {}, {} };
    const std::pair<QLineEdit*, std::optional<int> Profile::*> guards[]
        = { { edProfileSpacing, &Profile::spacingKHz }, { edProfileThirdTwo, &Profile::thirdTwoKHz },
              { edProfileThirdThree, &Profile::thirdThreeKHz }, { edProfileFifth, &Profile::fifthKHz } };
    for (const auto& [edit, guard] : guards)
        if (!ParseGuardKHz(edit->text(), profile.*guard)) {
            Accepted(LanguageText("保护值须为 0 到 %1 kHz 的整数或 off: \"%2\"",
                "A guard is a whole number of kHz from 0 to %1, or off: \"%2\"")
                         .arg(MaxSettingKHz)
                         .arg(edit->text()));
            return;
        }
    if (!Accepted(ProfileProblem(Show(), profile)))
        return;
    Show().profiles.push_back(profile);
    MarkShowModified();
    FillOwnProfiles();
    FillDevices();
    for (const auto& [edit, guard] : guards)
        edit->clear();
    edProfileName->clear();
}

void TFrmCoordInputs::btRemoveProfileClick()
{
    const int row = SelectedRow(*lvProfiles);
    if (row < 0)
        return;
    std::vector<Profile>& own = Show().profiles;
    if (!Accepted(ProfileRemovalProblem(Show(), own[static_cast<size_t>(row)].name)))
        return;
    own.erase(own.begin() + row);
    MarkShowModified();
    FillOwnProfiles();
    FillDevices();
}

QPushButton* TFrmCoordInputs::NewImportButton(const char* name)
{
    QPushButton* button = NewButton(this, name, LanguageText("导入…", "Import…"));
    button->setToolTip(LanguageText("读取频率列表: 以空格, 制表符, 换行或分号分隔的 MHz, 或 WSM 列表 CSV (kHz)",
        "Read a frequency list: MHz separated by spaces, tabs, new lines or ;, or a WSM list CSV (kHz)"));
    return button;
}

std::optional<interchange::FrequencyListReading> TFrmCoordInputs::ChosenList(QString* name)
{
    QFileDialog dialog(this, LanguageText("导入频率列表", "Import frequency list"), QString(),
        LanguageText("频率列表 (*.txt *.csv);;所有文件 (*)", "Frequency lists (*.txt *.csv);;All files (*)"));
    dialog.setObjectName(QStringLiteral("dlgFrequencyList"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().front();
    interchange::FrequencyListReading list = interchange::ReadFrequencyListFile(path);
    if (!Accepted(list.Error))
        return std::nullopt;
    *name = QFileInfo(path).completeBaseName();
    return list;
}

std::optional<double> TFrmCoordInputs::NumberIn(const QLineEdit& edit, const QString& what)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(edit.text().trimmed(), &ok);
    if (ok && std::isfinite(value))
        return value;
    Accepted(LanguageText("%1: 不是数字: \"%2\"", "%1: not a number: \"%2\"").arg(what, edit.text()));
    return std::nullopt;
}

bool TFrmCoordInputs::Accepted(const QString& problem)
{
    lbProblem->setText(problem);
    return problem.isEmpty();
}
