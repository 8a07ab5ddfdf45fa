#pragma once

#include "platform/MidiSystem.h"

#include <QtGlobal>

// A MIDI buffer header and the data block it describes, both shared blocks. Whoever hands
// the header to the system stores the wrapper's address in the header's `user` field, so
// that the wrapper can be found when the system gives the header back.
class OwnedMidiHeader
{
public:
    explicit OwnedMidiHeader(quint16 size);
    ~OwnedMidiHeader();
    OwnedMidiHeader(const OwnedMidiHeader &) = delete;
    OwnedMidiHeader &operator=(const OwnedMidiHeader &) = delete;

    // False when a block could not be allocated (always false for size 0).
    bool isValid() const { return Header != nullptr && Data != nullptr; }
    static OwnedMidiHeader *fromHeader(const MidiHeader *header);

    quint32 HeaderHandle = 0;
    MidiHeader *Header = nullptr;
    quint32 DataHandle = 0;
    quint8 *Data = nullptr;
};
