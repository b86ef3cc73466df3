#pragma once
#include <QImage>
#include <QPixmap>
#include <QString>

// Decodes a PNG picture (normally a compiled-in resource such as ":/logo.png") with libpng into
// a QImage of Format_ARGB32. A missing or corrupt picture gives a null image and a warning.
QImage LoadPicture(const QString& resourcePath);

// The same picture as a pixmap for a label or button; null when the picture is.
QPixmap LoadPixmap(const QString& resourcePath);
