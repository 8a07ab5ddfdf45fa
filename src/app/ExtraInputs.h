#pragma once

#include "platform/MidiThruGate.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class DeviceSelection;
class IncomingMidi;
class IniFile;
class MidiInputPort;
class MidiSystem;

// The inputs beside the main one (a foot controller, a second keyboard), each a port of its
// own with a stream parser of its own, so that one source's SysEx is never broken by
// another's notes. Per input: whether it is forwarded to the main output (on the MIDI
// system's thread, as the main input is), and whether remote selection and the foot
// switches listen to it; the main input has the last two switches as well, so that both
// may be kept to one input. Ports are opened by name through DeviceSelection, which
// follows them as it follows the main ports.
//
// Kept in Midi.ini in a section of its own, written only once something was set, so that
// a rig without extra inputs keeps its file as it always was.
//
// Threading: GUI thread only.
class ExtraInputs : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxInputs = ThruRules::ExtraInputCount;
    static const char *const Section;

    struct Input {
        QString name; // the device, as listed
        bool thru = true;
        bool remote = true;
        bool switches = true;
    };

    // `makeReader` makes what reads a port (thru, remote, foot switches, SysEx replies);
    // its source number is set here.
    ExtraInputs(MidiSystem &system, DeviceSelection &devices,
                std::function<IncomingMidi *(MidiInputPort &)> makeReader, QObject *parent = nullptr);
    ~ExtraInputs() override;

    int count() const { return int(m_entries.size()); }
    Input input(int index) const { return m_entries[size_t(index)].settings; }
    MidiInputPort &port(int index) const { return *m_entries[size_t(index)].port; }
    IncomingMidi &reader(int index) const { return *m_entries[size_t(index)].reader; }
    bool missing(int index) const;

    // False when there is no room for another.
    bool add(const Input &input);
    void remove(int index);
    void setDevice(int index, const QString &name);
    void setThru(int index, bool on);
    void setRemote(int index, bool on);
    void setSwitches(int index, bool on);
    // Whether remote selection and the foot switches listen to the main input.
    bool mainRemote() const { return m_mainRemote; }
    bool mainSwitches() const { return m_mainSwitches; }
    void setMainRemote(bool on);
    void setMainSwitches(bool on);

    // The inputs' part of thru's rules.
    void fillThruRules(ThruRules &rules) const;
    // Hands each input's thru to the system again when ports changed.
    void routeThru();

    // The inputs a settings file holds, and whether the main input is listened to.
    struct Stored {
        QList<Input> inputs;
        bool mainRemote = true;
        bool mainSwitches = true;
    };
    static Stored stored(const IniFile &ini);
    void read(const IniFile &ini);
    void write(IniFile &ini) const;

signals:
    // A switch changed: the thru rules are to be published again.
    void changed();
    // Inputs came or went.
    void listChanged();

private:
    struct Entry {
        Input settings;
        std::unique_ptr<MidiInputPort> port;
        IncomingMidi *reader = nullptr;
    };
    void renumber();
    void clear();

    MidiSystem &m_system;
    DeviceSelection &m_devices;
    std::function<IncomingMidi *(MidiInputPort &)> m_makeReader;
    std::vector<Entry> m_entries;
    bool m_mainRemote = true;
    bool m_mainSwitches = true;
};
