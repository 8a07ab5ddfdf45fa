#include "JackEchoClient.h"

#include <jack/midiport.h>

JackEchoClient::JackEchoClient(const QString &name) : JackTestPorts(name)
{
    activate(&JackEchoClient::process, this);
}

JackEchoClient::~JackEchoClient()
{
    close();
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
