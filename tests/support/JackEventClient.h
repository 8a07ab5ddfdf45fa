#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <jack/jack.h>

#include <deque>
#include <mutex>

// A JACK client of the tests' own, with one MIDI input ("in") and one MIDI output ("out"),
// that writes exactly the events it is given, byte for byte (malformed, merged or huge
// ones too), and records every event that arrives with the cycle it arrived in.
//
// Threading: the process callback and the test thread share the queues under a mutex;
// a test client may lock, the program's driver thread may not.
class JackEventClient
{
public:
    struct Event {
        QByteArray bytes;
        jack_nframes_t cycle = 0; // frame time of the cycle's start
    };

    // Opens on the server JACK_DEFAULT_SERVER names; never starts one.
    explicit JackEventClient(const QString &name);
    ~JackEventClient();
    JackEventClient(const JackEventClient &) = delete;
    JackEventClient &operator=(const JackEventClient &) = delete;

    bool isOpen() const { return m_client != nullptr; }
    QString inputName() const;  // "client:in"
    QString outputName() const; // "client:out"
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

private:
    static int process(jack_nframes_t frames, void *arg);

    jack_client_t *m_client = nullptr;
    jack_port_t *m_in = nullptr;
    jack_port_t *m_out = nullptr;
    mutable std::mutex m_lock;
    std::deque<QByteArray> m_toSend;
    QList<Event> m_received;
};
