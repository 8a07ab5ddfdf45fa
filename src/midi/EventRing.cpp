#include "EventRing.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace
{

// Blocks are allocated and freed on the GUI thread; the lock only keeps a second GUI-like
// thread (a test's) from corrupting the table.
struct BlockTable {
    std::mutex lock;
    std::unordered_map<quint32, void *> blocks;
    quint32 next = 1;
};

BlockTable &table()
{
    static BlockTable t;
    return t;
}

} // namespace

void *AllocSharedBlock(quint16 size, quint32 &handle)
{
    handle = 0;
    if (size == 0)
        return nullptr;
    void *block = std::calloc(1, size);
    if (!block)
        return nullptr;
    BlockTable &t = table();
    std::lock_guard guard(t.lock);
    while (t.next == 0 || t.blocks.count(t.next))
        ++t.next;
    handle = t.next++;
    t.blocks.emplace(handle, block);
    return block;
}

void FreeSharedBlock(quint32 handle)
{
    if (handle == 0)
        return;
    void *block = nullptr;
    {
        BlockTable &t = table();
        std::lock_guard guard(t.lock);
        auto it = t.blocks.find(handle);
        if (it == t.blocks.end())
            return;
        block = it->second;
        t.blocks.erase(it);
    }
    std::free(block);
}

void *SharedBlockAddress(quint32 handle)
{
    BlockTable &t = table();
    std::lock_guard guard(t.lock);
    auto it = t.blocks.find(handle);
    return it == t.blocks.end() ? nullptr : it->second;
}

MidiEventRing *CreateEventRing(quint16 slotCount)
{
    quint32 ringHandle = 0;
    void *ringBlock = AllocSharedBlock(sizeof(MidiEventRing), ringHandle);
    if (!ringBlock)
        return nullptr;
    quint32 areaHandle = 0;
    auto *area = static_cast<MidiEventSlot *>(
        slotCount <= MaxRingSlots ? AllocSharedBlock(quint16(slotCount * sizeof(MidiEventSlot)), areaHandle)
                                  : nullptr);
    if (!area) {
        FreeSharedBlock(ringHandle);
        return nullptr;
    }
    auto *ring = new (ringBlock) MidiEventRing{};
    ring->RingHandle = ringHandle;
    ring->AreaHandle = areaHandle;
    ring->AreaStart = area;
    ring->AreaEnd = area + slotCount;
    ring->WritePos = area;
    ring->ReadPos = area;
    ring->Reserved1 = 0;
    ring->SlotCount = slotCount;
    ring->EventCount.store(0);
    ring->Reserved2 = 0;
    return ring;
}

void FreeEventRing(MidiEventRing *ring)
{
    if (!ring)
        return;
    const quint32 ringHandle = ring->RingHandle;
    FreeSharedBlock(ring->AreaHandle);
    ring->~MidiEventRing();
    FreeSharedBlock(ringHandle);
}

bool PeekEvent(MidiEventRing *ring, MidiEventSlot &slot)
{
    if (ring->EventCount.load(std::memory_order_acquire) == 0)
        return false;
    slot = *ring->ReadPos;
    return true;
}

bool DropEvent(MidiEventRing *ring)
{
    if (ring->EventCount.load(std::memory_order_acquire) == 0)
        return false;
    if (++ring->ReadPos == ring->AreaEnd)
        ring->ReadPos = ring->AreaStart;
    // Releases the slot to the writer only after it has been read.
    ring->EventCount.fetch_sub(1, std::memory_order_release);
    return true;
}

MidiCallbackRecord *CreateCallbackRecord()
{
    quint32 handle = 0;
    void *block = AllocSharedBlock(sizeof(MidiCallbackRecord), handle);
    if (!block)
        return nullptr;
    auto *record = new (block) MidiCallbackRecord{};
    record->RecordHandle = handle;
    return record;
}

void FreeCallbackRecord(MidiCallbackRecord *record)
{
    if (!record)
        return;
    const quint32 handle = record->RecordHandle;
    record->~MidiCallbackRecord();
    FreeSharedBlock(handle);
}
