#pragma once

#include <QStringList>
#include <functional>

class ActivityLeds;
class SpinEdit;
class MidiOutputPort;

// What the mixer uses of the main window. Everything must be set and outlive the mixer.
struct MixerLinks {
    MidiOutputPort *midiOut = nullptr;       // MidiOut: the faders send here
    SpinEdit *sendChannel = nullptr;         // MidiSendCh (1..16); the mixer's own box mirrors it
    std::function<QString()> outputState;    // the output as the status bar tells it, when closed
    ActivityLeds *leds = nullptr;            // OutLed lights on every fader message
    std::function<quint8()> lastInputStatus; // MidiIn.LastStatus, named by the event monitor
};
