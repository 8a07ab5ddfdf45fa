#include "JackEventClient.h"

#include <jack/midiport.h>

JackEventClient::JackEventClient(const QString &name)
{
    jack_status_t status;
    m_client = jack_client_open(name.toUtf8().constData(), JackNoStartServer, &status);
    if (!m_client)
        return;
    m_in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    m_out = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(m_client, &JackEventClient::process, this);
    if (!m_in || !m_out || jack_activate(m_client) != 0) {
        jack_client_close(m_client);
        m_client = nullptr;
    }
}

JackEventClient::~JackEventClient()
{
    if (m_client)
        jack_client_close(m_client);
}

QString JackEventClient::inputName() const
{
    return m_client ? QString::fromUtf8(jack_port_name(m_in)) : QString();
}

QString JackEventClient::outputName() const
{
    return m_client ? QString::fromUtf8(jack_port_name(m_out)) : QString();
}

bool JackEventClient::connect(const QString &from, const QString &to)
{
    return m_client && jack_connect(m_client, from.toUtf8().constData(), to.toUtf8().constData()) == 0;
}

bool JackEventClient::disconnect(const QString &from, const QString &to)
{
    return m_client && jack_disconnect(m_client, from.toUtf8().constData(), to.toUtf8().constData()) == 0;
}

void JackEventClient::send(const QList<QByteArray> &events)
{
    std::lock_guard lock(m_lock);
    m_toSend.insert(m_toSend.end(), events.begin(), events.end());
}

bool JackEventClient::sent() const
{
    std::lock_guard lock(m_lock);
    return m_toSend.empty();
}

QList<JackEventClient::Event> JackEventClient::received() const
{
    std::lock_guard lock(m_lock);
    return m_received;
}

QByteArray JackEventClient::receivedBytes() const
{
    std::lock_guard lock(m_lock);
    QByteArray all;
    for (const Event &event : m_received)
        all += event.bytes;
    return all;
}

int JackEventClient::receivedCount() const
{
    std::lock_guard lock(m_lock);
    return int(m_received.size());
}

void JackEventClient::clearReceived()
{
    std::lock_guard lock(m_lock);
    m_received.clear();
}

int JackEventClient::process(jack_nframes_t frames, void *arg)
{
    auto *self = static_cast<JackEventClient *>(arg);
    const jack_nframes_t cycle = jack_last_frame_time(self->m_client);
    void *in = jack_port_get_buffer(self->m_in, frames);
    void *out = jack_port_get_buffer(self->m_out, frames);
    jack_midi_clear_buffer(out);
    std::lock_guard lock(self->m_lock);
    const jack_nframes_t count = jack_midi_get_event_count(in);
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, in, i) == 0)
            self->m_received.append(
                Event{QByteArray(reinterpret_cast<const char *>(event.buffer), int(event.size)), cycle});
    }
    while (!self->m_toSend.empty()) {
        const QByteArray &bytes = self->m_toSend.front();
        if (jack_midi_event_write(out, 0, reinterpret_cast<const jack_midi_data_t *>(bytes.constData()),
                                  size_t(bytes.size())) != 0)
            break;
        self->m_toSend.pop_front();
    }
    return 0;
}
