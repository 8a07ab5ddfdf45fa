#include "JackMidiSystem.h"

#include "InputCopyBatch.h"
#include "JackOutputRing.h"
#include "MidiThru.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{

constexpr quint16 ModMidiPort = 1; // technology code of a MIDI port
constexpr quint32 DriverVersion = 0x0100;
// Enough for any message the ports send (a SysEx block is at most 64 KiB) many times
// over; made when a port opens, never on the process thread.
constexpr size_t OutputRingBytes = size_t(1) << 20;
constexpr size_t MaxPorts = 32;
// How long the GUI thread waits for the process thread (a cycle to end, a ring to drain)
// before it goes on regardless: a server that stopped answering must not hang the program.
constexpr int ProcessWaitMs = 1000;
// The first cycles after a new connection are unsteady: the reader at the other end now
// waits for our client, and on a loaded server some of its cycles are skipped. Traced
// with a sink at 64 frames: the cycle of our first write was missing from the sink's, and
// the first song at start-up was lost, in 3 to 6 of 30 launches when sent as soon as the
// connection showed and in 3 of 40 two cycles later; none of 40 after 21 ms (sixteen
// cycles), none of 30 after 5 ms. It is a matter of time, not of cycles (at 256 frames
// none of 30 was lost with no wait at all), so the hold is counted in time: at large
// periods sixteen cycles would delay the first song by a third of a second. The hold
// still ends after a second at most. A port made and connected at start-up counts it from
// the connection, so it passes while the windows are built. Measured again with a
// non-real-time server and both cores busy: lost in 6 of 90 launches with no hold (5 of
// 60 in a later run), 1 of 90 after 10 ms, none of 30 after 20 ms. A server with
// real-time scheduling, as players run it, does not skip the reader's cycles so: with no
// hold, none of 60 was lost with both cores busy and none of 60 on an idle machine. It
// gets a short hold, which at start-up would otherwise be the last thing the first song
// waits for.
constexpr int SettleMs = 20;
constexpr int RealTimeSettleMs = 5;
// Where a cycle's input events are copied while thru runs: a late cycle of ours can find
// the source already writing its next cycle into the buffer we read, and thru and the
// input port must read the same bytes (larger events are read in place by both).
constexpr size_t InputCopyBytes = size_t(64) << 10;

// How often at most the window is handed a message that it only shows (the last of a run
// of notes and controllers) while its input row is on screen: a few times a second is all
// an eye follows, and every hand-on may wake the window.
constexpr int ShownSpacingMs = 50;

enum WakeFlag : unsigned { PortsChanged = 1, ConnectionsChanged = 2, ServerGone = 4 };

// Set while JACK is asked for a server that may not be there, so that libjack's "cannot
// connect" lines do not fill stderr (once a second while the program waits for one); the
// status of a failed open says what went wrong instead.
std::atomic<bool> quietJack{false};
void jackError(const char *message)
{
    if (!quietJack.load(std::memory_order_relaxed))
        fprintf(stderr, "%s\n", message);
}

jack_client_t *openJackClient(jack_status_t &status)
{
    quietJack.store(true);
    jack_set_error_function(&jackError);
    jack_set_info_function(&jackError);
    jack_client_t *opened =
        jack_client_open(JackMidiSystem::clientName().toUtf8().constData(), JackNoStartServer, &status);
    quietJack.store(false);
    return opened;
}

// What the process thread knows of one open port. The GUI thread owns it; the process
// thread reaches it only through the port table.
struct PortLink {
    jack_port_t *port = nullptr;
    MidiInputFeed *feed = nullptr;        // input ports
    std::unique_ptr<JackOutputRing> ring; // output ports
    // An output port opened on a device holds its messages until its connection has
    // taken effect (or a second has passed), or the first of them would leave on an
    // unconnected port.
    std::atomic<bool> holding{false};
    std::atomic<jack_nframes_t> holdUntil{0};
    bool connectionShown = false;   // process thread: the connection has shown
    jack_nframes_t connectedAt = 0; // process thread: the frame time it first showed
    size_t frontSent = 0;           // process thread: bytes of the front message already written
    jack_nframes_t thruFloor = 0;   // process thread: forwarded events of this cycle go from here on
    size_t visible = 0;             // process thread: how far this cycle reads the ring
    size_t seen = 0;                // process thread: the ring's published position, being read
    InputCopyBatch::Held shown;     // process thread: what the window is yet to be handed
    quint64 generation = 0;
    int slot = -1;
};

} // namespace

// The JACK client and everything its threads share with the GUI thread.
struct JackMidiSystem::Private {
    JackMidiSystem *system = nullptr;
    jack_client_t *client = nullptr;
    std::string clientName;
    quint64 generation = 0; // one per client opened
    std::atomic<bool> running{false};

    std::array<std::atomic<PortLink *>, MaxPorts> table{};
    std::atomic<quint64> cyclesStarted{0};
    std::atomic<quint64> cyclesDone{0};
    jack_nframes_t settleFrames = 0; // set before the client is activated
    jack_nframes_t shownSpacing = 0; // set before the client is activated
    std::atomic<InputShown> inputShown{InputShown::Latest};
    std::atomic<quint64> eventsIn{0};      // written by the process thread only
    std::atomic<quint64> messagesOut{0};   // written by the process thread only
    std::atomic<quint64> copiesLeftOut{0}; // written by the process thread only
    // Written by the process thread only: the frame time the last cycle with input began.
    std::atomic<jack_nframes_t> inputAt{0};
    std::vector<PortLink *> outputs;       // GUI thread: the output ports of this client

