#include "MidiWakeup.h"

#include <QSocketNotifier>

#include <cerrno>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

MidiWakeup::MidiWakeup(QObject *parent) : QObject(parent)
{
    m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("cannot create the MIDI input wake-up");
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MidiWakeup::drain);
}

MidiWakeup::~MidiWakeup()
{
    delete m_notifier;
    ::close(m_fd);
}

void MidiWakeup::wake() const noexcept
{
    const quint64 one = 1;
    // A full counter (never in practice) still leaves the descriptor readable.
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void MidiWakeup::drain()
{
    quint64 count = 0;
    while (::read(m_fd, &count, sizeof count) > 0) {
    }
    emit woken();
}
