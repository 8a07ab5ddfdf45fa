#pragma once

#include <QString>
#include <QStringList>

#include <jack/jack.h>

// The part every JACK client of the tests' own shares: a client on the server
// JACK_DEFAULT_SERVER names (never one it starts), with one MIDI input ("in") and one MIDI
// output ("out"). The owner makes what its process callback uses first, then activates;
// its destructor closes before that storage goes, since the callback may run until then.
class JackTestPorts
{
public:
    ~JackTestPorts();
    JackTestPorts(const JackTestPorts &) = delete;
    JackTestPorts &operator=(const JackTestPorts &) = delete;

    bool isOpen() const { return m_client != nullptr; }
    QString inputName() const;  // "client:in"
    QString outputName() const; // "client:out"
    // The ports connected to `port` (any client's), as the server has them now.
    QStringList connections(const QString &port) const;

protected:
    explicit JackTestPorts(const QString &name);
    // False, with the client closed, when the ports or the activation failed.
    bool activate(JackProcessCallback process, void *arg);
    void close();

    jack_client_t *m_client = nullptr;
    jack_port_t *m_in = nullptr;
    jack_port_t *m_out = nullptr;
};
