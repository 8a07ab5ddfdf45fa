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
class TfMidiUnit : public QWidget
{
    Q_OBJECT
public:
    static constexpr int FaderCount = 10;

    explicit TfMidiUnit(const MixerLinks &links, QWidget *parent = nullptr);
    ~TfMidiUnit() override;

    // The main window calls this for every incoming short message. Writes the input row
    // while "Show MIDI Input" is checked; the event is then named from the input port.
    void showInput(quint8 status, quint8 data1, quint8 data2);

    Fader *fader(int number) const { return m_faders[number - 1]; }
    FaderTab *faderTab(int number) const { return m_tabs[number - 1]; }
    FaderChannel &channel(int number) const { return *m_channels[number - 1]; }

    void Fader1Change();
    void fader2Change();
    void fader3Change();
    void fader4Change();
    void fader5Change();
    void fader6Change();
    void fader7Change();
    void fader8Change();
    void fader9Change();
    void fader10Change();
    void cbUser1Change();
    void cbUser2Change();
    void cbUser3Change();
    void cbUser4Change();
    void cbUser5Change();
    void cbUser6Change();
    void cbUser7Change();
    void cbUser8Change();
    void cbUser9Change();
    void cbUser10Change();
    void edMessageChange();
    void Button1Click();
    void Button2Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

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
