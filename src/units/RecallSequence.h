#pragma once

#include "units/RecallPlan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

class MidiOutputPort;
class OutputRig;

// Sends a recall plan to the output ports. A plan without pauses goes out at once, in one
// go; one with pauses goes out from a timer, so neither the window nor MIDI thru ever
// waits for a unit. A new plan cancels what is left of the one before: once the player
// has chosen the next song, the rest of the old one would only switch units back.
//
// Each message goes to its unit's port, never to another. What is due at one moment is
// handed to all ports together, so that it leaves in one cycle on all of them. A port
// that is closed, or that fails, loses the rest of its messages of this recall; the
// other ports still get theirs.
//
// Threading: GUI thread only.
class RecallSequence : public QObject
{
    Q_OBJECT
public:
    explicit RecallSequence(MidiOutputPort &output, QObject *parent = nullptr);
    // The units' own ports; without them only messages for the main output go out.
    void setOutputs(const OutputRig *outputs);

    // Starts a song's recall; an empty plan says that nothing goes out for this song.
    void send(QList<PlannedMessage> plan);
    void cancel();
    bool isSending() const { return m_next < m_pending.size(); }
    // What the latest recall has sent so far, in order: with "only when changed" a program
    // change is in it only when it went out, and a cancelled rest is not.
    const QList<PlannedMessage> &sent() const { return m_sent; }

    // What went out on every port, by the recall or any other sender, by the device a unit names.
    ProgramsSentOn programsSentOn() const;
    struct PortPrograms {
        QString device; // empty for the main output
        const ProgramMemory *programs;
    };
    // The same, the main output first, then the units' own ports.
    QList<PortPrograms> lastProgramsOfEveryPort() const;
    // The units' devices whose messages of the latest recall were not sent: their port
    // was missing or failed.
    const QStringList &notReached() const { return m_notReached; }

signals:
    // A program change went out on any port, by whatever sender; what programsSentOn gives changed.
    void programSent();
    // sent() changed.
    void recallSent();
    // The device went away during a pause; the rest of the plan was dropped.
    void outputGone();
    // A send found the device of a unit's own port gone.
    void unitOutputGone(MidiOutputPort *port);
    // The port was closed or its device went during a pause: the rest was not sent.
    void restDropped();

private:
    void sendDue(bool fromTimer);
    MidiOutputPort *portOf(const PlannedMessage &message) const;
    bool restReachesAPort() const;
    void hearUnitPorts();

    MidiOutputPort &m_output;
    const OutputRig *m_outputs = nullptr;
    QList<const MidiOutputPort *> m_lost; // ports that lost the rest of this recall
    QStringList m_notReached;
    QList<PlannedMessage> m_pending;
    qsizetype m_next = 0; // the first message of m_pending not yet sent
    QList<PlannedMessage> m_sent;
    QElapsedTimer m_clock;
    QTimer m_timer;
};
