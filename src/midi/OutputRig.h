#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

class MidiOutputPort;
class MidiSystem;

// The outputs a song reaches: the main output, and a port of its own for every device
// that a unit profile names, so that each unit gets its messages on its own wire. A
// device is its name, as the main output's is; which port is open, missing or back again
// is DeviceSelection's to follow, with the same rules as the main output.
//
// Threading: GUI thread only.
class OutputRig : public QObject
{
    Q_OBJECT
public:
    OutputRig(MidiSystem &system, MidiOutputPort &main, QObject *parent = nullptr);
    ~OutputRig() override;

    MidiOutputPort &main() const { return m_main; }
    // The port of the units bound to `device`; the main output for none, or for the device
    // the main output is open on. Null for a device no unit names: a unit's messages never
    // go to another port instead.
    MidiOutputPort *port(const QString &device) const;
    // The port of its own made for `device`, whatever the main output is on; null for none.
    MidiOutputPort *unitPort(const QString &device) const;
    // The devices the units name, in the order first named.
    QStringList devices() const;
    bool hasUnitPorts() const { return !m_ports.empty(); }
    // Makes a port for each device newly named; one that no unit names any more is closed
    // and goes.
    void setDevices(const QStringList &devices);
    // Every open output, the main one first, each device once.
    QList<MidiOutputPort *> openPorts() const;
    // The device a port is bound to; empty for the main output.
    QString deviceOf(const MidiOutputPort *port) const;

signals:
    // devices() changed: the ports of the old list that are gone must not be used again.
    void devicesChanged();

private:
    MidiSystem &m_system;
    MidiOutputPort &m_main;
    std::vector<std::pair<QString, std::unique_ptr<MidiOutputPort>>> m_ports;
};
