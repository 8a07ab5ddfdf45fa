#pragma once

#include <QString>

#include <jack/jack.h>

#include <atomic>

// A unit with MIDI echo: a JACK client of the tests' own that writes every event arriving
// at its input ("in") to its output ("out") in the same cycle, at the same time. Its
// process callback neither allocates, locks nor waits.
class JackEchoClient
{
public:
    explicit JackEchoClient(const QString &name);
    ~JackEchoClient();
    JackEchoClient(const JackEchoClient &) = delete;
    JackEchoClient &operator=(const JackEchoClient &) = delete;

    bool isOpen() const { return m_client != nullptr; }
    QString inputName() const;
    QString outputName() const;
    quint64 echoed() const { return m_echoed.load(std::memory_order_relaxed); }

private:
    static int process(jack_nframes_t frames, void *arg);

    jack_client_t *m_client = nullptr;
    jack_port_t *m_in = nullptr;
    jack_port_t *m_out = nullptr;
    std::atomic<quint64> m_echoed{0};
};
