// The main window's pictures: the logo panel and the tool bar icons (65 x 65).
#include "Drawing.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QtMath>

namespace {

// The largest font up to 'pixelSize' in which the text fits the width.
QFont FittingFont(const QString& text, int pixelSize, bool bold, qreal width)
{
    QFont font = PictureFont(pixelSize, bold);
    while (pixelSize > 6 && QFontMetricsF(font).horizontalAdvance(text) > width)
        font = PictureFont(--pixelSize, bold);
    return font;
}

void DrawLogo(QPainter& p, const QSizeF& size)
{
    DrawProductMark(p, QRectF(8, 8, size.height() - 16, size.height() - 16));

    const QRectF word(size.height() - 2, 10, size.width() - size.height() - 6, 56);
    p.setFont(FittingFont(QStringLiteral("Tessaro"), 46, true, word.width()));
    p.setPen(palette::DarkBlue);
    p.drawText(word, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tessaro"));

    // A signal trace under the word.
    QPainterPath trace;
    const qreal left = word.left() + 2, right = size.width() - 14, base = 74;
    trace.moveTo(left, base);
    for (qreal x = left; x <= right; x += 1) {
        const qreal t = (x - left) / (right - left);
        trace.lineTo(x, base - 6 * qSin(t * 6 * M_PI) * qSin(t * M_PI));
    }
    p.setPen(QPen(palette::Blue, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(trace);

    const QString tagline = QStringLiteral("WIRELESS MICROPHONES");
    p.setFont(FittingFont(tagline, 12, false, word.width() - 4));
    p.setPen(palette::Ink);
    p.drawText(QRectF(word.left() + 2, 80, word.width(), 16), Qt::AlignLeft | Qt::AlignVCenter, tagline);
}

// A rack receiver: a dark box with a display, two knobs and two antennas.
void DrawReceiver(QPainter& p, const QRectF& box)
{
    p.save();
    p.setPen(QPen(QColor(70, 74, 82), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(box.left() + 7, box.top() + 2), QPointF(box.left() + 3, box.top() - 14));
    p.drawLine(QPointF(box.right() - 7, box.top() + 2), QPointF(box.right() - 3, box.top() - 14));
    p.setBrush(QColor(70, 74, 82));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(box.left() + 3, box.top() - 14), 2, 2);
    p.drawEllipse(QPointF(box.right() - 3, box.top() - 14), 2, 2);

    p.setPen(QPen(QColor(30, 32, 38), 1.2));
    p.setBrush(VerticalGradient(box, QColor(110, 116, 128), QColor(44, 48, 56)));
    p.drawRoundedRect(box, 3, 3);
    const QRectF display(box.left() + 5, box.top() + 5, box.width() * 0.45, box.height() - 10);
    p.setBrush(VerticalGradient(display, QColor(150, 240, 170), QColor(40, 170, 90)));
    p.setPen(QPen(QColor(20, 60, 30), 1));
    p.drawRect(display);
    p.setPen(QPen(QColor(20, 80, 40), 1.5));
    p.drawLine(QPointF(display.left() + 3, display.center().y()), QPointF(display.right() - 3, display.center().y()));
    p.setPen(QPen(QColor(20, 22, 26), 1));
    p.setBrush(QColor(200, 204, 212));
    const qreal knobY = box.center().y();
    p.drawEllipse(QPointF(box.right() - 18, knobY), 3.5, 3.5);
    p.drawEllipse(QPointF(box.right() - 8, knobY), 3.5, 3.5);
    p.restore();
}

void DrawAdd(QPainter& p, const QSizeF&)
{
    DrawReceiver(p, QRectF(3, 20, 52, 22));
    DrawBadge(p, QPointF(49, 49), 13, palette::Green);
    DrawPlusGlyph(p, QPointF(49, 49), 6.5, 4);
}

// A plug (pointing right) and a socket (open to the left) on one axis, 'gap' pixels apart,
// drawn along the diagonal from the bottom left to the top right.
void DrawPlugAndSocket(QPainter& p, const QSizeF& size, qreal gap)
{
    p.save();
    p.translate(size.width() / 2, size.height() / 2);
    p.rotate(-45);
    const QColor cable(56, 60, 68);
    p.setPen(QPen(cable, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-40, 0), QPointF(-20 - gap / 2, 0));
    p.drawLine(QPointF(20 + gap / 2, 0), QPointF(40, 0));

    // Plug: body and two pins.
    const qreal px = -gap / 2;
    const QRectF plug(px - 20, -8, 14, 16);
    p.setPen(QPen(QColor(20, 22, 26), 1));
    p.setBrush(VerticalGradient(plug, QColor(120, 126, 138), QColor(40, 44, 52)));
    p.drawRoundedRect(plug, 3, 3);
    p.setBrush(VerticalGradient(QRectF(0, -6, 1, 12), QColor(255, 230, 140), QColor(190, 140, 20)));
    p.drawRect(QRectF(px - 6, -5.5, 7, 3));
    p.drawRect(QRectF(px - 6, 2.5, 7, 3));

    // Socket: a lighter body that receives the pins.
    const qreal sx = gap / 2;
    const QRectF socket(sx, -9, 18, 18);
    p.setBrush(VerticalGradient(socket, QColor(245, 246, 248), QColor(170, 176, 186)));
    p.setPen(QPen(QColor(80, 84, 92), 1.2));
    p.drawRoundedRect(socket, 3, 3);
    p.setBrush(QColor(40, 42, 48));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(sx, -5.5, 4, 3));
    p.drawRect(QRectF(sx, 2.5, 4, 3));
    p.restore();
}

void DrawConnect(QPainter& p, const QSizeF& size)
{
    DrawPlugAndSocket(p, size, 0);
    DrawBadge(p, QPointF(15, 15), 11, palette::Green);
    DrawCheckGlyph(p, QPointF(15, 15), 5.5, 3);
}

void DrawDisconnect(QPainter& p, const QSizeF& size)
{
    DrawPlugAndSocket(p, size, 16);
    // Sparks across the gap.
    p.save();
    p.setPen(QPen(palette::Amber, 2, Qt::SolidLine, Qt::RoundCap));
    const QPointF c(size.width() / 2, size.height() / 2);
    for (int i = 0; i < 3; ++i) {
        const qreal angle = qDegreesToRadians(45.0 + (i - 1) * 40.0);
        const QPointF dir(qCos(angle), qSin(angle));
        p.drawLine(c + dir * 3, c + dir * 8);
        p.drawLine(c - dir * 3, c - dir * 8);
    }
    p.restore();
    DrawBadge(p, QPointF(15, 15), 11, palette::Red);
    DrawCrossGlyph(p, QPointF(15, 15), 4.5, 3);
}

// A white chart panel with a grid.
QRectF DrawChartPanel(QPainter& p, const QRectF& panel, const QColor& face, const QColor& grid)
{
    p.save();
    p.setPen(QPen(QColor(60, 70, 90), 1.5));
    p.setBrush(face);
    p.drawRoundedRect(panel, 4, 4);
    const QRectF plot = panel.adjusted(6, 6, -5, -6);
    p.setPen(QPen(grid, 1));
    for (int i = 1; i < 4; ++i) {
        const qreal y = plot.top() + plot.height() * i / 4;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        const qreal x = plot.left() + plot.width() * i / 4;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    p.restore();
    return plot;
}

void DrawTrace(QPainter& p, const QRectF& plot, const std::vector<qreal>& levels, const QColor& colour, qreal width)
{
    QPainterPath path;
    for (size_t i = 0; i < levels.size(); ++i) {
        const QPointF point(plot.left() + plot.width() * i / (levels.size() - 1),
            plot.bottom() - plot.height() * levels[i]);
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    p.save();
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

void DrawRFHistory(QPainter& p, const QSizeF&)
{
    const QRectF plot = DrawChartPanel(p, QRectF(3, 6, 56, 46), Qt::white, QColor(200, 212, 230));
    DrawTrace(p, plot, { 0.55, 0.62, 0.5, 0.7, 0.66, 0.8, 0.72, 0.78, 0.6, 0.68 }, palette::Blue, 2.2);
    DrawTrace(p, plot, { 0.2, 0.3, 0.25, 0.38, 0.3, 0.22, 0.35, 0.45, 0.33, 0.4 }, palette::Red, 2.2);

    // A clock: the history runs over time.
    const QPointF c(49, 50);
    DrawBadge(p, c, 13, QColor(250, 250, 250));
    p.setPen(QPen(palette::Ink, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 10.5, 10.5);
    p.setPen(QPen(palette::Ink, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(0, -7));
    p.drawLine(c, c + QPointF(5, 2));
}

void DrawScanRF(QPainter& p, const QSizeF&)
{
    const QRectF screen(3, 8, 59, 44);
    p.setPen(QPen(QColor(30, 34, 40), 1.5));
    p.setBrush(QColor(90, 96, 108));
    p.drawRoundedRect(QRectF(1, 5, 63, 56), 5, 5);
    const QRectF plot = DrawChartPanel(p, screen, QColor(14, 28, 30), QColor(30, 70, 60));

    // A spectrum: noise floor and a few carriers.
    const std::vector<qreal> peaks = { 0.12, 0.18, 0.1, 0.72, 0.2, 0.14, 0.25, 0.9, 0.3, 0.12, 0.16, 0.55, 0.2, 0.1,
        0.15, 0.12, 0.62, 0.18, 0.1 };
    p.save();
    p.setPen(Qt::NoPen);
    const qreal barWidth = plot.width() / peaks.size();
    for (size_t i = 0; i < peaks.size(); ++i) {
        const QRectF bar(plot.left() + i * barWidth + 0.4, plot.bottom() - plot.height() * peaks[i], barWidth - 0.8,
            plot.height() * peaks[i]);
        p.setBrush(VerticalGradient(bar, QColor(180, 255, 120), QColor(30, 150, 60)));
        p.drawRect(bar);
    }
    p.restore();
    DrawTrace(p, plot, { 0.3, 0.34, 0.3, 0.82, 0.36, 0.32, 0.4, 0.98, 0.42, 0.32, 0.34, 0.66, 0.36, 0.3 },
        QColor(255, 220, 60), 1.2);
    // Sweep marker.
    p.setPen(QPen(QColor(255, 90, 90), 1.5));
    p.drawLine(QPointF(plot.left() + plot.width() * 0.62, plot.top()), QPointF(plot.left() + plot.width() * 0.62, plot.bottom()));
}

void DrawSingleSet(QPainter& p, const QSizeF&)
{
    DrawHandheldMic(p, QPointF(26, 14), 10, palette::Blue);
    DrawGear(p, QPointF(46, 46), 14, QColor(150, 156, 168));
}

void DrawCompSetup(QPainter& p, const QSizeF&)
{
    DrawHandheldMic(p, QPointF(13, 19), 8, palette::Red);
    DrawHandheldMic(p, QPointF(52, 19), 8, palette::Green);
    DrawHandheldMic(p, QPointF(32.5, 13), 9, palette::Blue);
    // The systems share one band: a line joining them.
    p.setPen(QPen(palette::Amber, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 60), QPointF(59, 60));
    p.setBrush(palette::Amber);
    p.setPen(Qt::NoPen);
    for (qreal x : { 13.0, 32.5, 52.0 })
        p.drawEllipse(QPointF(x, 60), 3.2, 3.2);
}

void DrawAbout(QPainter& p, const QSizeF& size)
{
    const QPointF c(size.width() / 2, size.height() / 2);
    DrawBadge(p, c, 27, palette::Blue);
    DrawCentredText(p, QRectF(c.x() - 20, c.y() - 22, 40, 44), QStringLiteral("i"), PictureFont(38, true), Qt::white);
}

} // namespace

std::vector<PictureDrawing> ToolbarDrawings()
{
    const QSize icon(65, 65);
    return {
        { "logo.png", QSize(296, 100), DrawLogo },
        { "tb_add.png", icon, DrawAdd },
        { "tb_connect.png", icon, DrawConnect },
        { "tb_disconnect.png", icon, DrawDisconnect },
        { "tb_rfhistory.png", icon, DrawRFHistory },
        { "tb_scanrf.png", icon, DrawScanRF },
        { "tb_singleset.png", icon, DrawSingleSet },
        { "tb_compsetup.png", icon, DrawCompSetup },
        { "tb_about.png", icon, DrawAbout },
    };
}
