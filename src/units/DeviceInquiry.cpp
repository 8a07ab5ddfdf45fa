#include "units/DeviceInquiry.h"

#include <algorithm>
#include <iterator>

namespace
{
struct Manufacturer {
    const char *id; // hex, as the registry writes it
    const char *name;
};

// The registered ids of makers whose units a player is likely to own.
const Manufacturer Manufacturers[] = {
    {"01", "Sequential Circuits"},
    {"04", "Moog"},
    {"06", "Lexicon"},
    {"07", "Kurzweil"},
    {"0F", "Ensoniq"},
    {"10", "Oberheim"},
    {"11", "Apple"},
    {"18", "E-mu"},
    {"1C", "Eventide"},
    {"3E", "Waldorf"},
    {"40", "Kawai"},
    {"41", "Roland"},
    {"42", "Korg"},
    {"43", "Yamaha"},
    {"44", "Casio"},
    {"47", "Akai"},
    {"48", "Victor (JVC)"},
    {"4C", "Sony"},
    {"52", "Zoom"},
    {"7D", "Non-commercial"},
    {"00000E", "Alesis"},
    {"000041", "Microsoft"},
    {"002029", "Focusrite/Novation"},
    {"002032", "Behringer"},
    {"002033", "Access Music"},
    {"00203C", "Elektron"},
    {"00206B", "Arturia"},
    {"002109", "Native Instruments"},
};

int fourteenBits(const QByteArray &bytes, int at)
{
    return quint8(bytes[at]) | (quint8(bytes[at + 1]) << 7);
}
} // namespace

namespace DeviceInquiry
{
QByteArray request()
{
    return QByteArray::fromHex("F07E7F0601F7");
}

QString manufacturerName(const QByteArray &id)
{
    const QByteArray hex = id.toHex().toUpper();
    const auto found = std::find_if(std::begin(Manufacturers), std::end(Manufacturers),
                                    [&](const Manufacturer &m) { return hex == m.id; });
    return found == std::end(Manufacturers) ? QString() : QString::fromLatin1(found->name);
}

QString Identity::manufacturer() const
{
    return manufacturerName(manufacturerId);
}

QString Identity::describe() const
{
    const QString id = QString::fromLatin1(manufacturerId.toHex(' ').toUpper());
    const QString name = manufacturer();
    return QStringLiteral("%1 (%2), device %3, family 0x%4, model 0x%5, version %6")
        .arg(name.isEmpty() ? QStringLiteral("Unknown maker") : name, id)
        .arg(deviceId + 1)
        .arg(family, 4, 16, QChar('0'))
        .arg(model, 4, 16, QChar('0'))
        .arg(QString::fromLatin1(version.toHex(' ').toUpper()));
}

std::optional<Identity> parseReply(const QByteArray &sysex)
{
    // F0 7E dd 06 02, the maker's id, family and model as two 7-bit pairs, four version bytes, F7.
    if (sysex.size() < 15 || quint8(sysex[0]) != 0xF0 || quint8(sysex[1]) != 0x7E || sysex[3] != 0x06 ||
        sysex[4] != 0x02 || quint8(sysex.back()) != 0xF7)
        return std::nullopt;
    const int idLength = sysex[5] == 0 ? 3 : 1;
    if (sysex.size() != 5 + idLength + 4 + 4 + 1)
        return std::nullopt;
    // Every byte between F0 and F7 is a data byte.
    if (std::any_of(sysex.begin() + 1, sysex.end() - 1, [](char byte) { return quint8(byte) > 0x7F; }))
        return std::nullopt;
    Identity identity;
    identity.deviceId = quint8(sysex[2]);
    identity.manufacturerId = sysex.mid(5, idLength);
    const int at = 5 + idLength;
    identity.family = fourteenBits(sysex, at);
    identity.model = fourteenBits(sysex, at + 2);
    identity.version = sysex.mid(at + 4, 4);
    return identity;
}

std::optional<QString> describeReply(const QByteArray &sysex)
{
    if (const auto identity = parseReply(sysex))
        return identity->describe();
    // A unit that answers with a byte too many, or too few, has still answered.
    if (sysex.size() < 5 || quint8(sysex[0]) != 0xF0 || quint8(sysex[1]) != 0x7E || quint8(sysex[2]) > 0x7F ||
        sysex[3] != 0x06 || sysex[4] != 0x02)
        return std::nullopt;
    constexpr int Shown = 24;
    QString bytes = QString::fromLatin1(sysex.left(Shown).toHex(' ').toUpper());
    if (sysex.size() > Shown)
        bytes += QStringLiteral(" ...");
    return QStringLiteral("Unreadable reply from device %1 (%2 bytes: %3)")
        .arg(quint8(sysex[2]) + 1)
        .arg(sysex.size())
        .arg(bytes);
}
} // namespace DeviceInquiry
