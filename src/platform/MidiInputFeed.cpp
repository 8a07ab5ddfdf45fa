#include "MidiInputFeed.h"

#include <algorithm>
#include <cstring>

MidiInputFeed::MidiInputFeed(MidiInHandle handle, MidiInCallback callback, quintptr instance)
    : m_handle(handle), m_callback(callback), m_instance(instance)
{
}

quint32 MidiInputFeed::elapsedMs() const
{
    using namespace std::chrono;
    const auto now = steady_clock::now().time_since_epoch().count();
    const auto ticks = now - m_startTicks.load(std::memory_order_relaxed);
    return quint32(duration_cast<milliseconds>(steady_clock::duration(ticks)).count());
}

void MidiInputFeed::deliverMessage(const quint8 *bytes, size_t length)
{
    if (length == 0)
        return;
    if (bytes[0] == 0xF0) {
        deliverSysex(bytes, length);
        return;
    }
    quint32 packed = bytes[0];
    if (length > 1)
        packed |= quint32(bytes[1]) << 8;
    if (length > 2)
        packed |= quint32(bytes[2]) << 16;
    deliverShort(packed);
}

void MidiInputFeed::deliverShort(quint32 packed)
{
    std::lock_guard lock(m_deliver);
    if (!m_running.load(std::memory_order_acquire))
        return;
    m_callback(m_handle, MidiInMessage::Data, m_instance, packed, elapsedMs());
}

void MidiInputFeed::deliverSysex(const quint8 *bytes, size_t length)
{
    std::lock_guard lock(m_deliver);
    if (!m_running.load(std::memory_order_acquire))
        return;
    deliverSysexLocked(bytes, length);
}

// A message longer than one buffer goes on in the next (an empty one fills one buffer with
// nothing); with no buffer queued the rest
// is lost, as on any MIDI system that has nowhere to put it.
void MidiInputFeed::deliverSysexLocked(const quint8 *bytes, size_t length)
{
    size_t done = 0;
    do {
        MidiHeader *header = nullptr;
        {
            std::lock_guard lock(m_queueLock);
            if (m_queue.empty())
                return;
            header = m_queue.front();
            m_queue.pop_front();
        }
        const size_t chunk = std::min<size_t>(header->bufferLength, length - done);
        std::memcpy(header->data, bytes + done, chunk);
        header->bytesRecorded = quint32(chunk);
        header->flags = (header->flags & ~quint32(MidiHeaderFlag::InQueue)) | MidiHeaderFlag::Done;
        done += chunk;
        m_callback(m_handle, MidiInMessage::LongData, m_instance, reinterpret_cast<quintptr>(header),
                   elapsedMs());
    } while (done < length);
}

void MidiInputFeed::addBuffer(MidiHeader *header)
{
    std::lock_guard lock(m_queueLock);
    m_queue.push_back(header);
}

void MidiInputFeed::start()
{
    std::lock_guard lock(m_deliver);
    m_startTicks.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                       std::memory_order_relaxed);
    m_running.store(true, std::memory_order_release);
}

void MidiInputFeed::stop()
{
    // Taking the delivery lock waits for a callback that is running now.
    std::lock_guard lock(m_deliver);
    m_running.store(false, std::memory_order_release);
}

void MidiInputFeed::takeBuffers()
{
    std::lock_guard lock(m_queueLock);
    for (MidiHeader *header : m_queue)
        header->flags = (header->flags & ~quint32(MidiHeaderFlag::InQueue)) | MidiHeaderFlag::Done;
    m_queue.clear();
}

bool MidiInputFeed::hasBuffers() const
{
    std::lock_guard lock(m_queueLock);
    return !m_queue.empty();
}
