#include "InputCopyBatch.h"

#include <algorithm>
#include <cstring>
#include <utility>

InputCopyBatch::InputCopyBatch(MidiInputFeed &feed, quint8 *storage, size_t capacity)
    : m_feed(feed), m_storage(storage), m_capacity(capacity)
{
}

const quint8 *InputCopyBatch::copy(const quint8 *bytes, size_t length)
{
    // Room for the event and a shown-only message going ahead of it: a batch is handed on
    // only here, so that no copy is reused before the feed has read it.
    if (m_held + 2 > BatchSize || (length > m_capacity - m_used && m_held > 0))
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
    pushLastShown();
    push(bytes, length);
}

void InputCopyBatch::addShownOnly(const quint8 *bytes, size_t length)
{
    if (m_lastShownLength > 0)
        ++m_leftOut;
    m_lastShownLength = std::min(length, sizeof m_lastShown);
    std::memcpy(m_lastShown, bytes, m_lastShownLength);
}

void InputCopyBatch::finish()
{
    pushLastShown();
    if (m_held > 0)
        handOn();
}

void InputCopyBatch::pushLastShown()
{
    if (m_lastShownLength == 0)
        return;
    quint8 *kept = m_shownCopies[m_held];
    std::memcpy(kept, m_lastShown, m_lastShownLength);
    push(kept, std::exchange(m_lastShownLength, 0));
}

void InputCopyBatch::push(const quint8 *bytes, size_t length)
{
    m_events[m_held++] = {bytes, length};
}

void InputCopyBatch::handOn()
{
    m_feed.deliverMessages(m_events, m_held);
    m_held = 0;
    m_used = 0;
}
