#pragma once

#include <QObject>

class MidiSystem;
class QTimer;

// When the device lists are compared with the MIDI system: at once when the system has
// news, again a little later, and once a second whatever it says.
//
// News may come before the lists show it (a JACK client that closes the ordinary way says
// its ports have gone while the server still lists them, for a cycle or more), news may
// be lost, and a system may have none to give (ALSA without its announcements): the
// comparisons after the news and on the clock make the lists follow what the system
// lists, however the news came. A comparison that finds nothing changed changes nothing.
//
// Threading: GUI thread only.
class DeviceWatch : public QObject
{
    Q_OBJECT
public:
    // Receives the system's news from now on.
    DeviceWatch(MidiSystem &system, QObject *parent);
    ~DeviceWatch() override;

    // Starts comparing on the clock too.
    void start();

signals:
    void compare();

protected:
    bool event(QEvent *e) override;

private:
    void recheck();

    MidiSystem &m_system;
    QTimer *m_clock;
    QTimer *m_afterNews;
    int m_recheck = 0; // the comparisons after the last news made so far
};
