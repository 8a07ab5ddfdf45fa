#include "MidiHdr.h"

#include "Circbuf.h"

#include <new>

TMyMidiHdr::TMyMidiHdr(quint16 size)
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

TMyMidiHdr::~TMyMidiHdr()
{
    if (Header)
        Header->~MidiHeader();
    FreeSharedBlock(HeaderHandle);
    FreeSharedBlock(DataHandle);
}

TMyMidiHdr *TMyMidiHdr::fromHeader(const MidiHeader *header)
{
    return header ? reinterpret_cast<TMyMidiHdr *>(header->user) : nullptr;
}
