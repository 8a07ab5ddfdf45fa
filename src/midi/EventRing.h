#pragma once

#include <QtGlobal>
#include <atomic>
#include <cstddef>

class MidiWakeup;

// Blocks that a MIDI driver thread may touch: zero-filled, at one fixed address until
// released, and never larger than a 16-bit size allows. Each has a 32-bit handle by which
// it can be found again (a ring slot has room for a handle, not for an address).
void *AllocSharedBlock(quint16 size, quint32 &handle);
void FreeSharedBlock(quint32 handle);
// The address of a live block, or null.
void *SharedBlockAddress(quint32 handle);

// One stored message. SysexHeader is 0 for a short message, else the handle of the
// header block of the filled receive buffer.
struct MidiEventSlot {
    quint32 Timestamp;
    quint32 ShortMessage;
    quint32 SysexHeader;
};
static_assert(sizeof(MidiEventSlot) == 12, "a slot is 12 bytes");

// The ring shared by the port (reader, GUI thread) and midiHandler (writer, driver
// thread). Each side moves only its own position; EventCount is the hand-over: a slot is
// complete before the writer counts it, and read before the reader uncounts it.
struct MidiEventRing {
    quint32 RingHandle;
    quint32 AreaHandle;
    MidiEventSlot *AreaStart;
    MidiEventSlot *AreaEnd;
    MidiEventSlot *WritePos; // the writer's alone after creation
    MidiEventSlot *ReadPos;  // the reader's alone after creation
    quint16 Reserved1;
    quint16 SlotCount;
    std::atomic<quint16> EventCount;
    quint16 Reserved2;
};
static_assert(std::atomic<quint16>::is_always_lock_free, "the driver thread must never block on the count");
static_assert(offsetof(MidiEventRing, AreaStart) == 8, "handles first, then the addresses");
static_assert(sizeof(MidiEventRing) == 8 + 4 * sizeof(void *) + 8, "ring record layout");

// The largest ring whose slot area fits a shared block.
constexpr quint16 MaxRingSlots = 65535 / sizeof(MidiEventSlot); // 5461

// The record whose address the input device hands to midiHandler with every message.
// The fields after SysexOnlyFlag wake the GUI thread once per batch instead of once per
// message and count what arrived and what a full ring turned away.
struct MidiCallbackRecord {
    quint32 RecordHandle;
    MidiEventRing *EventRing;
    MidiWakeup *NotifyWindow;
    std::atomic<quint8> SysexOnlyFlag;
    std::atomic<bool> InputPending;
    std::atomic<bool> OverflowPending;
    std::atomic<quint32> OverflowCount;
    std::atomic<quint64> ArrivedCount; // written by the driver thread only
};

MidiEventRing *CreateEventRing(quint16 slotCount);
void FreeEventRing(MidiEventRing *ring);
bool PeekEvent(MidiEventRing *ring, MidiEventSlot &slot);
bool DropEvent(MidiEventRing *ring);

// The control record lives in a shared block as well.
MidiCallbackRecord *CreateCallbackRecord();
void FreeCallbackRecord(MidiCallbackRecord *record);
