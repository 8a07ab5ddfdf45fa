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
// message it reads, the input lamp lights for any), the window is handed the last one:
// at a busy input that spares it thousands of messages a second, all of which thru has
// passed on already. The last of the run goes ahead of the next event handed on, which
// also gives the window's parser the running status of that event; a run at the end of
// the cycle ends with the cycle.
//
// Process thread only; allocates nothing.
class InputCopyBatch
{
public:
    // `storage` of `capacity` bytes, reused from the start at every handing on; a capacity
    // of 0 copies nothing.
    InputCopyBatch(MidiInputFeed &feed, quint8 *storage, size_t capacity);
    ~InputCopyBatch() { finish(); }
    InputCopyBatch(const InputCopyBatch &) = delete;
    InputCopyBatch &operator=(const InputCopyBatch &) = delete;

    // First for every event: the bytes as both readers are to see them, the copy or the
    // bytes themselves where the copy has no room.
    const quint8 *copy(const quint8 *bytes, size_t length);
    // The event for the window, as copy() gave it.
    void add(const quint8 *bytes, size_t length);
    // A whole short message (at most 3 bytes) that the window only shows.
    void addShownOnly(const quint8 *bytes, size_t length);
    // Hands on what is left; the batch may be used again.
    void finish();
    // Messages the window was not handed since the batch was made.
    quint64 leftOut() const { return m_leftOut; }

private:
    static constexpr size_t BatchSize = 64;
    void pushLastShown();
    void push(const quint8 *bytes, size_t length);
    void handOn();

    MidiInputFeed &m_feed;
    quint8 *const m_storage;
    const size_t m_capacity;
    size_t m_used = 0;
    MidiInputFeed::Event m_events[BatchSize];
    size_t m_held = 0;
    // The last of the run of shown-only messages, and where it goes once handed on: a
    // place per batch entry, so that no later one overwrites it before the feed reads it.
    quint8 m_lastShown[3] = {};
    size_t m_lastShownLength = 0;
    quint8 m_shownCopies[BatchSize][3] = {};
    quint64 m_leftOut = 0;
};
