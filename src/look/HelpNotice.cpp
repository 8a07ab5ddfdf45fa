#include "HelpNotice.h"

#include "platform/Dialogs.h"

#include <QGuiApplication>

void HelpNotice::show()
{
    Dialogs::information(QString::fromLatin1(Text), QGuiApplication::applicationDisplayName());
}
