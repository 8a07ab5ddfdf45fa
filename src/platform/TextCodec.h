#pragma once

#include <QByteArray>
#include <QString>

// The encodings our text files come in. Files written on Windows by earlier versions are
// in its 8-bit code page; Notepad's "Unicode" is UTF-16 with a byte order mark; newer
// editors write UTF-8, some with a mark. Each file is written back in the encoding it was
// read in, so that whatever else reads it still can.
class TextCodec
{
public:
    enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Windows1252 };

    struct Decoded {
        QString text;
        Encoding encoding = Encoding::Utf8;
    };

    // UTF-16 when the bytes start with its mark, UTF-8 when they are valid UTF-8 (with or
    // without a mark), else Windows-1252. Only a mark at the very start is taken as one;
    // U+FEFF anywhere else is text.
    static Decoded decode(const QByteArray &bytes);

    // The text in `encoding`, mark included. Returns false, leaving `out` alone, when the
    // encoding cannot hold every character, or when the bytes would read back as other text
    // (only Windows-1252 can fail).
    static bool encode(const QString &text, Encoding encoding, QByteArray *out);

    // Exact inverses of each other for all 256 bytes: the five bytes Windows leaves
    // undefined map to the C1 controls of the same number, as its own conversion does.
    static QString fromWindows1252(const QByteArray &bytes);
    static bool toWindows1252(const QString &text, QByteArray *out);
};
