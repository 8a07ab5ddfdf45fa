#include "units/RecallSequence.h"

#include "midi/MidiOut.h"
#include "platform/MidiSystem.h"

RecallSequence::RecallSequence(TMidiOutput &output, QObject *parent) : QObject(parent), m_output(output)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { sendDue(true); });
    connect(&output, &TMidiOutput::programSent, this, &RecallSequence::programSent);
}

const ProgramMemory &RecallSequence::lastPrograms() const
{
    return m_output.programsSent();
}

void RecallSequence::cancel()
{
    m_timer.stop();
    m_pending.clear();
}

void RecallSequence::send(QList<PlannedMessage> plan)
{
    cancel();
    m_pending = std::move(plan);
    m_clock.start();
    sendDue(false);
}

void RecallSequence::sendDue(bool fromTimer)
{
    // The port was closed during a pause: a closed port sends nothing, as a burst would not.
    if (!m_output.IsOpen()) {
        const bool dropped = fromTimer && !m_pending.isEmpty();
        cancel();
        if (dropped)
            emit restDropped();
        return;
    }
    const qint64 elapsed = m_clock.elapsed();
    while (!m_pending.isEmpty() && m_pending.first().atMs <= elapsed) {
        const PlannedMessage message = m_pending.takeFirst();
        try {
            m_output.SendShort(message.status, message.data1, message.data2);
        } catch (const EmidioutputError &) {
            // A refused send ends the recall there, as a burst would end.
            cancel();
            // From send() the caller hears of it, as it would of a burst.
            if (!fromTimer || m_output.Error() != MidiResult::NoDevice)
                throw;
            emit outputGone();
            emit restDropped();
            return;
        }
    }
    if (!m_pending.isEmpty())
        m_timer.start(int(m_pending.first().atMs - elapsed));
}
