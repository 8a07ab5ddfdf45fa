#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace
{
// 0x80..0x9F; everything else in the code page is the Unicode code point of the same
// number.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
};

const QByteArray Utf8Mark("\xEF\xBB\xBF", 3);
const QByteArray Utf16LEMark("\xFF\xFE", 2);
const QByteArray Utf16BEMark("\xFE\xFF", 2);

QString fromUtf16(const QByteArray &bytes, bool bigEndian)
{
    // Unit by unit, so that even a lone surrogate comes back out as it went in.
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = quint8(bytes[i]), b = quint8(bytes[i + 1]);
        text[i / 2] = QChar(bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a));
    }
    return text;
}

QByteArray toUtf16(const QString &text, bool bigEndian)
{
    QByteArray bytes(bigEndian ? Utf16BEMark : Utf16LEMark);
    bytes.reserve(2 + text.size() * 2);
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}
} // namespace

QString TextCodec::fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = quint8(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? High[b - 0x80] : char16_t(b));
    }
    return text;
}

bool TextCodec::toWindows1252(const QString &text, QByteArray *out)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        int b = -1;
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            b = u;
        } else {
            for (int k = 0; k < int(High.size()) && b < 0; ++k) {
                if (High[k] == u)
                    b = 0x80 + k;
            }
        }
        if (b < 0)
            return false;
        bytes[i] = char(b);
    }
    *out = bytes;
    return true;
}

TextCodec::Decoded TextCodec::decode(const QByteArray &bytes)
{
    // An odd length is no UTF-16 text; read as bytes, it at least comes back out whole.
    const bool even = bytes.size() % 2 == 0;
    if (even && bytes.startsWith(Utf16LEMark))
        return {fromUtf16(bytes.mid(2), false), Encoding::Utf16LE};
    if (even && bytes.startsWith(Utf16BEMark))
        return {fromUtf16(bytes.mid(2), true), Encoding::Utf16BE};
    const bool marked = bytes.startsWith(Utf8Mark);
    // Our own mark handling: the decoder must keep a U+FEFF that starts the rest as text.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(marked ? bytes.mid(3) : bytes);
    if (!utf8.hasError())
        return {text, marked ? Encoding::Utf8Bom : Encoding::Utf8};
    return {fromWindows1252(bytes), Encoding::Windows1252};
}

bool TextCodec::encode(const QString &text, Encoding encoding, QByteArray *out)
{
    switch (encoding) {
    case Encoding::Utf8:
        *out = text.toUtf8();
        return true;
    case Encoding::Utf8Bom:
        *out = Utf8Mark + text.toUtf8();
        return true;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        *out = toUtf16(text, encoding == Encoding::Utf16BE);
        return true;
    case Encoding::Windows1252: {
        // Code-page bytes that start like a UTF-16 mark or happen to be valid UTF-8 would
        // read back as other text; such text cannot stay in the code page.
        QByteArray bytes;
        if (!toWindows1252(text, &bytes) || decode(bytes).text != text)
            return false;
        *out = bytes;
        return true;
    }
    }
    return false;
}
