#include "MidiThru.h"

#include "MidiSystem.h"
#include "MidiThruGate.h"

#include <cstring>
#include <utility>

MidiThru::MidiThru(const MidiThruGate &gate, int source)
    : m_gate(gate), m_source(source), m_sysex(new quint8[WholeSysex])
{
}

MidiThru::~MidiThru() = default;

void MidiThru::take(const quint8 *bytes, size_t length, Output &out, quint64 cycle)
{
    m_out = &out;
    m_cycle = cycle;
    m_parser.parse(bytes, length, *this);
    m_out = nullptr;
}

MidiThruGate::WindowUse MidiThru::windowUse(const quint8 *bytes, size_t length) const
{
    // A system message would change how the bytes after it are read.
    if (!m_parser.atMessageBoundary() || !MidiStreamParser::isWholeChannelMessage(bytes, length))
        return MidiThruGate::WindowUse::Every;
    const quint8 data2 = length == 3 ? bytes[2] : 0;
    return m_gate.windowUse(bytes[0], bytes[1], data2, m_source);
}

void MidiThru::sentByOthers(const quint8 *bytes, size_t length, quint64 cycle)
{
    if (length > 0 && bytes[0] < 0xF8)
        m_echoes.sent(keyOf(bytes, length), cycle);
}

void MidiThru::reset()
{
    m_parser.reset();
    m_echoes.reset();
    m_sysexLength = 0;
    m_streaming = false;
}

void MidiThru::message(const uint8_t *bytes, size_t length)
{
    count(m_taken);
    if (m_gate.keepsBack(bytes, length, m_source))
        count(m_keptBack);
    else
        pass(bytes, length);
}

void MidiThru::sysex(const uint8_t *bytes, size_t length, bool ends)
{
    // An input whose thru is off passes nothing, SysEx included; one switched off half-way
    // through a SysEx ends it where it is, as a break would.
    if (m_source > 0 && m_gate.keepsBack(bytes, length, m_source)) {
        if (ends) {
            count(m_taken);
            count(m_keptBack);
        }
        sysexBroken();
        return;
    }
    if (bytes[0] == 0xF0) {
        m_sysexLength = 0;
        m_streaming = false;
        m_pieceRefused = false;
    }
    if (ends)
        count(m_taken);
    if (!m_streaming && m_sysexLength + length <= WholeSysex) {
        std::memcpy(m_sysex.get() + m_sysexLength, bytes, length);
        m_sysexLength += length;
        if (ends)
            pass(m_sysex.get(), std::exchange(m_sysexLength, 0));
        return;
    }
    if (!m_streaming) {
        m_streaming = true;
        passPiece(m_sysex.get(), std::exchange(m_sysexLength, 0), false);
    }
    passPiece(bytes, length, ends);
    if (ends)
        m_streaming = false;
}

void MidiThru::sysexBroken()
{
    // What went on already stays gone; the receiver sees the break as we did.
    m_sysexLength = 0;
    m_streaming = false;
}

// A SysEx of which a piece was refused is one message not sent, however its other pieces
// fare: the output does not count it as written either.
void MidiThru::passPiece(const quint8 *bytes, size_t length, bool ends)
{
    m_pieceCycle = m_cycle;
    const bool completes = ends && !m_pieceRefused;
    if (length > 0) {
        if (const quint16 result = m_out->write(bytes, length, completes)) {
            if (!std::exchange(m_pieceRefused, true))
                refused(result);
            return;
        }
    }
    if (completes)
        count(m_written);
}

void MidiThru::pass(const quint8 *bytes, size_t length)
{
    // A running clock repeats by itself: it is never taken for an echo.
    const bool realTime = bytes[0] >= 0xF8;
    const quint64 key = realTime ? 0 : keyOf(bytes, length);
    if (!realTime && m_echoes.arrived(key, m_cycle)) {
        count(m_keptBack);
        return;
    }
    if (const quint16 result = m_out->write(bytes, length, true)) {
        refused(result);
        return;
    }
    count(m_written);
    if (!realTime)
        m_echoes.sent(key, m_cycle);
}

MidiSystem::ThruReport MidiThru::report() const
{
    MidiSystem::ThruReport report;
    report.notSent = notSent();
    report.lastRefusal = lastRefusal();
    report.loopHeard = m_echoes.loopHeard();
    report.taken = taken();
    report.written = written();
    report.keptBack = keptBack();
    return report;
}

void MidiThru::refused(quint16 result)
{
    m_lastRefusal.store(result, std::memory_order_relaxed);
    m_notSent.fetch_add(1, std::memory_order_relaxed);
}

// A short message is its own key; a SysEx is told by its length and an FNV-1a hash.
quint64 MidiThru::keyOf(const quint8 *bytes, size_t length)
{
    if (length <= 3) {
        quint64 key = 0;
        for (size_t i = 0; i < length; ++i)
            key |= quint64(bytes[i]) << (8 * i);
        return key;
    }
    quint64 hash = 0xcbf29ce484222325ULL;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001b3ULL;
    return hash ^ quint64(length) << 56;
}
