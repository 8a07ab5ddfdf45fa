#include "OwnedMidiHeader.h"

#include "EventRing.h"

#include <new>

OwnedMidiHeader::OwnedMidiHeader(quint16 size)
{
    if (size == 0)
        return;
    void *headerBlock = AllocSharedBlock(sizeof(MidiHeader), HeaderHandle);
    Data = static_cast<quint8 *>(AllocSharedBlock(size, DataHandle));
    if (!headerBlock)
        return;
    Header = new (headerBlock) MidiHeader{};
    Header->data = Data;
    Header->bufferLength = Data ? size : 0;
    Header->blockHandle = HeaderHandle;
}

OwnedMidiHeader::~OwnedMidiHeader()
{
    if (Header)
        Header->~MidiHeader();
    FreeSharedBlock(HeaderHandle);
    FreeSharedBlock(DataHandle);
}

OwnedMidiHeader *OwnedMidiHeader::fromHeader(const MidiHeader *header)
{
    return header ? reinterpret_cast<OwnedMidiHeader *>(header->user) : nullptr;
}
