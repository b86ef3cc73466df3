#include "ui/rf/ScanImport.h"

#include "coord/CurrentShow.h"
#include "data/PublicStruct.h"
#include "interchange/ShowScans.h"
#include "lang/Language.h"
#include "ui/DialogParts.h"
#include "ui/FormMessage.h"
#include "ui/rf/GraphDraw.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

namespace
{

std::function<QString()>& PathHook()
{
    static std::function<QString()> hook;
    return hook;
}

QString AskForScanFile(QWidget* owner)
{
    if (PathHook())
        return PathHook()();
    return QFileDialog::getOpenFileName(owner, LanguageText("导入扫描", "Import scan"), QDir::homePath(),
        LanguageText("扫描文件 (*.csv *.txt *.sdb2 *.xml);;所有文件 (*)",
            "Scan files (*.csv *.txt *.sdb2 *.xml);;All files (*)"));
}

} // namespace

QPushButton* NewImportScanButton(QWidget* owner)
{
    QPushButton* button = NewButton(owner, "btImportScan", LanguageText("导入扫描", "Import scan"));
    button->setToolTip(LanguageText("读取其他工具的扫描 (MHz,dBm CSV, WSM CSV, RF Explorer CSV, .sdb2)",
        "Read another tool's scan (MHz,dBm CSV, WSM CSV, RF Explorer CSV, .sdb2)"));
    return button;
}

void SetImportPathHook(std::function<QString()> hook)
{
    PathHook() = std::move(hook);
}

bool ImportScanIntoShow(QWidget* owner)
{
    const QString path = AskForScanFile(owner);
    if (path.isEmpty())
        return false;
    const interchange::ScanReading reading = interchange::ReadScanFile(path);
    QString why = reading.Error;
    coordination::CurrentShow& show = coordination::TheShow();
    if (reading.Ok() && interchange::AddImportedScan(show.file, QFileInfo(path).fileName(), reading.Samples, &why)) {
        // The show keeps the threshold its imported scans were judged by.
        show.file.scanThresholdDbm = interchange::LoadImportThresholdDbm(PublicStruct::Instance().ConfigPath());
        show.modified = true;
        return true;
    }
    if (reading.Ok())
        why = QFileInfo(path).fileName() + QStringLiteral(": ") + why;
    ShowMessageBox(
        owner, LanguageText("扫描未导入: %1", "Scan not imported: %1").arg(why), QStringLiteral("提示"), 0x10, -1);
    return false;
}

std::vector<IdleChannel> IdleChannelsWithShowScans(
    const BandOfChannels& band, std::span<const ScanView> scans, int threshold)
{
    return interchange::IdleChannelsOfShow(band, scans, threshold, coordination::TheShow().file,
        interchange::LoadImportThresholdDbm(PublicStruct::Instance().ConfigPath()));
}

QColor ImportedCurves::Colour(int index)
{
    // Apart from the device curves' colours, and bright on the black chart.
    static const QColor colours[MaxCurves] = { { 255, 140, 0 }, { 160, 160, 255 }, { 255, 120, 170 }, { 170, 255, 120 },
        { 200, 140, 80 }, { 120, 200, 255 }, { 220, 180, 255 }, { 255, 200, 120 } };
    return colours[index % MaxCurves];
}

ImportedCurves::ImportedCurves(TGraphDraw& chart, QBoxLayout& legendRow, QWidget& legendParent)
    : m_chart(chart)
{
    for (int i = 0; i < MaxCurves; ++i) {
        QLabel* label = NewLabel(&legendParent, QByteArray("lbImported" + QByteArray::number(i + 1)).constData(), {});
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Colour(i));
        label->setPalette(palette);
        label->hide();
        legendRow.addWidget(label);
        m_legend.push_back(label);
    }
    chart.OnDrawBackground = [this](QPainter& painter, const TGraphDraw& drawn) { Draw(painter, drawn); };
}

void ImportedCurves::Reload()
{
    const double offset = interchange::LoadScanDbmOffset(PublicStruct::Instance().ConfigPath());
    m_curves.clear();
    for (const coordination::FileScan& scan : coordination::TheShow().file.scans) {
        if (!scan.dbm || scan.points.empty() || m_curves.size() == size_t(MaxCurves))
            continue;
        std::vector<interchange::ScanSample> samples;
        samples.reserve(scan.points.size());
        for (const auto& [mhz, dbm] : scan.points)
            samples.push_back({ mhz, dbm - offset });
        QLabel* label = m_legend[m_curves.size()];
        label->setText(QStringLiteral("■ ") + scan.name);
        label->setToolTip(scan.name);
        label->show();
        std::vector<interchange::ScanSample> curve = interchange::PeakCurve(samples, CurvePoints);
        const double gap = interchange::CurveGapMhz(curve);
        m_curves.push_back({ std::move(curve), Colour(int(m_curves.size())), gap });
    }
    for (size_t i = m_curves.size(); i < m_legend.size(); ++i)
        m_legend[i]->hide();
}

void ImportedCurves::WidenAxis() const
{
    for (const Curve& curve : m_curves) {
        m_chart.MinAxisX = std::min(m_chart.MinAxisX, curve.Points.front().Mhz);
        m_chart.MaxAxisX = std::max(m_chart.MaxAxisX, curve.Points.back().Mhz);
    }
}

// Thin lines under the window's own curves: the track line finds those by their colour.
void ImportedCurves::Draw(QPainter& painter, const TGraphDraw& chart) const
{
    for (const Curve& curve : m_curves) {
        painter.setPen(QPen(curve.Colour, 1));
        QPolygon line;
        for (size_t i = 0; i < curve.Points.size(); ++i) {
            if (i > 0 && curve.Points[i].Mhz - curve.Points[i - 1].Mhz > curve.GapMhz) {
                painter.drawPolyline(line);
                line.clear();
            }
            // Below the level axis (a quiet noise floor) the curve runs along the axis, not under it.
            line << chart.PointPosition(
                curve.Points[i].Mhz, std::clamp(curve.Points[i].Dbm, chart.MinAxisY, chart.MaxAxisY));
        }
        painter.drawPolyline(line);
    }
}
