#pragma once
// What the RF windows share: the device list they start from (the connected channels with check
// boxes, columns RXID, Channel, Name, IP), the check rules and the channel a row names; the chart
// settings; saving an export with a clear outcome.
#include <QByteArray>
#include <QString>
#include <array>
#include <functional>

class DeviceList;
class TGraphDraw;
class QImage;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// A report-style list named lbDevList with the four column captions and these widths in pixels.
QTreeWidget* NewDeviceChecklist(QWidget* parent, const std::array<int, 4>& columnWidths);

// One unchecked row per connected record, in list order: RXID, DevIdx, Name, IP.
void FillConnectedDevices(QTreeWidget& list, const DeviceList& devices);

// The single-check rule: a clicked row that is checked becomes the only checked row.
void KeepOnlyChecked(QTreeWidget& list, QTreeWidgetItem* clicked);

// Index of the first checked row after row `after` (-1: from the top), or -1.
int NextCheckedRow(const QTreeWidget& list, int after = -1);

// The channel a row names. A cell that is not a number gives rxidDefault for the RXID and 1 for
// the DevIdx.
struct RowChannel {
    int Rxid = 0;
    int DevIdx = 1;
    QString Ip;
};
RowChannel RowDevice(const QTreeWidgetItem& row, int rxidDefault);

// The chart as every RF window sets it up: mouse tracking on, no box lines, X free of zero, Y
// from -10 to 90 dB, dark green grid, grey ticks, a 12-pixel aqua font, black background.
void SetupRfChart(TGraphDraw& chart);

// Export: asks where to save (a file dialog, or the hook a test set) and writes the bytes there
// whole. A file that could not be written is reported with the reason; a written one with its
// path. False when nothing was saved (also when the user cancelled).
bool ExportToFile(QWidget* owner, const QString& suggestedName, const QString& filter, const QByteArray& bytes);
// The chart image as PNG bytes.
QByteArray PngBytes(const QImage& image);

// Tests answer the file dialog here: while set, ExportToFile asks the hook instead (an empty
// answer cancels). An empty hook restores the dialog.
using ExportPathHook = std::function<QString(const QString& suggestedName)>;
void SetExportPathHook(ExportPathHook hook);

// Texts of the export controls, in the current language.
QString ExportCsvText();
QString SavePictureText();
QString NothingToExportText();
