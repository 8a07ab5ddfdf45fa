#include "units/RecallPlan.h"

#include "midi/MidiBytes.h"
#include "songs/ControllerNames.h"
#include "songs/SongControls.h"
#include "units/UnitProfiles.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QVarLengthArray>

#include <algorithm>

namespace
{
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

quint8 rawByte(int value)
{
    return static_cast<quint8>(std::clamp(value, 0, MaxDataByte));
}

PlannedMessage controlChange(int channel, quint8 controller, quint8 value)
{
    return {0, static_cast<quint8>(MidiStatus::ControlChange + channel - 1), controller, value, {}, {}};
}

// A strip's bank select: at most MSB and LSB, kept off the heap.
using BankSelect = QVarLengthArray<PlannedMessage, 2>;

// Whether the channel already plays `program` from the bank that `bankSelect` chooses.
bool plays(const ProgramMemory::Channel &c, const BankSelect &bankSelect, quint8 program)
{
    if (c.program != program)
        return false;
    return std::all_of(bankSelect.begin(), bankSelect.end(), [&c](const PlannedMessage &m) {
        return (m.data1 == MidiController::BankMsb ? c.msb : c.lsb) == m.data2;
    });
}

QString controllerName(int controller)
{
    switch (controller) {
    case MidiController::BankMsb:
        return QStringLiteral("Bank MSB");
    case MidiController::Volume:
        return QStringLiteral("Volume");
    case MidiController::Pan:
        return QStringLiteral("Pan");
    case MidiController::BankLsb:
        return QStringLiteral("Bank LSB");
    default:
        return controllerNames().value(controller).simplified();
    }
}
} // namespace

QString PlannedMessage::decoded() const
{
    const QString onUnit = unit.trimmed().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(unit.trimmed());
    if (isProgramChange())
        return QStringLiteral("Ch %1 Program %2%3").arg(channel()).arg(data1).arg(onUnit);
    return QStringLiteral("Ch %1 CC %2 %3 %4%5")
        .arg(channel())
        .arg(data1)
        .arg(controllerName(data1))
        .arg(data2)
        .arg(onUnit);
}

QString PlannedMessage::hex() const
{
    const QString bytes =
        QStringLiteral("%1 %2").arg(status, 2, 16, QChar('0')).arg(data1, 2, 16, QChar('0'));
    return (isProgramChange() ? bytes : bytes + QStringLiteral(" %1").arg(data2, 2, 16, QChar('0')))
        .toUpper();
}

namespace
{
// The block into any list: a recall keeps it off the heap.
template <typename List> void appendControllerBlock(const SongControls &controls, int channel, List &block)
{
    channel = std::clamp(channel, 1, 16);
    if (controls.volume.on->isChecked())
        block.append(
            controlChange(channel, MidiController::Volume, dataByte(inRange(controls.volume.value))));
    if (controls.pan.on->isChecked())
        block.append(controlChange(channel, MidiController::Pan, dataByte(inRange(controls.pan.value))));
    for (const ControllerRow &row : controls.user) {
        if (!row.on->isChecked())
            continue;
        const int controller = row.controller->currentIndex();
        if (controller < 0 || controller > MaxDataByte)
            continue;
        block.append(controlChange(channel, static_cast<quint8>(controller), dataByte(inRange(row.value))));
    }
}
} // namespace

QList<PlannedMessage> controllerBlock(const SongControls &controls, int channel)
{
    QList<PlannedMessage> block;
    appendControllerBlock(controls, channel, block);
    return block;
}

