// The application icon for the desktop menu: the product mark at the sizes desktops look for,
// written to res/icons/ (installed into the hicolor icon theme, not compiled in).
#include "Drawing.h"

namespace
{

void DrawAppIcon(QPainter& p, const QSizeF& size)
{
    // A thin margin as icon themes expect; the smallest sizes keep every pixel for the mark.
    const qreal margin = size.width() >= 48 ? size.width() / 32 : 0;
    DrawProductMark(p, QRectF(QPointF(0, 0), size).adjusted(margin, margin, -margin, -margin));
}

} // namespace

std::vector<PictureDrawing> AppIconDrawings()
{
    return {
        { "icons/tessaro-16.png", QSize(16, 16), DrawAppIcon },
        { "icons/tessaro-22.png", QSize(22, 22), DrawAppIcon },
        { "icons/tessaro-24.png", QSize(24, 24), DrawAppIcon },
        { "icons/tessaro-32.png", QSize(32, 32), DrawAppIcon },
        { "icons/tessaro-48.png", QSize(48, 48), DrawAppIcon },
        { "icons/tessaro-64.png", QSize(64, 64), DrawAppIcon },
        { "icons/tessaro-128.png", QSize(128, 128), DrawAppIcon },
        { "icons/tessaro-256.png", QSize(256, 256), DrawAppIcon },
    };
}
