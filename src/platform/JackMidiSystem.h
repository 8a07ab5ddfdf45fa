#pragma once

#include "MidiDeviceSystem.h"

// The JACK server through libjack's own API, as one client ("Patchwarden") that carries
// every port the program opens, lists the other clients' MIDI ports and watches the
// server. Devices are the other clients' MIDI ports in the server's order, as listed by
// the last count; the program's own ports are never listed. Output device -1 is the own
// port "Patchwarden MIDI Out" and input device -1 the own port "Patchwarden MIDI In",
// which other programs connect to; any other device gets a port of its own, connected to
// that device.
//
// Every raw JACK event reaches the input feed in arrival order; along a thru route (the main
// input's, and one per extra input, each with a forwarder of its own) it is also forwarded in
// the same process cycle, after what the window sent in that cycle. Messages sent during
// one pass of the GUI event loop are handed to the process thread together and leave in the same cycle;
// messages sent while output is held (holdOutput) are handed on as the hold ends. When the server goes away
// the system stops running (empty lists, NoDevice from every port) and looks for a server again every second,
// without starting one; the ports that were open stay dead until their owner closes and opens them again.
//
// Threading: every member is for the GUI thread. The process thread touches only the
// ports' rings and input feeds, and the thru forwarders; JACK's notification callbacks only set flags and
// wake the GUI thread, which posts MidiSystemChangedEvent.
class JackMidiSystem : public MidiDeviceSystem
{
public:
    // Null, with the reason in *why, when no JACK server runs (none is ever started).
    // After openEarly() it returns at once, the client maybe still opening: see waitUntilOpen().
    static std::unique_ptr<JackMidiSystem> create(QString *why);
    // Starts opening and activating the client on a thread of its own, for a program that
    // knows it will create() the system: that waits mostly for the server, and the program
    // shows its splash and builds its windows meanwhile. The system create() makes takes that
    // client; waitUntilOpen() opens one itself if the early one failed.
    static void openEarly();
    // Gives the early client the device (a port name) that the output will open on: it
    // makes the output port and connects it now, so that the connection has settled by the
    // first send. The first openOutput() on that device takes the port; one on another
    // device drops it. Nothing is prepared if the device is not there or none is given.
    static void prepareEarlyOutput(const QString &device);
    ~JackMidiSystem() override;

    QString systemName() const override;
    bool waitUntilOpen(QString *why) override;
    void setChangeWatcher(QObject *watcher) override;
    bool reportsChanges() const override { return true; }
    bool isRunning() const override;
    bool loopedBack() const override;
    void holdOutput(bool on) override;
    void setInputShown(InputShown shown) override;
    bool inputHeardWithin(int ms) const override;
    ThruReport thruReport() const override;

    // What crossed the server since this object was made: raw events the input ports took
    // and whole messages the output ports wrote. A loaded server can skip a client's cycle
    // and lose or repeat events on the way; these say what reached the program and left it.
    // copiesLeftOut: forwarded messages the window's input port was not handed, being one of
    // a run that the window only shows (see InputCopyBatch).
    struct Traffic {
        quint64 eventsIn = 0;
        quint64 messagesOut = 0;
        quint64 copiesLeftOut = 0;
    };
    Traffic traffic() const;

    // The name the client has in the server; "Patchwarden" unless a second copy runs.
    QString ownClientName() const;
    static QString clientName();
    static QString ownOutputName();
    static QString ownInputName();

    // Defined in the source; named here so that the port classes there can reach it.
    struct Private;

protected:
    int listOutputs() override;
    int listInputs() override;
    quint16 outputCaps(int device, MidiOutCaps &caps) override;
    quint16 inputCaps(int device, MidiInCaps &caps) override;
    quint16 openOutput(int device, std::unique_ptr<MidiOutPort> &port) override;
    quint16 openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port) override;
    bool connectThru(MidiInPort *in, MidiOutPort *out) override;
    bool connectExtraThru(int source, MidiInPort *in, MidiOutPort *out) override;

private:
    JackMidiSystem();
    std::unique_ptr<Private> d;
};
