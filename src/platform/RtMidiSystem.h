#pragma once

#include "MidiDeviceSystem.h"

#include <vector>

// The ALSA sequencer through RtMidi (JACK has a backend of its own). Devices are
// the backend's ports in the backend's own order, as listed by the last count; output
// device -1 is our own virtual output port that other programs connect to. Every port the
// ports open is a client of its own, so the listing client never carries traffic.
//
// The lists follow the sequencer's announcements where it gives them (AlsaAnnounceWatch).
//
// Threading: input arrives on RtMidi's ALSA input thread and goes through a
// MidiInputFeed; thru forwards from that thread, through the output port's own send lock
// (the window's sends take it too). Everything else is the GUI thread.
class RtMidiSystem : public MidiDeviceSystem
{
public:
    // Null, with the reason in *why, when there is no ALSA sequencer to open.
    static std::unique_ptr<RtMidiSystem> create(QString *why);
    ~RtMidiSystem() override;

    QString systemName() const override;
    void setChangeWatcher(QObject *watcher) override;
    bool reportsChanges() const override;
    static QString clientName();
    static QString ownOutputName();
    ThruReport thruReport() const override;

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
    RtMidiSystem();
    struct Private;
    std::unique_ptr<Private> d;
};
