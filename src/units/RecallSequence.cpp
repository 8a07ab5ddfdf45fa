#include "units/RecallSequence.h"

#include "midi/MidiOut.h"
#include "midi/OutputRig.h"
#include "platform/MidiSystem.h"

#include <QVarLengthArray>

RecallSequence::RecallSequence(MidiOutputPort &output, QObject *parent) : QObject(parent), m_output(output)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { sendDue(true); });
    connect(&output, &MidiOutputPort::programSent, this, &RecallSequence::programSent);
}

void RecallSequence::setOutputs(const OutputRig *outputs)
{
    m_outputs = outputs;
    if (outputs)
        connect(outputs, &OutputRig::devicesChanged, this, &RecallSequence::hearUnitPorts);
    hearUnitPorts();
}

void RecallSequence::hearUnitPorts()
{
    if (!m_outputs)
        return;
    for (const QString &device : m_outputs->devices())
        connect(m_outputs->unitPort(device), &MidiOutputPort::programSent, this, &RecallSequence::programSent,
                Qt::UniqueConnection);
}

QList<RecallSequence::PortPrograms> RecallSequence::lastProgramsOfEveryPort() const
{
    QList<PortPrograms> every{{QString(), &m_output.programsSent()}};
    if (m_outputs)
        for (const QString &device : m_outputs->devices())
            // A unit on the main output's device is told through the main output.
            if (const MidiOutputPort *port = m_outputs->port(device); port && port != &m_output)
                every.append({device, &port->programsSent()});
    return every;
}

ProgramsSentOn RecallSequence::programsSentOn() const
{
    return [this](const QString &port) -> const ProgramMemory & {
        static const ProgramMemory nothingKnown;
        const MidiOutputPort *output = port.isEmpty() ? &m_output
                                       : m_outputs    ? m_outputs->port(port)
                                                      : nullptr;
        return output ? output->programsSent() : nothingKnown;
    };
}

MidiOutputPort *RecallSequence::portOf(const PlannedMessage &message) const
{
    if (message.port.isEmpty())
        return &m_output;
    return m_outputs ? m_outputs->port(message.port) : nullptr;
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
    m_lost.clear();
    m_notReached.clear();
    emit recallSent();
    m_pending = std::move(plan);
    m_clock.start();
    sendDue(false);
}

namespace
{
// Holds every port's sends while the due messages of several ports are handed over, so
// that they leave in one cycle.
class HoldAcrossPorts
{
public:
    HoldAcrossPorts(MidiOutputPort &port, bool on) : m_port(on ? &port : nullptr)
    {
        if (m_port)
            m_port->holdSends(true);
    }
    ~HoldAcrossPorts()
    {
        if (m_port)
            m_port->holdSends(false);
    }

private:
    MidiOutputPort *m_port;
};

quint32 packed(const PlannedMessage &message)
{
    return quint32(message.status) | quint32(message.data1) << 8 | quint32(message.data2) << 16;
}
} // namespace

void RecallSequence::sendDue(bool fromTimer)
{
    const qint64 elapsed = m_clock.elapsed();
    const qsizetype first = m_next;
    while (isSending() && m_pending.at(m_next).atMs <= elapsed)
        ++m_next;
    // The ports of what is due, in the order the plan first names them.
    QVarLengthArray<MidiOutputPort *, 4> ports;
    for (qsizetype n = first; n < m_next; ++n)
        if (MidiOutputPort *port = portOf(m_pending.at(n)); !ports.contains(port))
            ports.append(port);

    QVarLengthArray<const MidiOutputPort *, 4> took;
    bool mainDropped = false;
    bool mainGone = false;
    std::exception_ptr refusal;
    {
        const HoldAcrossPorts hold(m_output, ports.size() > 1);
        for (MidiOutputPort *port : ports) {
            if (m_lost.contains(port))
                continue;
            if (!port || !port->IsOpen()) {
                // A closed port sends nothing, as a burst would not; nor does it later in this recall.
                m_lost.append(port);
                mainDropped |= port == &m_output;
                continue;
            }
            QVarLengthArray<quint32, 256> due;
            for (qsizetype n = first; n < m_next; ++n)
                if (portOf(m_pending.at(n)) == port)
                    due.append(packed(m_pending.at(n)));
            try {
                port->SendShorts(due);
                took.append(port);
            } catch (const MidiOutputError &) {
                // A refused send ends that port's part of the recall there, as a burst would end.
                m_lost.append(port);
                const bool gone = port->Error() == MidiResult::NoDevice;
                if (port == &m_output) {
                    // From send() the caller hears of it, as it would of a burst.
                    mainGone = gone && fromTimer;
                    if (!mainGone && !refusal)
                        refusal = std::current_exception();
                } else if (gone) {
                    emit unitOutputGone(port);
                } else if (!refusal) {
                    refusal = std::current_exception();
                }
            }
        }
    }
    for (qsizetype n = first; n < m_next; ++n) {
        const PlannedMessage &message = m_pending.at(n);
        if (took.contains(portOf(message)))
            m_sent.append(message);
        else if (!message.port.isEmpty() && !m_notReached.contains(message.port))
            m_notReached.append(message.port);
    }
    if (!took.isEmpty())
        emit recallSent();
    const bool dropped = fromTimer && (mainGone || mainDropped);
    if (restReachesAPort())
        m_timer.start(int(m_pending.at(m_next).atMs - elapsed));
    else
        cancel();
    if (mainGone)
        emit outputGone();
    if (dropped)
        emit restDropped();
    if (refusal)
        std::rethrow_exception(refusal);
}

bool RecallSequence::restReachesAPort() const
{
    for (qsizetype n = m_next; n < m_pending.size(); ++n)
        if (!m_lost.contains(portOf(m_pending.at(n))))
            return true;
    return false;
}
