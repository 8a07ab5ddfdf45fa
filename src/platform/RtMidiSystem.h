#pragma once

#include "MidiDeviceSystem.h"

#include <vector>

// The real MIDI system through RtMidi: the ALSA sequencer or a JACK server. Devices are
// the backend's ports in the backend's own order, as listed by the last count; output
// device -1 is our own virtual output port that other programs connect to. Every port the
// ports open is a client of its own, so the listing client never carries traffic.
//
// Threading: input arrives on RtMidi's thread (ALSA's input thread or JACK's process
// thread) and goes through a MidiInputFeed; everything else is the GUI thread.
class RtMidiSystem : public MidiDeviceSystem
{
public:
    enum Backend { Alsa, Jack };

    // Null, with the reason in *why, when the backend cannot be had: no ALSA sequencer,
    // or no JACK server running (none is ever started).
    static std::unique_ptr<RtMidiSystem> create(Backend backend, QString *why);
    ~RtMidiSystem() override;

    QString systemName() const override;
    // False once the JACK server has gone away; every port then reports NoDevice.
    bool serverAlive() const;

    static QString clientName();
    static QString ownOutputName();

protected:
    int listOutputs() override;
    int listInputs() override;
    quint16 outputCaps(int device, MidiOutCaps &caps) override;
    quint16 inputCaps(int device, MidiInCaps &caps) override;
    quint16 openOutput(int device, std::unique_ptr<MidiOutPort> &port) override;
    quint16 openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port) override;

private:
    explicit RtMidiSystem(Backend backend);
    struct Private;
    std::unique_ptr<Private> d;
};