    // Thru on the process thread, from one input port to one output port.
    std::unique_ptr<MidiThru> thru;
    std::atomic<PortLink *> thruFrom{nullptr};
    std::atomic<PortLink *> thruTo{nullptr};
    // Thru from the extra inputs, each with a forwarder of its own, into the same cycle.
    struct ExtraThru {
        std::unique_ptr<MidiThru> thru;
        std::atomic<PortLink *> from{nullptr};
        std::atomic<PortLink *> to{nullptr};
    };
    std::array<ExtraThru, ThruRules::ExtraInputCount> extraThru;
    // Process thread: this cycle's input events as thru and the feed both read them.
    std::unique_ptr<quint8[]> inputCopy{new quint8[InputCopyBytes]};

    std::atomic<unsigned> wakeFlags{0};
    std::atomic<bool> wakePending{false};
    int wakeFd = -1;
    std::unique_ptr<QObject> agent; // lives on the GUI thread: notifier, timer, flush events
    QSocketNotifier *wakeNotifier = nullptr;
    QTimer *retry = nullptr;
    bool flushPosted = false;
    int holds = 0;          // holdOutput() calls not yet ended
    bool heldSends = false; // a port was sent to while held
    bool lastLooped = false;
    QPointer<QObject> watcher;

    std::vector<std::string> outNames;
    std::vector<std::string> inNames;

    // An output port made and connected ahead of its first open: its connection settles
    // while the windows are built, and the first open on that device takes it.
    struct PreparedOutput {
        jack_port_t *port = nullptr;
        std::string device;
        jack_nframes_t connectedAt = 0;
    };
    PreparedOutput prepared;
    void registerPrepared(const std::string &device);
    void connectPrepared();
    bool takePrepared(PortLink &link, const std::string &device);

    // Opens and activates the client. `preparedOutput`, if given, names the device that an
    // output port is prepared for, asked once the client is open: the port is registered
    // before the activation and connected after it (a client connects only when active).
    bool openClient(jack_status_t &status, const std::function<std::string()> &preparedOutput = {});
    // An early client opening on a thread of its own, until settle() has waited for it. The
    // GUI thread touches nothing that thread sets (the client, its names, the prepared port)
    // before that.
    std::future<void> opening;
    void settle()
    {
        if (opening.valid())
            opening.get();
    }
    void closeClient();
    void wake(unsigned flags);
    void onWake();
    void postChange();
    bool keepWhileHeld(); // true while holdOutput() holds: the caller's sends wait for its end
    void scheduleFlush();
    void flush();
    // Publishes every output's messages as of one moment: a process cycle takes all of them
    // or none (a recall across several ports leaves in one cycle).
    void publishAll();
    void takePublished();
    std::atomic<quint32> publishing{0}; // odd while publishAll() runs
    bool attach(PortLink *link);
    void detach(PortLink *link);
    bool waitForCycleEnd();
    bool current(const PortLink &link) const
    {
        return running.load(std::memory_order_acquire) && link.generation == generation;
    }
    std::vector<std::string> list(unsigned long flags) const;
    jack_port_t *registerPort(const QString &baseName, unsigned long flags);
    quint16 openLink(PortLink &link, int device, bool output);

    static int process(jack_nframes_t frames, void *arg);
    void writeOutput(PortLink &link, jack_nframes_t frames, quint64 cycle);
    void readInput(PortLink &link, jack_nframes_t frames, quint64 cycle);
    quint64 drain(PortLink &link, void *buffer, quint64 cycle);
    void connectThru(PortLink *from, PortLink *to);
    void connectExtraThru(int source, PortLink *from, PortLink *to);
    // Process thread: the forwarder of the route out of `link` and where it goes (null: none).
    PortLink *routeFrom(const PortLink &link, MidiThru *&via) const;
    // Every forwarder that writes into `link`, for `act`.
    template <typename Act> void forEachThruInto(const PortLink &link, Act &&act) const;
    void setKnownLoop(bool looped);
    bool settled(PortLink &link, jack_nframes_t now) const;
    static void portRegistered(jack_port_id_t id, int, void *arg);
    static void portRenamed(jack_port_id_t, const char *, const char *, void *arg);
    static void clientRegistered(const char *, int, void *arg);
    static void portsConnected(jack_port_id_t a, jack_port_id_t b, int, void *arg);
    static void shutDown(jack_status_t, const char *, void *arg);
};

namespace
{

// A flush request from a port, posted to the agent so that it runs once the GUI thread
// has finished what it is doing now.
constexpr QEvent::Type FlushEvent = QEvent::Type(QEvent::User + 0x3D1);

class Agent : public QObject
{
public:
    explicit Agent(JackMidiSystem::Private *d) : m_d(d) {}
    bool event(QEvent *e) override
    {
        if (e->type() != FlushEvent)
            return QObject::event(e);
        m_d->flush();
        return true;
    }

private:
    JackMidiSystem::Private *m_d;
};

class JackOutPort : public MidiOutPort
{
public:
    JackOutPort(JackMidiSystem::Private *d, std::unique_ptr<PortLink> link) : m_d(d), m_link(std::move(link))
    {
    }
    ~JackOutPort() override { m_d->detach(m_link.get()); }
    PortLink *link() const { return m_link.get(); }

