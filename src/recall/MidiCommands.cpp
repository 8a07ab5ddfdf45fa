#include "MidiCommands.h"

#include "midi/MidiBytes.h"
#include "midi/MidiOut.h"
#include "midi/OutputRig.h"
#include "platform/Dialogs.h"
#include "widgets/ActivityLeds.h"
#include "widgets/ClosedPortNotice.h"
#include "widgets/SpinEdit.h"

#include <QListWidget>
#include <algorithm>

namespace
{

quint8 statusOn(quint8 base, int channel)
{
    return quint8(base + std::clamp(channel, 1, 16) - 1);
}
} // namespace

MidiCommands::MidiCommands(MidiOutputPort &out, ActivityLeds &leds, Controls controls,
                           std::function<QString()> outputState, QObject *parent)
    : QObject(parent), m_out(out), m_leds(leds), m_controls(controls), m_outputState(std::move(outputState))
{
}

bool MidiCommands::outputReady()
{
    if (m_out.IsOpen())
        return true;
    ClosedPortNotice::show(m_outputState());
    return false;
}

void MidiCommands::sendControllerData()
{
    if (!outputReady())
        return;
    const int controller = m_controls.lbControl->currentRow();
    if (controller < 0 || !m_controls.lbControl->currentItem()->isSelected()) {
        Dialogs::information(NoControllerChosen);
        return;
    }
    const int value = std::clamp(m_controls.seSecond->value(), 0, 127);
    m_out.SendShort(statusOn(MidiStatus::ControlChange, m_controls.MidiSendCh->value()), quint8(controller),
                    quint8(value));
    m_leds.lightOut();
}

void MidiCommands::sendSystemReset()
{
    toEveryOutput([](MidiOutputPort &out) { out.SendShort(MidiStatus::SystemReset, 0, 0); });
}

void MidiCommands::sendAllNotesOff()
{
    toEveryOutput([](MidiOutputPort &out) {
        out.SendShort(MidiStatus::ControlChange, MidiController::AllNotesOff, 0);
    });
}

void MidiCommands::sendPanic()
{
    toEveryOutput([](MidiOutputPort &out) {
        for (int channel = 1; channel <= 16; ++channel) {
            const quint8 status = statusOn(MidiStatus::ControlChange, channel);
            out.SendShort(status, MidiController::SustainPedal, 0);
            out.SendShort(status, MidiController::AllSoundOff, 0);
            out.SendShort(status, MidiController::AllNotesOff, 0);
        }
    });
}

void MidiCommands::toEveryOutput(const std::function<void(MidiOutputPort &)> &send)
{
    const QList<MidiOutputPort *> ports = m_outputs        ? m_outputs->openPorts()
                                          : m_out.IsOpen() ? QList<MidiOutputPort *>{&m_out}
                                                           : QList<MidiOutputPort *>{};
    if (ports.isEmpty()) {
        ClosedPortNotice::show(m_outputState());
        return;
    }
    // A port that refuses does not keep the command from the others; its error is told after.
    std::exception_ptr refusal;
    bool sent = false;
    for (MidiOutputPort *port : ports) {
        try {
            send(*port);
            sent = true;
        } catch (const MidiOutputError &) {
            if (!refusal)
                refusal = std::current_exception();
        }
    }
    if (sent)
        m_leds.lightOut();
    if (refusal)
        std::rethrow_exception(refusal);
}
