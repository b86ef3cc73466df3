// tessaro-draw-pictures [directory]: draws every picture of the program and writes it as PNG
// (with libpng, the project's picture library) into the directory, by default the source res/.
#include "Drawing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace {

QImage Render(const PictureDrawing& drawing)
{
    QImage canvas(drawing.size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    drawing.draw(painter, QSizeF(drawing.size));
    painter.end();
    return canvas.convertToFormat(QImage::Format_ARGB32);
}

bool WritePng(const QImage& image, const QString& path)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width());
    png.height = static_cast<png_uint_32>(image.height());
    // Format_ARGB32 holds each pixel as one 0xAARRGGBB word in native byte order.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png.format = PNG_FORMAT_BGRA;
#else
    png.format = PNG_FORMAT_ARGB;
#endif
    const QByteArray file = QFile::encodeName(path);
    if (!png_image_write_to_file(&png, file.constData(), 0, image.constBits(), image.bytesPerLine(), nullptr)) {
        std::fprintf(stderr, "%s: %s\n", file.constData(), png.message);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing needs fonts but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QString directory = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TESSARO_RES_DIR);
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(directory));
        return 1;
    }
    std::vector<PictureDrawing> drawings = ToolbarDrawings();
    for (const PictureDrawing& drawing : WindowDrawings())
        drawings.push_back(drawing);
    for (const PictureDrawing& drawing : AppIconDrawings())
        drawings.push_back(drawing);

    int failures = 0;
    for (const PictureDrawing& drawing : drawings) {
        const QString path = QDir(directory).filePath(QString::fromLatin1(drawing.fileName));
        if (QDir().mkpath(QFileInfo(path).path()) && WritePng(Render(drawing), path))
            std::printf("%s %dx%d\n", qPrintable(path), drawing.size.width(), drawing.size.height());
        else
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
