#include "IncomingMidi.h"

#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "widgets/ActivityLeds.h"

#include <QCheckBox>
#include <QListWidget>
#include <utility>

namespace
{
constexpr quint8 ProgramChange = 0xC0;
}

IncomingMidi::IncomingMidi(TMidiInput &in, TMidiOutput &out, ActivityLeds &leds, QListWidget *songList,
                           QCheckBox *ckbRemote, Hooks hooks, QObject *parent)
    : QObject(parent), m_in(in), m_out(out), m_leds(leds), m_songList(songList), m_ckbRemote(ckbRemote),
      m_hooks(std::move(hooks))
{
}

void IncomingMidi::MidiInMidiInput()
{
    // An error while passing an event on ends the loop; what is still waiting stays in
    // the ring until the port's next notice.
    while (m_in.PendingCount() > 0) {
        m_holdBack = false;
        const std::unique_ptr<TMyMidiEvent> event = m_in.ReadEvent();
        if (!event)
            break;
        if (m_out.IsOpen() && !std::exchange(m_holdBack, false))
            m_out.SendEvent(*event);
        m_leds.lightIn();
    }
}

void IncomingMidi::MidiInMidiMessage()
{
    const quint8 status = m_in.LastStatus();
    const quint8 data1 = m_in.LastData1();
    if (m_hooks.showInput)
        m_hooks.showInput(status, data1, m_in.LastData2());
    const bool keepOut = m_hooks.keepRemoteOut && m_hooks.keepRemoteOut();
    if (m_hooks.footSwitch && m_hooks.footSwitch(status, data1, m_in.LastData2())) {
        m_holdBack = keepOut;
        m_leds.lightIn();
        return;
    }

    if (!m_ckbRemote->isChecked())
        return;
    if (status != ProgramChange + m_hooks.remoteChannel() - 1)
        return;
    m_holdBack = keepOut;
    if (data1 > m_songList->count() - 1)
        return;
    m_hooks.selectSong(data1);
    m_leds.lightIn();
}

void IncomingMidi::MidiOutmidioutput()
{
    m_leds.lightOut();
}
