#pragma once

#include "MixerLinks.h"

#include <QWidget>
#include <array>
#include <memory>

class ConvertTool;
class EventDisplay;
class Fader;
class FaderChannel;
class FaderTab;
class QPushButton;
class SpinEdit;
class QTabWidget;

// The MIDI mixer window: ten faders that each send a configurable channel message, a
// monitor of the last incoming and outgoing message, and a number converter.
// Created once with the main window; closing only hides it, so a set-up made during
// a show survives until the program ends. Nothing of it is saved.
class MixerWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int FaderCount = 10;

    explicit MixerWindow(const MixerLinks &links, QWidget *parent = nullptr);
    ~MixerWindow() override;

    // The main window calls this for every incoming short message. Writes the input row
    // while "Show MIDI Input" is checked; the event is then named from the input port.
    void showInput(quint8 status, quint8 data1, quint8 data2);
    // The input row is on screen and filled: the window shows and "Show MIDI Input" is on.
    bool showsInput() const;

    Fader *fader(int number) const { return m_faders[number - 1]; }
    FaderTab *faderTab(int number) const { return m_tabs[number - 1]; }
    FaderChannel &channel(int number) const { return *m_channels[number - 1]; }

    void fader1Moved();
    void fader2Moved();
    void fader3Moved();
    void fader4Moved();
    void fader5Moved();
    void fader6Moved();
    void fader7Moved();
    void fader8Moved();
    void fader9Moved();
    void fader10Moved();
    void eventType1Chosen();
    void eventType2Chosen();
    void eventType3Chosen();
    void eventType4Chosen();
    void eventType5Chosen();
    void eventType6Chosen();
    void eventType7Chosen();
    void eventType8Chosen();
    void eventType9Chosen();
    void eventType10Chosen();
    void showInputEventName();
    void closeMixer();
    void convertNumber();

signals:
    void showsInputChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildTopBand();
    QWidget *buildFaderRow();
    void connectHandlers();
    void faderChange(int index);

    MixerLinks m_links;
    SpinEdit *MidiSendCh;
    EventDisplay *m_display;
    ConvertTool *m_convert;
    QTabWidget *PageControl1;
    QPushButton *Button1;
    std::array<FaderTab *, FaderCount> m_tabs{};
    std::array<Fader *, FaderCount> m_faders{};
    std::array<std::unique_ptr<FaderChannel>, FaderCount> m_channels;
    bool m_placed = false;
};
