#include "ui/coord/PlanExport.h"

#include "coord/CurrentShow.h"
#include "lang/Language.h"
#include "ui/DialogParts.h"
#include "ui/FormMessage.h"
#include "ui/coord/PlanReport.h"
#include "ui/rf/RfWindowParts.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

using interchange::PlanForm;

QString PlanStateText()
{
    const coordination::CoordinationFile& show = coordination::TheShow().file;
    const QString name = show.showName.isEmpty() ? LanguageText("未命名演出", "Unnamed show") : show.showName;
    if (!show.plan)
        return LanguageText("%1: 还没有频率计划", "%1: no plan yet").arg(name);
    const auto placed = std::count_if(show.plan->mhz.begin(), show.plan->mhz.end(), [](double mhz) { return mhz > 0; });
    return LanguageText("%1: 已安排 %2/%3 个设备, %4 个备用频率", "%1: %2 of %3 devices placed, %4 backups")
        .arg(name)
        .arg(placed)
        .arg(show.plan->mhz.size())
        .arg(show.plan->backups.size());
}

TFrmPlanExport::TFrmPlanExport(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmPlanExport"));
    setWindowTitle(LanguageText("导出频率计划", "Export Plan"));
    lbPlanState = NewLabel(this, "lbPlanState", PlanStateText());
    cbPlanForm = Named(new QComboBox(this), "cbPlanForm");
    cbPlanForm->addItem(
        LanguageText("CSV (设备, 名称, 频段, 频率, 备用, 余量)", "CSV (device, name, band, frequency, backup, margin)"),
        static_cast<int>(PlanForm::Csv));
    cbPlanForm->addItem(LanguageText("频率列表 (每行一个 MHz)", "Frequency list (one MHz per line)"),
        static_cast<int>(PlanForm::FrequencyList));
    cbPlanForm->addItem(
        LanguageText("协调文件 (JSON)", "Coordination file (JSON)"), static_cast<int>(PlanForm::CoordinationFile));
    btExport = NewButton(this, "btExport", LanguageText("导出", "Export"));
    btExport->setDefault(true);
    btCancel = NewButton(this, "btCancel", LanguageText("取消", "Cancel"));
    auto* grid = new QGridLayout;
    grid->addWidget(lbPlanState, 0, 0, 1, 2);
    grid->addWidget(NewLabel(this, "lbPlanForm", LanguageText("格式", "Form")), 1, 0);
    grid->addWidget(cbPlanForm, 1, 1);
    ArrangeFieldsAndButtons(*this, grid, { btExport, btCancel });
    connect(btExport, &QPushButton::clicked, this, &TFrmPlanExport::btExportClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

PlanForm TFrmPlanExport::ChosenForm() const
{
    return static_cast<PlanForm>(cbPlanForm->currentData().toInt());
}

void TFrmPlanExport::btExportClick()
{
    const PlanForm form = ChosenForm();
    QString why;
    const QByteArray bytes = interchange::PlanExport(form, coordination::TheShow().file, &why);
    if (bytes.isEmpty()) {
        ShowMessageBox(
            this, LanguageText("无法导出: %1", "Nothing exported: %1").arg(why), QStringLiteral("提示"), 0x30, -1);
        return;
    }
    const QString filter = form == PlanForm::Csv ? QStringLiteral("CSV (*.csv)")
        : form == PlanForm::FrequencyList        ? QStringLiteral("Text (*.txt)")
                                                 : QStringLiteral("JSON (*.json)");
    if (ExportToFile(this, interchange::PlanExportFileName(form), filter, bytes))
        accept();
}

void AddPlanExportActions(QMenu& menu, QWidget* owner)
{
    menu.addSeparator();
    auto* exportPlan = new QAction(LanguageText("导出频率计划…", "Export Plan…"), owner);
    exportPlan->setObjectName(QStringLiteral("mnExportPlan"));
    auto* exportReport = new QAction(LanguageText("导出频率计划报告…", "Export Plan Report…"), owner);
    exportReport->setObjectName(QStringLiteral("mnExportPlanReport"));
    menu.addActions({ exportPlan, exportReport });
    QObject::connect(exportPlan, &QAction::triggered, owner, [owner] {
        TFrmPlanExport window(owner);
        window.exec();
    });
    QObject::connect(exportReport, &QAction::triggered, owner, [owner] {
        TFrmPlanReport window(owner);
        window.exec();
    });
}
