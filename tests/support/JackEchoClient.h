#pragma once

#include "JackTestPorts.h"

#include <atomic>

// A unit with MIDI echo: a JACK client of the tests' own that writes every event arriving
// at its input ("in") to its output ("out") in the same cycle, at the same time. Its
// process callback neither allocates, locks nor waits.
class JackEchoClient : public JackTestPorts
{
public:
    explicit JackEchoClient(const QString &name);
    ~JackEchoClient();
    quint64 echoed() const { return m_echoed.load(std::memory_order_relaxed); }

private:
    static int process(jack_nframes_t frames, void *arg);

    std::atomic<quint64> m_echoed{0};
};
