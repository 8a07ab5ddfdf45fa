#pragma once

#include <QStringList>

// The names of the 128 MIDI controllers, indexed by controller number. They are shown
// as the user has always seen them, tabs, doubled blanks and spelling included, since
// the lists that show them are what users find their controllers by.
const QStringList &controllerNames();