namespace
{
void buildPlan(const SongControls &controls, const UnitRig *rig, const ProgramsSentOn &lastSent,
               QList<PlannedMessage> &plan, bool withUnitNames)
{
    // What each port's units will have been sent by each point of the plan.
    struct PortMemory {
        QString port;
        ProgramMemory last;
    };
    QVarLengthArray<PortMemory, 4> memories;
    const auto memoryOf = [&](const QString &port) -> ProgramMemory & {
        for (PortMemory &memory : memories)
            if (memory.port == port)
                return memory.last;
        memories.append({port, lastSent(port)});
        return memories.back().last;
    };
    // Each unit's own clock: its pause holds back its later messages, nobody else's.
    QVarLengthArray<std::pair<const UnitProfile *, int>, 16> clocks;
    const auto clockOf = [&](const UnitProfile *unit) -> int & {
        for (auto &clock : clocks)
            if (clock.first == unit)
                return clock.second;
        clocks.append({unit, 0});
        return clocks.back().second;
    };
    bool paused = false;
    plan.clear();
    // The block is the same on every channel: read its fields once, not once per strip.
    QVarLengthArray<PlannedMessage, 8> block;
    appendControllerBlock(controls, 1, block);
    plan.reserve(SongControls::StripCount * (3 + block.size()));
    // A strip's name field is read only where it counts: a recall touches every strip's
    // fields, and each one read costs it.
    const bool profiled = rig && !rig->profiles.all().isEmpty();
    for (int n = 0; n < SongControls::StripCount; ++n) {
        const ChannelStrip &strip = controls.strips[n];
        if (!strip.active->isChecked())
            continue;
        const int channel = std::clamp(inRange(strip.channel), 1, 16);
        const bool withBlock = strip.controllerData->isChecked();
        const quint8 program = dataByte(inRange(strip.program));
        const QString unitName = withUnitNames || profiled ? strip.unitName->text() : QString();
        const UnitProfile *profile = profiled ? rig->profiles.find(unitName) : nullptr;
        const UnitProfile plain;
        const UnitProfile &unit = profile ? *profile : plain;
        ProgramMemory &last = memoryOf(unit.port);
        int &now = clockOf(profile);
        const auto add = [&](PlannedMessage message) {
            message.atMs = now;
            message.unit = unitName;
            message.port = unit.port;
            last.note(message.status, message.data1, message.data2);
            plan.append(message);
        };

        BankSelect bankSelect;
        const SongBanks::Bank bank = rig ? rig->banks.strips[n] : SongBanks::Bank{};
        switch (unit.bankMode) {
        case BankMode::FromBlock:
            // Units apply a bank select at the next program change, so it goes first;
            // the bank goes out as shown, not less one; 128 has no data byte of its own.
            if (withBlock && controls.bank.on->isChecked())
                bankSelect.append(
                    controlChange(channel, MidiController::BankLsb, rawByte(inRange(controls.bank.value))));
            break;
        case BankMode::Msb:
            bankSelect.append(controlChange(channel, MidiController::BankMsb, rawByte(bank.msb)));
            break;
        case BankMode::MsbLsb:
            bankSelect.append(controlChange(channel, MidiController::BankMsb, rawByte(bank.msb)));
            bankSelect.append(controlChange(channel, MidiController::BankLsb, rawByte(bank.lsb)));
            break;
        case BankMode::None:
            break;
        }
        // A bank select without its program change would take effect at some later one,
        // so both go, or neither.
        const bool sendProgram = !unit.onlyWhenChanged || !plays(last.channel(channel), bankSelect, program);
        if (sendProgram) {
            for (const PlannedMessage &message : bankSelect)
                add(message);
            add({0, static_cast<quint8>(MidiStatus::ProgramChange + channel - 1), program, 0, {}, {}});
        }
        if (!withBlock)
            continue;
        if (sendProgram && !block.isEmpty() && unit.pauseMs > 0) {
            now += unit.pauseMs;
            paused = true;
        }
        for (const PlannedMessage &message : block)
            add(controlChange(channel, message.data1, message.data2));
    }
    if (paused)
        std::stable_sort(plan.begin(), plan.end(),
                         [](const PlannedMessage &a, const PlannedMessage &b) { return a.atMs < b.atMs; });
}

ProgramsSentOn sameForEveryPort(const ProgramMemory &last)
{
    return [&last](const QString &) -> const ProgramMemory & { return last; };
}

} // namespace

QList<PlannedMessage> buildRecallPlan(const SongControls &controls, const UnitRig *rig,
                                      const ProgramMemory &lastSent)
{
    return buildRecallPlan(controls, rig, sameForEveryPort(lastSent));
}

QList<PlannedMessage> buildRecallPlan(const SongControls &controls, const UnitRig *rig,
                                      const ProgramsSentOn &lastSent)
{
    QList<PlannedMessage> plan;
    buildPlan(controls, rig, lastSent, plan, true);
    return plan;
}

void buildRecallPlan(const SongControls &controls, const UnitRig *rig, const ProgramsSentOn &lastSent,
                     QList<PlannedMessage> &plan)
{
    buildPlan(controls, rig, lastSent, plan, false);
}

bool hasPauses(const QList<PlannedMessage> &plan)
{
    return std::any_of(plan.begin(), plan.end(), [](const PlannedMessage &m) { return m.atMs > 0; });
}
