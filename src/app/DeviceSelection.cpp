#include "DeviceSelection.h"

#include "DeviceWatch.h"

#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "midi/OutputRig.h"
#include "platform/GuardedConnect.h"
#include "platform/MidiSystem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>

namespace
{
// Keeps the hourglass up while the system is asked for its devices.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QStringList entries(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}
} // namespace

// One port with its list: what the user wants on it, what the settings keep of it, and
// how the port is reached. Output and input differ only in these few operations.
struct DeviceSelection::Side {
    QString label;                            // "MIDI Out"
    const MidiInputPort *extraPort = nullptr; // an extra input's port
    QListWidget *list = nullptr;
    QAbstractButton *own = nullptr;
    // A fresh listing of the system; throws the port's error when a device will not say its name.
    std::function<QStringList()> names;
    std::function<void(int)> select; // -1: the program's own port
    std::function<QString()> productName;
    std::function<void()> open;
    std::function<void()> close;
    std::function<bool()> isOpen;

    MidiOutputPort *unitPort = nullptr; // the port of a unit's own device; null for the main ports

    Choice wanted;
    Choice saved;
    Choice lastDevice; // what unticking the own port goes back to
    bool forThisRun = false;
    bool missing = false; // the wanted device is absent; its port is closed
    bool placed = false;  // the port holds the wanted device

    void closeQuietly()
    {
        try {
            close();
        } catch (const AppException &) {
            // A device that has gone cannot refuse anything worth telling the user.
        }
    }
};

namespace
{
template <typename Caps, typename Error>
QStringList systemNames(MidiSystem &system, quint16 (MidiSystem::*count)(),
                        quint16 (MidiSystem::*caps)(int, Caps &))
{
    QStringList names;
    const int n = (system.*count)();
    for (int i = 0; i < n; ++i) {
        Caps c;
        if (const quint16 code = (system.*caps)(i, c))
            throw Error(system.failureText(code));
        names.append(c.name);
    }
    return names;
}
} // namespace

DeviceSelection::DeviceSelection(MidiSystem &system, MidiOutputPort &out, MidiInputPort &in,
                                 Controls controls, QObject *parent)
    : QObject(parent), m_system(system), m_outSide(std::make_unique<Side>()),
      m_inSide(std::make_unique<Side>())
{
    // What both ports do alike.
    const auto bind = [](Side &side, const QString &label, QListWidget *list, QAbstractButton *own,
                         auto &port) {
        side.label = label;
        side.list = list;
        side.own = own;
        side.productName = [&port] { return port.ProductName(); };
        side.close = [&port] { port.Close(); };
        side.isOpen = [&port] { return port.IsOpen(); };
    };
    Side &o = *m_outSide;
    bind(o, tr("MIDI Out"), controls.cmbOutput, controls.ownOutput, out);
    o.names = [&system = m_system] {
        return systemNames<MidiOutCaps, MidiOutputError>(system, &MidiSystem::outDeviceCount,
                                                         &MidiSystem::outCaps);
    };
    o.select = [&out](int n) { out.setDeviceID(n); };
    o.open = [&out] { out.Open(); };

    Side &i = *m_inSide;
    bind(i, tr("MIDI In"), controls.cmbInput, controls.ownInput, in);
    i.names = [&system = m_system] {
        return systemNames<MidiInCaps, MidiInputError>(system, &MidiSystem::inDeviceCount,
                                                       &MidiSystem::inCaps);
    };
    i.select = [&in](int n) { in.setDeviceID(n < 0 ? MidiInputPort::OwnPort : quint16(n)); };
    i.open = [&in] {
        in.Open();
        if (in.IsOpen())
            in.Start();
    };

    wire(o);
    wire(i);
    m_watch = new DeviceWatch(m_system, this);
    connect(m_watch, &DeviceWatch::compare, this, [this] { guarded([this] { follow(false); }); });
}

DeviceSelection::~DeviceSelection() = default;

void DeviceSelection::wire(Side &side)
{
    // A click chooses, also on the device already open (which reopens it); moving the
    // selection with the keyboard chooses too.
    connect(side.list, &QListWidget::itemClicked, this,
            [this, &side] { guarded([&] { chooseFromList(side); }); });
    connect(side.list, &QListWidget::currentRowChanged, this, [this, &side](int row) {
        if (!m_updatingLists && row >= 0 && QApplication::mouseButtons() == Qt::NoButton)
            guarded([&] { chooseFromList(side); });
    });
    if (side.own)
        connect(side.own, &QAbstractButton::clicked, this,
                [this, &side](bool on) { guarded([&] { chooseOwn(side, on); }); });
}

