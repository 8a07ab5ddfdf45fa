#pragma once

#include <QObject>

class QSocketNotifier;

// Wakes the GUI thread from the driver thread without allocating or locking: wake() is a
// single write to an eventfd, and the GUI thread's event loop turns it into woken().
//
// Threading: wake() from any thread; everything else on the thread that made the object.
class MidiWakeup : public QObject
{
    Q_OBJECT
public:
    explicit MidiWakeup(QObject *parent = nullptr);
    ~MidiWakeup() override;

    void wake() const noexcept;

signals:
    void woken();

private:
    void drain();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
