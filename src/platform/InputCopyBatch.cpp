#include "InputCopyBatch.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

InputCopyBatch::InputCopyBatch(MidiInputFeed &feed, quint8 *storage, size_t capacity, Held &held, quint32 now,
                               quint32 spacing, MidiSystem::InputShown shown)
    : m_feed(feed), m_storage(storage), m_capacity(capacity), m_held(held), m_now(now), m_spacing(spacing),
      m_shown(shown)
{
}

const quint8 *InputCopyBatch::copy(const quint8 *bytes, size_t length)
{
    // Room for the event and all that is held going ahead of it: a batch is handed on only
    // here, so that no copy is reused before the feed has read it.
    const bool copies = m_capacity > 0;
    if (m_count >= BatchSize || (copies && length > m_capacity - m_used && m_count > 0))
        handOn();
    if (length > m_capacity - m_used)
        return bytes;
    quint8 *copied = m_storage + m_used;
    std::memcpy(copied, bytes, length);
    m_used += length;
    return copied;
}

void InputCopyBatch::add(const quint8 *bytes, size_t length)
{
    pushHeld();
    push(bytes, length);
}

void InputCopyBatch::addLastOfRun(const quint8 *bytes, size_t length)
{
    if (m_shown == MidiSystem::InputShown::Nothing && length == 3) {
        holdBank(bytes);
        return;
    }
    if (m_lastEndsRun && m_held.length == 0 && m_count > 0) {
        MidiInputFeed::Event &last = m_events[m_count - 1];
        if (last.length == length && std::memcmp(last.bytes, bytes, 2) == 0) {
            last = {bytes, length};
            ++m_leftOut;
            return;
        }
    }
    add(bytes, length);
    m_lastEndsRun = true;
}

void InputCopyBatch::holdBank(const quint8 *bytes)
{
    // An MSB (controller 0) or an LSB: the gate tells which messages come here.
    const int slot = (bytes[0] & 0x0F) * 2 + (bytes[1] != 0 ? 1 : 0);
    if (m_held.banksHeld & (1u << slot))
        ++m_leftOut;
    m_held.banksHeld |= 1u << slot;
    m_held.latestBank = slot;
    std::memcpy(m_held.banks[slot], bytes, 3);
}

void InputCopyBatch::addShownOnly(const quint8 *bytes, size_t length)
{
    if (m_held.length > 0)
        ++m_leftOut;
    m_held.length = std::min(length, sizeof m_held.bytes);
    std::memcpy(m_held.bytes, bytes, m_held.length);
    m_held.latestBank = -1;
}

void InputCopyBatch::finish()
{
    if (heldDue())
        pushHeld();
    if (m_count > 0)
        handOn();
}

bool InputCopyBatch::heldDue() const
{
    switch (m_shown) {
    case MidiSystem::InputShown::Latest:
        // Frame times wrap: the difference is what counts.
        return !m_held.handedOn || m_now - m_held.handedAt >= m_spacing;
    case MidiSystem::InputShown::Next:
        return true;
    case MidiSystem::InputShown::Nothing:
        break;
    }
    return false;
}

void InputCopyBatch::pushHeld()
{
    // The latest goes last: the event after it may take its status from it.
    const int latestBank = std::exchange(m_held.latestBank, -1);
    quint32 banks = std::exchange(m_held.banksHeld, 0);
    if (latestBank >= 0)
        banks &= ~(1u << latestBank);
    for (; banks != 0; banks &= banks - 1)
        pushKept(m_held.banks[std::countr_zero(banks)], 3);
    if (m_held.length > 0) {
        pushKept(m_held.bytes, std::exchange(m_held.length, 0));
        m_held.handedAt = m_now;
        m_held.handedOn = true;
    }
    if (latestBank >= 0)
        pushKept(m_held.banks[latestBank], 3);
}

void InputCopyBatch::pushKept(const quint8 *bytes, size_t length)
{
    quint8 *kept = m_shownCopies[m_count];
    std::memcpy(kept, bytes, length);
    push(kept, length);
}

void InputCopyBatch::push(const quint8 *bytes, size_t length)
{
    m_events[m_count++] = {bytes, length};
    m_lastEndsRun = false;
}

void InputCopyBatch::handOn()
{
    m_feed.deliverMessages(m_events, m_count);
    m_count = 0;
    m_used = 0;
    m_lastEndsRun = false;
}
