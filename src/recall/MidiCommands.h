#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class ActivityLeds;
class QListWidget;
class SpinEdit;
class MidiOutputPort;
class OutputRig;

// The one-shot MIDI commands: a controller value chosen by hand, System Reset, All Notes
// off and Panic. With the output closed each shows the closed-port notice instead.
// System Reset, All Notes off and Panic go to every open output of the rig: a hung note
// may be on any unit.
class MidiCommands : public QObject
{
    Q_OBJECT
public:
    struct Controls {
        QListWidget *lbControl = nullptr; // controller names; row = controller number
        SpinEdit *seSecond = nullptr;     // value 0..127
        SpinEdit *MidiSendCh = nullptr;   // channel 1..16
    };

    MidiCommands(MidiOutputPort &out, ActivityLeds &leds, Controls controls,
                 std::function<QString()> outputState, QObject *parent = nullptr);

    // The units' own ports, which the rig-wide commands reach too.
    void setOutputs(const OutputRig *outputs) { m_outputs = outputs; }

    static inline const QString NoControllerChosen = QStringLiteral("Choose a controller in the list first.");

public slots:
    void sendControllerData();
    void sendSystemReset();
    void sendAllNotesOff();
    // Sustain off, All Sound Off and All Notes Off on every channel, for a hung note that
    // the channel-1 "All Notes off" does not reach.
    void sendPanic();

private:
    bool outputReady();
    void toEveryOutput(const std::function<void(MidiOutputPort &)> &send);

    MidiOutputPort &m_out;
    const OutputRig *m_outputs = nullptr;
    ActivityLeds &m_leds;
    Controls m_controls;
    std::function<QString()> m_outputState;
};
