#pragma once

#include <QString>

class MidiSystem;

// The text of --list-devices: the MIDI system and its numbered devices, as the ports
// number them.
QString deviceListing(MidiSystem &system);
