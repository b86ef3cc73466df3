#include "lang/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace
{

// A lead byte that ends the text has no second byte: the decoder would swallow it. It is carried
// as an unpaired low surrogate (0xDC00 + byte), which no real text holds, and written back as the
// byte itself, so that a stored value survives a load and a save unchanged.
constexpr char16_t EscapeBase = 0xDC00;

bool IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool EndsWithLoneLeadByte(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() - 1)
        i += IsLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    return i == bytes.size() - 1 && IsLeadByte(static_cast<unsigned char>(bytes[i]));
}

bool IsEscapedByte(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c >= EscapeBase + 0x81 && c <= EscapeBase + 0xFE && (i == 0 || !text[i - 1].isHighSurrogate());
}

// Opening a converter costs far more than converting a short text, and Config.ini alone holds
// thousands of them: each thread keeps one of each. ASCII, the same in GBK, needs none.
QString DecodeGbk(QByteArrayView bytes)
{
    thread_local QStringDecoder decoder("GBK");
    decoder.resetState();
    return decoder.decode(bytes);
}

QByteArray EncodeGbk(QStringView text)
{
    thread_local QStringEncoder encoder("GBK");
    encoder.resetState();
    return encoder.encode(text);
}

} // namespace

QString FromGbk(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    if (!EndsWithLoneLeadByte(bytes))
        return DecodeGbk(bytes);
    return DecodeGbk(bytes.first(bytes.size() - 1))
        + QChar(static_cast<char16_t>(EscapeBase + static_cast<unsigned char>(bytes.back())));
}

QByteArray ToGbk(QStringView text)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!IsEscapedByte(text, i))
            continue;
        bytes += EncodeGbk(text.sliced(start, i - start));
        bytes += static_cast<char>(text[i].unicode() - EscapeBase);
        start = i + 1;
    }
    return bytes + EncodeGbk(text.sliced(start));
}

QString FromGbkField(const unsigned char* bytes, int size)
{
    int length = 0;
    while (length < size && bytes[length] != 0)
        ++length;
    return FromGbk(QByteArrayView(reinterpret_cast<const char*>(bytes), length));
}
