#pragma once

#include <QString>

class MidiSystem;
class UnitProfiles;

// The text of --list-devices: the MIDI system and its numbered devices, as the ports
// number them, and the output each unit with a profile is bound to.
QString deviceListing(MidiSystem &system, const UnitProfiles &units);
