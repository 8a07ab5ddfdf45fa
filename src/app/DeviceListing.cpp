#include "DeviceListing.h"

#include "app/ExtraInputs.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/IniFile.h"
#include "platform/MidiSystem.h"
#include "units/UnitProfiles.h"

namespace
{
QString extraInputsListing(const QString &settingsPath, const QStringList &inputs)
{
    const QList<ExtraInputs::Input> stored = ExtraInputs::stored(IniFile(settingsPath)).inputs;
    if (stored.isEmpty())
        return {};
    QString text = QStringLiteral("Extra inputs:\n");
    for (const ExtraInputs::Input &input : stored) {
        QStringList heard;
        if (input.thru)
            heard << QStringLiteral("thru");
        if (input.remote)
            heard << QStringLiteral("remote");
        if (input.switches)
            heard << QStringLiteral("foot switches");
        const QString name = input.name.isEmpty() ? QStringLiteral("(none)") : input.name;
        const QString missing =
            input.name.isEmpty() || inputs.contains(input.name) ? QString() : QStringLiteral(" (missing)");
        text += QStringLiteral("  %1%2: %3\n")
                    .arg(name, missing,
                         heard.isEmpty() ? QStringLiteral("nothing") : heard.join(QStringLiteral(", ")));
    }
    return text;
}
} // namespace

QString deviceListing(MidiSystem &system, const UnitProfiles &units, const QString &settingsPath)
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
    QStringList inputs;
    for (int i = 0; i < in.DeviceCount(); ++i) {
        in.setDeviceID(quint16(i));
        inputs << in.ProductName();
        text += QStringLiteral("  %1: %2\n").arg(i).arg(inputs.last());
    }
    if (in.DeviceCount() == 0)
        text += QStringLiteral("  (none)\n");
    if (!settingsPath.isEmpty())
        text += extraInputsListing(settingsPath, inputs);
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
