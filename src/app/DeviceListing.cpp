#include "DeviceListing.h"

#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/MidiSystem.h"
#include "units/UnitProfiles.h"

QString deviceListing(MidiSystem &system, const UnitProfiles &units)
{
    QStringList outputs;
    MidiOutputPort out(system);
    MidiInputPort in(system);
    QString text = QStringLiteral("MIDI system: %1\n").arg(system.systemName());
    text += QStringLiteral("Output devices:\n");
    for (int i = 0; i < out.DeviceCount(); ++i) {
        out.setDeviceID(i);
        text += QStringLiteral("  %1: %2\n").arg(i).arg(out.ProductName());
        outputs.append(out.ProductName());
    }
    if (out.DeviceCount() == 0)
        text += QStringLiteral("  (none)\n");
    text += QStringLiteral("Input devices:\n");
    for (int i = 0; i < in.DeviceCount(); ++i) {
        in.setDeviceID(quint16(i));
        text += QStringLiteral("  %1: %2\n").arg(i).arg(in.ProductName());
    }
    if (in.DeviceCount() == 0)
        text += QStringLiteral("  (none)\n");
    if (units.all().isEmpty())
        return text;
    text += QStringLiteral("Units:\n");
    for (const UnitProfile &unit : units.all()) {
        const QString port = unit.port.isEmpty()           ? QStringLiteral("main output")
                             : outputs.contains(unit.port) ? unit.port
                                                           : unit.port + QStringLiteral(" (missing)");
        text += QStringLiteral("  %1: %2\n").arg(unit.name, port);
    }
    return text;
}
