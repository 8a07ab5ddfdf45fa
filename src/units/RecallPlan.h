#pragma once

#include "midi/ProgramMemory.h"

#include <QList>
#include <QString>

#include <functional>

struct SongControls;
struct UnitRig;

// One message of a recall and when it goes out, counted from the start of the recall.
struct PlannedMessage {
    int atMs = 0;
    quint8 status = 0;
    quint8 data1 = 0;
    quint8 data2 = 0;
    QString unit; // the strip's unit name, for the preview
    QString port; // the output device the unit is bound to; empty: the main output

    bool isProgramChange() const { return (status & 0xF0) == 0xC0; }
    int channel() const { return (status & 0x0F) + 1; }
    // "Ch 3 Program 11 (JV-1080)", "Ch 3 CC 7 Volume 99": the channel counts 1-16 as units
    // label it, every other number is the byte as it goes out.
    QString decoded() const;
    // "C2 0B": the bytes on the wire (a program change has no second data byte).
    QString hex() const;
    bool operator==(const PlannedMessage &) const = default;
};

// What an output was last sent, by the device a unit names (empty: the main output).
using ProgramsSentOn = std::function<const ProgramMemory &(const QString &port)>;

// Everything the current song's recall sends, in order: for every active strip its bank
// select as its unit wants it, its program change and, where the strip asks for it, the
// controller block, after the unit's pause. Without `rig`, or for a strip whose unit has
// no profile, the bytes are those the program always sent, to the main output. A unit
// that wants its program change only when it changed is compared with what `last` says
// its channel plays on its port. A pause holds back only its own unit's later messages:
// the plan is in the order of the wire, messages due at the same moment in strip order.
QList<PlannedMessage> buildRecallPlan(const SongControls &controls, const UnitRig *rig,
                                      const ProgramMemory &last);
// The same into `plan`, replacing what it held, for sending: a list kept for the next
// recall keeps its storage, and a recall allocates nothing that large again. The messages'
// unit names, which only a preview shows, are left empty.
void buildRecallPlan(const SongControls &controls, const UnitRig *rig, const ProgramsSentOn &last,
                     QList<PlannedMessage> &plan);
QList<PlannedMessage> buildRecallPlan(const SongControls &controls, const UnitRig *rig,
                                      const ProgramsSentOn &last);

// The controller block, less the bank select, on `channel` (1..16).
QList<PlannedMessage> controllerBlock(const SongControls &controls, int channel);

// Whether the plan needs a timer, or can go out at once.
bool hasPauses(const QList<PlannedMessage> &plan);
