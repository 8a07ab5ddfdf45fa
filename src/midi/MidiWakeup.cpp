#include "MidiWakeup.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>
#endif

MidiWakeup::MidiWakeup(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("cannot create the MIDI input wake-up");
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MidiWakeup::drain);
#endif
}

MidiWakeup::~MidiWakeup()
{
#ifdef Q_OS_LINUX
    delete m_notifier;
    ::close(m_fd);
#endif
}

void MidiWakeup::wake() const noexcept
{
#ifdef Q_OS_LINUX
    const quint64 one = 1;
    // A full counter (never in practice) still leaves the descriptor readable.
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
#else
    QCoreApplication::postEvent(const_cast<MidiWakeup *>(this), new QEvent(WakeEvent));
#endif
}

void MidiWakeup::drain()
{
#ifdef Q_OS_LINUX
    // One read takes the whole count and leaves the descriptor quiet.
    quint64 count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_fd, &count, sizeof count);
#endif
    emit woken();
}

bool MidiWakeup::event(QEvent *e)
{
    if (e->type() != WakeEvent)
        return QObject::event(e);
    drain();
    return true;
}
