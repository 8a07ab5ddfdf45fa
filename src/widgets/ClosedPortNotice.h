#pragma once

#include <QStringList>

// What every on-demand send shows while the output port is closed: the whole output
// device list between "MIDI Out device ->" and "<- is not runing !".
namespace ClosedPortNotice
{
QString text(const QStringList &outputDeviceNames);
void show(const QStringList &outputDeviceNames);
} // namespace ClosedPortNotice
