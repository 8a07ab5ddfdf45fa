#include "units/RecallSequence.h"

#include "midi/MidiOut.h"
#include "platform/MidiSystem.h"

#include <QVarLengthArray>

RecallSequence::RecallSequence(MidiOutputPort &output, QObject *parent) : QObject(parent), m_output(output)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { sendDue(true); });
    connect(&output, &MidiOutputPort::programSent, this, &RecallSequence::programSent);
}

const ProgramMemory &RecallSequence::lastPrograms() const
{
    return m_output.programsSent();
}

void RecallSequence::cancel()
{
    m_timer.stop();
    // Let go of the plan rather than clear it: its owner may fill the same list again.
    m_pending = {};
    m_next = 0;
}

void RecallSequence::send(QList<PlannedMessage> plan)
{
    cancel();
    // Cleared, not let go of: the next recall fills the same storage.
    m_sent.clear();
    emit recallSent();
    m_pending = std::move(plan);
    m_clock.start();
    sendDue(false);
}

void RecallSequence::sendDue(bool fromTimer)
{
    // The port was closed during a pause: a closed port sends nothing, as a burst would not.
    if (!m_output.IsOpen()) {
        const bool dropped = fromTimer && isSending();
        cancel();
        if (dropped)
            emit restDropped();
        return;
    }
    const qint64 elapsed = m_clock.elapsed();
    // What is due goes to the port in one go, so that it leaves in one cycle.
    QVarLengthArray<quint32, 256> due;
    const qsizetype first = m_next;
    for (; isSending() && m_pending.at(m_next).atMs <= elapsed; ++m_next) {
        const PlannedMessage &message = m_pending.at(m_next);
        due.append(quint32(message.status) | quint32(message.data1) << 8 | quint32(message.data2) << 16);
    }
    if (!due.isEmpty()) {
        try {
            m_output.SendShorts(due);
        } catch (const MidiOutputError &) {
            // A refused send ends the recall there, as a burst would end.
            cancel();
            // From send() the caller hears of it, as it would of a burst.
            if (!fromTimer || m_output.Error() != MidiResult::NoDevice)
                throw;
            emit outputGone();
            emit restDropped();
            return;
        }
        for (qsizetype n = first; n < m_next; ++n)
            m_sent.append(m_pending.at(n));
        emit recallSent();
    }
    if (isSending())
        m_timer.start(int(m_pending.at(m_next).atMs - elapsed));
    else
        cancel();
}
