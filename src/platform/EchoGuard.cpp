#include "EchoGuard.h"

#include <utility>

void EchoGuard::sent(quint64 key, quint64 cycle)
{
    const size_t index = slotIndex(key);
    Slot &slot = m_slots[index];
    if (!std::exchange(slot.listed, true))
        m_listed[m_listedCount++] = quint16(index);
    if (slot.key != key || slot.pending == 0)
        slot = {key, cycle, 0, true};
    slot.cycle = cycle;
    if (slot.pending < 0xFFFF)
        ++slot.pending;
}

bool EchoGuard::arrived(quint64 key, quint64 cycle)
{
    Slot &slot = m_slots[slotIndex(key)];
    // Our own output wired to our own input hands back what we wrote in the same cycle.
    if (slot.key != key || slot.pending == 0 ||
        (cycle == slot.cycle && !m_known.load(std::memory_order_relaxed)) ||
        cycle - slot.cycle > ReturnCycles)
        return false;
    --slot.pending;
    m_silent = 0;
    if (++m_echoes >= EchoesForLoop)
        m_heard.store(true, std::memory_order_relaxed);
    return looped();
}

void EchoGuard::endCycle(quint64 cycle)
{
    for (size_t i = 0; i < m_listedCount;) {
        Slot &slot = m_slots[m_listed[i]];
        if (slot.pending != 0 && cycle - slot.cycle <= ReturnCycles) {
            ++i;
            continue;
        }
        if (slot.pending != 0) {
            slot.pending = 0;
            m_echoes = 0;
            if (++m_silent >= SilentForEnd)
                m_heard.store(false, std::memory_order_relaxed);
        }
        slot.listed = false;
        m_listed[i] = m_listed[--m_listedCount];
    }
}

void EchoGuard::reset()
{
    m_slots = {};
    m_listedCount = 0;
    m_echoes = 0;
    m_silent = 0;
    m_heard.store(false, std::memory_order_relaxed);
}
