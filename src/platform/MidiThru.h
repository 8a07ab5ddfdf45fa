#pragma once

#include "EchoGuard.h"
#include "MidiStreamParser.h"
#include "MidiSystem.h"
#include "MidiThruGate.h"

#include <QtGlobal>
#include <atomic>
#include <memory>

// MIDI thru on the MIDI system's own thread: the bytes of each input event are cut into
// messages as the input port cuts them, and each message the gate lets pass goes to the
// output at once, in the cycle it arrived, whatever the window is doing. A SysEx of up to
// WholeSysex bytes goes out whole when its F7 has come; a longer one goes on piece by piece
// as it comes, and while it does the window's sends wait (midMessage()), so that nothing
// lands inside it. Echoes of the program's own output (see EchoGuard) stay back.
//
// Threading: take(), sentByOthers() and endCycle() on the one thread that forwards (a JACK
// process callback, an input callback); reset() while that thread forwards nothing; the
// counters and the loop state from any thread.
class MidiThru final : private MidiStreamParser::Sink
{
public:
    // Where forwarded messages go; write() returns a MidiResult code. `completes` is false
    // for the pieces of a long SysEx but its last.
    class Output
    {
    public:
        virtual quint16 write(const quint8 *bytes, size_t length, bool completes) = 0;

    protected:
        ~Output() = default;
    };

    // The longest SysEx kept until its end (and told as an echo).
    static constexpr size_t WholeSysex = 4096;
    // How long a SysEx going on in pieces may keep the window's sends waiting: a source
    // that stopped half-way must not silence the window.
    static constexpr quint64 PieceWaitCycles = 500;

    // `source`: which input this forwards, as the gate numbers them (0: the main one).
    explicit MidiThru(const MidiThruGate &gate, int source = 0);
    ~MidiThru();

    void take(const quint8 *bytes, size_t length, Output &out, quint64 cycle);
    // What the window needs of the event about to be taken. Of one whole channel message,
    // status first, that comes between messages: the latest of a run of those it only
    // shows, or the last of a run like it (see MidiThruGate::windowUse); a parser that goes
    // without the others reads the rest as thru does, once handed the last of such a run
    // (for its running status) ahead of the next event. Of anything else, every one.
    MidiThruGate::WindowUse windowUse(const quint8 *bytes, size_t length) const;
    // A message the window sent to the same output: its echo is no more to go round
    // than a forwarded one's.
    void sentByOthers(const quint8 *bytes, size_t length, quint64 cycle);
    void endCycle(quint64 cycle) { m_echoes.endCycle(cycle); }
    // A SysEx going on in pieces is under way at the output: nothing else may go there now.
    bool midMessage(quint64 cycle) const { return m_streaming && cycle - m_pieceCycle < PieceWaitCycles; }
    void reset();

    EchoGuard &echoes() { return m_echoes; }
    const EchoGuard &echoes() const { return m_echoes; }
    // Messages the output refused, and the code of the last refusal.
    quint64 notSent() const { return m_notSent.load(std::memory_order_relaxed); }
    quint16 lastRefusal() const { return m_lastRefusal.load(std::memory_order_relaxed); }
    // Whole messages taken from the input, written whole, and kept back on purpose (the
    // gate, echoes); taken is always written + kept back + not sent once a message is done.
    quint64 taken() const { return m_taken.load(std::memory_order_relaxed); }
    quint64 written() const { return m_written.load(std::memory_order_relaxed); }
    quint64 keptBack() const { return m_keptBack.load(std::memory_order_relaxed); }
    MidiSystem::ThruReport report() const;

private:
    void message(const uint8_t *bytes, size_t length) override;
    void sysex(const uint8_t *bytes, size_t length, bool ends) override;
    void sysexBroken() override;
    void pass(const quint8 *bytes, size_t length);
    void passPiece(const quint8 *bytes, size_t length, bool ends);
    void refused(quint16 result);
    // One writer: a plain store, not a locked add per message.
    static void count(std::atomic<quint64> &counter)
    {
        counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    static quint64 keyOf(const quint8 *bytes, size_t length);

    const MidiThruGate &m_gate;
    const int m_source;
    MidiStreamParser m_parser;
    EchoGuard m_echoes;
    Output *m_out = nullptr; // during take()
    quint64 m_cycle = 0;     // during take()
    std::unique_ptr<quint8[]> m_sysex;
    size_t m_sysexLength = 0;    // kept of the SysEx under way
    bool m_streaming = false;    // the SysEx under way goes on in pieces
    bool m_pieceRefused = false; // a piece of it was refused (counted once)
    quint64 m_pieceCycle = 0;
    std::atomic<quint64> m_notSent{0};
    std::atomic<quint64> m_taken{0};
    std::atomic<quint64> m_written{0};
    std::atomic<quint64> m_keptBack{0};
    std::atomic<quint16> m_lastRefusal{0};
};