void DeviceSelection::fillList(Side &side, const QStringList &names)
{
    if (!side.list)
        return;
    QScopedValueRollback guard(m_updatingLists, true);
    side.list->clear();
    side.list->addItems(names);
}

void DeviceSelection::mark(Side &side)
{
    if (!side.list)
        return;
    QScopedValueRollback guard(m_updatingLists, true);
    const int row = side.wanted.kind == Choice::Device && !side.missing
                        ? entries(side.list).indexOf(side.wanted.name)
                        : -1;
    side.list->setCurrentRow(row);
    if (row < 0)
        side.list->clearSelection();
    if (side.own)
        side.own->setChecked(side.wanted.kind == Choice::Own);
}

void DeviceSelection::fillDeviceLists()
{
    WaitCursor wait;
    m_stopped = !m_system.isRunning();
    QScopedValueRollback guard(m_updatingLists, true);
    for (Side *side : {m_inSide.get(), m_outSide.get()}) {
        fillList(*side, m_stopped ? QStringList() : side->names());
        if (side->list->count() > 0)
            side->list->setCurrentRow(0);
    }
}

bool DeviceSelection::place(Side &side, const QStringList &names)
{
    side.placed = false;
    side.missing = false;
    Choice &want = side.wanted;
    if (want.kind == Choice::None)
        return false;
    if (want.kind == Choice::Own) {
        try {
            side.select(-1);
        } catch (const AppException &) {
            side.missing = true; // a system without ports of its own
            return false;
        }
    } else {
        const int row = !want.name.isEmpty()                             ? int(names.indexOf(want.name))
                        : want.number >= 0 && want.number < names.size() ? want.number
                                                                         : -1;
        if (row < 0) {
            side.missing = true;
            return false;
        }
        side.select(row);
        // The system may have changed since it was listed: then this is not our device.
        if (side.productName() != names[row]) {
            side.missing = true;
            return false;
        }
        want.number = row;
        want.name = names[row];
    }
    side.placed = true;
    if (!side.forThisRun)
        side.saved = want;
    return true;
}

void DeviceSelection::settle(Side &side)
{
    side.closeQuietly();
    side.placed = false;
    if (m_stopped) {
        side.missing = side.wanted.kind != Choice::None;
        return;
    }
    if (place(side, side.names()))
        side.open();
}

void DeviceSelection::choose(Side &side, const Choice &stored, const QString &forThisRun)
{
    side.saved = stored;
    side.lastDevice = stored.kind == Choice::Device ? stored : Choice();
    side.forThisRun = !forThisRun.isEmpty();
    side.wanted = side.forThisRun ? Choice{Choice::Device, -1, forThisRun} : stored;
    side.placed = false;
    side.missing = side.wanted.kind != Choice::None;
    try {
        if (!m_stopped)
            place(side, side.names());
    } catch (const AppException &) {
        // Listing the devices already said what the system refused; the port stays closed.
    }
    emit statusChanged();
}

QString DeviceSelection::expectedOutput(const QString &forThisRun, int storedNumber,
                                        const QString &storedName)
{
    if (!forThisRun.isEmpty())
        return forThisRun;
    return storedNumber == -1 ? QString() : storedName;
}

void DeviceSelection::chooseOutput(const Choice &stored, const QString &forThisRun)
{
    choose(*m_outSide, stored, forThisRun);
}

void DeviceSelection::chooseInput(const Choice &stored, const QString &forThisRun)
{
    choose(*m_inSide, stored, forThisRun);
}

void DeviceSelection::showChoice()
{
    mark(*m_outSide);
    mark(*m_inSide);
}

void DeviceSelection::openPorts()
{
    for (Side *side : sides())
        if (side->placed && !side->isOpen())
            side->open();
    m_portsOpened = true;
    m_watch->start();
    emit statusChanged();
}

void DeviceSelection::openOutputs()
{
    for (Side *side : sides())
        if (!isInput(side) && side->placed && !side->isOpen())
            side->open();
}

