#pragma once

#include <QtGlobal>
#include <memory>

enum class PortState : quint8 { psOpen, psClosed, psCreating };

// One MIDI event as the input port hands it out. A SysEx event owns its bytes.
class MidiEvent
{
public:
    quint8 Status = 0; // 0xF0 for a SysEx event
    quint8 Data1 = 0;  // 0 for SysEx
    quint8 Data2 = 0;  // 0 for SysEx
    quint32 Timestamp = 0;
    quint16 SysexLength = 0;             // 0 for a short message
    std::unique_ptr<quint8[]> SysexData; // null for a short message

    bool isSysex() const { return SysexData != nullptr; }
};
