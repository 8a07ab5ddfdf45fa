#pragma once

#include <QString>

class MidiSystem;

// The text of --list-devices: the MIDI system and its numbered devices, as the ports
// number them, then the extra inputs the settings file at `settingsPath` keeps, if any.
QString deviceListing(MidiSystem &system, const QString &settingsPath = QString());
