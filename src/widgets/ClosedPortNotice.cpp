#include "ClosedPortNotice.h"

#include "platform/Dialogs.h"

QString ClosedPortNotice::text(const QString &outputState)
{
    return QStringLiteral("Nothing was sent: the MIDI output is not open (%1).\n\n"
                          "Choose the output device on the \"Midi Setup\" page; a unit plugged in or "
                          "switched on since the start appears after \"Refresh\".")
        .arg(outputState);
}

void ClosedPortNotice::show(const QString &outputState)
{
    Dialogs::information(text(outputState));
}
