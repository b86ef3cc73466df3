#include "lang/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString FromGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

QByteArray ToGbk(QStringView text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString FromGbkField(const unsigned char* bytes, int size)
{
    int length = 0;
    while (length < size && bytes[length] != 0)
        ++length;
    return FromGbk(QByteArrayView(reinterpret_cast<const char*>(bytes), length));
}
