#include "MidiStreamParser.h"

namespace
{

bool isRealTime(uint8_t byte)
{
    return byte >= 0xF8;
}

// Data bytes a status takes; system common messages other than these have none.
uint8_t dataBytesOf(uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 1;
    case 0xF0:
        return status == 0xF2 ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0;
    default:
        return 2;
    }
}

} // namespace

void MidiStreamParser::reset()
{
    m_status = 0;
    m_count = 0;
    m_needed = 0;
    m_partial = false;
    m_inSysex = false;
    m_strayRun = false;
    m_runningStatus = true;
}

bool MidiStreamParser::isWholeChannelMessage(const uint8_t *bytes, size_t length)
{
    return length >= 2 && bytes[0] >= 0x80 && bytes[0] < 0xF0 &&
           length == size_t(1 + dataBytesOf(bytes[0])) && bytes[1] < 0x80 && (length == 2 || bytes[2] < 0x80);
}

void MidiStreamParser::parse(const uint8_t *bytes, size_t length, Sink &sink)
{
    // Most input comes one whole channel message an event: it leaves the parser just as
    // its bytes one by one would, without going through them.
    if (atMessageBoundary() && isWholeChannelMessage(bytes, length)) {
        m_status = bytes[0];
        m_needed = uint8_t(length - 1);
        m_count = 0;
        m_strayRun = false;
        m_runningStatus = true;
        sink.message(bytes, length);
        return;
    }

    // The SysEx bytes of this input not yet handed out start here; real-time bytes split them.
    size_t run = m_inSysex ? 0 : length;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = bytes[i];
        if (isRealTime(byte)) {
            if (m_inSysex && run < i)
                sink.sysex(bytes + run, i - run, false);
            sink.message(&byte, 1);
            run = i + 1;
            continue;
        }
        bool broken = false;
        if (m_inSysex) {
            if (byte < 0x80)
                continue;
            m_inSysex = false;
            if (byte == 0xF7) {
                sink.sysex(bytes + run, i + 1 - run, true);
                continue;
            }
            ++m_drops.brokenSysex;
            sink.sysexBroken();
            broken = true;
        }
        if (byte < 0x80) {
            dataByte(byte, sink);
            continue;
        }
        statusByte(byte, sink);
        // Two sources merged on one port are the usual cause of a broken SysEx: its rest
        // follows the other's message and must not be read as that message's running status.
        m_runningStatus = !broken;
        if (byte == 0xF0) {
            m_inSysex = true;
            run = i;
        }
    }
    if (m_inSysex && run < length)
        sink.sysex(bytes + run, length - run, false);
}

void MidiStreamParser::dataByte(uint8_t byte, Sink &sink)
{
    if (m_status == 0) {
        if (!m_strayRun)
            ++m_drops.strayData;
        m_strayRun = true;
        return;
    }
    m_data[m_count++] = byte;
    m_partial = true;
    if (m_count < m_needed)
        return;
    const uint8_t message[3] = {m_status, m_data[0], m_data[1]};
    sink.message(message, size_t(1 + m_needed));
    m_count = 0;
    m_partial = false;
    // Running status holds for channel messages only.
    if (m_status >= 0xF0 || !m_runningStatus)
        m_status = 0;
}

void MidiStreamParser::statusByte(uint8_t status, Sink &sink)
{
    if (m_partial)
        ++m_drops.incomplete;
    m_count = 0;
    m_partial = false;
    m_strayRun = false;
    m_status = 0;
    switch (status) {
    case 0xF0:
        m_inSysex = true;
        return;
    case 0xF7:
        ++m_drops.strayEnd;
        return;
    case 0xF4:
    case 0xF5:
        ++m_drops.undefined;
        return;
    default:
        break;
    }
    m_needed = dataBytesOf(status);
    if (m_needed == 0) {
        sink.message(&status, 1);
        return;
    }
    m_status = status;
    m_partial = true;
}
