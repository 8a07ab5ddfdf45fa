#include "ProgramMemory.h"

namespace
{
constexpr quint8 ControlChange = 0xB0;
constexpr quint8 ProgramChange = 0xC0;
constexpr quint8 SystemReset = 0xFF;
constexpr quint8 BankMsb = 0;
constexpr quint8 BankLsb = 32;
} // namespace

bool ProgramMemory::note(quint8 status, quint8 data1, quint8 data2)
{
    if (status == SystemReset) {
        channels.fill({});
        return true;
    }
    Channel &c = channels[status & 0x0F];
    switch (status & 0xF0) {
    case ControlChange:
        if (data1 == BankMsb)
            c.nextMsb = data2;
        else if (data1 == BankLsb)
            c.nextLsb = data2;
        return false;
    case ProgramChange:
        c.program = data1;
        c.msb = c.nextMsb;
        c.lsb = c.nextLsb;
        return true;
    default:
        return false;
    }
}