    quint16 sendShort(quint32 packed) override { return handOn(writeShort(packed)); }
    quint16 sendLong(const quint8 *bytes, size_t length) override
    {
        if (!m_d->current(*m_link))
            return MidiResult::NoDevice;
        if (length > OutputRingBytes / 2)
            return MidiResult::InvalidParameter;
        return handOn(m_link->ring->write(bytes, length) ? MidiResult::NoError : MidiResult::NotReady);
    }
    // Published at once, with whatever single sends still wait: the batch is taken by one
    // process cycle, and needs no flush event to get there. Under a hold it waits with
    // the other held sends.
    quint16 sendShorts(std::span<const quint32> messages, size_t &sent) override
    {
        const quint16 result =
            sendEachShort(messages, sent, [this](quint32 message) { return writeShort(message); });
        if (!m_d->keepWhileHeld())
            m_link->ring->publish();
        return result;
    }

private:
    // After a single send: a refused message lets what is waiting go now, so that the
    // ring empties; an accepted one goes with the next flush.
    quint16 handOn(quint16 result)
    {
        if (result == MidiResult::NotReady)
            m_link->ring->publish();
        else if (result == MidiResult::NoError)
            m_d->scheduleFlush();
        return result;
    }

    // The message into the ring, not yet published.
    quint16 writeShort(quint32 packed)
    {
        const quint8 bytes[3] = {quint8(packed), quint8(packed >> 8), quint8(packed >> 16)};
        const int length = midiShortMessageLength(bytes[0]);
        if (length == 0)
            return MidiResult::InvalidParameter;
        if (!m_d->current(*m_link))
            return MidiResult::NoDevice;
        return m_link->ring->write(bytes, size_t(length)) ? MidiResult::NoError : MidiResult::NotReady;
    }

    JackMidiSystem::Private *m_d;
    std::unique_ptr<PortLink> m_link;
};

class JackInPort : public MidiInPort
{
public:
    JackInPort(JackMidiSystem::Private *d, std::unique_ptr<PortLink> link) : m_d(d), m_link(std::move(link))
    {
    }
    ~JackInPort() override { m_d->detach(m_link.get()); }
    quint16 bufferRefusal() const override { return m_d->current(*m_link) ? 0 : MidiResult::NoDevice; }
    PortLink *link() const { return m_link.get(); }

private:
    JackMidiSystem::Private *m_d;
    std::unique_ptr<PortLink> m_link;
};

} // namespace

namespace
{

// Forwarded messages keep the time they came in at, as a connection in the server would.
class JackThruOutput final : public MidiThru::Output
{
public:
    JackThruOutput(void *buffer, quint64 &written) : m_buffer(buffer), m_written(written) {}
    jack_nframes_t time = 0;
    quint16 write(const quint8 *bytes, size_t length, bool completes) override
    {
        if (jack_midi_event_write(m_buffer, time, bytes, length) != 0)
            return length > jack_midi_max_event_size(m_buffer) && length > 3 ? MidiResult::InvalidParameter
                                                                             : MidiResult::NotReady;
        m_written += completes ? 1 : 0;
        return MidiResult::NoError;
    }

private:
    void *m_buffer;
    quint64 &m_written;
};

} // namespace

int JackMidiSystem::Private::process(jack_nframes_t frames, void *arg)
{
    auto *d = static_cast<Private *>(arg);
    const quint64 cycle = d->cyclesStarted.fetch_add(1) + 1;
    d->takePublished();
    // Outputs first: thru then adds this cycle's input behind what the window sent.
    for (auto &entry : d->table)
        if (PortLink *link = entry.load(); link && link->ring)
            d->writeOutput(*link, frames, cycle);
    for (auto &entry : d->table)
        if (PortLink *link = entry.load(); link && link->feed)
            d->readInput(*link, frames, cycle);
    if (d->thruFrom.load(std::memory_order_acquire))
        d->thru->endCycle(cycle);
    for (const ExtraThru &route : d->extraThru)
        if (route.from.load(std::memory_order_acquire))
            route.thru->endCycle(cycle);
    d->cyclesDone.fetch_add(1);
    return 0;
}

void JackMidiSystem::Private::readInput(PortLink &link, jack_nframes_t frames, quint64 cycle)
{
    void *buffer = jack_port_get_buffer(link.port, frames);
    MidiThru *via = nullptr;
    PortLink *to = routeFrom(link, via);
    quint64 forwarded = 0;
    JackThruOutput out(to ? jack_port_get_buffer(to->port, frames) : nullptr, forwarded);
    InputCopyBatch toWindow(*link.feed, inputCopy.get(), to ? InputCopyBytes : 0, link.shown,
                            jack_last_frame_time(client), shownSpacing,
                            inputShown.load(std::memory_order_relaxed));
    const jack_nframes_t count = jack_midi_get_event_count(buffer);
    quint64 taken = 0;
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
            continue;
        ++taken;
        const quint8 *bytes = toWindow.copy(event.buffer, event.size);
        if (!to) {
            toWindow.add(bytes, event.size);
            continue;
        }
        const MidiThruGate::WindowUse needs = via->windowUse(bytes, event.size);
        // Several inputs merge into one buffer, whose events go in time order.
        out.time = std::max(event.time, to->thruFloor);
        to->thruFloor = out.time;
        via->take(bytes, event.size, out, cycle);
        switch (needs) {
        case MidiThruGate::WindowUse::Every:
            toWindow.add(bytes, event.size);
            break;
        case MidiThruGate::WindowUse::ShowsOnly:
            toWindow.addShownOnly(bytes, event.size);
            break;
        case MidiThruGate::WindowUse::LastOfRun:
            toWindow.addLastOfRun(bytes, event.size);
            break;
        }
    }
    toWindow.finish();
    if (taken > 0)
        inputAt.store(jack_last_frame_time(client), std::memory_order_relaxed);
    eventsIn.store(eventsIn.load(std::memory_order_relaxed) + taken, std::memory_order_release);
    messagesOut.store(messagesOut.load(std::memory_order_relaxed) + forwarded, std::memory_order_relaxed);
    copiesLeftOut.store(copiesLeftOut.load(std::memory_order_relaxed) + toWindow.leftOut(),
                        std::memory_order_relaxed);
}

