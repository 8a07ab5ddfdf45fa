#pragma once

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <memory>

// Whole MIDI messages on their way from the GUI thread to the JACK process thread.
//
// The writer's messages stay invisible to the reader until publish(): everything written
// between two publishes is taken by the same process cycle (a song recall must land in
// one cycle, not be cut by a cycle boundary half-way through).
//
// Threading: write(), publish(), hasUnpublished() and isEmpty() belong to one writer
// thread (the GUI thread); frontLength(), copyFront() and popFront() to one reader thread
// (the process thread), which they never block, lock or allocate on.
class JackOutputRing
{
public:
    // Room for capacityBytes of messages and their length words; rounded up to a power of two.
    explicit JackOutputRing(size_t capacityBytes);

    // False, with nothing written, when the message does not fit in the room left.
    bool write(const quint8 *bytes, size_t length);
    void publish();
    bool hasUnpublished() const;
    // Whether the reader has taken everything published.
    bool isEmpty() const;

    // How far the writer has published, for a reader that takes several rings' messages
    // as of one moment (see frontLength(upTo)).
    size_t publishedUpTo() const { return m_published.load(std::memory_order_acquire); }
    // The length of the oldest published message; 0 when there is none.
    size_t frontLength() const { return frontLength(publishedUpTo()); }
    // The same, counting only what was published up to `upTo` (an earlier publishedUpTo()).
    size_t frontLength(size_t upTo) const;
    void copyFront(size_t offset, quint8 *to, size_t count) const;
    void popFront();

private:
    static size_t recordSize(size_t length);
    void copyIn(size_t position, const quint8 *from, size_t count);

    const size_t m_capacity;
    const size_t m_mask;
    std::unique_ptr<quint8[]> m_bytes;
    size_t m_written = 0;  // writer only
    size_t m_readSeen = 0; // writer only: m_read as last looked at, never ahead of it
    alignas(64) std::atomic<size_t> m_published{0};
    alignas(64) std::atomic<size_t> m_read{0};
};