void DeviceSelection::chooseFromList(Side &side)
{
    const QListWidgetItem *item = side.list->currentItem();
    if (!item)
        return;
    // The name the user saw, looked up afresh: the list may be older than the system.
    side.wanted = Choice{Choice::Device, side.list->currentRow(), item->text()};
    side.lastDevice = side.wanted;
    side.forThisRun = false;
    side.saved = side.wanted;
    settle(side);
    if (side.own)
        side.own->setChecked(false);
    emit statusChanged();
    // A stale list is brought up to date once the click is over.
    QTimer::singleShot(0, this, [this] { guarded([this] { follow(false); }); });
}

void DeviceSelection::chooseOutputFromList()
{
    chooseFromList(*m_outSide);
}

void DeviceSelection::chooseInputFromList()
{
    chooseFromList(*m_inSide);
}

void DeviceSelection::chooseOwn(Side &side, bool on)
{
    side.wanted = on ? Choice{Choice::Own, -1, QString()} : side.lastDevice;
    side.forThisRun = false;
    if (side.wanted.kind != Choice::None)
        side.saved = side.wanted;
    settle(side);
    mark(side);
    emit statusChanged();
}

void DeviceSelection::follow(bool refill)
{
    if (!m_system.isRunning()) {
        if (!m_stopped) {
            m_stopped = true;
            for (Side *side : sides()) {
                side->closeQuietly();
                side->placed = false;
                side->missing = side->wanted.kind != Choice::None;
                fillList(*side, {});
                mark(*side);
            }
        }
        emit statusChanged();
        return;
    }
    const bool restarted = m_stopped;
    m_stopped = false;
    QStringList notices;
    // Each system list is asked once a pass: the main side comes first, then the sides that share its list.
    QStringList outNames;
    QStringList inNames;
    for (Side *side : sides()) {
        QStringList &listed = isInput(side) ? inNames : outNames;
        if (side == m_outSide.get() || side == m_inSide.get())
            listed = side->names();
        const QStringList names = listed;
        if (side->list && (refill || names != entries(side->list)))
            fillList(*side, names);
        const bool wasMissing = side->missing;
        const bool known = !side->wanted.name.isEmpty();
        if (refill || !keeps(*side, names, restarted)) {
            settle(*side);
            if ((wasMissing || restarted) && side->isOpen() && side->wanted.kind == Choice::Device) {
                // A device stored by number alone was never there before: it is new, not back.
                // A unit's own port is named by its units: "MIDI Out" is the main output.
                const QString label =
                    side->unitPort ? tr("Output of %1").arg(unitsOn(side->wanted.name)) : side->label;
                notices.append(
                    (known ? tr("%1: %2 is back") : tr("%1: %2 opened")).arg(label, side->wanted.name));
                if (side == m_outSide.get() || side->unitPort)
                    emit outputReturned();
            }
        }
        mark(*side);
    }
    if (!notices.isEmpty())
        emit notice(notices.join(QStringLiteral("  |  ")));
    emit statusChanged();
}

bool DeviceSelection::keeps(Side &side, const QStringList &names, bool restarted)
{
    if (!side.isOpen())
        return !side.missing && !restarted;
    if (side.wanted.kind != Choice::Device)
        return true;
    // An open port is left alone while its device is listed: reopened, it would drop what
    // is on its way in and send again what is on its way out. Only its number follows.
    const int row = int(names.indexOf(side.wanted.name));
    if (row < 0)
        return false;
    side.wanted.number = row;
    if (!side.forThisRun)
        side.saved = side.wanted;
    return true;
}

void DeviceSelection::refresh()
{
    WaitCursor wait;
    follow(true);
}

void DeviceSelection::outputLost()
{
    Side &side = *m_outSide;
    side.closeQuietly();
    side.placed = false;
    side.missing = true;
    emit statusChanged();
}

DeviceSelection::Choice DeviceSelection::savedOutput() const
{
    return m_outSide->saved;
}

DeviceSelection::Choice DeviceSelection::savedInput() const
{
    return m_inSide->saved;
}

QStringList DeviceSelection::outputNames() const
{
    return entries(m_outSide->list);
}

bool DeviceSelection::outputMissing() const
{
    return m_stopped || m_outSide->missing;
}