void JackMidiSystem::Private::writeOutput(PortLink &link, jack_nframes_t frames, quint64 cycle)
{
    void *buffer = jack_port_get_buffer(link.port, frames);
    jack_midi_clear_buffer(buffer);
    link.thruFloor = 0;
    if (link.holding.load(std::memory_order_acquire)) {
        const jack_nframes_t now = jack_last_frame_time(client);
        const bool waited = qint32(now - link.holdUntil.load(std::memory_order_relaxed)) >= 0;
        if (!waited && !settled(link, now))
            return;
        link.holding.store(false, std::memory_order_relaxed);
    }
    // A SysEx that thru passes on in pieces is not to be cut into by the window's sends.
    bool midMessage = false;
    forEachThruInto(link, [&](MidiThru &into) { midMessage = midMessage || into.midMessage(cycle); });
    if (midMessage)
        return;
    const quint64 written = drain(link, buffer, cycle);
    messagesOut.store(messagesOut.load(std::memory_order_relaxed) + written, std::memory_order_relaxed);
}

// Process thread: whether a held port's connection has shown long enough for the
// reader's cycles to follow ours.
bool JackMidiSystem::Private::settled(PortLink &link, jack_nframes_t now) const
{
    if (!link.connectionShown) {
        if (jack_port_connected(link.port) == 0)
            return false;
        link.connectionShown = true;
        link.connectedAt = now;
    }
    return qint32(now - link.connectedAt) >= qint32(settleFrames);
}

// Writes the published messages at the start of the cycle, in order, as far as the
// buffer takes them; the rest waits for the next cycle. A message larger than a whole
// empty buffer (a long SysEx) goes out in pieces. Returns the messages finished.
quint64 JackMidiSystem::Private::drain(PortLink &link, void *buffer, quint64 cycle)
{
    quint64 finished = 0;
    JackOutputRing &ring = *link.ring;
    const size_t emptyRoom = jack_midi_max_event_size(buffer);
    while (const size_t length = ring.frontLength(link.visible)) {
        const size_t left = length - link.frontSent;
        const size_t room = jack_midi_max_event_size(buffer);
        size_t count = left;
        if (left > room) {
            if (left <= emptyRoom || room == 0)
                break;
            count = room;
        }
        jack_midi_data_t *to = jack_midi_event_reserve(buffer, 0, count);
        if (!to)
            break;
        ring.copyFront(link.frontSent, to, count);
        if (count == length)
            forEachThruInto(link, [&](MidiThru &into) { into.sentByOthers(to, count, cycle); });
        link.frontSent += count;
        if (link.frontSent == length) {
            ring.popFront();
            link.frontSent = 0;
            ++finished;
        }
    }
    return finished;
}

void JackMidiSystem::Private::wake(unsigned flags)
{
    wakeFlags.fetch_or(flags);
    if (!wakePending.exchange(true)) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    }
}

void JackMidiSystem::Private::portRegistered(jack_port_id_t id, int, void *arg)
{
    auto *d = static_cast<Private *>(arg);
    // Our own ports are never listed: their coming and going changes no list.
    jack_port_t *port = d->client ? jack_port_by_id(d->client, id) : nullptr;
    if (port && jack_port_is_mine(d->client, port))
        return;
    d->wake(PortsChanged);
}

void JackMidiSystem::Private::portRenamed(jack_port_id_t, const char *, const char *, void *arg)
{
    static_cast<Private *>(arg)->wake(PortsChanged);
}

// A client that closes the ordinary way says its ports have gone before the server stops
// listing them; that it has gone itself comes later, mostly once they are no longer listed.
void JackMidiSystem::Private::clientRegistered(const char *, int, void *arg)
{
    static_cast<Private *>(arg)->wake(PortsChanged);
}

void JackMidiSystem::Private::portsConnected(jack_port_id_t a, jack_port_id_t b, int, void *arg)
{
    auto *d = static_cast<Private *>(arg);
    if (!d->client)
        return;
    jack_port_t *first = jack_port_by_id(d->client, a);
    jack_port_t *second = jack_port_by_id(d->client, b);
    // Only a connection between two of our own ports can make or break a loop.
    if (first && second && jack_port_is_mine(d->client, first) && jack_port_is_mine(d->client, second))
        d->wake(ConnectionsChanged);
}

