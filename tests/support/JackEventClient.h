#pragma once

#include "JackTestPorts.h"
#include "platform/JackOutputRing.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTest>

#include <jack/jack.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// A JACK client of the tests' own, with one MIDI input ("in") and one MIDI output ("out"),
// that writes exactly the events it is given, byte for byte (malformed, merged or huge
// ones too), and records every event that arrives with the cycle it arrived in.
//
// Threading: the process callback obeys the program's own rule, since a server under load
// cancels a client thread that overstays its cycle: it allocates nothing, takes no lock
// and never waits. It meets the test's thread only through two lock-free rings made before
// activation: one of events to write, one of events that arrived. Every public member is
// for the test's threads; each of them first drains what arrived and tops up what is to
// be sent, so a test that polls any of them keeps both rings moving.
class JackEventClient : public JackTestPorts
{
public:
    struct Event {
        QByteArray bytes;
        jack_nframes_t cycle = 0; // frame time of the cycle's start
    };

    // Opens on the server JACK_DEFAULT_SERVER names; never starts one.
    explicit JackEventClient(const QString &name);
    ~JackEventClient();

    // Connects any two ports of the server.
    bool connect(const QString &from, const QString &to);
    bool disconnect(const QString &from, const QString &to);

    // The events are written in order from the next cycle on, in the same cycle as far as
    // they fit.
    void send(const QList<QByteArray> &events);
    bool sent() const;

    QList<Event> received() const;
    // Every byte received, events joined.
    QByteArray receivedBytes() const;
    int receivedCount() const;
    void clearReceived();
    // Times the server reported a cycle it could not finish in time since the client
    // opened: an end-to-end count is exact only while this stays put.
    int xruns() const { return m_xruns.load(std::memory_order_relaxed); }
    // True, with a warning, when the server reported a late cycle since `mark` (an earlier
    // xruns()): it may have lost or repeated events between clients meanwhile. Asked only
    // where what arrived differs from what should have: a difference then tests the
    // server, not the program, and is not held against it.
    bool serverFaltered(int mark = 0) const;
    // Sends `events` and waits up to `timeout` ms for `done`; sends them again (three times
    // in all) only when the server reported a late cycle meanwhile, in which it may have
    // lost them. False when a send the server ran cleanly had no effect.
    bool sendUntil(const QList<QByteArray> &events, const std::function<bool()> &done, int timeout);

private:
    static int process(jack_nframes_t frames, void *arg);
    static int onXrun(void *arg);
    void takeArrivals(jack_nframes_t frames);
    void writeQueued(jack_nframes_t frames);
    // Test side, under m_lock.
    void exchange() const;

    // Test thread to process thread, and back; each record of the second starts with the
    // cycle it arrived in.
    mutable JackOutputRing m_toWrite;
    mutable JackOutputRing m_arrived;
    // Room for the largest event the server can hand over, with its cycle in front.
    std::unique_ptr<quint8[]> m_arrival;
    size_t m_arrivalRoom = 0;
    std::atomic<int> m_xruns{0};
    std::atomic<quint64> m_arrivalsLost{0}; // written by the process thread only

    // The test side's own, behind the rings.
    mutable std::mutex m_lock;
    mutable std::deque<QByteArray> m_waiting; // did not fit in m_toWrite yet
    mutable QList<Event> m_received;
    mutable quint64 m_lossesWarned = 0;
};

// QTRY_VERIFY_WITH_TIMEOUT for what must arrive at `client` through the server: a miss
// while the server reported late cycles since the client opened is warned about, not
// failed, since the server itself lost it.
#define PW_TRY_ARRIVES(client, expr, timeout)                                                                \
    do {                                                                                                     \
        if (!QTest::qWaitFor([&] { return bool(expr); }, timeout) && !(client).serverFaltered())             \
            QVERIFY2(expr, #expr);                                                                           \
    } while (false)
