#include "MidiThruGate.h"

#include <algorithm>

namespace
{
constexpr quint8 BankMsb = 0;
constexpr quint8 BankLsb = 32;

// A program change, or a bank select that the next one takes.
bool selectsProgram(quint8 status, quint8 data1)
{
    return (status & 0xF0) == 0xC0 || ((status & 0xF0) == 0xB0 && (data1 == BankMsb || data1 == BankLsb));
}
// The bits of the rules' word that say a switch is bound or being learnt: the rules with
// nothing else set pack to 0. Made at load time, so that the forwarding thread never
// waits on a static's first use.
const quint64 SwitchesInUse = [] {
    ThruRules rules;
    rules.learning = true;
    for (ThruRules::Switch &s : rules.switches)
        s.kind = ThruRules::Switch::Program; // every bit of the kind
    return rules.pack() & ~ThruRules().pack();
}();
} // namespace

ThruRules::Switch ThruRules::heard(quint8 status, quint8 data1, quint8 data2, bool &press)
{
    Switch s;
    s.channel = quint8((status & 0x0F) + 1);
    s.number = data1;
    press = false;
    switch (status & 0xF0) {
    case 0xB0:
        s.kind = Switch::Controller;
        press = data2 >= PressThreshold;
        break;
    case 0x90:
        s.kind = Switch::Note;
        press = data2 > 0;
        break;
    case 0x80:
        s.kind = Switch::Note;
        break;
    case 0xC0:
        s.kind = Switch::Program;
        press = true;
        break;
    default:
        s.kind = Switch::None;
    }
    return s;
}

bool ThruRules::keepsBack(const quint8 *bytes, size_t length, int source) const
{
    const Input &input = inputs[size_t(std::clamp(source, 0, ExtraInputCount))];
    if (source > 0 && !input.thru)
        return true;
    if (!keepRemoteOut || length < 2 || length > 3 || bytes[0] >= 0xF0)
        return false;
    const quint8 status = bytes[0];
    if (input.remote && remoteOn && status == 0xC0 + remoteChannel - 1)
        return true;
    bool press = false;
    const Switch s = heard(status, bytes[1], length > 2 ? bytes[2] : 0, press);
    if (s.kind == Switch::None || !input.switches)
        return false;
    if (learning)
        return press;
    return isBound(s);
}

bool ThruRules::switchTakes(quint8 status, quint8 data1, quint8 data2, int source) const
{
    if (!inputs[size_t(std::clamp(source, 0, ExtraInputCount))].switches)
        return false;
    bool press = false;
    const Switch s = heard(status, data1, data2, press);
    return s.kind != Switch::None && (learning || isBound(s));
}

bool ThruRules::isBound(const Switch &s) const
{
    return std::any_of(switches.begin(), switches.end(),
                       [&](const Switch &bound) { return bound.kind != Switch::None && bound == s; });
}

// Bits: 0 keep out, 1 remote on, 2 learning, 3..6 remote channel - 1, then per switch
// 2 bits kind, 4 bits channel - 1, 7 bits number (to bit 45), then per input from bit 46
// "not forwarded", "remote deaf", "switches deaf", so that the word of rules made before
// there were several inputs reads as every input heard.
static_assert(7 + 13 * ThruRules::SwitchCount + 3 * (1 + ThruRules::ExtraInputCount) <= 64,
              "the rules fit one word");
static_assert(ThruRules::inputBit(0) == 46, "the inputs' bits follow the switches'");

quint64 ThruRules::pack() const
{
    quint64 word = quint64(keepRemoteOut) | quint64(remoteOn) << 1 | quint64(learning) << 2 |
                   quint64((remoteChannel - 1) & 0x0F) << 3;
    int at = 7;
    for (const Switch &s : switches) {
        word |= quint64(s.kind & 0x03) << at | quint64((s.channel - 1) & 0x0F) << (at + 2) |
                quint64(s.number & 0x7F) << (at + 6);
        at += 13;
    }
    for (const Input &input : inputs) {
        word |= quint64(!input.thru) << at | quint64(!input.remote) << (at + 1) |
                quint64(!input.switches) << (at + 2);
        at += 3;
    }
    return word;
}

ThruRules ThruRules::unpack(quint64 word)
{
    ThruRules rules;
    rules.keepRemoteOut = word & 1;
    rules.remoteOn = word >> 1 & 1;
    rules.learning = word >> 2 & 1;
    rules.remoteChannel = quint8((word >> 3 & 0x0F) + 1);
    int at = 7;
    for (Switch &s : rules.switches) {
        s.kind = Switch::Kind(word >> at & 0x03);
        s.channel = quint8((word >> (at + 2) & 0x0F) + 1);
        s.number = quint8(word >> (at + 6) & 0x7F);
        at += 13;
    }
    for (Input &input : rules.inputs) {
        input.thru = !(word >> at & 1);
        input.remote = !(word >> (at + 1) & 1);
        input.switches = !(word >> (at + 2) & 1);
        at += 3;
    }
    return rules;
}

void MidiThruGate::publish(const ThruRules &rules)
{
    m_word.store(rules.pack(), std::memory_order_release);
}

bool MidiThruGate::keepsBack(const quint8 *bytes, size_t length, int source) const
{
    const quint64 word = m_word.load(std::memory_order_acquire);
    if (source > 0 && (word >> ThruRules::inputBit(source) & 1))
        return true; // an extra input that is not forwarded
    // With nothing to keep out (bit 0 clear, as most players run it) nothing is unpacked:
    // this is asked for every message.
    return (word & 1) && ThruRules::unpack(word).keepsBack(bytes, length, source);
}

MidiThruGate::WindowUse MidiThruGate::windowUse(quint8 status, quint8 data1, quint8 data2, int source) const
{
    // Asked for most messages of a busy input: with no switch bound and none learnt (as most
    // players run it) only the message itself is looked at.
    const quint64 word = m_word.load(std::memory_order_acquire);
    if ((word & SwitchesInUse) && ThruRules::unpack(word).switchTakes(status, data1, data2, source))
        return WindowUse::Every;
    if (!selectsProgram(status, data1))
        return WindowUse::ShowsOnly;
    return (status & 0xF0) == 0xB0 ? WindowUse::LastOfRun : WindowUse::Every;
}
