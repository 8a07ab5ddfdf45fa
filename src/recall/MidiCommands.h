#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class ActivityLeds;
class QListWidget;
class SpinEdit;
class MidiOutputPort;

// The one-shot MIDI commands: a controller value chosen by hand, System Reset, All Notes
// off and Panic. With the output closed each shows the closed-port notice instead.
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

    MidiOutputPort &m_out;
    ActivityLeds &m_leds;
    Controls m_controls;
    std::function<QString()> m_outputState;
};
