#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// The MIDI system under the ports: the few device operations they need, with result
// codes numbered as the classic multimedia MIDI interface numbers them
// (0 ok, 2 bad device id, 4 allocated, 5 invalid handle, 7 no memory,
// 11 invalid parameter, 64 and up MIDI errors), each with a text.
//
// The operations themselves are added by the MIDI layer; see the backends.
class MidiSystem
{
public:
    virtual ~MidiSystem() = default;

    // "ALSA", "JACK" or "Virtual": what the status bar shows.
    virtual QString systemName() const = 0;
};

// Makes the backend for --midi-api: "auto", "alsa", "jack" or "virtual".
// "auto" takes ALSA when its sequencer can be opened, else JACK when a server is
// running (it never starts one), else Virtual. Returns null and sets *error for an
// unknown name or a backend that cannot be had.
std::unique_ptr<MidiSystem> createMidiSystem(const QString &api, QString *error);
