#include "JackEchoClient.h"

#include <jack/midiport.h>

JackEchoClient::JackEchoClient(const QString &name)
{
    m_client = jack_client_open(name.toUtf8().constData(), JackNoStartServer, nullptr);
    if (!m_client)
        return;
    m_in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    m_out = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(m_client, &JackEchoClient::process, this);
    if (!m_in || !m_out || jack_activate(m_client) != 0) {
        jack_client_close(m_client);
        m_client = nullptr;
    }
}

JackEchoClient::~JackEchoClient()
{
    if (m_client)
        jack_client_close(m_client);
}

QString JackEchoClient::inputName() const
{
    return m_client ? QString::fromUtf8(jack_port_name(m_in)) : QString();
}

QString JackEchoClient::outputName() const
{
    return m_client ? QString::fromUtf8(jack_port_name(m_out)) : QString();
}

int JackEchoClient::process(jack_nframes_t frames, void *arg)
{
    auto *self = static_cast<JackEchoClient *>(arg);
    void *in = jack_port_get_buffer(self->m_in, frames);
    void *out = jack_port_get_buffer(self->m_out, frames);
    jack_midi_clear_buffer(out);
    const jack_nframes_t count = jack_midi_get_event_count(in);
    quint64 echoed = 0;
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, in, i) == 0 &&
            jack_midi_event_write(out, event.time, event.buffer, event.size) == 0)
            ++echoed;
    }
    self->m_echoed.fetch_add(echoed, std::memory_order_relaxed);
    return 0;
}