void JackMidiSystem::Private::shutDown(jack_status_t, const char *, void *arg)
{
    auto *d = static_cast<Private *>(arg);
    d->running.store(false, std::memory_order_release);
    d->wake(ServerGone);
}

bool JackMidiSystem::Private::openClient(jack_status_t &status,
                                         const std::function<std::string()> &preparedOutput)
{
    jack_client_t *opened = openJackClient(status);
    if (!opened)
        return false;
    client = opened;
    ++generation;
    clientName = jack_get_client_name(client);
    const int settleMs = jack_is_realtime(client) ? RealTimeSettleMs : SettleMs;
    settleFrames = jack_nframes_t(quint64(jack_get_sample_rate(client)) * settleMs / 1000);
    shownSpacing = jack_nframes_t(quint64(jack_get_sample_rate(client)) * ShownSpacingMs / 1000);
    jack_set_process_callback(client, &Private::process, this);
    jack_set_port_registration_callback(client, &Private::portRegistered, this);
    jack_set_port_rename_callback(client, &Private::portRenamed, this);
    jack_set_client_registration_callback(client, &Private::clientRegistered, this);
    jack_set_port_connect_callback(client, &Private::portsConnected, this);
    jack_on_info_shutdown(client, &Private::shutDown, this);
    if (preparedOutput)
        registerPrepared(preparedOutput());
    running.store(true, std::memory_order_release);
    if (jack_activate(client) != 0) {
        status = jack_status_t(status | JackFailure);
        running.store(false);
        prepared = {};
        jack_client_close(client);
        client = nullptr;
        return false;
    }
    connectPrepared();
    return true;
}

void JackMidiSystem::Private::closeClient()
{
    // The process thread is gone with the server: nothing reads the table any more.
    for (auto &entry : table)
        entry.store(nullptr);
    thruFrom.store(nullptr);
    thruTo.store(nullptr);
    for (ExtraThru &route : extraThru) {
        route.from.store(nullptr);
        route.to.store(nullptr);
    }
    outputs.clear();
    prepared = {}; // its port went with the client
    outNames.clear();
    inNames.clear();
    jack_client_t *old = client;
    client = nullptr;
    if (old)
        jack_client_close(old);
}

void JackMidiSystem::Private::onWake()
{
    settle();
    quint64 count;
    [[maybe_unused]] const ssize_t got = ::read(wakeFd, &count, sizeof count);
    wakePending.store(false);
    const unsigned flags = wakeFlags.exchange(0);
    bool changed = flags & PortsChanged;
    if ((flags & ServerGone) && client) {
        closeClient();
        retry->start();
        changed = true;
    }
    if (flags & (ConnectionsChanged | ServerGone)) {
        const bool looped = system->loopedBack();
        setKnownLoop(looped);
        changed = changed || looped != lastLooped;
        lastLooped = looped;
    }
    if (changed)
        postChange();
}

void JackMidiSystem::Private::postChange()
{
    if (watcher)
        QCoreApplication::postEvent(watcher, new MidiSystemChangedEvent);
}

bool JackMidiSystem::Private::keepWhileHeld()
{
    if (holds == 0)
        return false;
    heldSends = true;
    return true;
}

void JackMidiSystem::Private::scheduleFlush()
{
    if (keepWhileHeld() || flushPosted)
        return;
    flushPosted = true;
    QCoreApplication::postEvent(agent.get(), new QEvent(FlushEvent));
}

void JackMidiSystem::Private::flush()
{
    flushPosted = false;
    publishAll();
}

void JackMidiSystem::Private::publishAll()
{
    const quint32 round = publishing.load(std::memory_order_relaxed);
    publishing.store(round + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (PortLink *link : outputs)
        link->ring->publish();
    publishing.store(round + 2, std::memory_order_release);
}

// Process thread: how far each output's ring is read this cycle. A view read while
// publishAll() ran, or across its start, could hold one port's part of a recall and not
// another's: then the last cycle's view holds and the recall goes whole next cycle.
void JackMidiSystem::Private::takePublished()
{
    const quint32 before = publishing.load(std::memory_order_acquire);
    if (before & 1)
        return;
    for (auto &entry : table)
        if (PortLink *link = entry.load(); link && link->ring)
            link->seen = link->ring->publishedUpTo();
    std::atomic_thread_fence(std::memory_order_acquire);
    if (publishing.load(std::memory_order_relaxed) != before)
        return;
    for (auto &entry : table)
        if (PortLink *link = entry.load(); link && link->ring)
            link->visible = link->seen;
}

// The process thread forwards along no route while it is changed: it finishes the cycle it
// is in first.
void JackMidiSystem::Private::connectThru(PortLink *from, PortLink *to)
{
    thruFrom.store(nullptr, std::memory_order_release);
    thruTo.store(nullptr, std::memory_order_release);
    waitForCycleEnd();
    thru->reset();
    thru->echoes().setKnownLoop(lastLooped);
    if (!from || !to || !current(*from) || !current(*to))
        return;
    thruTo.store(to, std::memory_order_release);
    thruFrom.store(from, std::memory_order_release);
}

void JackMidiSystem::Private::connectExtraThru(int source, PortLink *from, PortLink *to)
{
    ExtraThru &route = extraThru[size_t(source - 1)];
    route.from.store(nullptr, std::memory_order_release);
    route.to.store(nullptr, std::memory_order_release);
    waitForCycleEnd();
    route.thru->reset();
    route.thru->echoes().setKnownLoop(lastLooped);
    if (!from || !to || !current(*from) || !current(*to))
        return;
    route.to.store(to, std::memory_order_release);
    route.from.store(from, std::memory_order_release);
}

PortLink *JackMidiSystem::Private::routeFrom(const PortLink &link, MidiThru *&via) const
{
    if (thruFrom.load(std::memory_order_acquire) == &link) {
        via = thru.get();
        return thruTo.load(std::memory_order_acquire);
    }
    for (const ExtraThru &route : extraThru)
        if (route.from.load(std::memory_order_acquire) == &link) {
            via = route.thru.get();
            return route.to.load(std::memory_order_acquire);
        }
    return nullptr;
}

template <typename Act> void JackMidiSystem::Private::forEachThruInto(const PortLink &link, Act &&act) const
{
    if (thruTo.load(std::memory_order_relaxed) == &link)
        act(*thru);
    for (const ExtraThru &route : extraThru)
        if (route.to.load(std::memory_order_relaxed) == &link)
            act(*route.thru);
}

void JackMidiSystem::Private::setKnownLoop(bool looped)
{
    thru->echoes().setKnownLoop(looped);
    for (ExtraThru &route : extraThru)
        route.thru->echoes().setKnownLoop(looped);
}

bool JackMidiSystem::Private::waitForCycleEnd()
{
    const quint64 started = cyclesStarted.load();
    QDeadlineTimer deadline(ProcessWaitMs);
    while (cyclesDone.load() < started) {
        if (!running.load() || deadline.hasExpired())
            return false;
        QThread::usleep(200);
    }
    return true;
}

bool JackMidiSystem::Private::attach(PortLink *link)
{
    link->generation = generation;
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].load())
            continue;
        link->slot = int(i);
        table[i].store(link);
        if (link->ring)
            outputs.push_back(link);
        return true;
    }
    return false;
}

