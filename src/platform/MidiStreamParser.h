#pragma once

#include <cstddef>
#include <cstdint>

// Cuts one input port's MIDI 1.0 byte stream into messages, whatever way the driver splits
// it into events: running status is expanded, real-time bytes come out at once (also from
// inside another message or a SysEx), any status byte but F7 and the real-time ones ends a
// SysEx, and what cannot be a message is dropped and counted. The message that breaks off
// a SysEx sets no running status: the data bytes after it, up to the next status byte,
// are the broken SysEx's rest from another source, and are dropped.
//
// A plain value: no allocation, no locking; one instance per port, used by one thread at a
// time.
class MidiStreamParser
{
public:
    // What parse() hands out, in stream order.
    class Sink
    {
    public:
        // A whole short message, running status filled in; a real-time one is one byte.
        virtual void message(const uint8_t *bytes, size_t length) = 0;
        // The next bytes of the SysEx being received: the first piece starts with F0, and
        // `ends` says the piece's last byte is its F7. Points into the input given to parse().
        virtual void sysex(const uint8_t *bytes, size_t length, bool ends) = 0;
        // The SysEx being received was broken off by a status byte: whatever is held of it
        // is to be dropped.
        virtual void sysexBroken() = 0;

    protected:
        ~Sink() = default;
    };

    // Dropped input by kind. A run of data bytes with no status counts once.
    struct Drops {
        uint32_t strayData = 0;   // data bytes with no status to apply to
        uint32_t incomplete = 0;  // a message cut short by the next status byte
        uint32_t brokenSysex = 0; // a SysEx ended by a status byte other than F7
        uint32_t strayEnd = 0;    // F7 with no SysEx open
        uint32_t undefined = 0;   // the undefined system common bytes F4 and F5
        uint64_t total() const
        {
            return uint64_t(strayData) + incomplete + brokenSysex + strayEnd + undefined;
        }
    };

    void parse(const uint8_t *bytes, size_t length, Sink &sink);
    // Back to the state of a port just opened; the counts stay.
    void reset();
    const Drops &drops() const { return m_drops; }
    // Nothing of a message or a SysEx is held: the next bytes start afresh.
    bool atMessageBoundary() const { return !m_partial && !m_inSysex; }
    // The bytes are exactly one channel message, status first.
    static bool isWholeChannelMessage(const uint8_t *bytes, size_t length);

private:
    void dataByte(uint8_t byte, Sink &sink);
    void statusByte(uint8_t status, Sink &sink);

    Drops m_drops;
    uint8_t m_status = 0; // the status data bytes apply to; 0: none
    uint8_t m_data[2] = {};
    uint8_t m_count = 0;  // data bytes held for the message under way
    uint8_t m_needed = 0; // data bytes the status takes
    bool m_partial = false;
    bool m_inSysex = false;
    bool m_strayRun = false;
    bool m_runningStatus = true; // false: the status applies to one message only
};
