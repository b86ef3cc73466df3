#include "Pictures.h"

#include <QFile>
#include <QtDebug>
#include <cstring>
#include <png.h>

namespace {

// Larger pictures are not ours: refuse them before allocating.
constexpr png_uint_32 MaxPictureSide = 8192;

// Format_ARGB32 keeps each pixel as one 0xAARRGGBB word in native byte order.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr png_uint_32 NativeArgbFormat = PNG_FORMAT_BGRA;
#else
constexpr png_uint_32 NativeArgbFormat = PNG_FORMAT_ARGB;
#endif

QImage DecodePng(const QByteArray& data, const QString& name)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data.constData(), static_cast<size_t>(data.size()))) {
        qWarning("Picture %s is not a readable PNG: %s", qPrintable(name), png.message);
        return {};
    }
    if (png.width == 0 || png.height == 0 || png.width > MaxPictureSide || png.height > MaxPictureSide) {
        qWarning("Picture %s has an unusable size %ux%u", qPrintable(name), png.width, png.height);
        png_image_free(&png);
        return {};
    }
    png.format = NativeArgbFormat;
    QImage image(static_cast<int>(png.width), static_cast<int>(png.height), QImage::Format_ARGB32);
    if (image.isNull()) {
        qWarning("Picture %s: no memory for %ux%u pixels", qPrintable(name), png.width, png.height);
        png_image_free(&png);
        return {};
    }
    // One byte per component, so the row stride in components is the line's byte count.
    if (!png_image_finish_read(&png, nullptr, image.bits(), image.bytesPerLine(), nullptr)) {
        qWarning("Picture %s is corrupt: %s", qPrintable(name), png.message);
        png_image_free(&png);
        return {};
    }
    return image;
}

} // namespace

QImage LoadPicture(const QString& resourcePath)
{
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Picture %s is missing", qPrintable(resourcePath));
        return {};
    }
    return DecodePng(file.readAll(), resourcePath);
}

QPixmap LoadPixmap(const QString& resourcePath)
{
    const QImage image = LoadPicture(resourcePath);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}
