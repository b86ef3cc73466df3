#include "Drawing.h"

#include <QPainterPath>
#include <QtMath>

QFont PictureFont(qreal pixelSize, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(qRound(pixelSize));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QLinearGradient VerticalGradient(const QRectF& rect, const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

void DrawBadge(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour)
{
    p.save();
    QRectF disc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(QPen(Qt::white, qMax(1.0, radius * 0.16)));
    p.setBrush(VerticalGradient(disc, colour.lighter(135), colour.darker(115)));
    p.drawEllipse(disc);
    p.restore();
}

static void StrokeGlyph(QPainter& p, const QPainterPath& path, qreal width, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

void DrawPlusGlyph(QPainter& p, const QPointF& c, qreal half, qreal width)
{
    QPainterPath path;
    path.moveTo(c.x() - half, c.y());
    path.lineTo(c.x() + half, c.y());
    path.moveTo(c.x(), c.y() - half);
    path.lineTo(c.x(), c.y() + half);
    StrokeGlyph(p, path, width, Qt::white);
}

void DrawCrossGlyph(QPainter& p, const QPointF& c, qreal half, qreal width, const QColor& colour)
{
    QPainterPath path;
    path.moveTo(c.x() - half, c.y() - half);
    path.lineTo(c.x() + half, c.y() + half);
    path.moveTo(c.x() + half, c.y() - half);
    path.lineTo(c.x() - half, c.y() + half);
    StrokeGlyph(p, path, width, colour);
}

void DrawCheckGlyph(QPainter& p, const QPointF& c, qreal half, qreal width)
{
    QPainterPath path;
    path.moveTo(c.x() - half, c.y());
    path.lineTo(c.x() - half * 0.3, c.y() + half * 0.7);
    path.lineTo(c.x() + half, c.y() - half * 0.7);
    StrokeGlyph(p, path, width, Qt::white);
}

void DrawCentredText(QPainter& p, const QRectF& rect, const QString& text, const QFont& font, const QColor& colour)
{
    p.save();
    p.setFont(font);
    p.setPen(colour);
    p.drawText(rect, Qt::AlignCenter, text);
    p.restore();
}

void DrawHandheldMic(QPainter& p, const QPointF& head, qreal r, const QColor& body)
{
    p.save();
    const QColor outline = body.darker(170);

    // Handle: tapers from below the grille to a rounded end.
    QPainterPath handle;
    const qreal top = head.y() + r * 0.75;
    const qreal bottom = head.y() + r * 4.3;
    handle.moveTo(head.x() - r * 0.72, top);
    handle.lineTo(head.x() + r * 0.72, top);
    handle.lineTo(head.x() + r * 0.40, bottom - r * 0.3);
    handle.quadTo(head.x(), bottom + r * 0.1, head.x() - r * 0.40, bottom - r * 0.3);
    handle.closeSubpath();
    QLinearGradient shade(head.x() - r, 0, head.x() + r, 0);
    shade.setColorAt(0, body.lighter(150));
    shade.setColorAt(0.45, body);
    shade.setColorAt(1, body.darker(160));
    p.setPen(QPen(outline, qMax(0.8, r * 0.1)));
    p.setBrush(shade);
    p.drawPath(handle);

    // Collar between grille and handle.
    QRectF collar(head.x() - r * 0.85, head.y() + r * 0.55, r * 1.7, r * 0.45);
    p.setBrush(VerticalGradient(collar, QColor(90, 94, 102), QColor(40, 42, 48)));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(collar, r * 0.15, r * 0.15);

    // Grille: a silver ball with a mesh.
    QRectF ball(head.x() - r, head.y() - r, 2 * r, 2 * r);
    QRadialGradient metal(head.x() - r * 0.35, head.y() - r * 0.4, r * 1.6);
    metal.setColorAt(0, QColor(250, 250, 252));
    metal.setColorAt(0.6, QColor(180, 184, 192));
    metal.setColorAt(1, QColor(110, 114, 122));
    p.setBrush(metal);
    p.setPen(QPen(QColor(80, 84, 92), qMax(0.8, r * 0.1)));
    p.drawEllipse(ball);
    QPainterPath clip;
    clip.addEllipse(ball.adjusted(r * 0.12, r * 0.12, -r * 0.12, -r * 0.12));
    p.setClipPath(clip);
    p.setPen(QPen(QColor(90, 94, 104, 150), qMax(0.6, r * 0.07)));
    const qreal step = r * 0.38;
    for (qreal d = -2 * r; d <= 2 * r; d += step) {
        p.drawLine(QPointF(head.x() + d - r, head.y() - r), QPointF(head.x() + d + r, head.y() + r));
        p.drawLine(QPointF(head.x() + d + r, head.y() - r), QPointF(head.x() + d - r, head.y() + r));
    }
    p.restore();
}

void DrawProductMark(QPainter& p, const QRectF& box)
{
    p.save();
    const qreal d = qMin(box.width(), box.height());
    const QRectF disc(box.center().x() - d / 2, box.center().y() - d / 2, d, d);
    const QPointF c = disc.center();

    QRadialGradient glow(c.x() - d * 0.2, c.y() - d * 0.25, d * 0.9);
    glow.setColorAt(0, palette::LightBlue);
    glow.setColorAt(0.55, palette::Blue);
    glow.setColorAt(1, palette::DarkBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(disc);

    // Capsule with its grille slots.
    const QRectF capsule(c.x() - d * 0.11, c.y() - d * 0.32, d * 0.22, d * 0.38);
    p.setBrush(Qt::white);
    p.drawRoundedRect(capsule, d * 0.11, d * 0.11);
    p.setPen(QPen(palette::Blue, qMax(1.0, d * 0.022), Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal y = capsule.top() + d * (0.09 + i * 0.065);
        p.drawLine(QPointF(capsule.left() + d * 0.05, y), QPointF(capsule.right() - d * 0.05, y));
    }

    // Holder, stem and foot.
    const qreal line = qMax(1.5, d * 0.045);
    p.setPen(QPen(Qt::white, line, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF holder(c.x() - d * 0.18, c.y() - d * 0.14, d * 0.36, d * 0.34);
    p.drawArc(holder, 180 * 16, 180 * 16);
    p.drawLine(QPointF(c.x(), holder.bottom()), QPointF(c.x(), c.y() + d * 0.33));
    p.drawLine(QPointF(c.x() - d * 0.12, c.y() + d * 0.33), QPointF(c.x() + d * 0.12, c.y() + d * 0.33));

    // Sound waves on both sides.
    for (int i = 0; i < 2; ++i) {
        const qreal rw = d * (0.28 + i * 0.1);
        const QRectF wave(c.x() - rw, c.y() - d * 0.13 - rw, 2 * rw, 2 * rw);
        QColor colour = Qt::white;
        colour.setAlpha(i == 0 ? 230 : 150);
        p.setPen(QPen(colour, line * 0.8, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(wave, -35 * 16, 70 * 16);
        p.drawArc(wave, 145 * 16, 70 * 16);
    }
    p.restore();
}

void DrawGear(QPainter& p, const QPointF& c, qreal r, const QColor& colour)
{
    p.save();
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal angle0 = (i - 0.5) * M_PI / teeth;
        const qreal angle1 = (i + 0.5) * M_PI / teeth;
        const qreal radius = (i % 2 == 0) ? r : r * 0.76;
        const QPointF a(c.x() + radius * qCos(angle0), c.y() + radius * qSin(angle0));
        const QPointF b(c.x() + radius * qCos(angle1), c.y() + radius * qSin(angle1));
        if (i == 0)
            gear.moveTo(a);
        else
            gear.lineTo(a);
        gear.lineTo(b);
    }
    gear.closeSubpath();
    gear.addEllipse(c, r * 0.32, r * 0.32);
    gear.setFillRule(Qt::OddEvenFill);
    const QRectF bounds(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setPen(QPen(colour.darker(160), qMax(0.8, r * 0.08)));
    p.setBrush(VerticalGradient(bounds, colour.lighter(140), colour.darker(120)));
    p.drawPath(gear);
    p.restore();
}
