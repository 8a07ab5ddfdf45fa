#pragma once

#include "midi/ProgramMemory.h"

#include <QList>
#include <QString>

struct SongControls;
struct UnitRig;

// One message of a recall and when it goes out, counted from the start of the recall.
struct PlannedMessage {
    int atMs = 0;
    quint8 status = 0;
    quint8 data1 = 0;
    quint8 data2 = 0;
    QString unit; // the strip's unit name, for the preview

    bool isProgramChange() const { return (status & 0xF0) == 0xC0; }
    int channel() const { return (status & 0x0F) + 1; }
    // "Ch 3 Program 11 (JV-1080)", "Ch 3 CC 7 Volume 99": the channel counts 1-16 as units
    // label it, every other number is the byte as it goes out.
    QString decoded() const;
    // "C2 0B": the bytes on the wire (a program change has no second data byte).
    QString hex() const;
    bool operator==(const PlannedMessage &) const = default;
};

// Everything the current song's recall sends, in order: for every active strip its bank
// select as its unit wants it, its program change and, where the strip asks for it, the
// controller block, after the unit's pause. Without `rig`, or for a strip whose unit has
// no profile, the bytes are those the program always sent. A unit that wants its program
// change only when it changed is compared with what `last` says its channel plays.
QList<PlannedMessage> buildRecallPlan(const SongControls &controls, const UnitRig *rig,
                                      const ProgramMemory &last);
// The same into `plan`, replacing what it held, for sending: a list kept for the next
// recall keeps its storage, and a recall allocates nothing that large again. The messages'
// unit names, which only a preview shows, are left empty.
void buildRecallPlan(const SongControls &controls, const UnitRig *rig, const ProgramMemory &last,
                     QList<PlannedMessage> &plan);

// The controller block, less the bank select, on `channel` (1..16).
QList<PlannedMessage> controllerBlock(const SongControls &controls, int channel);

// Whether the plan needs a timer, or can go out at once.
bool hasPauses(const QList<PlannedMessage> &plan);
