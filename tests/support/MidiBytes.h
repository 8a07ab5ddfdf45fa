#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// Raw MIDI events for tests, written as hex ("90 3C 40") or made to a length.
using Events = QList<QByteArray>;

inline Events hexEvents(const QStringList &events)
{
    Events result;
    for (const QString &event : events)
        result << QByteArray::fromHex(event.toLatin1());
    return result;
}

// A SysEx of the given length whose data bytes count up from the seed.
inline QByteArray sysexOf(int length, int seed = 0)
{
    QByteArray bytes(length, '\0');
    for (int i = 1; i < length - 1; ++i)
        bytes[i] = char((i + seed) & 0x7F);
    bytes[0] = char(0xF0);
    bytes[length - 1] = char(0xF7);
    return bytes;
}

// The bytes cut into events of the given size, as a driver may hand a long message over.
inline Events cut(const QByteArray &bytes, int size)
{
    Events events;
    for (int at = 0; at < bytes.size(); at += size)
        events << bytes.mid(at, size);
    return events;
}
