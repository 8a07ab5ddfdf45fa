#include "JackTestPorts.h"

JackTestPorts::JackTestPorts(const QString &name)
{
    m_client = jack_client_open(name.toUtf8().constData(), JackNoStartServer, nullptr);
    if (!m_client)
        return;
    m_in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    m_out = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
}

JackTestPorts::~JackTestPorts()
{
    close();
}

bool JackTestPorts::activate(JackProcessCallback process, void *arg)
{
    if (!m_client)
        return false;
    jack_set_process_callback(m_client, process, arg);
    if (m_in && m_out && jack_activate(m_client) == 0)
        return true;
    close();
    return false;
}

void JackTestPorts::close()
{
    if (m_client)
        jack_client_close(m_client);
    m_client = nullptr;
}

QString JackTestPorts::inputName() const
{
    return m_client ? QString::fromUtf8(jack_port_name(m_in)) : QString();
}

QString JackTestPorts::outputName() const
{
    return m_client ? QString::fromUtf8(jack_port_name(m_out)) : QString();
}

QStringList JackTestPorts::connections(const QString &port) const
{
    QStringList names;
    jack_port_t *found = m_client ? jack_port_by_name(m_client, port.toUtf8().constData()) : nullptr;
    if (!found)
        return names;
    if (const char **all = jack_port_get_all_connections(m_client, found)) {
        for (const char **name = all; *name; ++name)
            names << QString::fromUtf8(*name);
        jack_free(all);
    }
    return names;
}
