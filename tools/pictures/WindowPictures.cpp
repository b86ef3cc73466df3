// The pictures of the tile, the message box, the about window and the debug window.
#include "Drawing.h"

#include <QPainterPath>
#include <QtMath>

namespace {

// ---- Device tile (135 x 152): panel, title strip, close button, battery symbols (44 x 20).

constexpr qreal TileTitleHeight = 23;

void DrawTileBackground(QPainter& p, const QSizeF& size)
{
    const QRectF outer(0.5, 0.5, size.width() - 1, size.height() - 1);
    QPainterPath panel;
    panel.addRoundedRect(outer, 6, 6);
    p.fillPath(panel, VerticalGradient(outer, QColor(232, 243, 254), QColor(200, 223, 248)));

    // The darker strip behind the title shares the panel's rounded top corners.
    QPainterPath strip;
    strip.addRoundedRect(QRectF(outer.left(), outer.top(), outer.width(), TileTitleHeight + 8), 6, 6);
    QPainterPath lower;
    lower.addRect(QRectF(outer.left(), TileTitleHeight, outer.width(), 10));
    strip = strip.subtracted(lower);
    const QRectF stripBox(0, 0, size.width(), TileTitleHeight);
    p.fillPath(strip, VerticalGradient(stripBox, QColor(66, 132, 222), QColor(22, 78, 168)));
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(6, 1.5), QPointF(size.width() - 6, 1.5));

