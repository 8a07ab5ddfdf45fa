#pragma once

#include <QtGlobal>

// Status bytes (channel 1; add the channel less one) and controller numbers that more than one
// sender writes or reads back.
namespace MidiStatus
{
constexpr quint8 ControlChange = 0xB0;
constexpr quint8 ProgramChange = 0xC0;
constexpr quint8 SystemReset = 0xFF;
} // namespace MidiStatus

namespace MidiController
{
constexpr quint8 BankMsb = 0;
constexpr quint8 Volume = 7;
constexpr quint8 Pan = 10;
constexpr quint8 BankLsb = 32;
constexpr quint8 SustainPedal = 64;
constexpr quint8 AllSoundOff = 120;
constexpr quint8 AllNotesOff = 123;
} // namespace MidiController
