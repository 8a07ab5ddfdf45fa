#include "JackEventClient.h"

#include <QtDebug>

#include <jack/midiport.h>

#include <cstring>

namespace
{
// Room for what a test hands over at once (100 000 one-byte events, a 300 000-byte SysEx)
// and, coming back, for what a loaded server can deliver while the test's thread is held
// up for seconds; the rest of a larger batch waits on the test side.
constexpr size_t ToWriteBytes = size_t(2) << 20;
constexpr size_t ArrivedBytes = size_t(8) << 20;
constexpr size_t CycleWord = sizeof(jack_nframes_t);
} // namespace

JackEventClient::JackEventClient(const QString &name)
    : JackTestPorts(name), m_toWrite(ToWriteBytes), m_arrived(ArrivedBytes)
{
    if (!m_client)
        return;
    m_arrivalRoom = CycleWord + jack_port_type_get_buffer_size(m_client, JACK_DEFAULT_MIDI_TYPE);
    m_arrival = std::make_unique<quint8[]>(m_arrivalRoom);
    jack_set_xrun_callback(m_client, &JackEventClient::onXrun, this);
    activate(&JackEventClient::process, this);
}

JackEventClient::~JackEventClient()
{
    close();
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
    for (const QByteArray &bytes : events)
        if (!bytes.isEmpty())
            m_waiting.push_back(bytes);
    exchange();
}

bool JackEventClient::sent() const
{
    std::lock_guard lock(m_lock);
    exchange();
    return m_waiting.empty() && m_toWrite.isEmpty();
}

QList<JackEventClient::Event> JackEventClient::received() const
{
    std::lock_guard lock(m_lock);
    exchange();
    return m_received;
}

QByteArray JackEventClient::receivedBytes() const
{
    std::lock_guard lock(m_lock);
    exchange();
    QByteArray all;
    for (const Event &event : m_received)
        all += event.bytes;
    return all;
}

int JackEventClient::receivedCount() const
{
    std::lock_guard lock(m_lock);
    exchange();
    return int(m_received.size());
}

void JackEventClient::clearReceived()
{
    std::lock_guard lock(m_lock);
    exchange();
    m_received.clear();
}

bool JackEventClient::serverFaltered(int mark) const
{
    const int late = xruns() - mark;
    if (late == 0)
        return false;
    qWarning("The server reported %d late cycles meanwhile: what it lost or repeated is not held "
             "against the program",
             late);
    return true;
}

bool JackEventClient::sendUntil(const QList<QByteArray> &events, const std::function<bool()> &done, int timeout)
{
    for (int tries = 0; tries < 3; ++tries) {
        const int mark = xruns();
        send(events);
        if (QTest::qWaitFor(done, timeout))
            return true;
        if (!serverFaltered(mark))
            return false;
    }
    return false;
}

void JackEventClient::exchange() const
{
    for (size_t length; (length = m_arrived.frontLength()) != 0; m_arrived.popFront()) {
        Event event;
        m_arrived.copyFront(0, reinterpret_cast<quint8 *>(&event.cycle), CycleWord);
        event.bytes.resize(qsizetype(length - CycleWord));
        m_arrived.copyFront(CycleWord, reinterpret_cast<quint8 *>(event.bytes.data()), length - CycleWord);
        m_received.append(std::move(event));
    }
    if (const quint64 lost = m_arrivalsLost.load(std::memory_order_relaxed); lost != m_lossesWarned) {
        qWarning("JackEventClient: %llu events arrived while the test was not reading; they are lost",
                 static_cast<unsigned long long>(lost));
        m_lossesWarned = lost;
    }
    bool wrote = false;
    while (!m_waiting.empty() &&
           m_toWrite.write(reinterpret_cast<const quint8 *>(m_waiting.front().constData()),
                           size_t(m_waiting.front().size()))) {
        m_waiting.pop_front();
        wrote = true;
    }
    // Published together, so that a batch goes out in one cycle as far as it fits.
    if (wrote)
        m_toWrite.publish();
}

int JackEventClient::process(jack_nframes_t frames, void *arg)
{
    auto *self = static_cast<JackEventClient *>(arg);
    self->takeArrivals(frames);
    self->writeQueued(frames);
    return 0;
}

void JackEventClient::takeArrivals(jack_nframes_t frames)
{
    void *in = jack_port_get_buffer(m_in, frames);
    const jack_nframes_t cycle = jack_last_frame_time(m_client);
    std::memcpy(m_arrival.get(), &cycle, CycleWord);
    const jack_nframes_t count = jack_midi_get_event_count(in);
    quint64 lost = 0;
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, in, i) != 0 || event.size > m_arrivalRoom - CycleWord)
            continue;
        std::memcpy(m_arrival.get() + CycleWord, event.buffer, event.size);
        if (!m_arrived.write(m_arrival.get(), CycleWord + event.size))
            ++lost;
    }
    m_arrived.publish();
    if (lost != 0)
        m_arrivalsLost.store(m_arrivalsLost.load(std::memory_order_relaxed) + lost,
                             std::memory_order_relaxed);
}

void JackEventClient::writeQueued(jack_nframes_t frames)
{
    void *out = jack_port_get_buffer(m_out, frames);
    jack_midi_clear_buffer(out);
    for (size_t length; (length = m_toWrite.frontLength()) != 0; m_toWrite.popFront()) {
        jack_midi_data_t *room = jack_midi_event_reserve(out, 0, length);
        if (!room)
            break; // the buffer is full: the rest goes in the next cycle
        m_toWrite.copyFront(0, room, length);
    }
}

int JackEventClient::onXrun(void *arg)
{
    static_cast<JackEventClient *>(arg)->m_xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}
