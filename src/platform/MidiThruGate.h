#pragma once

#include <QtGlobal>
#include <array>
#include <atomic>
#include <cstddef>

// Which incoming messages MIDI thru keeps back: with "Don't forward remote messages" on,
// a remote song selection (a program change on the remote channel while remote is on) and
// a foot switch's messages (those of a binding, or while one is learnt the first press)
// stay out of thru. Everything else passes unchanged.
//
// Each input (the main one is source 0, the extra ones 1..ExtraInputCount) says whether it
// is forwarded at all and whether remote and the foot switches listen to it: a message of
// an input they do not listen to is nobody's switch, and passes.
struct ThruRules {
    // What a foot switch is bound to: a controller, a note or a program change on a channel.
    struct Switch {
        enum Kind : quint8 { None, Controller, Note, Program };
        Kind kind = None;
        quint8 channel = 1; // 1..16
        quint8 number = 0;  // 0..127
        bool operator==(const Switch &) const = default;
    };
    static constexpr int SwitchCount = 3;
    // A controller counts as pressed from this value on.
    static constexpr int PressThreshold = 64;

    static constexpr int ExtraInputCount = 4;
    struct Input {
        bool thru = true; // the main input's thru is always on
        bool remote = true;
        bool switches = true;
        bool operator==(const Input &) const = default;
    };

    bool keepRemoteOut = false;
    bool remoteOn = false;
    quint8 remoteChannel = 1; // 1..16
    bool learning = false;
    std::array<Switch, SwitchCount> switches{};
    std::array<Input, 1 + ExtraInputCount> inputs{};

    bool operator==(const ThruRules &) const = default;

    // The switch a short message would be (kind None for any other message), and whether
    // it is a press.
    static Switch heard(quint8 status, quint8 data1, quint8 data2, bool &press);
    // Whether thru keeps this message of input `source` back. `length` counts its bytes:
    // SysEx and system messages pass wherever the input is forwarded.
    bool keepsBack(const quint8 *bytes, size_t length, int source = 0) const;
    // Whether a foot switch's binding (or one being learnt) takes this message of `source`.
    bool switchTakes(quint8 status, quint8 data1, quint8 data2, int source = 0) const;

    // The rules in one word, so that they are read and replaced whole without a lock.
    quint64 pack() const;
    // The first of an input's three bits in that word ("not forwarded", "remote deaf",
    // "switches deaf").
    static constexpr int inputBit(int source) { return 7 + 13 * SwitchCount + 3 * source; }
    static ThruRules unpack(quint64 word);

private:
    bool isBound(const Switch &s) const;
};

// The thru rules as the window last published them, for the thread that forwards.
//
// Threading: publish() and rules() on the GUI thread; keepsBack() on the thread that
// forwards (lock-free: one atomic word). While a switch is learnt every press stays back
// until the window has bound the first and published again (a few milliseconds at most).
class MidiThruGate
{
public:
    void publish(const ThruRules &rules);
    // As the forwarding thread reads them: the window decides by the same word.
    ThruRules rules() const { return ThruRules::unpack(m_word.load(std::memory_order_acquire)); }
    bool keepsBack(const quint8 *bytes, size_t length, int source = 0) const;
    // What the window does with a short message of input `source`, in one read of the
    // rules. It acts on a program change or a bank select (remote selection, the programs
    // it remembers sent) and on a foot switch's message (bound, or any while one is
    // learnt), each one; of a bank select that no switch takes, and others like it in a row
    // (same status and first data byte), it needs only the last, which only sets what the
    // next program change selects. Anything else it only shows in the mixer's input row
    // and by the input lamp.
    enum class WindowUse { ShowsOnly, LastOfRun, Every };
    WindowUse windowUse(quint8 status, quint8 data1, quint8 data2, int source = 0) const;
    // Whether remote selection and the foot switches listen to input `source`.
    bool remoteHears(int source) const { return !bitOf(ThruRules::inputBit(source) + 1); }
    bool switchesHear(int source) const { return !bitOf(ThruRules::inputBit(source) + 2); }

private:
    bool bitOf(int bit) const { return m_word.load(std::memory_order_acquire) >> bit & 1; }

    std::atomic<quint64> m_word{ThruRules().pack()};
};
