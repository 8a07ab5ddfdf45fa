#pragma once

#include "platform/MidiSystem.h"

// The input callback: called on the driver thread with the control record's address as
// instance value. Stores each message in the record's ring and wakes the GUI thread once
// when the ring turns non-empty; a message that finds the ring full is counted and
// reported the same way.
//
// Threading: driver thread only, one call at a time per record. It allocates nothing,
// takes no lock and touches only the record, its ring and the receive buffer handed in.
void midiHandler(MidiInHandle handle, quint32 message, quintptr instance, quintptr param1, quintptr param2);
