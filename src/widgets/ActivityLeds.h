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
    // The input indicator is on, and the timer will put it out: lighting it again now
    // changes nothing.
    bool inLit() const;

    QTimer *timer() { return &m_timer; }

signals:
    // inLit() may have changed.
    void inLitChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void enableTimer();
    void darkenLeds();

    QAbstractButton *m_inLed;
    QAbstractButton *m_outLed;
    QTimer m_timer;
};
