#pragma once

#include <QString>

class MidiSystem;
class UnitProfiles;

// The text of --list-devices: the MIDI system and its numbered devices, as the ports
// number them, then the output each unit with a profile is bound to and the extra inputs
// the settings file at `settingsPath` keeps, if any.
QString deviceListing(MidiSystem &system, const UnitProfiles &units, const QString &settingsPath = QString());