void JackMidiSystem::Private::detach(PortLink *link)
{
    if (!current(*link)) {
        // Its client is gone, and its port with it. A port closed between the server's
        // end and the GUI thread hearing of it must still leave the lists: a flush already
        // posted would reach it after it is freed.
        std::erase(outputs, link);
        if (link->generation == generation && link->slot >= 0)
            table[size_t(link->slot)].store(nullptr);
        return;
    }
    if (link->ring) {
        // What was sent before the close still goes out.
        link->ring->publish();
        QDeadlineTimer deadline(ProcessWaitMs);
        while (!link->ring->isEmpty() && running.load() && !deadline.hasExpired())
            QThread::usleep(200);
        std::erase(outputs, link);
    }
    if (link->slot >= 0) {
        table[size_t(link->slot)].store(nullptr);
        waitForCycleEnd();
    }
    if (running.load() && client)
        jack_port_unregister(client, link->port);
}

std::vector<std::string> JackMidiSystem::Private::list(unsigned long flags) const
{
    std::vector<std::string> names;
    if (!running.load() || !client)
        return names;
    const char **ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (!ports)
        return names;
    const std::string own = clientName + ":";
    for (const char **port = ports; *port; ++port)
        if (std::string_view(*port).substr(0, own.size()) != own)
            names.emplace_back(*port);
    jack_free(ports);
    return names;
}

// Registers the link's port, connects it to the listed device (none for -1) and hands
// it to the process thread.
quint16 JackMidiSystem::Private::openLink(PortLink &link, int device, bool output)
{
    const std::vector<std::string> &names = output ? outNames : inNames;
    if (!running.load() || !client)
        return MidiResult::NoDevice;
    if (device < -1 || device >= int(names.size()))
        return MidiResult::BadDeviceId;
    const bool taken = output && takePrepared(link, device >= 0 ? names[size_t(device)] : std::string());
    if (!taken)
        link.port = registerPort(output ? JackMidiSystem::ownOutputName() : JackMidiSystem::ownInputName(),
                                 output ? JackPortIsOutput : JackPortIsInput);
    if (!link.port)
        return MidiResult::NoMemory;
    quint16 result = MidiResult::NoError;
    if (device >= 0 && !taken) {
        const char *ours = jack_port_name(link.port);
        const char *theirs = names[size_t(device)].c_str();
        if (jack_connect(client, output ? ours : theirs, output ? theirs : ours) != 0)
            result = MidiResult::NoDevice;
    }
    if (result == MidiResult::NoError && !attach(&link))
        result = MidiResult::NoMemory;
    if (result != MidiResult::NoError)
        jack_port_unregister(client, link.port);
    return result;
}

void JackMidiSystem::Private::registerPrepared(const std::string &device)
{
    if (device.empty() || !jack_port_by_name(client, device.c_str()))
        return;
    if (jack_port_t *port = registerPort(JackMidiSystem::ownOutputName(), JackPortIsOutput))
        prepared = {port, device, 0};
}

void JackMidiSystem::Private::connectPrepared()
{
    if (!prepared.port)
        return;
    if (jack_connect(client, jack_port_name(prepared.port), prepared.device.c_str()) != 0) {
        jack_port_unregister(client, prepared.port);
        prepared = {};
        return;
    }
    // The process thread sees the connection from the next cycle on.
    prepared.connectedAt = jack_frame_time(client) + jack_get_buffer_size(client);
}

