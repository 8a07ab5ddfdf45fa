#include "recall/SongRecall.h"

#include "platform/GuardedConnect.h"

#include "midi/MidiOut.h"
#include "midi/OutputRig.h"
#include "platform/MidiSystem.h"
#include "songs/SongControls.h"
#include "units/RecallPlan.h"
#include "units/RecallSequence.h"
#include "widgets/ActivityLeds.h"
#include "widgets/SpinEdit.h"

SongRecall::SongRecall(const SongControls &controls, MidiOutputPort &output, ActivityLeds &leds,
                       QObject *parent)
    : QObject(parent), m_controls(controls), m_output(output), m_leds(leds),
      m_sequence(new RecallSequence(output, this))
{
    for (int n = 0; n < 8; ++n)
        connectGuarded(controls.strips[n].program, &SpinEdit::changed, this,
                       &SongRecall::programFieldChanged);
    connect(m_sequence, &RecallSequence::outputGone, this, &SongRecall::outputGone);
    connect(m_sequence, &RecallSequence::restDropped, this, &SongRecall::restDropped);
    connect(m_sequence, &RecallSequence::unitOutputGone, this, &SongRecall::unitOutputGone);
}

void SongRecall::setOutputs(const OutputRig *outputs)
{
    m_outputs = outputs;
    m_sequence->setOutputs(outputs);
}

bool SongRecall::anyOutputOpen() const
{
    return m_outputs ? !m_outputs->openPorts().isEmpty() : m_output.IsOpen();
}

void SongRecall::programFieldChanged()
{
    if (!m_loading)
        recallSong();
}

void SongRecall::recallSong()
{
    // A recall that cannot go out still ends the one before: its rest belongs to a song
    // the player has left, and nothing went out for this one.
    if (!anyOutputOpen()) {
        m_sequence->send({});
        return;
    }
    try {
        sendSong();
    } catch (const MidiOutputError &) {
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
    buildRecallPlan(m_controls, m_units, m_sequence->programsSentOn(), m_plan);
    m_sequence->send(m_plan);
}

void SongRecall::sendControllerBlock(int channel)
{
    if (!m_output.IsOpen())
        return;
    m_leds.lightOut();
    for (const PlannedMessage &message : controllerBlock(m_controls, channel))
        m_output.SendShort(message.status, message.data1, message.data2);
}