QString DeviceSelection::describe(const Side &side) const
{
    const Choice &want = side.wanted;
    const QString closed = side.isOpen() ? QString() : tr(" (closed)");
    switch (want.kind) {
    case Choice::None:
        return tr("%1: none").arg(side.label);
    case Choice::Own:
        if (side.missing)
            return tr("%1: %2 has no port of the program's own").arg(side.label, m_system.systemName());
        return tr("%1: %2 (own port)%3").arg(side.label, side.productName(), closed);
    case Choice::Device:
        break;
    }
    if (!side.missing)
        return tr("%1: %2%3").arg(side.label, want.name, closed);
    if (!want.name.isEmpty())
        return tr("%1: %2 is missing").arg(side.label, want.name);
    if (side.list && side.list->count() == 0)
        return tr("%1: no devices").arg(side.label);
    return tr("%1: device %2 is missing").arg(side.label).arg(want.number);
}

QString DeviceSelection::stoppedText() const
{
    return m_system.systemName() == QLatin1String("JACK")
               ? tr("JACK server stopped")
               : tr("%1 MIDI system stopped").arg(m_system.systemName());
}

QString DeviceSelection::status() const
{
    if (m_stopped)
        return stoppedText();
    const QString ports = describe(*m_outSide) + QStringLiteral("  |  ") + describe(*m_inSide);
    const QString outputs = outputsSummary();
    return outputs.isEmpty() ? ports : ports + QStringLiteral("  |  ") + outputs;
}

QString DeviceSelection::outputStatus() const
{
    return m_stopped ? stoppedText() : describe(*m_outSide);
}

// ---- every side ------------------------------------------------------------------------

QList<DeviceSelection::Side *> DeviceSelection::sides() const
{
    QList<Side *> all{m_outSide.get(), m_inSide.get()};
    for (const auto &side : m_extraSides)
        all.append(side.get());
    for (const auto &side : m_unitSides)
        all.append(side.get());
    return all;
}

bool DeviceSelection::isInput(const Side *side) const
{
    return side == m_inSide.get() || side->extraPort;
}

// ---- the units' own outputs -----------------------------------------------------------

void DeviceSelection::followUnitOutputs(OutputRig &rig,
                                        std::function<QList<QPair<QString, QString>>()> unitPorts)
{
    m_rig = &rig;
    m_unitPorts = std::move(unitPorts);
    connect(&rig, &OutputRig::devicesChanged, this, [this] { guarded([this] { makeUnitSides(); }); });
    makeUnitSides();
}

void DeviceSelection::makeUnitSides()
{
    // The ports no unit names any more go once this returns: nothing may still point at them.
    std::vector<std::unique_ptr<Side>> old;
    std::swap(old, m_unitSides);
    for (const QString &device : m_rig->devices()) {
        MidiOutputPort &port = *m_rig->unitPort(device);
        const auto same =
            std::find_if(old.begin(), old.end(), [&port](const auto &s) { return s->unitPort == &port; });
        if (same != old.end()) {
            m_unitSides.push_back(std::move(*same));
            continue;
        }
        auto side = std::make_unique<Side>();
        side->label = tr("Unit output");
        side->unitPort = &port;
        side->names = m_outSide->names;
        side->select = [&port](int n) { port.setDeviceID(n); };
        side->productName = [&port] { return port.ProductName(); };
        side->open = [&port] { port.Open(); };
        side->close = [&port] { port.Close(); };
        side->isOpen = [&port] { return port.IsOpen(); };
        // Kept in Units.ini, never in the settings.
        choose(*side, Choice{Choice::Device, -1, device}, device);
        if (m_portsOpened && side->placed)
            side->open();
        m_unitSides.push_back(std::move(side));
    }
    emit statusChanged();
}

const DeviceSelection::Side *DeviceSelection::unitSide(const QString &device) const
{
    for (const auto &side : m_unitSides)
        if (side->wanted.name == device)
            return side.get();
    return nullptr;
}

// ---- extra inputs ----------------------------------------------------------------------

DeviceSelection::Side *DeviceSelection::extraSide(const MidiInputPort &in) const
{
    for (const auto &side : m_extraSides)
        if (side->extraPort == &in)
            return side.get();
    return nullptr;
}

