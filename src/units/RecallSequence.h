#pragma once

#include "units/RecallPlan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class MidiOutputPort;

// Sends a recall plan to the output port. A plan without pauses goes out at once, in one
// go; one with pauses goes out from a timer, so neither the window nor MIDI thru ever
// waits for a unit. A new plan cancels what is left of the one before: once the player
// has chosen the next song, the rest of the old one would only switch units back.
//
// Threading: GUI thread only.
class RecallSequence : public QObject
{
    Q_OBJECT
public:
    explicit RecallSequence(MidiOutputPort &output, QObject *parent = nullptr);

    // Starts a song's recall; an empty plan says that nothing goes out for this song.
    void send(QList<PlannedMessage> plan);
    void cancel();
    bool isSending() const { return m_next < m_pending.size(); }
    // What the latest recall has sent so far, in order: with "only when changed" a program
    // change is in it only when it went out, and a cancelled rest is not.
    const QList<PlannedMessage> &sent() const { return m_sent; }

    // What went out on the port, by the recall or any other sender.
    const ProgramMemory &lastPrograms() const;

signals:
    // A program change went out, by whatever sender; lastPrograms changed.
    void programSent();
    // sent() changed.
    void recallSent();
    // The device went away during a pause; the rest of the plan was dropped.
    void outputGone();
    // The port was closed or its device went during a pause: the rest was not sent.
    void restDropped();

private:
    void sendDue(bool fromTimer);

    MidiOutputPort &m_output;
    QList<PlannedMessage> m_pending;
    qsizetype m_next = 0; // the first message of m_pending not yet sent
    QList<PlannedMessage> m_sent;
    QElapsedTimer m_clock;
    QTimer m_timer;
};
