#pragma once

#include <QString>

// What every on-demand send shows while the output port is closed: which output is not
// open, as the status bar describes it, and what to do about it.
namespace ClosedPortNotice
{
QString text(const QString &outputState);
void show(const QString &outputState);
} // namespace ClosedPortNotice