void DeviceSelection::addExtraInput(MidiInputPort &in, const QString &name)
{
    auto side = std::make_unique<Side>();
    side->label = tr("Extra input"); // "MIDI In" is the main input
    side->extraPort = &in;
    side->names = m_inSide->names;
    side->select = [&in](int n) { in.setDeviceID(quint16(n)); };
    side->productName = [&in] { return in.ProductName(); };
    side->open = [&in] {
        in.Open();
        if (in.IsOpen())
            in.Start();
    };
    side->close = [&in] { in.Close(); };
    side->isOpen = [&in] { return in.IsOpen(); };
    m_extraSides.push_back(std::move(side));
    chooseExtraInput(in, name);
}

void DeviceSelection::chooseExtraInput(MidiInputPort &in, const QString &name)
{
    Side *side = extraSide(in);
    if (!side)
        return;
    side->closeQuietly();
    choose(*side, name.isEmpty() ? Choice() : Choice{Choice::Device, -1, name}, QString());
    if (side->placed && m_portsOpened)
        side->open();
    emit statusChanged();
}

void DeviceSelection::removeExtraInput(MidiInputPort &in)
{
    Side *side = extraSide(in);
    if (!side)
        return;
    side->closeQuietly();
    std::erase_if(m_extraSides, [side](const auto &s) { return s.get() == side; });
    emit statusChanged();
}

bool DeviceSelection::extraInputMissing(const MidiInputPort &in) const
{
    const Side *side = extraSide(in);
    return side && (side->missing || (m_stopped && side->wanted.kind != Choice::None));
}

QStringList DeviceSelection::inputNames() const
{
    return entries(m_inSide->list);
}

QString DeviceSelection::inputsStatus() const
{
    return m_extraSides.empty() ? QString() : portsSummary(true);
}

bool DeviceSelection::sharesMainOutput(const Side &side) const
{
    // Its units are reached through the main output's port (see OutputRig::port).
    return side.unitPort && m_outSide->isOpen() && side.wanted.name == m_outSide->productName();
}

void DeviceSelection::unitOutputLost(MidiOutputPort *port)
{
    for (const auto &side : m_unitSides)
        if (side->unitPort == port) {
            side->closeQuietly();
            side->placed = false;
            side->missing = true;
        }
    emit statusChanged();
}

QString DeviceSelection::unitsOn(const QString &device) const
{
    QStringList units;
    if (m_unitPorts)
        for (const auto &[unit, port] : m_unitPorts())
            if (port == device)
                units.append(unit);
    return units.isEmpty() ? tr("a unit") : units.join(QStringLiteral(", "));
}

QString DeviceSelection::outputsSummary() const
{
    return m_unitSides.empty() ? QString() : portsSummary(false);
}

QString DeviceSelection::portsSummary(bool inputs) const
{
    int wanted = 0;
    int open = 0;
    QStringList missing;
    for (const Side *side : sides()) {
        if (isInput(side) != inputs || side->wanted.kind == Choice::None || sharesMainOutput(*side))
            continue;
        ++wanted;
        if (side->isOpen())
            ++open;
        else if (m_stopped || side->missing) {
            // A device chosen by its number alone has no name to give.
            const QString name = side->wanted.kind == Choice::Own ? side->productName() : side->wanted.name;
            missing.append(name.isEmpty() ? side->label : name);
        }
    }
    const QString count = (inputs ? tr("Inputs %1/%2") : tr("Outputs %1/%2")).arg(open).arg(wanted);
    return missing.isEmpty() ? count : tr("%1: %2 missing").arg(count, missing.join(QStringLiteral(", ")));
}

QString DeviceSelection::unitBindings(const QList<QPair<QString, QString>> &unitPorts) const
{
    QStringList lines;
    for (const auto &[unit, device] : unitPorts) {
        if (device.isEmpty()) {
            lines.append(tr("%1: main output").arg(unit));
            continue;
        }
        const Side *side = unitSide(device);
        if (side && sharesMainOutput(*side)) {
            lines.append(tr("%1: %2 (the main output)").arg(unit, device));
            continue;
        }
        const QString state = !side || m_stopped || side->missing ? tr(" (missing)")
                              : side->isOpen()                    ? QString()
                                                                  : tr(" (closed)");
        lines.append(tr("%1: %2%3").arg(unit, device, state));
    }
    return lines.join(QLatin1Char('\n'));
}
