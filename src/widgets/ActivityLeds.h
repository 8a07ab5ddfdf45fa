#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QAbstractButton;

// The MIDI activity indicators of the tool bar. An indicator is lit while it is visible;
// lighting enables the timer, whose tick puts both out and stops it. Lighting again while
// the timer runs does not restart it, so an indicator goes dark at most one interval
// after the first lighting of a burst.
//
// Input heard within RecentMs of the tick keeps the input indicator lit for another
// interval: on a steady stream the next message comes a cycle or two later and would light
// it again at once, so hiding it would only draw a flicker nobody sees, and cost the window
// two redraws of the tool bar and a wake-up for that message every second. The MIDI
// system tells of input the window is not handed (see setRecentInput()).
class ActivityLeds : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 1000;
    static constexpr int RecentMs = 40;

    ActivityLeds(QAbstractButton *inLed, QAbstractButton *outLed, QObject *parent = nullptr);

    // Whether input came within the last `ms`, also input the window was not handed.
    void setRecentInput(std::function<bool(int ms)> heard) { m_recentInput = std::move(heard); }

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
    std::function<bool(int ms)> m_recentInput;
};
