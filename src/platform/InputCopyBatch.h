#pragma once

#include "MidiInputFeed.h"

#include <QtGlobal>
#include <cstddef>

// One input's events of one process cycle on their way to the window's input port, while
// thru forwards them on the process thread: handed to the port's feed 64 at a time (its
// turn and time stamp cost once per batch, not once per message: a busy cycle carries over
// a thousand), each copied first to storage of the system's own so that thru and the port
// read the same bytes, whatever the source writes meanwhile (larger events are read in
// place by both).
//
// Of a run of messages that the window only shows (the mixer's input row shows the last
// message it reads, the input lamp lights for any), the window is handed the last one, and
// only as often as it shows them: with the input row on screen at most one per `spacing`
// frames, with a dark lamp alone the next, with the lamp lit and no row none. At a busy
// input that spares it thousands of messages and most of its wake-ups a second, all for
// messages thru has passed on already. A message the window acts on is handed on at once,
// with the run's last ahead of it (which also gives the window's parser that event's running
// status); a run's last that waits goes on at the first cycle end where it is due, with
// input or without. Of a run of messages alike that the window needs only the last of (bank
// selects), it is handed that last; with the lamp lit and no row, only the last of each
// channel's bank MSB and LSB, when it is handed anything else: it only keeps them for the
// next program change. What waits goes in the order that leaves the latest message last.
//
// Process thread only; allocates nothing.
class InputCopyBatch
{
public:
    // The last shown-only message not yet handed on, from one cycle to the next.
    struct Held {
        quint8 bytes[3] = {};
        size_t length = 0;
        quint32 handedAt = 0; // frame time the last one went on
        bool handedOn = false;
        // Bank selects held back, two a channel (MSB, LSB), a bit each in `banksHeld`;
        // `latestBank` is the one that came after everything else held, or -1.
        quint8 banks[2 * 16][3] = {};
        quint32 banksHeld = 0;
        int latestBank = -1;
    };

    // `storage` of `capacity` bytes, reused from the start at every handing on; a capacity
    // of 0 copies nothing. `now`: the cycle's frame time.
    InputCopyBatch(MidiInputFeed &feed, quint8 *storage, size_t capacity, Held &held, quint32 now,
                   quint32 spacing, MidiSystem::InputShown shown);
    InputCopyBatch(const InputCopyBatch &) = delete;
    InputCopyBatch &operator=(const InputCopyBatch &) = delete;

    // First for every event: the bytes as both readers are to see them, the copy or the
    // bytes themselves where the copy has no room.
    const quint8 *copy(const quint8 *bytes, size_t length);
    // The event for the window, as copy() gave it.
    void add(const quint8 *bytes, size_t length);
    // A whole short message (at most 3 bytes) that the window only shows.
    void addShownOnly(const quint8 *bytes, size_t length);
    // A whole short message that the next one added so, if it comes right after it with the
    // same status and first data byte, makes moot: that one takes its place. Only bank
    // selects come here (MidiThruGate::WindowUse::LastOfRun); they wait while the window
    // shows nothing.
    void addLastOfRun(const quint8 *bytes, size_t length);
    // Last: hands on what is left, and the held message if it is due.
    void finish();
    // Messages the window was not handed since the batch was made.
    quint64 leftOut() const { return m_leftOut; }

private:
    static constexpr size_t BatchSize = 64;
    // Room kept behind a batch for what is held: the shown-only message and every bank select.
    static constexpr size_t HeldMost = 1 + 2 * 16;
    bool heldDue() const;
    void holdBank(const quint8 *bytes);
    void pushHeld();
    void pushKept(const quint8 *bytes, size_t length);
    void push(const quint8 *bytes, size_t length);
    void handOn();

    MidiInputFeed &m_feed;
    quint8 *const m_storage;
    const size_t m_capacity;
    size_t m_used = 0;
    MidiInputFeed::Event m_events[BatchSize + HeldMost];
    size_t m_count = 0;
    bool m_lastEndsRun = false; // the last event pushed came through addLastOfRun()
    Held &m_held;
    const quint32 m_now;
    const quint32 m_spacing;
    const MidiSystem::InputShown m_shown;
    // Where a held message goes once handed on: a place per batch entry, so that no later
    // one overwrites it before the feed reads it.
    quint8 m_shownCopies[BatchSize + HeldMost][3] = {};
    quint64 m_leftOut = 0;
};
