#include "recall/SongRecall.h"

#include "platform/GuardedConnect.h"

#include "midi/MidiOut.h"
#include "platform/MidiSystem.h"
#include "songs/SongControls.h"
#include "widgets/ActivityLeds.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>

#include <algorithm>

namespace
{
constexpr quint8 ProgramChange = 0xC0;
constexpr quint8 ControlChange = 0xB0;
constexpr quint8 VolumeController = 7;
constexpr quint8 BankController = 32;
constexpr quint8 PanController = 10;
constexpr int MaxDataByte = 127;

// A field's value as it would read once the user leaves it.
int inRange(const SpinEdit *field)
{
    return std::clamp(field->value(), field->minimum(), field->maximum());
}

// Fields count from 1 as the user does, the wire from 0.
quint8 dataByte(int valueFromOne)
{
    return static_cast<quint8>(std::clamp(valueFromOne - 1, 0, MaxDataByte));
}

int channelOf(const SpinEdit *field)
{
    return std::clamp(inRange(field), 1, 16);
}
} // namespace

SongRecall::SongRecall(const SongControls &controls, TMidiOutput &output, ActivityLeds &leds, QObject *parent)
    : QObject(parent), m_controls(controls), m_output(output), m_leds(leds)
{
    for (int n = 0; n < 8; ++n)
        connectGuarded(controls.strips[n].program, &SpinEdit::changed, this, &SongRecall::spp1Change);
}

void SongRecall::spp1Change()
{
    MyPrgChange();
}

void SongRecall::MyPrgChange()
{
    if (!m_output.IsOpen())
        return;
    try {
        sendSong();
    } catch (const EmidioutputError &) {
        // The unit went before the MIDI system said so: one word to the owner instead of
        // an error for this and every later message of the song.
        if (m_output.Error() != MidiResult::NoDevice)
            throw;
        emit outputGone();
    }
}

void SongRecall::sendSong()
{
    m_leds.lightOut();
    for (const ChannelStrip &strip : m_controls.strips) {
        if (!strip.active->isChecked())
            continue;
        const int channel = channelOf(strip.channel);
        const bool withBlock = strip.controllerData->isChecked();
        if (withBlock && m_controls.bank.on->isChecked())
            sendBank(channel);
        m_output.SendShort(ProgramChange + channel - 1, dataByte(inRange(strip.program)), 0);
        if (withBlock)
            MoreEdit(channel);
    }
}

void SongRecall::sendBank(int channel)
{
    // The bank goes out as shown, not less one; only 128 has no data byte of its own.
    const int bank = std::min(inRange(m_controls.bank.value), MaxDataByte);
    m_output.SendShort(ControlChange + channel - 1, BankController, static_cast<quint8>(std::max(bank, 0)));
}

void SongRecall::MoreEdit(int channel)
{
    if (!m_output.IsOpen())
        return;
    m_leds.lightOut();
    const quint8 status = ControlChange + std::clamp(channel, 1, 16) - 1;
    if (m_controls.volume.on->isChecked())
        m_output.SendShort(status, VolumeController, dataByte(inRange(m_controls.volume.value)));
    if (m_controls.pan.on->isChecked())
        m_output.SendShort(status, PanController, dataByte(inRange(m_controls.pan.value)));
    for (const ControllerRow &row : m_controls.user) {
        if (!row.on->isChecked())
            continue;
        const int controller = row.controller->currentIndex();
        if (controller < 0 || controller > MaxDataByte)
            continue;
        m_output.SendShort(status, static_cast<quint8>(controller), dataByte(inRange(row.value)));
    }
}
