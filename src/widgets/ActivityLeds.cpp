#include "ActivityLeds.h"

#include <QAbstractButton>

ActivityLeds::ActivityLeds(QAbstractButton *inLed, QAbstractButton *outLed, QObject *parent)
    : QObject(parent), m_inLed(inLed), m_outLed(outLed)
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(IntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ActivityLeds::darkenLeds);
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
    if (!m_timer.isActive())
        m_timer.start();
}

void ActivityLeds::darkenLeds()
{
    m_inLed->setVisible(false);
    m_outLed->setVisible(false);
    m_timer.stop();
}
