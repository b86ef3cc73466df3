#include "ui/coord/PlanReport.h"

#include "coord/CurrentShow.h"
#include "data/PublicStruct.h"
#include "interchange/ShowScans.h"
#include "lang/Language.h"
#include "ui/DialogParts.h"
#include "ui/coord/PlanExport.h"
#include "ui/rf/RfWindowParts.h"

#include <QBuffer>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <cmath>

using interchange::PlanReportModel;
using interchange::ReportBand;
using interchange::ReportChart;

namespace
{

const QColor CarrierColour { 0, 70, 200 };
const QColor BackupColour { 0, 140, 60 };
const QColor ExcludedColour { 255, 215, 215 };

QColor CurveColour(int index)
{
    static const QColor colours[ReportChart::MaxCurves] = { { 200, 60, 0 }, { 120, 120, 120 }, { 150, 0, 150 },
        { 0, 150, 150 }, { 180, 140, 0 }, { 90, 60, 30 }, { 220, 0, 90 }, { 60, 90, 160 } };
    return colours[index % ReportChart::MaxCurves];
}

QFont ChartFont(double pixels, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(std::max(6, static_cast<int>(pixels)));
    font.setBold(bold);
    return font;
}

// Maps MHz and dBm onto the plot rectangle.
struct ChartMap {
    QRectF plot;
    const ReportChart& chart;
    double X(double mhz) const
    {
        return plot.left() + (mhz - chart.FromMhz) / (chart.ToMhz - chart.FromMhz) * plot.width();
    }
    double Y(double dbm) const
    {
        const double clamped = std::clamp(dbm, chart.LowDbm, chart.HighDbm);
        return plot.bottom() - (clamped - chart.LowDbm) / (chart.HighDbm - chart.LowDbm) * plot.height();
    }
};

void DrawGrid(QPainter& p, const ChartMap& map, double unit)
{
    const ReportChart& chart = map.chart;
    p.setFont(ChartFont(unit));
    const QFontMetricsF metrics(p.font());
    p.setPen(QPen(QColor(215, 215, 215), unit / 12));
    const double xStep = interchange::GridStep(chart.ToMhz - chart.FromMhz, 8);
    for (double mhz = std::ceil(chart.FromMhz / xStep) * xStep; mhz <= chart.ToMhz + 1e-9; mhz += xStep) {
        p.setPen(QPen(QColor(215, 215, 215), unit / 12));
        p.drawLine(QPointF(map.X(mhz), map.plot.top()), QPointF(map.X(mhz), map.plot.bottom()));
        p.setPen(Qt::black);
        const QString text = QString::number(mhz, 'f', xStep < 1 ? 1 : 0);
        const double width = metrics.horizontalAdvance(text);
        const double left = std::clamp(map.X(mhz) - width / 2, map.plot.left() - unit * 2, map.plot.right() - width);
        p.drawText(QPointF(left, map.plot.bottom() + metrics.ascent() + unit / 3), text);
    }
    for (double dbm = chart.LowDbm; dbm <= chart.HighDbm + 1e-9; dbm += 10) {
        p.setPen(QPen(QColor(215, 215, 215), unit / 12));
        p.drawLine(QPointF(map.plot.left(), map.Y(dbm)), QPointF(map.plot.right(), map.Y(dbm)));
        p.setPen(Qt::black);
        const QString text = QString::number(dbm, 'f', 0);
        p.drawText(
            QPointF(map.plot.left() - metrics.horizontalAdvance(text) - unit / 3, map.Y(dbm) + metrics.ascent() / 2.5),
            text);
    }
    p.drawText(QPointF(map.plot.left() - unit * 3.5, map.plot.top() - unit * 0.6), QStringLiteral("dBm"));
    p.drawText(QPointF(map.plot.right() - metrics.horizontalAdvance(QStringLiteral("MHz")),
                   map.plot.bottom() + metrics.ascent() * 2 + unit / 2),
        QStringLiteral("MHz"));
}

void DrawMarkers(QPainter& p, const ChartMap& map, double unit)
{
    p.setFont(ChartFont(unit * 0.85));
    for (const ReportChart::Marker& marker : map.chart.Markers) {
        const double x = map.X(marker.Mhz);
        QPen pen(marker.Backup ? BackupColour : CarrierColour, unit / 7);
        if (marker.Backup)
            pen.setStyle(Qt::DashLine);
        p.setPen(pen);
        p.drawLine(QPointF(x, map.plot.top()), QPointF(x, map.plot.bottom()));
        if (marker.Label.isEmpty())
            continue;
        // Named along the line, just right of it and inside the plot, so close carriers keep their names.
        p.save();
        p.translate(x + unit / 6, map.plot.top() + unit / 3);
        p.rotate(90);
        p.setPen(CarrierColour);
        p.drawText(QPointF(0, 0), marker.Label);
        p.restore();
    }
}

// One row under the plot: each curve's colour and name, then the carrier and backup lines. Names
// that do not fit are shortened in the middle (the tables above name everything in full).
void DrawLegend(QPainter& p, const ChartMap& map, const QRectF& area, double unit)
{
    p.setFont(ChartFont(unit * 0.9));
    const QFontMetricsF metrics(p.font());
    double x = map.plot.left();
    const double y = area.bottom() - metrics.descent() - unit / 4;
    auto entry = [&](const QColor& colour, Qt::PenStyle style, const QString& text, double reserve) {
        const double room = area.right() - reserve - x - unit * 2;
        if (room < unit * 3)
            return;
        const QString shown = metrics.elidedText(text, Qt::ElideMiddle, room);
        QPen pen(colour, unit / 5);
        pen.setStyle(style);
        p.setPen(pen);
        p.drawLine(QPointF(x, y - metrics.ascent() / 3), QPointF(x + unit * 1.5, y - metrics.ascent() / 3));
        p.setPen(Qt::black);
        p.drawText(QPointF(x + unit * 2, y), shown);
        x += unit * 3 + metrics.horizontalAdvance(shown);
    };
    const QString carrier = LanguageText("载波", "carrier");
    const QString backup = LanguageText("备用", "backup");
    const double fixed = unit * 6 + metrics.horizontalAdvance(carrier) + metrics.horizontalAdvance(backup);
    for (size_t i = 0; i < map.chart.Curves.size(); ++i)
        entry(CurveColour(int(i)), Qt::SolidLine, map.chart.Curves[i].Name, fixed);
    entry(CarrierColour, Qt::SolidLine, carrier, 0);
    entry(BackupColour, Qt::DashLine, backup, 0);
}

// One block after another down the page's paintable area, a new page when the next does not fit.
class PageFlow
{
public:
    PageFlow(QPdfWriter& writer, QPainter& painter, const QString& footer)
        : m_writer(writer)
        , m_p(painter)
        , m_footer(footer)
    {
        m_area = QRectF(0, 0, writer.width(), writer.height());
        m_area.setBottom(m_area.bottom() - Points(14));
        DrawFooter();
    }
    double Points(double pt) const { return pt * m_writer.resolution() / 72.0; }
    double Width() const { return m_area.width(); }
    double Left() const { return m_area.left(); }
    double Room() const { return m_area.bottom() - m_y; }

