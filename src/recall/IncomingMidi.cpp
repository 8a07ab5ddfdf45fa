#include "IncomingMidi.h"

#include "midi/MidiBytes.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/AppException.h"
#include "platform/MidiDeviceSystem.h"
#include "widgets/ActivityLeds.h"

#include <QCheckBox>
#include <QListWidget>
#include <QScopedValueRollback>
#include <algorithm>
#include <utility>

IncomingMidi::IncomingMidi(MidiSystem &system, MidiInputPort &in, MidiOutputPort &out, ActivityLeds &leds,
                           QListWidget *songList, QCheckBox *ckbRemote, Hooks hooks, QObject *parent)
    : QObject(parent), m_system(system), m_in(in), m_out(out), m_leds(leds), m_songList(songList),
      m_ckbRemote(ckbRemote), m_hooks(std::move(hooks))
{
}

namespace
{
// What a drain passes on is handed to the output in one go when the drain ends, not on
// the event loop's next pass: that pass would cost a second wake-up for every input one.
class SendHold
{
public:
    explicit SendHold(MidiOutputPort &out) : m_out(out) { m_out.holdSends(true); }
    ~SendHold() { m_out.holdSends(false); }
    SendHold(const SendHold &) = delete;
    SendHold &operator=(const SendHold &) = delete;

private:
    MidiOutputPort &m_out;
};
} // namespace

template <typename Action> bool IncomingMidi::attempt(Action &&action)
{
    try {
        action();
        return true;
    } catch (const AppException &e) {
        notPassedOn(e.message());
    } catch (const std::exception &e) {
        notPassedOn(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void IncomingMidi::readInput()
{
    // A dialog's event loop (opened by whatever) could call us again while we pass an
    // event on; the call already reading goes on with what waits.
    if (m_reading)
        return;
    routeThru();
    bool forwarded = false;
    {
        const QScopedValueRollback<bool> reading(m_reading, true);
        const SendHold hold(m_out);
        // One event for the whole drain: a short message costs no allocation.
        MidiEvent event;
        const bool inputForwarded =
            m_source == 0 || m_system.thruGate().rules().inputs[size_t(m_source)].thru;
        bool lit = false;
        while (m_in.PendingCount() > 0) {
            m_holdBack = false;
            // A failed read leaves its event in the ring for the port's next notice.
            bool read = false;
            if (!attempt([&] { read = m_in.ReadEvent(event); }) || !read)
                break;
            // Only the event loop puts the lamp out, and the drain does not return to it:
            // lit once, it stays lit for every event of the drain.
            if (!std::exchange(lit, true))
                m_leds.lightIn();
            const bool passes =
                m_out.IsOpen() && inputForwarded && !m_thruSuspended && !std::exchange(m_holdBack, false);
            if (passes && m_systemForwards) {
                m_out.noteForwarded(event);
                forwarded = true;
                if (event.SysexData)
                    m_leds.lightOut();
            } else if (passes && attempt([&] { m_out.SendEvent(event); })) {
                passedOn();
            }
            if (event.SysexData && m_hooks.sysexReceived)
                m_hooks.sysexReceived(
                    QByteArray(reinterpret_cast<const char *>(event.SysexData.get()), event.SysexLength),
                    m_in);
        }
    }
    showLastInput();
    if (!takeThruReport() && forwarded)
        passedOn();
}

void IncomingMidi::setSource(int source)
{
    if (source == m_source)
        return;
    // The route under the old number ends; the next look routes under the new one.
    if (m_systemForwards && m_source > 0)
        m_system.routeExtraThru(m_source, 0, 0);
    m_source = source;
    m_routedIn = 0;
    m_routedOut = 0;
    m_systemForwards = false;
}

bool IncomingMidi::routeThru()
{
    const MidiInHandle in = m_in.systemHandle();
    const MidiOutHandle out = m_out.systemHandle();
    if (in == m_routedIn && out == m_routedOut)
        return m_systemForwards;
    m_routedIn = in;
    m_routedOut = out;
    m_systemForwards =
        m_source == 0 ? m_system.routeThru(in, out) : m_system.routeExtraThru(m_source, in, out);
    return m_systemForwards;
}

bool IncomingMidi::takeThruReport()
{
    if (!m_systemForwards || m_source != 0)
        return false;
    const MidiSystem::ThruReport report = m_system.thruReport();
    if (report.loopHeard != std::exchange(m_loopHeard, report.loopHeard))
        emit loopHeardChanged();
    if (report.notSent <= m_systemNotSent)
        return false;
    m_notSent += report.notSent - m_systemNotSent - 1;
    m_systemNotSent = report.notSent;
    notPassedOn(m_system.failureText(report.lastRefusal));
    return true;
}

void IncomingMidi::notPassedOn(const QString &reason)
{
    ++m_notSent;
    m_reason = reason;
    emit thruStatusChanged();
}

void IncomingMidi::passedOn()
{
    if (m_notSent == 0)
        return;
    m_notSent = 0;
    m_reason.clear();
    emit thruStatusChanged();
}

QString IncomingMidi::thruStatus() const
{
    if (m_notSent == 0)
        return {};
    const QString count =
        m_notSent == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(m_notSent);
    return QStringLiteral("MIDI thru: %1 not sent: %2").arg(count, m_reason);
}

// Called from inside reading an event: an error here must not leave that event unread.
void IncomingMidi::handleIncomingMessage()
{
    attempt([this] { handleMessage(); });
}

void IncomingMidi::handleMessage()
{
    const quint8 status = m_in.LastStatus();
    const quint8 data1 = m_in.LastData1();
    const quint8 data2 = m_in.LastData2();
    if (m_hooks.showInput) {
        m_inputRow[0] = status;
        m_inputRow[1] = data1;
        m_inputRow[2] = data2;
        m_inputRowDue = true;
        if (!m_reading)
            showLastInput();
    }
    // Decided before a switch is learnt from it: the system's thru decided the same way.
    const quint8 bytes[3] = {status, data1, data2};
    const MidiThruGate &gate = m_system.thruGate();
    m_holdBack = gate.keepsBack(bytes, size_t(std::max(midiShortMessageLength(status), 1)), m_source);
    if (gate.switchesHear(m_source) && m_hooks.footSwitch && m_hooks.footSwitch(status, data1, data2)) {
        m_leds.lightIn();
        return;
    }

    if (!gate.remoteHears(m_source) || !m_ckbRemote->isChecked())
        return;
    if (status != MidiStatus::ProgramChange + m_hooks.remoteChannel() - 1)
        return;
    if (data1 > m_songList->count() - 1)
        return;
    m_hooks.selectSong(data1);
    m_leds.lightIn();
}

void IncomingMidi::showLastInput()
{
    if (!std::exchange(m_inputRowDue, false))
        return;
    attempt([this] { m_hooks.showInput(m_inputRow[0], m_inputRow[1], m_inputRow[2]); });
}

void IncomingMidi::lightOutputLed()
{
    m_leds.lightOut();
}
