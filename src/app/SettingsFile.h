#pragma once

#include <QString>

// The settings file Midi.ini: devices, channels, the remote switch and the last project.
// Devices are also remembered by name, in a section of their own written after the
// classic keys, so that a rig whose devices come up in another order still finds them.
// Options of our own follow in a section after that.
class SettingsFile
{
public:
    struct Values {
        int midiOut = 0;
        int midiIn = 0;
        int sendChannel = 1;
        int remoteChannel = 1;
        bool remoteOn = false;
        QString lastProject; // file name of the last project, "<name>.txt"; a null one is not written
        QString midiOutName; // empty: not remembered
        QString midiInName;
        bool resendOnReturn = false; // send the current song when the output's unit returns
    };

    static constexpr const char *DefaultProject = "Sorry";

    explicit SettingsFile(QString path);

    // Missing file or keys read as the defaults; "Last one" reads as "Sorry" when absent.
    Values read() const;
    // "Last one" as stored, empty when absent (the project name comes from it).
    QString storedProjectFile() const;
    // Why the file exists but cannot be read, in plain words; empty when it can or is absent.
    QString readError() const;
    // Everything, as at shut-down. Throws FileError when the file cannot be written.
    void writeAll(const Values &values) const;
    // "Save as Default": everything but "Last one". Throws FileError.
    void writeDefaults(const Values &values) const;

private:
    QString m_path;
};