    p.setPen(QPen(QColor(30, 86, 170), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(outer.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    p.setPen(QPen(QColor(16, 60, 130), 1));
    p.drawLine(QPointF(1.5, TileTitleHeight + 0.5), QPointF(size.width() - 1.5, TileTitleHeight + 0.5));
}

void DrawTileClose(QPainter& p, const QSizeF& size)
{
    const QRectF box(1.5, 1.5, size.width() - 3, size.height() - 3);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.setBrush(VerticalGradient(box, QColor(240, 110, 100), QColor(190, 36, 36)));
    p.drawRoundedRect(box, 3, 3);
    DrawCrossGlyph(p, box.center(), 3.5, 2);
}

const QRectF BatteryBody(1.5, 2.5, 36, 15);

void DrawBatteryOutline(QPainter& p)
{
    p.setPen(QPen(QColor(50, 54, 60), 2));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRoundedRect(BatteryBody, 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 54, 60));
    p.drawRoundedRect(QRectF(38.5, 6.5, 4, 7), 1.5, 1.5);
}

void DrawBatterySegments(QPainter& p, int filled, const QColor& colour)
{
    constexpr int segments = 4;
    const QRectF inner = BatteryBody.adjusted(3, 3, -3, -3);
    const qreal width = (inner.width() - (segments - 1) * 1.5) / segments;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < filled; ++i) {
        const QRectF segment(inner.left() + i * (width + 1.5), inner.top(), width, inner.height());
        p.setBrush(VerticalGradient(segment, colour.lighter(130), colour.darker(110)));
        p.drawRect(segment);
    }
}

void DrawBatteryUnknown(QPainter& p, const QSizeF&)
{
    DrawBatteryOutline(p);
    DrawCentredText(p, BatteryBody.adjusted(0, -1, 0, 0), QStringLiteral("?"), PictureFont(14, true), palette::Red);
}

void DrawBatteryLow(QPainter& p, const QSizeF&)
{
    DrawBatteryOutline(p);
    DrawBatterySegments(p, 1, palette::Red);
}

void DrawBatteryHalf(QPainter& p, const QSizeF&)
{
    DrawBatteryOutline(p);
    DrawBatterySegments(p, 2, palette::Amber);
}

void DrawBatteryFull(QPainter& p, const QSizeF&)
{
    DrawBatteryOutline(p);
    DrawBatterySegments(p, 4, palette::Green);
}

// ---- Message box: icons (64 x 64), title band pieces (52 high), buttons, close button.

void DrawInfoIcon(QPainter& p, const QSizeF& size)
{
    const QPointF c(size.width() / 2, size.height() / 2);
    DrawBadge(p, c, 29, palette::Blue);
    DrawCentredText(p, QRectF(c.x() - 20, c.y() - 24, 40, 48), QStringLiteral("i"), PictureFont(42, true), Qt::white);
}

void DrawQuestionIcon(QPainter& p, const QSizeF& size)
{
    const QPointF c(size.width() / 2, size.height() / 2);
    DrawBadge(p, c, 29, QColor(0, 148, 170));
    DrawCentredText(p, QRectF(c.x() - 20, c.y() - 24, 40, 48), QStringLiteral("?"), PictureFont(40, true), Qt::white);
}

void DrawWarningIcon(QPainter& p, const QSizeF& size)
{
    QPainterPath triangle;
    triangle.moveTo(size.width() / 2, 4);
    triangle.lineTo(size.width() - 3, size.height() - 6);
    triangle.lineTo(3, size.height() - 6);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(170, 110, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(VerticalGradient(QRectF(0, 4, 1, size.height() - 10), QColor(255, 222, 90), palette::Amber));
    p.drawPath(triangle);
    DrawCentredText(p, QRectF(0, 16, size.width(), size.height() - 22), QStringLiteral("!"), PictureFont(36, true),
        QColor(40, 32, 10));
}

void DrawErrorIcon(QPainter& p, const QSizeF& size)
{
    const QPointF c(size.width() / 2, size.height() / 2);
    DrawBadge(p, c, 29, palette::Red);
    DrawCrossGlyph(p, c, 12, 6);
}

const QColor BandTop(64, 138, 230);
const QColor BandBottom(20, 84, 178);
const QColor BandEdge(14, 56, 128);
constexpr qreal CornerRadius = 18;

void FillBand(QPainter& p, const QSizeF& size)
{
    p.fillRect(QRectF(QPointF(0, 0), size), VerticalGradient(QRectF(QPointF(0, 0), size), BandTop, BandBottom));
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(QPointF(0, 3.5), QPointF(size.width(), 3.5));
    p.setPen(QPen(QColor(8, 40, 100), 1));
    p.drawLine(QPointF(0, size.height() - 0.5), QPointF(size.width(), size.height() - 0.5));
}

// The outline of the box's rounded corner, drawn over a band piece: the box spans 'left' to
// 'left' + twice the piece's width; outside its rounded outline the piece stays transparent.
void DrawBandCorner(QPainter& p, const QSizeF& size, qreal left)
{
    const QRectF box(left, 0, 2 * size.width(), 2 * size.height());
    QPainterPath inside;
    inside.addRoundedRect(box, CornerRadius + 1, CornerRadius + 1);
    QPainterPath piece;
    piece.addRect(QRectF(QPointF(0, 0), size));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawPath(piece.subtracted(inside));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(QPen(BandEdge, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(box.adjusted(1, 1, -1, -1), CornerRadius, CornerRadius);
}

void DrawTitleLeft(QPainter& p, const QSizeF& size)
{
    FillBand(p, size);
    DrawBandCorner(p, size, 0);
}

void DrawTitleMiddle(QPainter& p, const QSizeF& size)
{
    FillBand(p, size);
    p.setPen(QPen(BandEdge, 2));
    p.drawLine(QPointF(0, 1), QPointF(size.width(), 1));
}

void DrawTitleRight(QPainter& p, const QSizeF& size)
{
    FillBand(p, size);
    DrawBandCorner(p, size, -size.width());
}

void DrawButtonFace(QPainter& p, const QSizeF& size, const QColor& top, const QColor& bottom, const QColor& edge)
{
    const QRectF face(1, 1, size.width() - 2, size.height() - 2);
    p.setPen(QPen(edge, 1.5));
    p.setBrush(VerticalGradient(face, top, bottom));
    p.drawRoundedRect(face, 10, 10);
    QPainterPath gloss;
    gloss.addRoundedRect(face.adjusted(3, 2, -3, -face.height() / 2), 8, 8);
    p.fillPath(gloss, VerticalGradient(face.adjusted(0, 0, 0, -face.height() / 2), QColor(255, 255, 255, 90),
                          QColor(255, 255, 255, 15)));
}

void DrawOkButton(QPainter& p, const QSizeF& size)
{
    DrawButtonFace(p, size, QColor(74, 154, 242), QColor(18, 86, 186), QColor(12, 54, 128));
}

void DrawCancelButton(QPainter& p, const QSizeF& size)
{
    DrawButtonFace(p, size, QColor(252, 252, 253), QColor(196, 202, 212), QColor(120, 128, 142));
}

void DrawCloseButton(QPainter& p, const QSizeF& size)
{
    const QRectF ring(2, 2, size.width() - 4, size.height() - 4);
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.5));
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawEllipse(ring);
    DrawCrossGlyph(p, ring.center(), 5.5, 2.5);
}

// ---- About window.

void DrawAboutLogo(QPainter& p, const QSizeF& size)
{
    DrawProductMark(p, QRectF(QPointF(2, 2), size - QSizeF(4, 4)));
}

// ---- Debug window tool bar (32 x 32): clear, frozen, stop, save, stay on top.

void DrawDebugClear(QPainter& p, const QSizeF&)
{
    const QRectF sheet(4, 2, 19, 25);
    p.setPen(QPen(QColor(90, 96, 108), 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(QPen(QColor(150, 160, 176), 1.5));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(7, 7.5 + i * 4), QPointF(i % 2 ? 16 : 20, 7.5 + i * 4));
    // An eraser wiping the lines.
    p.save();
    p.translate(21, 22);
    p.rotate(-40);
    const QRectF rubber(-9, -5, 10, 10), sleeve(1, -5, 8, 10);
    p.setPen(QPen(QColor(120, 40, 60), 1));
    p.setBrush(VerticalGradient(rubber, QColor(255, 170, 190), QColor(220, 100, 130)));
    p.drawRect(rubber);
    p.setPen(QPen(QColor(20, 50, 110), 1));
    p.setBrush(VerticalGradient(sleeve, palette::LightBlue, palette::Blue));
    p.drawRect(sleeve);
    p.restore();
}

void DrawDebugFrozen(QPainter& p, const QSizeF& size)
{
    const QPointF c(size.width() / 2, size.height() / 2);
    p.setPen(QPen(QColor(40, 130, 220), 2.2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 6; ++i) {
        const qreal angle = qDegreesToRadians(90.0 + i * 60.0);
        const QPointF dir(qCos(angle), -qSin(angle));
        const QPointF normal(-dir.y(), dir.x());
        p.drawLine(c, c + dir * 13);
        const QPointF branch = c + dir * 8;
        p.drawLine(branch, branch + (dir + normal) * 3.5);
        p.drawLine(branch, branch + (dir - normal) * 3.5);
    }
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(40, 130, 220), 1.5));
    p.drawEllipse(c, 2.5, 2.5);
}

void DrawDebugStop(QPainter& p, const QSizeF& size)
{
    const QPointF c(size.width() / 2, size.height() / 2);
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = qDegreesToRadians(22.5 + i * 45.0);
        octagon << c + QPointF(qCos(angle), qSin(angle)) * 14;
    }
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(VerticalGradient(QRectF(0, 2, 1, 28), QColor(240, 90, 80), QColor(180, 24, 24)));
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(c.x() - 5.5, c.y() - 5.5, 11, 11), 1.5, 1.5);
}

