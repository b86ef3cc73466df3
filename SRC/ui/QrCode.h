#pragma once
#include <QImage>
#include <QString>

// The QR code of text (libqrencode, error correction M) drawn black on white, moduleSize pixels
// per module with the standard quiet zone of four modules; a null image when it cannot be made.
QImage QrCodeImage(const QString& text, int moduleSize);
