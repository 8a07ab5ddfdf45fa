#pragma once

#include <QString>

// What a player reads when the chosen MIDI system cannot be opened: why, and what to do.
namespace MidiSystemAdvice
{
// One line for the terminal, e.g. "Start a JACK server ... or start with --midi-api alsa."
QString nextStep(const QString &api);
// The whole message for the window, which comes up without MIDI devices.
QString windowText(const QString &api, const QString &why);
// A short line for the status bar.
QString statusText(const QString &api, const QString &why);
} // namespace MidiSystemAdvice
