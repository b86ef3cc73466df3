#include "ui/rf/RfWindowParts.h"

#include "data/Device.h"
#include "data/RfRecords.h"
#include "lang/Language.h"
#include "ui/DialogParts.h"
#include "ui/Discovery.h"
#include "ui/FormMessage.h"
#include "ui/PublicFont.h"
#include "ui/rf/GraphDraw.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeWidget>

namespace
{

enum Column { ColRxid, ColDevIdx, ColName, ColIp };

int CellNumber(const QTreeWidgetItem& row, int column, int fallback)
{
    bool ok = false;
    const int value = row.text(column).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

QTreeWidget* NewDeviceChecklist(QWidget* parent, const std::array<int, 4>& columnWidths)
{
    auto* list = Named(new QTreeWidget(parent), "lbDevList");
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setHeaderLabels({ BuiltinText(52), BuiltinText(53), BuiltinText(54), BuiltinText(55) });
    for (int c = 0; c < 4; ++c)
        list->setColumnWidth(c, columnWidths[static_cast<size_t>(c)]);
    list->header()->setStretchLastSection(false);
    int total = 0;
    for (int w : columnWidths)
        total += w;
    list->setMinimumWidth(total + 4);
    return list;
}

void FillConnectedDevices(QTreeWidget& list, const DeviceList& devices)
{
    for (const auto& record : devices) {
        if (!record->Connected)
            continue;
        auto* row = new QTreeWidgetItem(
            &list, { QString::number(record->RXID), QString::number(record->DevIdx), record->Name, record->IP });
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(ColRxid, Qt::Unchecked);
    }
}

void KeepOnlyChecked(QTreeWidget& list, QTreeWidgetItem* clicked)
{
    if (!clicked || clicked->checkState(ColRxid) != Qt::Checked)
        return;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list.topLevelItem(i);
        if (row != clicked && row->checkState(ColRxid) == Qt::Checked)
            row->setCheckState(ColRxid, Qt::Unchecked);
    }
}

int NextCheckedRow(const QTreeWidget& list, int after)
{
    for (int i = std::max(after + 1, 0); i < list.topLevelItemCount(); ++i) {
        if (list.topLevelItem(i)->checkState(ColRxid) == Qt::Checked)
            return i;
    }
    return -1;
}

RowChannel RowDevice(const QTreeWidgetItem& row, int rxidDefault)
{
    return { CellNumber(row, ColRxid, rxidDefault), CellNumber(row, ColDevIdx, 1), row.text(ColIp) };
}

namespace
{

ExportPathHook& PathHook()
{
    static ExportPathHook hook;
    return hook;
}

} // namespace

void SetupRfChart(TGraphDraw& chart)
{
    chart.TraceMouse = true;
    chart.DrawBoxLine = false;
    chart.StartZeroX = false;
    chart.MinAxisY = -10;
    chart.MaxAxisY = 90;
    chart.MaxAxisX = 10;
    chart.ColorGrid = QColor(0, 80, 0);
    chart.ColorAxis = QColor(128, 128, 128);
    chart.Color = Qt::black;
    chart.FontColor = QColor(0, 255, 255);
    QFont font = PublicFixedFont(12, false);
    chart.setFont(font);
}

void SetExportPathHook(ExportPathHook hook)
{
    PathHook() = std::move(hook);
}

bool ExportToFile(QWidget* owner, const QString& suggestedName, const QString& filter, const QByteArray& bytes)
{
    const QString path = PathHook()
        ? PathHook()(suggestedName)
        : QFileDialog::getSaveFileName(owner, QString(), QDir::home().filePath(suggestedName), filter);
    if (path.isEmpty())
        return false;
    QString error;
    if (!WriteWholeFile(path, bytes, &error)) {
        ShowMessageBox(owner,
            LanguageText("无法保存 %1: %2", "Could not save %1: %2").arg(QDir::toNativeSeparators(path), error),
            QStringLiteral("提示"), 0x10, -1);
        return false;
    }
    ShowMessageBox(owner, LanguageText("已保存到 %1", "Saved to %1").arg(QDir::toNativeSeparators(path)),
        QStringLiteral("提示"), 0, 3000);
    return true;
}

QByteArray PngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString ExportCsvText()
{
    return LanguageText("导出CSV", "Export CSV");
}

QString SavePictureText()
{
    return LanguageText("保存图片", "Save Picture");
}

QString NothingToExportText()
{
    return LanguageText("还没有可导出的数据!", "Nothing to export yet!");
}
