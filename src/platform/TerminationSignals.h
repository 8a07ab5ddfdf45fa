#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (the desktop logging out, Ctrl+C in a terminal, a
// service manager stopping us) into a Qt signal on the GUI thread, so that the program
// ends through its own shut-down and saves what it must, instead of dying on the spot.
// Only one instance may exist. Does nothing on systems without these signals.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested();

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