    void Ensure(double height)
    {
        if (m_y + height <= m_area.bottom() || m_y == m_area.top())
            return;
        m_writer.newPage();
        ++m_page;
        m_y = m_area.top();
        DrawFooter();
    }
    void Space(double pt) { m_y = std::min(m_area.bottom(), m_y + Points(pt)); }
    // Wrapped text over the whole width (or from indent).
    void Text(const QString& text, double pt, bool bold = false, const QColor& colour = Qt::black, double indentPt = 0)
    {
        m_p.setFont(Font(pt, bold));
        const QRectF box(Left() + Points(indentPt), 0, Width() - Points(indentPt), 1e9);
        const double height = m_p.boundingRect(box, Qt::TextWordWrap, text).height();
        Ensure(height);
        m_p.setPen(colour);
        m_p.drawText(QRectF(box.left(), m_y, box.width(), height), Qt::TextWordWrap, text);
        m_y += height;
    }
    void Table(const ReportBand& band);
    // Reserves height for a drawing and returns where it goes.
    QRectF Block(double height)
    {
        Ensure(height);
        const QRectF box(Left(), m_y, Width(), height);
        m_y += height;
        return box;
    }
    QFont Font(double pt, bool bold) const
    {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSizeF(pt);
        font.setBold(bold);
        return font;
    }

private:
    void DrawFooter()
    {
        m_p.setFont(Font(8, false));
        m_p.setPen(QColor(90, 90, 90));
        m_p.drawText(QRectF(0, m_area.bottom(), Width(), Points(14)), Qt::AlignRight | Qt::AlignBottom,
            m_footer + QStringLiteral(" · ") + LanguageText("第 %1 页", "page %1").arg(m_page));
    }
    double RowHeight(const std::array<QString, 3>& cells, const std::array<double, 3>& widths) const
    {
        double height = 0;
        for (size_t c = 0; c < cells.size(); ++c)
            height = std::max(height,
                m_p.boundingRect(QRectF(0, 0, widths[c] - 2 * Points(3), 1e9), Qt::TextWordWrap, cells[c]).height());
        return height + 2 * Points(2);
    }
    void Row(const std::array<QString, 3>& cells, const std::array<double, 3>& widths, bool head);

