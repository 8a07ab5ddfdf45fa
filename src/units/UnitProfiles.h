#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

class IniFile;

// How a unit wants its bank chosen before a program change.
enum class BankMode {
    FromBlock, // controller 32 with the controller block's bank value, as the program always did
    Msb,       // controller 0 only
    MsbLsb,    // controller 0, then controller 32
    None,      // no bank select at all
};

// What a unit needs beyond the plain recall. A strip uses the profile whose name equals
// its "MIDI Units" text (letter case aside); a strip without one recalls as it always did.
struct UnitProfile {
    QString name;
    BankMode bankMode = BankMode::FromBlock;
    int pauseMs = 0;              // after the program change, before that strip's block; 0..500
    bool onlyWhenChanged = false; // skip a program change equal to the last one sent to the channel
    QString port;                 // the output device the unit hangs on, by name; empty: the main output

    static constexpr int MaxPauseMs = 500;
    bool operator==(const UnitProfile &) const = default;
};

// The profiles of the rig, kept in a file of their own in the data folder.
class UnitProfiles
{
public:
    static QString defaultPath();

    // A missing file gives no profiles.
    void load(const QString &path);
    // Throws FileError when the file cannot be written.
    void save(const QString &path) const;

    const QList<UnitProfile> &all() const { return m_profiles; }
    // The profile of the unit `name`, or nullptr when it has none.
    const UnitProfile *find(const QString &name) const;
    // Adds the profile, or replaces the one of the same name.
    void set(UnitProfile profile);
    void remove(const QString &name);
    // The output devices the units name, each once, in the order first named.
    QStringList ports() const;

private:
    QList<UnitProfile> m_profiles;
};

// A song's bank per strip, for the profiles whose bank mode takes its own numbers. It is
// kept in the song file in a section the song's other keys never use, so older copies of
// the program read the song as before.
struct SongBanks {
    struct Bank {
        int msb = 0;
        int lsb = 0;
        bool operator==(const Bank &) const = default;
    };
    static constexpr int StripCount = 16;
    std::array<Bank, StripCount> strips{};

    // Missing keys read as bank 0. Nothing is written while every bank is 0 and the file
    // has none yet.
    void readFrom(const IniFile &ini);
    void writeTo(IniFile &ini) const;
};

// Everything a recall needs to know about the units beyond the song controls.
struct UnitRig {
    UnitProfiles profiles;
    SongBanks banks;
};
