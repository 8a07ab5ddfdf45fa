#pragma once

#include "MidiSystem.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>

// What every backend's input device does with incoming bytes: time-stamps them against
// the last start, packs short messages, fills the queued receive buffers with SysEx and
// calls the port's callback, one message at a time.
//
// Threading: deliver*() may be called from any thread, also from several at once (they
// are serialised, as one driver thread would deliver). addBuffer(), start(), stop() and
// takeBuffers() are for the GUI thread. After stop() returns no callback is running and
// none starts until start().
class MidiInputFeed
{
public:
    MidiInputFeed(MidiInHandle handle, MidiInCallback callback, quintptr instance);

    // A complete message as it came off the wire; SysEx starts with 0xF0.
    void deliverMessage(const quint8 *bytes, size_t length);
    void deliverShort(quint32 packed);
    void deliverSysex(const quint8 *bytes, size_t length);

    void addBuffer(MidiHeader *header);
    void start();
    void stop();
    // Hands every queued buffer back: marked done, no longer queued.
    void takeBuffers();
    bool hasBuffers() const;

private:
    quint32 elapsedMs() const;
    void deliverSysexLocked(const quint8 *bytes, size_t length);

    const MidiInHandle m_handle;
    const MidiInCallback m_callback;
    const quintptr m_instance;

    std::mutex m_deliver; // one message at a time, and stop() waits for it
    std::atomic<bool> m_running{false};
    std::atomic<std::chrono::steady_clock::rep> m_startTicks{0};

    mutable std::mutex m_queueLock;
    std::deque<MidiHeader *> m_queue;
};