    QPdfWriter& m_writer;
    QPainter& m_p;
    QString m_footer;
    QRectF m_area;
    double m_y = 0;
    int m_page = 1;
};

void PageFlow::Row(const std::array<QString, 3>& cells, const std::array<double, 3>& widths, bool head)
{
    m_p.setFont(Font(10, head));
    const double height = RowHeight(cells, widths);
    double x = Left();
    if (head)
        m_p.fillRect(QRectF(x, m_y, Width(), height), QColor(235, 235, 235));
    for (size_t c = 0; c < cells.size(); ++c) {
        m_p.setPen(QPen(QColor(150, 150, 150), Points(0.5)));
        m_p.drawRect(QRectF(x, m_y, widths[c], height));
        m_p.setPen(Qt::black);
        const Qt::Alignment align = c == 2 && !head ? Qt::AlignRight : Qt::AlignLeft;
        m_p.drawText(QRectF(x + Points(3), m_y + Points(2), widths[c] - 2 * Points(3), height - 2 * Points(2)),
            Qt::TextWordWrap | align, cells[c]);
        x += widths[c];
    }
    m_y += height;
}

void PageFlow::Table(const ReportBand& band)
{
    const std::array<double, 3> widths { Width() * 0.18, Width() * 0.52, Width() * 0.30 };
    const std::array<QString, 3> head { LanguageText("设备", "Device"), LanguageText("名称", "Name"),
        LanguageText("频率 (MHz)", "Frequency (MHz)") };
    m_p.setFont(Font(10, true));
    Ensure(RowHeight(head, widths) * 2 + Points(16));
    Text(band.Title, 11, true);
    Space(2);
    Row(head, widths, true);
    for (const ReportBand::Row& row : band.Rows) {
        const std::array<QString, 3> cells { row.Device, row.Name, row.Frequency };
        m_p.setFont(Font(10, false));
        const double height = RowHeight(cells, widths);
        if (height > Room()) {
            Ensure(height + RowHeight(head, widths));
            Row(head, widths, true);
        }
        Row(cells, widths, false);
    }
    if (!band.Backups.isEmpty()) {
        Space(2);
        Text(band.Backups, 10);
    }
    Space(8);
}

void Section(PageFlow& flow, const QString& title, const QStringList& lines)
{
    flow.Space(6);
    flow.Text(title, 13, true);
    flow.Space(2);
    for (const QString& line : lines)
        flow.Text(QStringLiteral("• ") + line, 10, false, Qt::black, 6);
}

} // namespace

void DrawPlanChart(QPainter& p, const QRectF& area, const ReportChart& chart)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(area, Qt::white);
    const double unit = area.height() / 26; // the height of a label line
    const QRectF plot(
        area.left() + unit * 4, area.top() + unit * 1.6, area.width() - unit * 5, area.height() - unit * 6);
    const ChartMap map { plot, chart };
    for (const auto& [from, to] : chart.Excluded)
        p.fillRect(QRectF(QPointF(map.X(from), plot.top()), QPointF(map.X(to), plot.bottom())), ExcludedColour);
    DrawGrid(p, map, unit);
    p.setClipRect(plot);
    for (size_t i = 0; i < chart.Curves.size(); ++i) {
        const std::vector<interchange::ScanSample>& points = chart.Curves[i].Points;
        const double gap = interchange::CurveGapMhz(points);
        p.setPen(QPen(CurveColour(int(i)), unit / 10));
        QPolygonF line;
        for (size_t k = 0; k < points.size(); ++k) {
            if (k > 0 && points[k].Mhz - points[k - 1].Mhz > gap) {
                p.drawPolyline(line);
                line.clear();
            }
            line << QPointF(map.X(points[k].Mhz), map.Y(points[k].Dbm));
        }
        p.drawPolyline(line);
    }
    DrawMarkers(p, map, unit);
    p.setClipping(false);
    p.setPen(QPen(Qt::black, unit / 12));
    p.drawRect(plot);
    DrawLegend(p, map, area, unit);
    p.restore();
}

