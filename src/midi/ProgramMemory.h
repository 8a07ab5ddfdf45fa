#pragma once

#include <QtGlobal>

#include <array>

// What each channel of the unit behind a port was last told to play, from the messages
// that went out, whoever sent them: a song's recall, MIDI thru, a fader, a command. A
// unit applies the bank select it last got at its next program change, so the bank that
// counts is the one that stood when that program change went out.
struct ProgramMemory {
    static constexpr int Unknown = -1;
    struct Channel {
        int program = Unknown; // data byte of the last program change
        int msb = Unknown;     // controllers 0 and 32 as they stood at that program change
        int lsb = Unknown;
        int nextMsb = Unknown; // controllers 0 and 32 as last sent
        int nextLsb = Unknown;
        bool operator==(const Channel &) const = default;
    };
    std::array<Channel, 16> channels{};

    // Notes a message that went out; true when it changed what a channel plays (a program
    // change, or a system reset, after which nothing is known).
    bool note(quint8 status, quint8 data1, quint8 data2 = 0);
    const Channel &channel(int channelFromOne) const { return channels[channelFromOne - 1]; }
    bool operator==(const ProgramMemory &) const = default;
};
