#include "songs/ControllerNames.h"

namespace
{

QStringList makeControllerNames()
{
    const QString undefined = QStringLiteral("Undefined");
    const QString generalPurpose = QStringLiteral("General Purpose Controller");

    QStringList names;
    names.reserve(128);

    // 0 .. 31; 32 .. 63 repeat them as the LSB controllers.
    QStringList first{
        QStringLiteral("Bank Select"),
        QStringLiteral("Modulation wheel"),
        QStringLiteral("Breath control"),
        undefined,
        QStringLiteral("Foot controller"),
        QStringLiteral("Portamento time"),
        QStringLiteral("Data Entry"),
        QStringLiteral("Channel Volume (formerly Main Volume)"),
        QStringLiteral("Balance"),
        undefined,
        QStringLiteral("Pan"),
        QStringLiteral("Expression Controller"),
        QStringLiteral("Effect control 1"),
        QStringLiteral("Effect control 2"),
        undefined,
        undefined,
    };
    for (int i = 16; i <= 19; ++i)
        first << generalPurpose;
    for (int i = 20; i <= 31; ++i)
        first << undefined;
    names << first;
    QStringList second = first;
    second[6] = QStringLiteral("Data entry");
    names << second;

    names << QStringLiteral("Damper pedal on/off (Sustain)") << QStringLiteral("Portamento on/off")
          << QStringLiteral("Sostenuto on/off") << QStringLiteral("Soft pedal on/off")
          << QStringLiteral("Legato Footswitch") << QStringLiteral("Hold 2")
          << QStringLiteral("Sound Controller 1 (Sound Variation )")
          << QStringLiteral("Sound Controller 2 (Timbre)")
          << QStringLiteral("Sound Controller 3 (Release Time)")
          << QStringLiteral("Sound Controller 4 (Attack Time)")
          << QStringLiteral("Sound Controller 5 (Brightness)");
    for (int n = 6; n <= 10; ++n)
        names << QStringLiteral("Sound Controller %1").arg(n);
    for (int i = 80; i <= 83; ++i)
        names << generalPurpose;
    names << QStringLiteral("Portamento Control");
    for (int i = 85; i <= 90; ++i)
        names << undefined;

    names << QStringLiteral("Effects 1 Depth") << QStringLiteral("Effects 2 Depth\t")
          << QStringLiteral("Effects 3 Depth") << QStringLiteral("Effects 4 Depth")
          << QStringLiteral("Effects 5 Depth") << QStringLiteral("Data entry +1")
          << QStringLiteral("Data entry -1") << QStringLiteral("Non-Registered Parameter Number LSB")
          << QStringLiteral("Non-Registered Parameter Number MSB")
          << QStringLiteral("Registered Parameter Number LSB")
          << QStringLiteral("Registered Parameter Number MSB");

    for (int i = 102; i <= 119; ++i) {
        const bool trailingTab = i == 104 || i == 111 || i == 115 || i == 117;
        names << (trailingTab ? undefined + u'\t' : undefined);
    }

    names << QStringLiteral("All Sound Off") << QStringLiteral("Reset All Controllers")
          << QStringLiteral("Local control on/off") << QStringLiteral("All notes off")
          << QStringLiteral("Omni mode off (+ all notes off)")
          << QStringLiteral("Omni mode on (+ all notes  off)")
          << QStringLiteral("Poly mode on/off (+ all no  off)") << QStringLiteral("Poly mode on");

    Q_ASSERT(names.size() == 128);
    return names;
}

} // namespace

const QStringList &controllerNames()
{
    static const QStringList names = makeControllerNames();
    return names;
}