QImage PlanChartImage(const ReportChart& chart, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawPlanChart(painter, QRectF(QPointF(0, 0), QSizeF(size)), chart);
    return image;
}

QByteArray PlanReportPdf(const PlanReportModel& report, QPageSize::PageSizeId paper)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setPageSize(QPageSize(paper));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(report.Title);
        writer.setCreator(QStringLiteral("Tessaro"));
        QPainter painter(&writer);
        PageFlow flow(writer, painter, report.Title);
        flow.Text(report.Title, 18, true);
        flow.Space(4);
        for (const auto& [caption, text] : report.Facts)
            flow.Text(caption + QStringLiteral(": ") + text, 11);
        flow.Space(6);
        flow.Text(report.Verdict, 11, true, report.Passed ? QColor(0, 110, 0) : QColor(180, 0, 0));
        Section(flow, LanguageText("协调参数", "Coordination parameters"), report.Parameters);
        Section(flow, LanguageText("排除的频率范围", "Excluded ranges"), report.Limits);
        flow.Space(6);
        flow.Text(LanguageText("频率", "Frequencies"), 13, true);
        flow.Space(4);
        for (const ReportBand& band : report.Bands)
            flow.Table(band);
        if (!report.Chart.Empty()) {
            const double chartHeight = flow.Width() * 0.55;
            flow.Ensure(flow.Points(30) + chartHeight); // the heading stays with its chart
            flow.Space(4);
            flow.Text(LanguageText("扫描与载波", "Scans and carriers"), 13, true);
            flow.Space(2);
            DrawPlanChart(painter, flow.Block(chartHeight), report.Chart);
        }
    }
    return bytes;
}

TFrmPlanReport::TFrmPlanReport(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmPlanReport"));
    setWindowTitle(LanguageText("导出频率计划报告", "Export Plan Report"));
    lbPlanState = NewLabel(this, "lbPlanState", PlanStateText());
    cbReportFormat = Named(new QComboBox(this), "cbReportFormat");
    cbReportFormat->addItems({ QStringLiteral("PDF"), QStringLiteral("HTML") });
    cbPaper = Named(new QComboBox(this), "cbPaper");
    cbPaper->addItem(QStringLiteral("A4"), static_cast<int>(QPageSize::A4));
    cbPaper->addItem(QStringLiteral("Letter"), static_cast<int>(QPageSize::Letter));
    btExport = NewButton(this, "btExport", LanguageText("导出", "Export"));
    btExport->setDefault(true);
    btCancel = NewButton(this, "btCancel", LanguageText("取消", "Cancel"));
    auto* grid = new QGridLayout;
    grid->addWidget(lbPlanState, 0, 0, 1, 2);
    grid->addWidget(NewLabel(this, "lbReportFormat", LanguageText("格式", "Form")), 1, 0);
    grid->addWidget(cbReportFormat, 1, 1);
    grid->addWidget(NewLabel(this, "lbPaper", LanguageText("纸张", "Paper")), 2, 0);
    grid->addWidget(cbPaper, 2, 1);
    ArrangeFieldsAndButtons(*this, grid, { btExport, btCancel });
    connect(
        cbReportFormat, &QComboBox::currentIndexChanged, this, [this](int index) { cbPaper->setEnabled(index == 0); });
    connect(btExport, &QPushButton::clicked, this, &TFrmPlanReport::btExportClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmPlanReport::btExportClick()
{
    const PlanReportModel report = interchange::PlanReportOf(coordination::TheShow().file, QDate::currentDate(),
        interchange::LoadScanDbmOffset(PublicStruct::Instance().ConfigPath()));
    const bool pdf = cbReportFormat->currentIndex() == 0;
    QByteArray bytes;
    if (pdf) {
        bytes = PlanReportPdf(report, static_cast<QPageSize::PageSizeId>(cbPaper->currentData().toInt()));
    } else {
        const QByteArray png
            = report.Chart.Empty() ? QByteArray() : PngBytes(PlanChartImage(report.Chart, { 1600, 880 }));
        bytes = interchange::PlanReportHtml(report, png);
    }
    if (ExportToFile(this, pdf ? QStringLiteral("plan-report.pdf") : QStringLiteral("plan-report.html"),
            pdf ? QStringLiteral("PDF (*.pdf)") : QStringLiteral("HTML (*.html)"), bytes))
        accept();
}
