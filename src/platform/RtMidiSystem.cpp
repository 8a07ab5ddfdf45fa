#include "RtMidiSystem.h"

#include "AlsaAnnounceWatch.h"

#include <QCoreApplication>
#include <QPointer>

#include <QtGlobal>

#include "MidiThru.h"
#include <atomic>

#include <QThread>

#include <rtmidi/RtMidi.h>

#include <array>
#include <chrono>
#include <mutex>
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

// ALSA has no cycles: the echo guard counts time in steps of a few milliseconds instead.
quint64 echoStep()
{
    using namespace std::chrono;
    return quint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() / 3);
}

class RtOutPort : public MidiOutPort, public MidiThru::Output
{
public:
    RtOutPort(std::unique_ptr<RtMidiOut> rt, std::unique_ptr<ErrorCatcher> errors)
        : m_errors(std::move(errors)), m_rt(std::move(rt))
    {
    }
    ~RtOutPort() override { m_rt->closePort(); }

    quint16 sendShort(quint32 packed) override
    {
        const quint8 bytes[3] = {quint8(packed), quint8(packed >> 8), quint8(packed >> 16)};
        const int length = midiShortMessageLength(bytes[0]);
        if (length == 0)
            return MidiResult::InvalidParameter;
        return send(bytes, size_t(length));
    }
    quint16 sendLong(const quint8 *bytes, size_t length) override { return send(bytes, length); }

    // The input thread forwards through the same RtMidi object as the window sends: one
    // send at a time, each message one sequencer event, so neither lands inside the other.
    std::mutex sending;
    MidiThru *thru = nullptr; // under `sending`: the system's thru forwards here
    quint16 write(const quint8 *bytes, size_t length, bool) override { return sendNow(bytes, length); }

private:
    quint16 send(const quint8 *bytes, size_t length)
    {
        const std::lock_guard lock(sending);
        const quint16 result = sendNow(bytes, length);
        if (thru && result == MidiResult::NoError)
            thru->sentByOthers(bytes, length, echoStep());
        return result;
    }
    quint16 sendNow(const quint8 *bytes, size_t length)
    {
        m_errors->take();
        try {
            m_rt->sendMessage(bytes, length);
        } catch (const RtMidiError &e) {
            return resultOf(e);
        }
        // A port that went away, for one, is only a warning to RtMidi: the message is lost.
        return m_errors->take();
    }

    std::unique_ptr<ErrorCatcher> m_errors; // outlives the RtMidi object that reports to it
    std::unique_ptr<RtMidiOut> m_rt;
};

class RtInPort : public MidiInPort
{
public:
    RtInPort(std::unique_ptr<RtMidiIn> rt, std::unique_ptr<ErrorCatcher> errors)
        : m_errors(std::move(errors)), m_rt(std::move(rt))
    {
    }
    ~RtInPort() override
    {
        m_rt->closePort();
        m_rt->cancelCallback();
    }

    RtMidiIn &rtMidi() { return *m_rt; }
    void takeErrors() { m_errors->take(); }

    // What the input callback reaches: the port's feed and the system's thru.
    struct Route {
        MidiInputFeed *feed = nullptr;
        MidiThru *thru = nullptr;
        std::atomic<RtOutPort *> to{nullptr};
        std::atomic<bool> forwarding{false};
        quint64 step = 0; // input thread: the echo guard's last step
    };
    static void deliver(double, std::vector<unsigned char> *message, void *data)
    {
        if (!message || message->empty())
            return;
        auto *route = static_cast<Route *>(data);
        route->forwarding.store(true, std::memory_order_seq_cst);
        if (RtOutPort *to = route->to.load(std::memory_order_seq_cst)) {
            const quint64 step = echoStep();
            const std::lock_guard lock(to->sending);
            if (step != route->step)
                route->thru->endCycle(std::exchange(route->step, step));
            route->thru->take(message->data(), message->size(), *to, step);
        }
        route->forwarding.store(false, std::memory_order_seq_cst);
        route->feed->deliverMessage(message->data(), message->size());
    }
    // Forwards to `to` (null: nowhere) from the next message on; when it returns, no
    // message forwards to the port it replaced.
    void forwardTo(RtOutPort *to)
    {
        route.to.store(to, std::memory_order_seq_cst);
        while (route.forwarding.load(std::memory_order_seq_cst))
            QThread::yieldCurrentThread();
    }
    Route route;

private:
    std::unique_ptr<ErrorCatcher> m_errors;
    std::unique_ptr<RtMidiIn> m_rt;
};

} // namespace

struct RtMidiSystem::Private {
    QPointer<QObject> watcher;
    std::unique_ptr<AlsaAnnounceWatch> announcements; // null: the lists are only compared
    std::unique_ptr<MidiThru> thru;
    RtInPort *thruFrom = nullptr;
    RtOutPort *thruTo = nullptr;
    // The extra inputs' thru, each on its own port's input thread, through the same send lock.
    std::array<std::unique_ptr<MidiThru>, ThruRules::ExtraInputCount> extraThru;
    std::array<RtInPort *, ThruRules::ExtraInputCount> extraFrom{};
    std::unique_ptr<RtMidiOut> listOut;
    std::unique_ptr<RtMidiIn> listIn;
    std::vector<std::string> outNames;
    std::vector<std::string> inNames;
};