void DrawDebugSave(QPainter& p, const QSizeF&)
{
    const QRectF disk(3, 3, 26, 26);
    QPainterPath body;
    body.moveTo(disk.topLeft());
    body.lineTo(disk.right() - 5, disk.top());
    body.lineTo(disk.right(), disk.top() + 5);
    body.lineTo(disk.bottomRight());
    body.lineTo(disk.bottomLeft());
    body.closeSubpath();
    p.setPen(QPen(QColor(12, 40, 96), 1.2));
    p.setBrush(VerticalGradient(disk, palette::Blue, palette::DarkBlue));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(VerticalGradient(QRectF(0, 3, 1, 9), QColor(236, 238, 242), QColor(170, 176, 186)));
    p.drawRect(QRectF(9, 3.6, 13, 9));
    p.setBrush(QColor(50, 56, 70));
    p.drawRect(QRectF(17, 5, 3, 6));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(7, 16, 18, 11), 1.5, 1.5);
    p.setPen(QPen(QColor(150, 160, 176), 1));
    p.drawLine(QPointF(9, 19.5), QPointF(23, 19.5));
    p.drawLine(QPointF(9, 23.5), QPointF(23, 23.5));
}

void DrawDebugTop(QPainter& p, const QSizeF&)
{
    // A push pin holding the window on top.
    p.save();
    p.translate(16, 16);
    p.rotate(40);
    p.setPen(QPen(QColor(110, 116, 128), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, 4), QPointF(0, 15));
    const QRectF collar(-7, 0, 14, 4);
    p.setPen(QPen(QColor(120, 20, 20), 1));
    p.setBrush(VerticalGradient(collar, QColor(240, 90, 80), QColor(170, 24, 24)));
    p.drawRoundedRect(collar, 1.5, 1.5);
    QPainterPath waist;
    waist.moveTo(-4, 0);
    waist.lineTo(-3, -7);
    waist.lineTo(3, -7);
    waist.lineTo(4, 0);
    waist.closeSubpath();
    p.drawPath(waist);
    const QRectF head(-6.5, -13, 13, 7);
    p.setBrush(VerticalGradient(head, QColor(250, 120, 110), QColor(190, 30, 30)));
    p.drawRoundedRect(head, 3, 3);
    p.restore();
}

} // namespace

std::vector<PictureDrawing> WindowDrawings()
{
    const QSize battery(44, 20), icon(64, 64), debug(32, 32), band(40, 52);
    return {
        { "tile_background.png", QSize(135, 152), DrawTileBackground },
        { "tile_close.png", QSize(21, 18), DrawTileClose },
        { "battery_0.png", battery, DrawBatteryUnknown },
        { "battery_1.png", battery, DrawBatteryLow },
        { "battery_2.png", battery, DrawBatteryHalf },
        { "battery_3.png", battery, DrawBatteryFull },
        { "msg_info.png", icon, DrawInfoIcon },
        { "msg_question.png", icon, DrawQuestionIcon },
        { "msg_warning.png", icon, DrawWarningIcon },
        { "msg_error.png", icon, DrawErrorIcon },
        { "msg_title_left.png", band, DrawTitleLeft },
        { "msg_title_middle.png", QSize(8, 52), DrawTitleMiddle },
        { "msg_title_right.png", band, DrawTitleRight },
        { "msg_button_ok.png", QSize(123, 51), DrawOkButton },
        { "msg_button_cancel.png", QSize(123, 51), DrawCancelButton },
        { "msg_close.png", QSize(29, 29), DrawCloseButton },
        { "about_logo.png", QSize(112, 112), DrawAboutLogo },
        { "debug_clear.png", debug, DrawDebugClear },
        { "debug_frozen.png", debug, DrawDebugFrozen },
        { "debug_stop.png", debug, DrawDebugStop },
        { "debug_save.png", debug, DrawDebugSave },
        { "debug_top.png", debug, DrawDebugTop },
    };
}
