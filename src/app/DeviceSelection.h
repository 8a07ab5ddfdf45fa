#pragma once

#include <QObject>
#include <QPair>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class MidiSystem;
class DeviceWatch;
class QAbstractButton;
class QListWidget;
class MidiInputPort;
class MidiOutputPort;
class OutputRig;

// The two device lists of the page "Midi Setup" and the choice of device of each port.
//
// A device is the name it was listed under: every choice (a click, the keyboard, the
// settings at start, Refresh, a change of the system) looks that name up in a fresh
// listing and opens whatever number it has now. A name that is absent leaves its port
// closed and shown as missing, never opened on another unit; when a device of that name
// appears again the port reopens on it by itself. Only a choice known by number alone
// (a settings file of the old layout) is taken by number.
//
// What is written to the settings is the user's own choice: a missing device keeps its
// stored number and name, and a device given for this run only never replaces it.
//
// The lists follow the system (DeviceWatch says when to compare). A port open on a device
// that is still listed is left as it is, whatever else came or went; one whose device is
// no longer listed is closed and shown as missing. While the system is stopped both ports
// are closed.
//
// Threading: GUI thread only.
class DeviceSelection : public QObject
{
    Q_OBJECT
public:
    // A port's device: the program's own port, or a device known by its name and the
    // number it had when last seen (the old settings layout gives the number alone).
    struct Choice {
        enum Kind { None, Device, Own };
        Kind kind = None;
        int number = 0;
        QString name;
    };

    struct Controls {
        QListWidget *cmbOutput;
        QListWidget *cmbInput;
        QAbstractButton *ownOutput;
        QAbstractButton *ownInput;
    };

    // The device the output opens on at start-up, as far as it is known before the lists
    // are filled: the one named for this run, else the stored name (none for the program's
    // own port, or a choice stored by number alone).
    static QString expectedOutput(const QString &forThisRun, int storedNumber, const QString &storedName);

    DeviceSelection(MidiSystem &system, MidiOutputPort &out, MidiInputPort &in, Controls controls,
                    QObject *parent = nullptr);
    ~DeviceSelection() override;

    // Fills both lists with the devices' names.
    void fillDeviceLists();

    // The stored choice from the settings; a name given for this run goes before it
    // without replacing it.
    void chooseOutput(const Choice &stored, const QString &forThisRun = QString());
    void chooseInput(const Choice &stored, const QString &forThisRun = QString());
    // Marks the chosen devices in the lists; a port without a device shows none.
    void showChoice();
    // Opens (and starts) the chosen devices; a device that refuses stays closed.
    void openPorts();
    // Opens the chosen outputs alone, the main one and the units' own: a first song need
    // not wait for the inputs. openPorts() opens the rest.
    void openOutputs();

    // What the settings keep of each port.
    Choice savedOutput() const;
    Choice savedInput() const;
    QStringList outputNames() const;
    // One line for the status bar: the system, the devices in use or why not.
    QString status() const;
    // The output's part of it: why a song was not sent.
    QString outputStatus() const;
    bool outputMissing() const;

    // A send found the output's device gone before the system said so.
    void outputLost();

    // Extra inputs: each opened by its name as the main input is, and followed alike
    // (missing shown, reopened when it returns), without a list of its own. An empty
    // name leaves the port closed.
    void addExtraInput(MidiInputPort &in, const QString &name);
    void chooseExtraInput(MidiInputPort &in, const QString &name);
    void removeExtraInput(MidiInputPort &in);
    bool extraInputMissing(const MidiInputPort &in) const;
    // The input devices as last listed.
    QStringList inputNames() const;
    // "Inputs 2/3: Pedal:out missing" while extra inputs are chosen; empty without.
    QString inputsStatus() const;
    // The ports of the units' own devices follow the same rules as the main output: open
    // on their device by name, missing while it is absent, reopened when it returns.
    // `unitPorts` gives each unit's name and device, for naming a port that returns.
    void followUnitOutputs(OutputRig &rig, std::function<QList<QPair<QString, QString>>()> unitPorts);
    // "Outputs 2/3: SynthC:in missing"; empty while no unit has a port of its own.
    QString outputsSummary() const;
    // Each unit's port and its state, one line each ("JV-1080: SynthC:in (missing)").
    QString unitBindings(const QList<QPair<QString, QString>> &unitPorts) const;
    // A send found a unit's device gone before the system said so.
    void unitOutputLost(MidiOutputPort *port);

public slots:
    void chooseOutputFromList();
    void chooseInputFromList();
    // Lists the devices again and keeps each port on its device, found by name.
    void refresh();

signals:
    void statusChanged();
    // A passing remark for the status bar ("MIDI Out: Synth A is back").
    void notice(const QString &text);
    // The output's unit came back and its port is open on it again.
    void outputReturned();

private:
    struct Side;
    void follow(bool refill);
    // Whether the comparison leaves the port as it is; keeps its device's number up to date.
    bool keeps(Side &side, const QStringList &names, bool restarted);
    void settle(Side &side);
    bool place(Side &side, const QStringList &names);
    void chooseFromList(Side &side);
    void chooseOwn(Side &side, bool on);
    void choose(Side &side, const Choice &stored, const QString &forThisRun);
    void fillList(Side &side, const QStringList &names);
    void mark(Side &side);
    QString describe(const Side &side) const;
    QString stoppedText() const;
    void wire(Side &side);
    Side *extraSide(const MidiInputPort &in) const;
    void makeUnitSides();
    // Every side: the main output, the main input, the extra inputs, the units' outputs.
    QList<Side *> sides() const;
    bool isInput(const Side *side) const;
    // "Outputs 2/3: SynthC:in missing", or the same of the inputs.
    QString portsSummary(bool inputs) const;
    const Side *unitSide(const QString &device) const;
    bool sharesMainOutput(const Side &side) const;
    QString unitsOn(const QString &device) const;

    MidiSystem &m_system;
    std::unique_ptr<Side> m_outSide;
    std::unique_ptr<Side> m_inSide;
    std::vector<std::unique_ptr<Side>> m_extraSides;
    OutputRig *m_rig = nullptr;
    std::function<QList<QPair<QString, QString>>()> m_unitPorts;
    std::vector<std::unique_ptr<Side>> m_unitSides;
    DeviceWatch *m_watch = nullptr;
    bool m_updatingLists = false;
    bool m_stopped = false;
    bool m_portsOpened = false; // start-up has opened the ports: a new choice opens at once
};
