#include "OutputRig.h"

#include "MidiOut.h"

#include <algorithm>

OutputRig::OutputRig(MidiSystem &system, MidiOutputPort &main, QObject *parent)
    : QObject(parent), m_system(system), m_main(main)
{
}

OutputRig::~OutputRig() = default;

MidiOutputPort *OutputRig::port(const QString &device) const
{
    // A unit bound to the device the main output is open on is reached through that port:
    // a system may refuse a second one on the same device.
    if (device.isEmpty() || (m_main.IsOpen() && device == m_main.ProductName()))
        return &m_main;
    return unitPort(device);
}

MidiOutputPort *OutputRig::unitPort(const QString &device) const
{
    for (const auto &[name, port] : m_ports)
        if (name == device)
            return port.get();
    return nullptr;
}

QStringList OutputRig::devices() const
{
    QStringList names;
    for (const auto &entry : m_ports)
        names.append(entry.first);
    return names;
}

void OutputRig::setDevices(const QStringList &devices)
{
    if (devices == this->devices())
        return;
    std::vector<std::pair<QString, std::unique_ptr<MidiOutputPort>>> kept;
    for (const QString &device : devices) {
        const auto old = std::find_if(m_ports.begin(), m_ports.end(),
                                      [&device](const auto &entry) { return entry.first == device; });
        if (old != m_ports.end()) {
            kept.push_back(std::move(*old));
            continue;
        }
        auto port = std::make_unique<MidiOutputPort>(m_system);
        port->setObjectName(QStringLiteral("MidiOut ") + device);
        kept.emplace_back(device, std::move(port));
    }
    // Told before the ports that went are closed, so nobody holds on to them meanwhile.
    std::swap(m_ports, kept);
    emit devicesChanged();
    kept.clear();
}

QList<MidiOutputPort *> OutputRig::openPorts() const
{
    QList<MidiOutputPort *> open;
    if (m_main.IsOpen())
        open.append(&m_main);
    // A unit's port on the main output's device is not asked again: the device would get
    // every command twice (a system such as JACK opens a second port on it).
    for (const auto &[device, port] : m_ports)
        if (port->IsOpen() && this->port(device) == port.get())
            open.append(port.get());
    return open;
}

QString OutputRig::deviceOf(const MidiOutputPort *port) const
{
    for (const auto &[name, own] : m_ports)
        if (own.get() == port)
            return name;
    return QString();
}
