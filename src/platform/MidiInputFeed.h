#pragma once

#include "MidiStreamParser.h"
#include "MidiSystem.h"

#include <atomic>
#include <chrono>
#include <memory>

// What every backend's input device does with incoming bytes: cuts the port's byte stream
// into messages, time-stamps them against the last start, packs short messages, fills the
// queued receive buffers with SysEx and calls the port's callback, one message at a time.
//
// A SysEx longer than the buffers queued waits in storage made here, at open, and goes on
// into the buffers as they come back; bytes that find that storage full are counted, never
// cut silently.
//
// Threading: deliver*() are for the driver thread, one call at a time (a backend with more
// threads serialises them itself); they take no lock and allocate nothing. addBuffer(),
// start(), stop(), takeBuffers() and the counters are for the GUI thread. Whichever of the
// two threads holds the delivery turn (an atomic flag, only ever tried, never waited for on
// the driver thread) runs the callback; a driver call that finds the GUI thread delivering
// leaves its bytes in a backlog for the holder to take. After stop() returns no callback is
// running and none starts until start().
class MidiInputFeed
{
public:
    MidiInputFeed(MidiInHandle handle, MidiInCallback callback, quintptr instance);
    ~MidiInputFeed();

    // The bytes of one event as the driver gave them: any part of the stream, a message,
    // several, or a piece of one.
    void deliverMessage(const quint8 *bytes, size_t length);
    // The events of one driver call (a JACK cycle), in order: as deliverMessage() for each,
    // with one delivery turn and one time stamp for them all.
    struct Event {
        const quint8 *bytes;
        size_t length;
    };
    void deliverMessages(const Event *events, size_t count);
    // A whole short message, its bytes packed from the low end; only the bytes its status
    // takes are read.
    void deliverShort(quint32 packed);
    // A whole SysEx as the device gives it; an empty one fills one buffer with nothing.
    void deliverSysex(const quint8 *bytes, size_t length);

    // False when no more buffers can be queued.
    bool addBuffer(MidiHeader *header);
    void start();
    void stop();
    // Hands every queued buffer back: marked done, no longer queued.
    void takeBuffers();
    bool hasBuffers() const;

    struct Losses {
        MidiStreamParser::Drops malformed;
        // Bytes that found no room: SysEx with neither a buffer nor room to wait, or an
        // event that came while the backlog was full.
        quint64 bytesLost = 0;
    };
    Losses losses() const;

    // Bytes of SysEx that may wait for a buffer.
    static constexpr size_t WaitingCapacity = size_t(2) << 20;

private:
    struct Private;
    enum class Kind : quint8 { Stream, Sysex };

    void deliver(Kind kind, const Event *events, size_t count);
    bool takeTurn();
    void beginTurn();
    void endTurn();
    void serve();
    bool moreToServe() const;

    const MidiInHandle m_handle;
    const MidiInCallback m_callback;
    const quintptr m_instance;

    std::atomic<bool> m_running{false};
    std::atomic<bool> m_turn{false};         // someone is delivering
    std::atomic<bool> m_driverInside{false}; // a driver call is under way
    std::atomic<bool> m_waiting{false};      // SysEx bytes wait for a buffer
    std::atomic<std::chrono::steady_clock::rep> m_startTicks{0};
    std::unique_ptr<Private> d;
};
