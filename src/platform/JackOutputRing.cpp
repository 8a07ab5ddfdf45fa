#include "JackOutputRing.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace
{
// Every record starts with its length word on a 4-byte boundary, so a length word never
// wraps round the end of the storage.
constexpr size_t LengthWord = sizeof(quint32);
} // namespace

JackOutputRing::JackOutputRing(size_t capacityBytes)
    : m_capacity(std::bit_ceil(std::max<size_t>(capacityBytes, 64))), m_mask(m_capacity - 1),
      m_bytes(new quint8[m_capacity])
{
    // Touched now rather than page by page as the writer first reaches each: a page fault
    // in the middle of a recall costs more than the sends around it.
    std::memset(m_bytes.get(), 0, m_capacity);
}

size_t JackOutputRing::recordSize(size_t length)
{
    return LengthWord + ((length + LengthWord - 1) & ~(LengthWord - 1));
}

void JackOutputRing::copyIn(size_t position, const quint8 *from, size_t count)
{
    const size_t at = position & m_mask;
    const size_t first = std::min(count, m_capacity - at);
    std::memcpy(m_bytes.get() + at, from, first);
    std::memcpy(m_bytes.get(), from + first, count - first);
}

bool JackOutputRing::write(const quint8 *bytes, size_t length)
{
    if (length == 0 || length > 0xFFFFFFFFu)
        return false;
    const size_t size = recordSize(length);
    // The reader's position is looked at again only when the one seen last leaves no
    // room: reading it for every message pulls its cache line away from the process
    // thread, which moves it for every message.
    if (m_written + size - m_readSeen > m_capacity) {
        m_readSeen = m_read.load(std::memory_order_acquire);
        if (m_written + size - m_readSeen > m_capacity)
            return false;
    }
    const quint32 word = quint32(length);
    std::memcpy(m_bytes.get() + (m_written & m_mask), &word, LengthWord);
    copyIn(m_written + LengthWord, bytes, length);
    m_written += size;
    return true;
}

void JackOutputRing::publish()
{
    m_published.store(m_written, std::memory_order_release);
}

bool JackOutputRing::hasUnpublished() const
{
    return m_written != m_published.load(std::memory_order_relaxed);
}

bool JackOutputRing::isEmpty() const
{
    return m_read.load(std::memory_order_acquire) == m_published.load(std::memory_order_relaxed);
}

size_t JackOutputRing::frontLength(size_t upTo) const
{
    const size_t read = m_read.load(std::memory_order_relaxed);
    if (read == upTo)
        return 0;
    quint32 word;
    std::memcpy(&word, m_bytes.get() + (read & m_mask), LengthWord);
    return word;
}

void JackOutputRing::copyFront(size_t offset, quint8 *to, size_t count) const
{
    const size_t from = m_read.load(std::memory_order_relaxed) + LengthWord + offset;
    const size_t at = from & m_mask;
    const size_t first = std::min(count, m_capacity - at);
    std::memcpy(to, m_bytes.get() + at, first);
    std::memcpy(to + first, m_bytes.get(), count - first);
}

void JackOutputRing::popFront()
{
    const size_t read = m_read.load(std::memory_order_relaxed);
    m_read.store(read + recordSize(frontLength()), std::memory_order_release);
}
