#include "DeviceWatch.h"

#include "platform/MidiSystem.h"

#include <QTimer>
#include <array>

namespace
{
constexpr int ClockInterval = 1000;
// After news, counted from the news. JACK lists a closed client's ports for about two
// cycles after it says they went (11 to 13 ms at 256 frames); at 4 096 frames two cycles
// take 170 ms.
constexpr std::array<int, 2> RecheckAfter{50, 250};
} // namespace

DeviceWatch::DeviceWatch(MidiSystem &system, QObject *parent)
    : QObject(parent), m_system(system), m_clock(new QTimer(this)), m_afterNews(new QTimer(this))
{
    m_clock->setInterval(ClockInterval);
    connect(m_clock, &QTimer::timeout, this, &DeviceWatch::compare);
    m_afterNews->setSingleShot(true);
    connect(m_afterNews, &QTimer::timeout, this, &DeviceWatch::recheck);
    m_system.setChangeWatcher(this);
}

DeviceWatch::~DeviceWatch()
{
    m_system.setChangeWatcher(nullptr);
}

void DeviceWatch::start()
{
    m_clock->start();
}

bool DeviceWatch::event(QEvent *e)
{
    if (e->type() != MidiSystemChangedEvent::EventType)
        return QObject::event(e);
    m_recheck = 0;
    m_afterNews->start(RecheckAfter[0]);
    emit compare();
    return true;
}

void DeviceWatch::recheck()
{
    emit compare();
    if (++m_recheck < int(RecheckAfter.size()))
        m_afterNews->start(RecheckAfter[size_t(m_recheck)] - RecheckAfter[size_t(m_recheck - 1)]);
}
