#include "ClosedPortNotice.h"

#include "platform/Dialogs.h"

QString ClosedPortNotice::text(const QStringList &outputDeviceNames)
{
    QString result = QStringLiteral("MIDI Out device ->");
    for (const QString &name : outputDeviceNames)
        result += name + u'\n';
    return result + QStringLiteral("<- is not runing !");
}

void ClosedPortNotice::show(const QStringList &outputDeviceNames)
{
    Dialogs::information(text(outputDeviceNames));
}
