#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <vector>

// One picture: its file name in res/, its size and the function that draws it on a transparent
// canvas of that size (antialiasing already on).
struct PictureDrawing {
    const char* fileName;
    QSize size;
    void (*draw)(QPainter& painter, const QSizeF& size);
};

std::vector<PictureDrawing> ToolbarDrawings();
std::vector<PictureDrawing> WindowDrawings();
std::vector<PictureDrawing> AppIconDrawings();

// The house colours.
namespace palette {
inline const QColor Blue(30, 111, 217);
inline const QColor DarkBlue(14, 62, 140);
inline const QColor LightBlue(120, 180, 245);
inline const QColor PaleBlue(222, 236, 251);
inline const QColor Green(40, 170, 70);
inline const QColor Red(214, 48, 49);
inline const QColor Amber(242, 168, 0);
inline const QColor Ink(52, 58, 66);
} // namespace palette

QFont PictureFont(qreal pixelSize, bool bold);
QLinearGradient VerticalGradient(const QRectF& rect, const QColor& top, const QColor& bottom);

// A round coloured badge with a light rim, the place for a small glyph.
void DrawBadge(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour);
void DrawPlusGlyph(QPainter& p, const QPointF& centre, qreal half, qreal width);
void DrawCrossGlyph(QPainter& p, const QPointF& centre, qreal half, qreal width, const QColor& colour = Qt::white);
void DrawCheckGlyph(QPainter& p, const QPointF& centre, qreal half, qreal width);
// A glyph of text centred in a rectangle.
void DrawCentredText(QPainter& p, const QRectF& rect, const QString& text, const QFont& font, const QColor& colour);

// A handheld microphone standing upright: the grille's centre and radius, the body's colour.
void DrawHandheldMic(QPainter& p, const QPointF& headCentre, qreal headRadius, const QColor& body);
// The product mark: a microphone capsule in its holder with sound waves, on a blue disc.
void DrawProductMark(QPainter& p, const QRectF& box);
// A toothed gear with a hole.
void DrawGear(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour);
