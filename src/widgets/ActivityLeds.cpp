#include "ActivityLeds.h"

#include <QAbstractButton>
#include <QEvent>

ActivityLeds::ActivityLeds(QAbstractButton *inLed, QAbstractButton *outLed, QObject *parent)
    : QObject(parent), m_inLed(inLed), m_outLed(outLed)
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(IntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ActivityLeds::darkenLeds);
    m_inLed->installEventFilter(this);
}

bool ActivityLeds::inLit() const
{
    // Shown without the timer (as at start), it is yet to be lit.
    return !m_inLed->isHidden() && m_timer.isActive();
}

bool ActivityLeds::eventFilter(QObject *watched, QEvent *event)
{
    // Sent for the indicator's own showing and hiding, not its window's.
    if (watched == m_inLed &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        emit inLitChanged();
    return QObject::eventFilter(watched, event);
}

void ActivityLeds::lightIn()
{
    m_inLed->setVisible(true);
    enableTimer();
}

void ActivityLeds::lightOut()
{
    m_outLed->setVisible(true);
    enableTimer();
}

void ActivityLeds::enableTimer()
{
    if (m_timer.isActive())
        return;
    m_timer.start();
    emit inLitChanged();
}

void ActivityLeds::darkenLeds()
{
    m_outLed->setVisible(false);
    if (!m_inLed->isHidden() && m_recentInput && m_recentInput(RecentMs))
        return; // the timer runs on
    m_inLed->setVisible(false);
    m_timer.stop();
    emit inLitChanged();
}
