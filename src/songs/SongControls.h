#pragma once

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class SpinEdit;

// The current song is what these controls of the main window show; there is no other
// copy. The pages that create the controls fill this record, and everything that reads
// or writes a song (the song file, recall) goes through it.
struct ChannelStrip {
    QCheckBox *active = nullptr;         // ckbaN
    QLineEdit *unitName = nullptr;       // Edit18 .. Edit33, see the unit-name table
    SpinEdit *channel = nullptr;         // spmN, 1..16
    SpinEdit *program = nullptr;         // sppN, 1..128
    QCheckBox *controllerData = nullptr; // ckbMN
};

struct ControllerRow {
    QCheckBox *on = nullptr;
    SpinEdit *value = nullptr;       // 1..128
    QComboBox *controller = nullptr; // user rows only; position = controller number
};

struct SongControls {
    static constexpr int StripCount = 16;
    static constexpr int UserRowCount = 5;

    std::array<ChannelStrip, StripCount> strips{};
    ControllerRow volume;                           // ckbVolume / spVolume
    ControllerRow bank;                             // ckbBank / spBank
    ControllerRow pan;                              // ckbPan / spPan
    std::array<ControllerRow, UserRowCount> user{}; // ckbUserK / cbUserK / spUserK

    // Stored with every song, though not part of its meaning.
    QLineEdit *Edit1 = nullptr;
    QLineEdit *cbProject = nullptr;
    QLineEdit *edNewSong = nullptr;
    SpinEdit *seSecond = nullptr;
    SpinEdit *MidiSendCh = nullptr;
    SpinEdit *MidiRecCh = nullptr;
    QCheckBox *ckbRemote = nullptr;
};
