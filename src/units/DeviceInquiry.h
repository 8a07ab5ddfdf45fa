#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The universal Device Inquiry and what units answer to it.
namespace DeviceInquiry
{
// F0 7E 7F 06 01 F7: every unit on the cable, whatever its device id.
QByteArray request();

struct Identity {
    int deviceId = 0;
    QByteArray manufacturerId; // one byte, or three starting with 00
    int family = 0;
    int model = 0;
    QByteArray version; // four bytes, as the unit sends them
    QString manufacturer() const;
    // "Roland (41), device 16, family 0x0123, model 0x0004, version 01 00 00 00"
    QString describe() const;
};

// An Identity Reply (F0 7E dd 06 02 ...); nothing for any other message.
std::optional<Identity> parseReply(const QByteArray &sysex);
// The line a rig check shows for `sysex`: the identity of a reply, or, for a message that
// starts as a reply from a unit but does not read as one, that this unit's reply could not
// be read; nothing for any other message.
std::optional<QString> describeReply(const QByteArray &sysex);

// The registered name of a manufacturer id; empty when the table lacks it.
QString manufacturerName(const QByteArray &id);
} // namespace DeviceInquiry
