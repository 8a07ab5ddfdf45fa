#pragma once

#include <QMainWindow>

class MidiSystem;

// The main window: the hub that owns the MIDI ports, the song controls and the
// indicators. Each subsystem's behaviour lives in its own class; the handlers here,
// named after the controls they serve, hand over to them.
class tForm1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit tForm1(MidiSystem &midiSystem, QWidget *parent = nullptr);
    ~tForm1() override;

private:
    MidiSystem &m_midiSystem;
};
