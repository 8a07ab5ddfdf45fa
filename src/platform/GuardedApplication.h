#pragma once

#include <QApplication>

// The application object. An AppException (or any std::exception) that escapes an event
// handler ends only that event: it is shown in an error box and the program goes on.
class GuardedApplication : public QApplication
{
    Q_OBJECT
public:
    GuardedApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows an error the way an escaped exception is shown.
    static void showError(const QString &message);
    // The text of the error box: a full stop is added when the message ends in a
    // character whose code is above that of the full stop.
    static QString errorText(const QString &message);
};
