#pragma once

#include <QEvent>
#include <QObject>

class QSocketNotifier;

// Wakes the GUI thread from the driver thread. On Linux wake() is a single write to an
// eventfd, so the driver thread neither allocates nor locks; the GUI thread's event loop
// turns it into woken(). Elsewhere it falls back to posting one event, which the callers
// keep rare by waking only when the ring turns non-empty.
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

protected:
    bool event(QEvent *e) override;

private:
    void drain();

    static constexpr QEvent::Type WakeEvent = QEvent::Type(QEvent::User + 0x3C0);
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
