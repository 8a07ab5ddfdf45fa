#include "RtMidiSystem.h"

#include <QElapsedTimer>
#include <QThread>

#include <QtGlobal>

#include <functional>

#include <atomic>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <string>

namespace
{

constexpr quint16 ModMidiPort = 1;              // technology code of a MIDI port
constexpr quint32 RtMidiDriverVersion = 0x0500; // RtMidi 5.0: major in the high byte

quint16 resultOf(const RtMidiError &e)
{
    switch (e.getType()) {
    case RtMidiError::INVALID_PARAMETER:
        return MidiResult::InvalidParameter;
    case RtMidiError::INVALID_DEVICE:
        return MidiResult::BadDeviceId;
    case RtMidiError::NO_DEVICES_FOUND:
        return MidiResult::NoDevice;
    case RtMidiError::MEMORY_ERROR:
        return MidiResult::NoMemory;
    case RtMidiError::INVALID_USE:
        return MidiResult::InvalidHandle;
    case RtMidiError::DRIVER_ERROR:
        return MidiResult::NoDriver;
    default:
        return MidiResult::Error;
    }
}

// RtMidi reports through this instead of throwing or printing once one is set; warnings
// (a port that went away, a server that stopped) are what we want to hear of quietly.
void quietErrors(RtMidiError::Type, const std::string &, void *) {}

// Keeps the last error RtMidi reported for one object, so that a call that failed without
// throwing still gives a result code.
struct ErrorCatcher {
    static void report(RtMidiError::Type type, const std::string &, void *self)
    {
        static_cast<ErrorCatcher *>(self)->last.store(int(type) + 1);
    }
    // 0 when nothing was reported since the last take.
    quint16 take()
    {
        const int type = last.exchange(0);
        if (type == 0)
            return MidiResult::NoError;
        switch (RtMidiError::Type(type - 1)) {
        case RtMidiError::WARNING:
        case RtMidiError::DEBUG_WARNING:
            return MidiResult::NotReady;
        default:
            return resultOf(RtMidiError("", RtMidiError::Type(type - 1)));
        }
    }
    std::atomic<int> last{0};
};

RtMidi::Api apiOf(RtMidiSystem::Backend backend)
{
    return backend == RtMidiSystem::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

// Finds a port by the name it had when listed: numbers shift as ports come and go.
template <class Rt> int portNumber(Rt &rt, const std::string &name)
{
    const unsigned count = rt.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        if (rt.getPortName(i) == name)
            return int(i);
    return -1;
}

// Whether a listed port belongs to one of this program's clients ("Patchwarden:…", or
// "Patchwarden-01:…" where the system numbers clients of one name): listing those made a
// MIDI loop one click away.
bool isOwnPort(const std::string &name)
{
    const std::string own = RtMidiSystem::clientName().toStdString();
    if (name.compare(0, own.size(), own) != 0)
        return false;
    size_t at = own.size();
    if (at < name.size() && name[at] == '-')
        while (++at < name.size() && name[at] >= '0' && name[at] <= '9') {
        }
    return at < name.size() && name[at] == ':';
}

// Watches the JACK server with a client of our own: RtMidi does not say when it goes.
class JackWatch
{
public:
    bool open()
    {
        jack_status_t status;
        m_client = jack_client_open("Patchwarden-watch", JackNoStartServer, &status);
        if (!m_client)
            return false;
        jack_on_shutdown(m_client, &JackWatch::shutdown, this);
        if (jack_activate(m_client) != 0)
            return false;
        m_alive.store(true);
        return true;
    }
    ~JackWatch()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    bool alive() const { return m_alive.load(); }

    // Waits until the server has run two full cycles. A connection made just now takes
    // effect at a cycle boundary; a message written before that would go out on a port
    // that is not yet connected and be lost - the first song sent at start, for one.
    void settle() const
    {
        if (!m_client || !alive())
            return;
        const jack_nframes_t cycle = jack_get_buffer_size(m_client);
        const jack_nframes_t start = jack_frame_time(m_client);
        QElapsedTimer waited;
        waited.start();
        while (alive() && jack_frame_time(m_client) - start < 2 * cycle + 1 && waited.elapsed() < 250)
            QThread::msleep(1);
    }

private:
    static void shutdown(void *arg) { static_cast<JackWatch *>(arg)->m_alive.store(false); }

    jack_client_t *m_client = nullptr;
    std::atomic<bool> m_alive{false};
};

class RtOutPort : public MidiOutPort
{
public:
    RtOutPort(std::unique_ptr<RtMidiOut> rt, std::unique_ptr<ErrorCatcher> errors,
              const std::function<bool()> &alive)
        : m_errors(std::move(errors)), m_rt(std::move(rt)), m_alive(alive)
    {
    }
    ~RtOutPort() override
    {
        if (m_alive())
            m_rt->closePort();
    }

    quint16 sendShort(quint32 packed) override
    {
        const quint8 bytes[3] = {quint8(packed), quint8(packed >> 8), quint8(packed >> 16)};
        const int length = midiShortMessageLength(bytes[0]);
        if (length == 0)
            return MidiResult::InvalidParameter;
        return send(bytes, size_t(length));
    }
    quint16 sendLong(const quint8 *bytes, size_t length) override { return send(bytes, length); }

private:
    quint16 send(const quint8 *bytes, size_t length)
    {
        if (!m_alive())
            return MidiResult::NoDevice;
        m_errors->take();
        try {
            m_rt->sendMessage(bytes, length);
        } catch (const RtMidiError &e) {
            return resultOf(e);
        }
        // A full JACK buffer, for one, is only a warning to RtMidi: the message is lost.
        return m_errors->take();
    }

    std::unique_ptr<ErrorCatcher> m_errors; // outlives the RtMidi object that reports to it
    std::unique_ptr<RtMidiOut> m_rt;
    std::function<bool()> m_alive;
};

class RtInPort : public MidiInPort
{
public:
    RtInPort(std::unique_ptr<RtMidiIn> rt, std::unique_ptr<ErrorCatcher> errors,
             const std::function<bool()> &alive)
        : m_errors(std::move(errors)), m_rt(std::move(rt)), m_alive(alive)
    {
    }
    ~RtInPort() override
    {
        if (m_alive())
            m_rt->closePort();
        m_rt->cancelCallback();
    }

    static void deliver(double, std::vector<unsigned char> *message, void *feed)
    {
        if (message && !message->empty())
            static_cast<MidiInputFeed *>(feed)->deliverMessage(message->data(), message->size());
    }

private:
    std::unique_ptr<ErrorCatcher> m_errors;
    std::unique_ptr<RtMidiIn> m_rt;
    std::function<bool()> m_alive;
};

} // namespace

struct RtMidiSystem::Private {
    Backend backend = Alsa;
    std::unique_ptr<RtMidiOut> listOut;
    std::unique_ptr<RtMidiIn> listIn;
    std::vector<std::string> outNames;
    std::vector<std::string> inNames;
    std::unique_ptr<JackWatch> watch;
};

RtMidiSystem::RtMidiSystem(Backend backend) : d(std::make_unique<Private>())
{
    d->backend = backend;
}

RtMidiSystem::~RtMidiSystem()
{
    closeAll();
}

std::unique_ptr<RtMidiSystem> RtMidiSystem::create(Backend backend, QString *why)
{
    std::unique_ptr<RtMidiSystem> system(new RtMidiSystem(backend));
    if (backend == Jack) {
        // Looking for a server must never start one.
        qputenv("JACK_NO_START_SERVER", "1");
        system->d->watch = std::make_unique<JackWatch>();
        if (!system->d->watch->open()) {
            if (why)
                *why = QStringLiteral("No JACK server is running.");
            return nullptr;
        }
    }
    try {
        const std::string client = clientName().toStdString();
        system->d->listOut = std::make_unique<RtMidiOut>(apiOf(backend), client);
        system->d->listIn = std::make_unique<RtMidiIn>(apiOf(backend), client);
        if (system->d->listOut->getCurrentApi() != apiOf(backend) ||
            system->d->listIn->getCurrentApi() != apiOf(backend)) {
            if (why)
                *why = QStringLiteral("RtMidi was built without %1.").arg(system->systemName());
            return nullptr;
        }
        system->d->listOut->setErrorCallback(&quietErrors);
        system->d->listIn->setErrorCallback(&quietErrors);
    } catch (const RtMidiError &e) {
        if (why)
            *why = QStringLiteral("%1 cannot be opened: %2")
                       .arg(backend == Alsa ? QStringLiteral("The ALSA sequencer") : QStringLiteral("JACK"),
                            QString::fromStdString(e.getMessage()));
        return nullptr;
    }
    return system;
}

QString RtMidiSystem::systemName() const
{
    return d->backend == Alsa ? QStringLiteral("ALSA") : QStringLiteral("JACK");
}

bool RtMidiSystem::serverAlive() const
{
    return !d->watch || d->watch->alive();
}

QString RtMidiSystem::clientName()
{
    return QStringLiteral("Patchwarden");
}

QString RtMidiSystem::ownOutputName()
{
    return QStringLiteral("Patchwarden MIDI Out");
}

int RtMidiSystem::listOutputs()
{
    d->outNames.clear();
    if (!serverAlive())
        return 0;
    try {
        const unsigned count = d->listOut->getPortCount();
        for (unsigned i = 0; i < count; ++i)
            if (std::string name = d->listOut->getPortName(i); !isOwnPort(name))
                d->outNames.push_back(std::move(name));
    } catch (const RtMidiError &) {
    }
    return int(d->outNames.size());
}

int RtMidiSystem::listInputs()
{
    d->inNames.clear();
    if (!serverAlive())
        return 0;
    try {
        const unsigned count = d->listIn->getPortCount();
        for (unsigned i = 0; i < count; ++i)
            if (std::string name = d->listIn->getPortName(i); !isOwnPort(name))
                d->inNames.push_back(std::move(name));
    } catch (const RtMidiError &) {
    }
    return int(d->inNames.size());
}

quint16 RtMidiSystem::outputCaps(int device, MidiOutCaps &caps)
{
    if (device < -1 || device >= int(d->outNames.size()))
        return MidiResult::BadDeviceId;
    caps = MidiOutCaps();
    caps.name = device == -1 ? ownOutputName() : QString::fromStdString(d->outNames[size_t(device)]);
    caps.driverVersion = RtMidiDriverVersion;
    caps.technology = ModMidiPort;
    caps.channelMask = 0xFFFF;
    return MidiResult::NoError;
}

quint16 RtMidiSystem::inputCaps(int device, MidiInCaps &caps)
{
    if (device < 0 || device >= int(d->inNames.size()))
        return MidiResult::BadDeviceId;
    caps = MidiInCaps();
    caps.name = QString::fromStdString(d->inNames[size_t(device)]);
    caps.driverVersion = RtMidiDriverVersion;
    return MidiResult::NoError;
}

quint16 RtMidiSystem::openOutput(int device, std::unique_ptr<MidiOutPort> &port)
{
    if (device < -1 || device >= int(d->outNames.size()))
        return MidiResult::BadDeviceId;
    if (!serverAlive())
        return MidiResult::NoDevice;
    try {
        auto errors = std::make_unique<ErrorCatcher>();
        auto rt = std::make_unique<RtMidiOut>(apiOf(d->backend), clientName().toStdString());
        rt->setErrorCallback(&ErrorCatcher::report, errors.get());
        if (device == -1) {
            rt->openVirtualPort(ownOutputName().toStdString());
            if (const quint16 result = errors->take())
                return result == quint16(MidiResult::NotReady) ? quint16(MidiResult::NoDevice) : result;
        } else {
            const int number = portNumber(*rt, d->outNames[size_t(device)]);
            if (number < 0)
                return MidiResult::NoDevice;
            rt->openPort(unsigned(number), ownOutputName().toStdString());
            // RtMidi counts only connections as open ports, never its virtual ones.
            if (!rt->isPortOpen())
                return MidiResult::NoDevice;
            if (d->watch)
                d->watch->settle();
        }
        errors->take();
        port =
            std::make_unique<RtOutPort>(std::move(rt), std::move(errors), [this] { return serverAlive(); });
    } catch (const RtMidiError &e) {
        return resultOf(e);
    }
    return MidiResult::NoError;
}

quint16 RtMidiSystem::openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port)
{
    if (device < 0 || device >= int(d->inNames.size()))
        return MidiResult::BadDeviceId;
    if (!serverAlive())
        return MidiResult::NoDevice;
    try {
        auto errors = std::make_unique<ErrorCatcher>();
        auto rt = std::make_unique<RtMidiIn>(apiOf(d->backend), clientName().toStdString());
        rt->setErrorCallback(&ErrorCatcher::report, errors.get());
        // The program forwards everything: SysEx, clock and active sensing included.
        rt->ignoreTypes(false, false, false);
        rt->setCallback(&RtInPort::deliver, &feed);
        const int number = portNumber(*rt, d->inNames[size_t(device)]);
        if (number < 0)
            return MidiResult::NoDevice;
        rt->openPort(unsigned(number), "Patchwarden MIDI In");
        if (!rt->isPortOpen())
            return MidiResult::NoDevice;
        errors->take();
        port = std::make_unique<RtInPort>(std::move(rt), std::move(errors), [this] { return serverAlive(); });
    } catch (const RtMidiError &e) {
        return resultOf(e);
    }
    return MidiResult::NoError;
}
