#include "lang/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

// Opening a converter costs far more than converting a short text, and Config.ini alone holds
// thousands of them: each thread keeps one of each. ASCII, the same in GBK, needs none.
QString FromGbk(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    thread_local QStringDecoder decoder("GBK");
    decoder.resetState();
    return decoder.decode(bytes);
}

QByteArray ToGbk(QStringView text)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
    thread_local QStringEncoder encoder("GBK");
    encoder.resetState();
    return encoder.encode(text);
}

QString FromGbkField(const unsigned char* bytes, int size)
{
    int length = 0;
    while (length < size && bytes[length] != 0)
        ++length;
    return FromGbk(QByteArrayView(reinterpret_cast<const char*>(bytes), length));
}
