#pragma once

#include <QtGlobal>
#include <array>
#include <atomic>

// Tells the program's own output coming back at its input: a unit that echoes what it
// gets, or a patch bay loop. Thru would send such a message round for ever (a note played
// once circulated at hundreds of events a second). A message counts as an echo when the
// same bytes went out one or two cycles before; after several echoes in a row,
// with nothing sent going unanswered between them, the loop counts as heard and every
// echo is kept out of thru from then on. What the player plays still goes out once: only
// its return is kept back. When messages sent no longer come back the loop is over.
//
// Messages are given as keys (a short message's packed bytes, a SysEx's hash); system
// real-time bytes are never given: a running clock repeats by itself and is no echo.
//
// Threading: sent(), arrived() and endCycle() on the one thread that forwards; looped()
// and setKnownLoop() from any thread.
class EchoGuard
{
public:
    // Cycles within which an echo comes back: our output of one cycle reaches our input
    // in the next, whichever side of us the unit runs; one more for a late cycle. Never in
    // the same cycle (so a source that repeats a message within a cycle sends no "echo"),
    // except where our own output is wired straight to our input.
    static constexpr quint64 ReturnCycles = 2;
    // Echoes in a row that make a loop: a source repeating one message a cycle apart for
    // this long, with everything else sent coming back too, is not what players send.
    static constexpr int EchoesForLoop = 8;
    // Messages sent in a row that did not come back, after which a loop is over.
    static constexpr int SilentForEnd = 3;

    void sent(quint64 key, quint64 cycle);
    // True when the message is an echo of a loop: it is not to go out again.
    bool arrived(quint64 key, quint64 cycle);
    void endCycle(quint64 cycle);
    // A loop the system itself reports (our output wired to our input): echoes are kept
    // back from the first one.
    // When it goes, so does what it made us hear: an echoing unit still there is heard again.
    void setKnownLoop(bool on)
    {
        m_known.store(on, std::memory_order_relaxed);
        if (!on)
            m_heard.store(false, std::memory_order_relaxed);
    }
    bool looped() const
    {
        return m_heard.load(std::memory_order_relaxed) || m_known.load(std::memory_order_relaxed);
    }
    bool loopHeard() const { return m_heard.load(std::memory_order_relaxed); }
    // Back to no loop heard and nothing sent; only while no other member runs.
    void reset();

private:
    struct Slot {
        quint64 key = 0;
        quint64 cycle = 0;
        quint32 pending = 0; // sent and not yet back
        bool listed = false; // in m_listed
    };
    static constexpr size_t SlotCount = 256;
    static size_t slotIndex(quint64 key) { return (key ^ key >> 17 ^ key >> 31) % SlotCount; }

    std::array<Slot, SlotCount> m_slots{};
    // The slots a message was sent from since a cycle end last found them settled: a cycle
    // end reads these few, not the whole table (at every cycle of a stream, that read alone
    // cost more than forwarding the cycle's messages); with none it has nothing to do.
    std::array<quint16, SlotCount> m_listed{};
    size_t m_listedCount = 0;
    int m_echoes = 0; // echoes since the last message that did not come back
    int m_silent = 0; // messages that did not come back since the last echo
    std::atomic<bool> m_heard{false};
    std::atomic<bool> m_known{false};
};
