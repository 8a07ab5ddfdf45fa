#include "ProgramMemory.h"

#include "midi/MidiBytes.h"

bool ProgramMemory::note(quint8 status, quint8 data1, quint8 data2)
{
    if (status == MidiStatus::SystemReset) {
        channels.fill({});
        return true;
    }
    Channel &c = channels[status & 0x0F];
    switch (status & 0xF0) {
    case MidiStatus::ControlChange:
        if (data1 == MidiController::BankMsb)
            c.nextMsb = data2;
        else if (data1 == MidiController::BankLsb)
            c.nextLsb = data2;
        return false;
    case MidiStatus::ProgramChange:
        c.program = data1;
        c.msb = c.nextMsb;
        c.lsb = c.nextLsb;
        return true;
    default:
        return false;
    }
}
