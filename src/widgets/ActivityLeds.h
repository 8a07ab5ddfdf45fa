#pragma once

#include <QObject>
#include <QTimer>

class QAbstractButton;

// The MIDI activity indicators of the tool bar. An indicator is lit while it is visible;
// lighting enables the timer, whose tick hides both and stops it. Lighting again while
// the timer runs does not restart it, so an indicator goes dark at most one interval
// after the first lighting of a burst.
class ActivityLeds : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 1000;

    ActivityLeds(QAbstractButton *inLed, QAbstractButton *outLed, QObject *parent = nullptr);

    void lightIn();
    void lightOut();

    QTimer *timer() { return &m_timer; }

private:
    void enableTimer();
    void darkenLeds();

    QAbstractButton *m_inLed;
    QAbstractButton *m_outLed;
    QTimer m_timer;
};
