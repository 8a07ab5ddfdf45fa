#include "GuardedApplication.h"

#include "AppException.h"
#include "Dialogs.h"

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppException &e) {
        showError(e.message());
    } catch (const std::exception &e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void GuardedApplication::showError(const QString &message)
{
    Dialogs::instance().message(Dialogs::Icon::Error, QCoreApplication::applicationName(),
                                errorText(message));
}

QString GuardedApplication::errorText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}
