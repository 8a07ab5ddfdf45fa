#pragma once

#include <QString>

// Quiet looks at which MIDI systems this machine has, for choosing one on its own: the
// libraries' own complaints about a system that is not there stay off the terminal, and
// the caller says in one line what it chose and why.
namespace MidiProbe
{
// Whether the ALSA sequencer can be opened; *why says what stood in the way.
bool alsaSequencer(QString *why);
// Whether a JACK server is running (none is started to find out); *why as above.
bool jackServer(QString *why);
} // namespace MidiProbe