RtMidiSystem::RtMidiSystem() : d(std::make_unique<Private>())
{
    d->thru = std::make_unique<MidiThru>(thruGate());
    for (size_t i = 0; i < d->extraThru.size(); ++i)
        d->extraThru[i] = std::make_unique<MidiThru>(thruGate(), int(i) + 1);
}

RtMidiSystem::~RtMidiSystem()
{
    closeAll();
}

std::unique_ptr<RtMidiSystem> RtMidiSystem::create(QString *why)
{
    std::unique_ptr<RtMidiSystem> system(new RtMidiSystem());
    try {
        const std::string client = clientName().toStdString();
        system->d->listOut = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, client);
        system->d->listIn = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, client);
        if (system->d->listOut->getCurrentApi() != RtMidi::LINUX_ALSA ||
            system->d->listIn->getCurrentApi() != RtMidi::LINUX_ALSA) {
            if (why)
                *why = QStringLiteral("RtMidi was built without %1.").arg(system->systemName());
            return nullptr;
        }
        system->d->listOut->setErrorCallback(&quietErrors);
        system->d->listIn->setErrorCallback(&quietErrors);
    } catch (const RtMidiError &e) {
        if (why)
            *why = QStringLiteral("The ALSA sequencer cannot be opened: %1")
                       .arg(QString::fromStdString(e.getMessage()));
        return nullptr;
    }
    system->d->announcements = AlsaAnnounceWatch::open([d = system->d.get()] {
        if (d->watcher)
            QCoreApplication::postEvent(d->watcher, new MidiSystemChangedEvent);
    });
    return system;
}

void RtMidiSystem::setChangeWatcher(QObject *watcher)
{
    d->watcher = watcher;
}

bool RtMidiSystem::reportsChanges() const
{
    return d->announcements != nullptr;
}

QString RtMidiSystem::systemName() const
{
    return QStringLiteral("ALSA");
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
    try {
        auto errors = std::make_unique<ErrorCatcher>();
        auto rt = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, clientName().toStdString());
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
        }
        errors->take();
        port = std::make_unique<RtOutPort>(std::move(rt), std::move(errors));
    } catch (const RtMidiError &e) {
        return resultOf(e);
    }
    return MidiResult::NoError;
}

quint16 RtMidiSystem::openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port)
{
    if (device < 0 || device >= int(d->inNames.size()))
        return MidiResult::BadDeviceId;
    try {
        auto errors = std::make_unique<ErrorCatcher>();
        auto rt = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, clientName().toStdString());
        rt->setErrorCallback(&ErrorCatcher::report, errors.get());
        // The program forwards everything: SysEx, clock and active sensing included.
        rt->ignoreTypes(false, false, false);
        const int number = portNumber(*rt, d->inNames[size_t(device)]);
        if (number < 0)
            return MidiResult::NoDevice;
        auto opened = std::make_unique<RtInPort>(std::move(rt), std::move(errors));
        opened->route.feed = &feed;
        opened->route.thru = d->thru.get();
        opened->rtMidi().setCallback(&RtInPort::deliver, &opened->route);
        opened->rtMidi().openPort(unsigned(number), "Patchwarden MIDI In");
        if (!opened->rtMidi().isPortOpen())
            return MidiResult::NoDevice;
        opened->takeErrors();
        port = std::move(opened);
    } catch (const RtMidiError &e) {
        return resultOf(e);
    }
    return MidiResult::NoError;
}

bool RtMidiSystem::connectThru(MidiInPort *in, MidiOutPort *out)
{
    if (d->thruFrom)
        d->thruFrom->forwardTo(nullptr);
    if (d->thruTo) {
        const std::lock_guard lock(d->thruTo->sending);
        d->thruTo->thru = nullptr;
    }
    d->thru->reset();
    d->thruFrom = in && out ? static_cast<RtInPort *>(in) : nullptr;
    d->thruTo = in && out ? static_cast<RtOutPort *>(out) : nullptr;
    if (!d->thruTo)
        return true;
    {
        const std::lock_guard lock(d->thruTo->sending);
        d->thruTo->thru = d->thru.get();
    }
    d->thruFrom->forwardTo(d->thruTo);
    return true;
}

bool RtMidiSystem::connectExtraThru(int source, MidiInPort *in, MidiOutPort *out)
{
    const size_t i = size_t(source - 1);
    if (RtInPort *from = std::exchange(d->extraFrom[i], nullptr))
        from->forwardTo(nullptr);
    d->extraThru[i]->reset();
    if (!in || !out)
        return true;
    // The input thread reads its forwarder only while it has somewhere to forward to.
    auto *from = static_cast<RtInPort *>(in);
    from->route.thru = d->extraThru[i].get();
    d->extraFrom[i] = from;
    from->forwardTo(static_cast<RtOutPort *>(out));
    return true;
}

MidiSystem::ThruReport RtMidiSystem::thruReport() const
{
    ThruReport report = d->thru->report();
    // The extra inputs' forwarding counts with the main input's.
    for (const auto &thru : d->extraThru)
        report.add(thru->report());
    return report;
}
