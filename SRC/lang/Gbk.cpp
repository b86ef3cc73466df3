#include "lang/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace
{

// Bytes that make no GBK character (a lead byte without a valid trail, as at the end of a text,
// 0x80, 0xFF, the parts of a GB18030 four-byte sequence) would be swallowed or turned into '?' by
// the converter. Each is carried as an unpaired low surrogate (0xDC00 + byte), which no real text
// holds, and written back as the byte itself, so that a stored value survives a load and a save
// unchanged.
constexpr char16_t EscapeBase = 0xDC00;

bool IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsTrailByte(unsigned char byte)
{
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

QChar ByteChar(unsigned char byte)
{
    return byte < 0x80 ? QChar(byte) : QChar(static_cast<char16_t>(EscapeBase + byte));
}

bool IsEscapedByte(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF && (i == 0 || !text[i - 1].isHighSurrogate());
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

namespace
{

bool RoundTrips(const QString& decoded, QByteArrayView bytes)
{
    return !decoded.contains(QChar::ReplacementCharacter) && EncodeGbk(decoded) == bytes;
}

// A run of lead/trail pairs: decoded at once when it comes back as the same bytes, else pair by
// pair, a pair that does not keeping its bytes.
void AppendPairs(QString& out, QByteArrayView run)
{
    if (run.isEmpty())
        return;
    if (const QString decoded = DecodeGbk(run); RoundTrips(decoded, run)) {
        out += decoded;
        return;
    }
    for (qsizetype i = 0; i < run.size(); i += 2) {
        const QByteArrayView pair = run.sliced(i, 2);
        if (const QString one = DecodeGbk(pair); RoundTrips(one, pair)) {
            out += one;
        } else {
            out += ByteChar(static_cast<unsigned char>(pair[0]));
            out += ByteChar(static_cast<unsigned char>(pair[1]));
        }
    }
}

} // namespace

QString FromGbk(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    QString out;
    out.reserve(bytes.size());
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (IsLeadByte(byte) && i + 1 < bytes.size() && IsTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            i += 2;
            continue;
        }
        AppendPairs(out, bytes.sliced(runStart, i - runStart));
        out += ByteChar(byte);
        runStart = ++i;
    }
    AppendPairs(out, bytes.sliced(runStart));
    return out;
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
