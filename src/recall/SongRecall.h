#pragma once

#include "units/RecallPlan.h"

#include <QList>
#include <QObject>

class ActivityLeds;
class RecallSequence;
class MidiOutputPort;
class OutputRig;
struct SongControls;
struct UnitRig;

// Sends the current song, as the song controls show it at this moment, to the output
// port: for every active strip a program change on the strip's channel and, where the
// strip asks for it, the controller block on that channel too.
//
// A strip that sends the block and has Bank switched on sends its bank select right
// before its program change: units apply a bank select at the next program change, so
// the program change must find it already there. The rest of the block follows the
// program change. Values typed out of a field's range are brought into it first, and
// no data byte above 127 goes out (bank 128 sends 127). A user row switched on with no
// controller chosen sends nothing.
//
// A strip whose unit has a profile in the rig sends its bank, its program change and
// the pause before its block as the profile says; a recall with pauses goes out over
// time, and the next recall cancels what is left of it.
//
// With every output closed a recall sends nothing, shows nothing and lights nothing.
// A send the port refuses raises its error, which ends the recall there; a device that is
// no longer there ends it with outputGone instead.
//
// Threading: GUI thread only.
class SongRecall : public QObject
{
    Q_OBJECT
public:
    // Hangs the recall on the program numbers of strips 1 to 8, so the controls must
    // have been made and entered in `controls` before.
    SongRecall(const SongControls &controls, MidiOutputPort &output, ActivityLeds &leds,
               QObject *parent = nullptr);

public slots:
    // The units' profiles and the song's banks; without them every strip recalls plainly.
    void setUnits(const UnitRig *rig) { m_units = rig; }
    const UnitRig *units() const { return m_units; }
    // The units' own ports: a strip whose unit is bound to a device sends there.
    void setOutputs(const OutputRig *outputs);
    RecallSequence &sequence() { return *m_sequence; }

    // The whole song.
    void recallSong();
    // The controller block, less the bank select, on `channel` (1..16).
    void sendControllerBlock(int channel);
    // A program number of strips 1 to 8 changed, by hand or by the program; not while a
    // song is being loaded.
    void programFieldChanged();
    // While a song loads its program numbers send nothing: the load sends the whole song
    // once, when it has set every field.
    void setLoading(bool loading) { m_loading = loading; }

signals:
    void outputGone();
    // A send found the device of a unit's own port gone.
    void unitOutputGone(MidiOutputPort *port);
    // A recall going out over time lost its port before its end.
    void restDropped();

private:
    void sendSong();
    bool anyOutputOpen() const;

    const SongControls &m_controls;
    MidiOutputPort &m_output;
    ActivityLeds &m_leds;
    const UnitRig *m_units = nullptr;
    const OutputRig *m_outputs = nullptr;
    bool m_loading = false;
    RecallSequence *m_sequence;
    // Filled anew by every recall; the sequence lets go of it once the plan is sent.
    QList<PlannedMessage> m_plan;
};
