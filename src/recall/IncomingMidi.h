#pragma once

#include "platform/MidiSystem.h"

#include <QObject>
#include <functional>

class ActivityLeds;
class MidiSystem;
class QCheckBox;
class QListWidget;
class MidiInputPort;
class MidiOutputPort;

// What happens to MIDI that arrives at the input port: every event is passed on to the
// output unchanged (MIDI thru); each short message is shown in the mixer's input row
// and, with "Remote on", a program change on the remote channel moves the song list's
// selection to the song of that number, without loading or sending it.
//
// Nothing arriving at the input opens a dialog: a message that cannot be passed on (the
// output refuses it, or handling it failed) is counted in thruStatus(), which empties
// again when a later message goes out.
//
// Where the MIDI system forwards by itself (routeThru) thru runs on its thread and never
// waits for the window; what is read here is then a copy, for everything but the sending.
// Which messages stay out of thru is the system's thru gate, read here as well.
class IncomingMidi : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        // The main window's remote channel, 1..16.
        std::function<int()> remoteChannel;
        // The mixer's input row (it decides itself whether it shows the message).
        std::function<void(quint8 status, quint8 data1, quint8 data2)> showInput;
        // Moves the song list's selection without running its click action.
        std::function<void(int row)> selectSong;
        // Every SysEx message that arrives, whole, and the input it came in on (the rig
        // check takes its replies here).
        std::function<void(const QByteArray &sysex, const MidiInputPort &from)> sysexReceived;
        // The foot-controller bindings; true when the message was theirs.
        std::function<bool(quint8 status, quint8 data1, quint8 data2)> footSwitch;
    };

    IncomingMidi(MidiSystem &system, MidiInputPort &in, MidiOutputPort &out, ActivityLeds &leds,
                 QListWidget *songList, QCheckBox *ckbRemote, Hooks hooks, QObject *parent = nullptr);

    // Which input this reads, as the thru gate numbers them: 0 the main input, 1.. an extra
    // one, whose rules say whether it is forwarded and whether remote and the foot switches
    // hear it. Only the main input's reader takes in the system's thru report.
    void setSource(int source);
    int source() const { return m_source; }

    // While the output feeds the input, thru would send every event round for ever. A
    // system that forwards by itself keeps only the echoes back, so it is never suspended.
    void setThruSuspended(bool on) { m_thruSuspended = on && !m_systemForwards; }
    // Hands thru to the MIDI system when the ports changed; whether it forwards by itself.
    bool routeThru();
    // Takes in what the system's own thru reports: refusals, a loop heard. True when it
    // refused messages since the last look.
    bool takeThruReport();
    bool loopHeard() const { return m_loopHeard; }
    // "MIDI thru: 3 messages not sent: <reason>", or empty while everything goes out.
    QString thruStatus() const;

signals:
    void thruStatusChanged();
    void loopHeardChanged();

public slots:
    void readInput();
    void handleIncomingMessage();
    void lightOutputLed();

private:
    void notPassedOn(const QString &reason);
    void passedOn();
    void handleMessage();
    void showLastInput();
    // Runs the action; an error it raises is counted, never shown in a dialog.
    template <typename Action> bool attempt(Action &&action);

    MidiSystem &m_system;
    int m_source = 0;
    MidiInHandle m_routedIn = 0;
    MidiOutHandle m_routedOut = 0;
    bool m_systemForwards = false;
    quint64 m_systemNotSent = 0; // the system's count as last taken in
    bool m_loopHeard = false;
    bool m_reading = false;
    quint64 m_notSent = 0;
    QString m_reason;
    MidiInputPort &m_in;
    MidiOutputPort &m_out;
    ActivityLeds &m_leds;
    QListWidget *m_songList;
    QCheckBox *m_ckbRemote;
    Hooks m_hooks;
    // Set by the message handler for the event being read: it is not passed on.
    bool m_holdBack = false;
    bool m_thruSuspended = false;
    // The mixer's input row shows the last short message of a drain: written once per
    // drain, not per message, it reads the same to anyone watching.
    bool m_inputRowDue = false;
    quint8 m_inputRow[3] = {};
};