// A port prepared for `device` becomes the link's, its connection counted from when it was
// made. One prepared for another device is dropped, so that the new port takes its name.
bool JackMidiSystem::Private::takePrepared(PortLink &link, const std::string &device)
{
    const PreparedOutput ready = std::exchange(prepared, {});
    if (!ready.port)
        return false;
    if (device.empty() || ready.device != device) {
        jack_port_unregister(client, ready.port);
        return false;
    }
    link.port = ready.port;
    link.connectionShown = true;
    link.connectedAt = ready.connectedAt;
    return true;
}

// The first free name of baseName, "baseName 2", ...: one client carries every port.
jack_port_t *JackMidiSystem::Private::registerPort(const QString &baseName, unsigned long flags)
{
    for (int n = 1; n <= int(MaxPorts); ++n) {
        const QString name = n == 1 ? baseName : QStringLiteral("%1 %2").arg(baseName).arg(n);
        const QByteArray full = QByteArray::fromStdString(clientName) + ':' + name.toUtf8();
        if (jack_port_by_name(client, full.constData()))
            continue;
        return jack_port_register(client, name.toUtf8().constData(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
    }
    return nullptr;
}

namespace
{
// The system that openEarly() opens and activates a client for, for the first JackMidiSystem to take.
std::unique_ptr<JackMidiSystem::Private> early;
// The device that client prepares the output port for, once the program has read it.
std::promise<std::string> earlyOutput;
bool earlyOutputGiven = false; // GUI thread

void giveEarlyOutput(const std::string &device)
{
    if (!std::exchange(earlyOutputGiven, true))
        earlyOutput.set_value(device);
}

std::unique_ptr<JackMidiSystem::Private> takeEarlyOpen()
{
    if (!early)
        return std::make_unique<JackMidiSystem::Private>();
    giveEarlyOutput({}); // the early thread waits for it
    return std::move(early);
}
} // namespace

JackMidiSystem::JackMidiSystem() : d(takeEarlyOpen())
{
    d->system = this;
    d->thru = std::make_unique<MidiThru>(thruGate());
    for (size_t i = 0; i < d->extraThru.size(); ++i)
        d->extraThru[i].thru = std::make_unique<MidiThru>(thruGate(), int(i) + 1);
    if (d->wakeFd < 0)
        d->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    d->agent = std::make_unique<Agent>(d.get());
    d->wakeNotifier = new QSocketNotifier(d->wakeFd, QSocketNotifier::Read, d->agent.get());
    QObject::connect(d->wakeNotifier, &QSocketNotifier::activated, d->agent.get(), [this] { d->onWake(); });
    d->retry = new QTimer(d->agent.get());
    d->retry->setInterval(1000);
    QObject::connect(d->retry, &QTimer::timeout, d->agent.get(), [this] {
        jack_status_t status;
        if (!d->openClient(status))
            return;
        d->retry->stop();
        d->lastLooped = false;
        d->setKnownLoop(false);
        d->postChange();
    });
}

JackMidiSystem::~JackMidiSystem()
{
    d->settle();
    closeAll();
    if (d->client) {
        jack_deactivate(d->client);
        d->closeClient();
    }
    d->agent.reset();
    if (d->wakeFd >= 0)
        ::close(d->wakeFd);
}

void JackMidiSystem::openEarly()
{
    qputenv("JACK_NO_START_SERVER", "1");
    if (early)
        return;
    earlyOutput = std::promise<std::string>(); // one for each early open
    earlyOutputGiven = false;
    early = std::make_unique<Private>();
    early->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (early->wakeFd < 0)
        return; // create() says why
    // The process thread may run before the system object is complete: it finds no ports
    // and no thru route, and the server's notices wait in the wake-up descriptor.
    Private *opening = early.get();
    opening->opening = std::async(std::launch::async, [opening, output = earlyOutput.get_future()]() mutable {
        jack_status_t status;
        opening->openClient(status, [&output] { return output.get(); });
    });
}

void JackMidiSystem::prepareEarlyOutput(const QString &device)
{
    giveEarlyOutput(device.toStdString());
}

std::unique_ptr<JackMidiSystem> JackMidiSystem::create(QString *why)
{
    // Looking for a server must never start one, here or in a library that asks too. (An
    // early open set it already, and its thread may be reading the environment now.)
    if (!early)
        qputenv("JACK_NO_START_SERVER", "1");
    std::unique_ptr<JackMidiSystem> system(new JackMidiSystem);
    if (system->d->wakeFd < 0) {
        if (why)
            *why = QStringLiteral("JACK cannot be watched: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return nullptr;
    }
    // An early client is waited for when it is needed, not here.
    if (system->d->opening.valid() || system->waitUntilOpen(why))
        return system;
    return nullptr;
}

bool JackMidiSystem::waitUntilOpen(QString *why)
{
    d->settle();
    if (d->client)
        return true;
    // A server that runs but is slow to answer (a loaded machine) gets a second chance.
    jack_status_t status = jack_status_t(0);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (d->openClient(status))
            return true;
        if (status & JackServerFailed)
            break;
        QThread::msleep(200);
    }
    if (why)
        *why =
            status & JackServerFailed
                ? QStringLiteral("No JACK server is running.")
                : QStringLiteral("The JACK server refused a client (status 0x%1).").arg(int(status), 0, 16);
    return false;
}

QString JackMidiSystem::systemName() const
{
    return QStringLiteral("JACK");
}

void JackMidiSystem::setChangeWatcher(QObject *watcher)
{
    d->watcher = watcher;
}

bool JackMidiSystem::isRunning() const
{
    d->settle();
    return d->running.load(std::memory_order_acquire) && d->client;
}

bool JackMidiSystem::loopedBack() const
{
    if (!isRunning())
        return false;
    for (PortLink *link : d->outputs) {
        const char **connections = jack_port_get_connections(link->port);
        if (!connections)
            continue;
        bool looped = false;
        for (const char **name = connections; *name && !looped; ++name) {
            jack_port_t *other = jack_port_by_name(d->client, *name);
            looped = other && jack_port_is_mine(d->client, other);
        }
        jack_free(connections);
        if (looped)
            return true;
    }
    return false;
}

void JackMidiSystem::setInputShown(InputShown shown)
{
    d->inputShown.store(shown, std::memory_order_relaxed);
}

void JackMidiSystem::holdOutput(bool on)
{
    if (on) {
        ++d->holds;
        return;
    }
    if (d->holds == 0 || --d->holds > 0 || !std::exchange(d->heldSends, false))
        return;
    // A flush already posted finds nothing more to hand on, or what was sent after this.
    d->publishAll();
}

bool JackMidiSystem::inputHeardWithin(int ms) const
{
    if (!isRunning() || d->eventsIn.load(std::memory_order_acquire) == 0)
        return false;
    const jack_nframes_t since = jack_frame_time(d->client) - d->inputAt.load(std::memory_order_relaxed);
    return quint64(since) * 1000 < quint64(ms) * jack_get_sample_rate(d->client);
}

JackMidiSystem::Traffic JackMidiSystem::traffic() const
{
    return {d->eventsIn.load(std::memory_order_relaxed), d->messagesOut.load(std::memory_order_relaxed),
            d->copiesLeftOut.load(std::memory_order_relaxed)};
}

QString JackMidiSystem::ownClientName() const
{
    d->settle();
    return QString::fromStdString(d->clientName);
}

QString JackMidiSystem::clientName()
{
    return QStringLiteral("Patchwarden");
}

QString JackMidiSystem::ownOutputName()
{
    return QStringLiteral("Patchwarden MIDI Out");
}

QString JackMidiSystem::ownInputName()
{
    return QStringLiteral("Patchwarden MIDI In");
}

int JackMidiSystem::listOutputs()
{
    d->settle();
    // We send to the other clients' input ports.
    d->outNames = d->list(JackPortIsInput);
    return int(d->outNames.size());
}

int JackMidiSystem::listInputs()
{
    d->settle();
    d->inNames = d->list(JackPortIsOutput);
    return int(d->inNames.size());
}

quint16 JackMidiSystem::outputCaps(int device, MidiOutCaps &caps)
{
    if (device < -1 || device >= int(d->outNames.size()))
        return MidiResult::BadDeviceId;
    caps = MidiOutCaps();
    caps.name = device == -1 ? ownOutputName() : QString::fromStdString(d->outNames[size_t(device)]);
    caps.driverVersion = DriverVersion;
    caps.technology = ModMidiPort;
    caps.channelMask = 0xFFFF;
    return MidiResult::NoError;
}

quint16 JackMidiSystem::inputCaps(int device, MidiInCaps &caps)
{
    if (device < -1 || device >= int(d->inNames.size()))
        return MidiResult::BadDeviceId;
    caps = MidiInCaps();
    caps.name = device == -1 ? ownInputName() : QString::fromStdString(d->inNames[size_t(device)]);
    caps.driverVersion = DriverVersion;
    return MidiResult::NoError;
}

quint16 JackMidiSystem::openOutput(int device, std::unique_ptr<MidiOutPort> &port)
{
    d->settle();
    auto link = std::make_unique<PortLink>();
    link->ring = std::make_unique<JackOutputRing>(OutputRingBytes);
    if (device >= 0 && isRunning()) {
        link->holdUntil.store(jack_frame_time(d->client) + jack_get_sample_rate(d->client));
        link->holding.store(true);
    }
    if (const quint16 result = d->openLink(*link, device, true))
        return result;
    port = std::make_unique<JackOutPort>(d.get(), std::move(link));
    return MidiResult::NoError;
}

quint16 JackMidiSystem::openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port)
{
    d->settle();
    auto link = std::make_unique<PortLink>();
    link->feed = &feed;
    if (const quint16 result = d->openLink(*link, device, false))
        return result;
    port = std::make_unique<JackInPort>(d.get(), std::move(link));
    return MidiResult::NoError;
}

bool JackMidiSystem::connectExtraThru(int source, MidiInPort *in, MidiOutPort *out)
{
    d->connectExtraThru(source, in ? static_cast<JackInPort *>(in)->link() : nullptr,
                        out ? static_cast<JackOutPort *>(out)->link() : nullptr);
    return true;
}

bool JackMidiSystem::connectThru(MidiInPort *in, MidiOutPort *out)
{
    d->connectThru(in ? static_cast<JackInPort *>(in)->link() : nullptr,
                   out ? static_cast<JackOutPort *>(out)->link() : nullptr);
    return true;
}

MidiSystem::ThruReport JackMidiSystem::thruReport() const
{
    ThruReport report = d->thru->report();
    // The extra inputs' forwarding counts with the main input's.
    for (const Private::ExtraThru &route : d->extraThru)
        report.add(route.thru->report());
    return report;
}
