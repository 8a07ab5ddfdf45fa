#include "MidiHandler.h"

#include "EventRing.h"
#include "MidiWakeup.h"

#include <atomic>

namespace
{

// A receive buffer that a full ring turned away is marked for the GUI thread to queue
// again; otherwise the pool would shrink by one buffer each time.
constexpr quint32 BufferTurnedAway = 1;

void store(MidiCallbackRecord *record, const MidiEventSlot &slot, MidiHeader *header)
{
    MidiEventRing *ring = record->EventRing;
    // One writer: a plain store, not a locked add per message.
    record->ArrivedCount.store(record->ArrivedCount.load(std::memory_order_relaxed) + 1,
                               std::memory_order_relaxed);
    if (ring->EventCount.load(std::memory_order_acquire) >= ring->SlotCount) {
        if (header)
            std::atomic_ref<quint32>(header->ownerMark).store(BufferTurnedAway, std::memory_order_release);
        record->OverflowCount.fetch_add(1, std::memory_order_relaxed);
        if (!record->OverflowPending.exchange(true))
            record->NotifyWindow->wake();
        return;
    }
    *ring->WritePos = slot;
    if (++ring->WritePos == ring->AreaEnd)
        ring->WritePos = ring->AreaStart;
    ring->EventCount.fetch_add(1, std::memory_order_seq_cst);
    // Looked at before it is set: a plain load costs nothing while the window has not yet
    // taken the last wake-up, where an exchange per message is a locked instruction. The
    // window clears the flag before it reads the count, so a load that still sees it set
    // means the window will see this slot.
    if (!record->InputPending.load(std::memory_order_seq_cst) && !record->InputPending.exchange(true))
        record->NotifyWindow->wake();
}

} // namespace

void midiHandler(MidiInHandle, quint32 message, quintptr instance, quintptr param1, quintptr param2)
{
    auto *record = reinterpret_cast<MidiCallbackRecord *>(instance);
    if (!record || !record->EventRing)
        return;
    switch (message) {
    case MidiInMessage::Data:
        if (record->SysexOnlyFlag.load(std::memory_order_relaxed))
            return;
        store(record, MidiEventSlot{quint32(param2), quint32(param1) & 0xFFFFFF, 0}, nullptr);
        break;
    case MidiInMessage::LongData: {
        auto *header = reinterpret_cast<MidiHeader *>(param1);
        if (!header)
            return;
        store(record, MidiEventSlot{quint32(param2), 0, header->blockHandle}, header);
        break;
    }
    default:
        break;
    }
}
