#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text crosses the system's boundary (the translation table, Config.ini values, names in frames,
// the debug lines) as GBK bytes, code page 936; inside the program it is QString.
QString FromGbk(QByteArrayView bytes);
QByteArray ToGbk(QStringView text);

// GBK bytes up to the first NUL, or all of them when there is none (a name filling its field).
QString FromGbkField(const unsigned char* bytes, int size);
