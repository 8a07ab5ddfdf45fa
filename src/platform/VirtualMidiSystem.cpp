#include "VirtualMidiSystem.h"

#include <QCoreApplication>
#include <QPointer>

#include <atomic>
#include <mutex>
#include <vector>

namespace
{

QString hexBytes(const quint8 *bytes, size_t length)
{
    QString text;
    text.reserve(int(length * 3));
    for (size_t i = 0; i < length; ++i) {
        if (i)
            text += QLatin1Char(' ');
        text += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

class Output : public VirtualOutput
{
public:
    Output(QString name, const std::atomic<bool> &running) : m_name(std::move(name)), m_running(running) {}

    QString name() const override { return m_name; }
    QStringList log() const override
    {
        std::lock_guard lock(mutex);
        return m_log;
    }
    void clearLog() override
    {
        std::lock_guard lock(mutex);
        m_log.clear();
    }
    void refuseOpen(quint16 code) override { openRefusal = code; }
    void refuseSend(quint16 code) override { sendRefusal = code; }
    void refuseCaps(quint16 code) override { capsRefusal = code; }
    bool isOpen() const override { return open; }

    quint16 send(const quint8 *bytes, size_t length)
    {
        if (removed || !m_running)
            return MidiResult::NoDevice;
        if (sendRefusal)
            return sendRefusal;
        std::lock_guard lock(mutex);
        m_log.append(hexBytes(bytes, length));
        return MidiResult::NoError;
    }

    mutable std::mutex mutex;
    quint16 openRefusal = 0;
    quint16 sendRefusal = 0;
    quint16 capsRefusal = 0;
    bool open = false;
    bool removed = false;

private:
    QString m_name;
    const std::atomic<bool> &m_running;
    QStringList m_log;
};

class Input : public VirtualInput
{
public:
    explicit Input(QString name) : m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void feedShort(quint8 status, quint8 data1, quint8 data2) override
    {
        std::lock_guard lock(mutex);
        if (feed)
            feed->deliverShort(quint32(status) | quint32(data1) << 8 | quint32(data2) << 16);
    }
    void feedBytes(const QByteArray &bytes) override
    {
        std::lock_guard lock(mutex);
        if (feed)
            feed->deliverMessage(reinterpret_cast<const quint8 *>(bytes.constData()), size_t(bytes.size()));
    }
    void feedSysex(const QByteArray &bytes) override
    {
        std::lock_guard lock(mutex);
        if (feed)
            feed->deliverSysex(reinterpret_cast<const quint8 *>(bytes.constData()), size_t(bytes.size()));
    }
    void refuseOpen(quint16 code) override { openRefusal = code; }
    void refuseCaps(quint16 code) override { capsRefusal = code; }
    void refuseBuffers(quint16 code) override { bufferRefusal = code; }
    bool isOpen() const override
    {
        std::lock_guard lock(mutex);
        return feed != nullptr;
    }

    mutable std::mutex mutex;
    MidiInputFeed *feed = nullptr;
    quint16 openRefusal = 0;
    quint16 capsRefusal = 0;
    std::atomic<quint16> bufferRefusal{0};
    bool removed = false;

private:
    QString m_name;
};

class OutPort : public MidiOutPort
{
public:
    explicit OutPort(Output &device) : m_device(device) { m_device.open = true; }
    ~OutPort() override { m_device.open = false; }

    quint16 sendShort(quint32 packed) override
    {
        // The log shows what the port packed, all three bytes, whatever the status implies.
        const quint8 bytes[3] = {quint8(packed), quint8(packed >> 8), quint8(packed >> 16)};
        // A real MIDI system will not send a short message without its status, nor SysEx
        // framing as one.
        if (midiShortMessageLength(bytes[0]) == 0)
            return MidiResult::InvalidParameter;
        return m_device.send(bytes, 3);
    }
    quint16 sendLong(const quint8 *bytes, size_t length) override { return m_device.send(bytes, length); }

private:
    Output &m_device;
};

class InPort : public MidiInPort
{
public:
    InPort(Input &device, MidiInputFeed &feed) : m_device(device)
    {
        std::lock_guard lock(m_device.mutex);
        m_device.feed = &feed;
    }
    ~InPort() override
    {
        std::lock_guard lock(m_device.mutex);
        m_device.feed = nullptr;
    }

    quint16 bufferRefusal() const override { return m_device.bufferRefusal.load(); }

private:
    Input &m_device;
};

} // namespace

struct VirtualMidiSystem::Private {
    std::atomic<bool> running{true};
    bool looped = false;
    bool reports = true;
    QPointer<QObject> watcher;
    Output own{VirtualMidiSystem::ownOutputName(), running};
    Input ownIn{VirtualMidiSystem::ownInputName()};
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<std::unique_ptr<Input>> inputs;
    // The devices as last listed; an index stays valid until the next listing.
    std::vector<Output *> outListing;
    std::vector<Input *> inListing;

    void changed() const
    {
        if (watcher && reports)
            QCoreApplication::postEvent(watcher, new MidiSystemChangedEvent);
    }
    Output *output(int device)
    {
        if (device == -1)
            return &own;
        return device >= 0 && device < int(outListing.size()) ? outListing[size_t(device)] : nullptr;
    }
    Input *input(int device)
    {
        if (device == -1)
            return &ownIn;
        return device >= 0 && device < int(inListing.size()) ? inListing[size_t(device)] : nullptr;
    }
    static void unplug(Input &input)
    {
        std::lock_guard lock(input.mutex);
        // An unplugged interface delivers nothing more; the open port stays until closed.
        input.feed = nullptr;
    }
};

VirtualMidiSystem::VirtualMidiSystem() : d(std::make_unique<Private>()) {}

VirtualMidiSystem::~VirtualMidiSystem()
{
    closeAll();
}

QString VirtualMidiSystem::systemName() const
{
    return QStringLiteral("Virtual");
}

QString VirtualMidiSystem::ownOutputName()
{
    return QStringLiteral("Patchwarden MIDI Out");
}

QString VirtualMidiSystem::ownInputName()
{
    return QStringLiteral("Patchwarden MIDI In");
}

void VirtualMidiSystem::setChangeWatcher(QObject *watcher)
{
    d->watcher = watcher;
}

bool VirtualMidiSystem::reportsChanges() const
{
    return d->reports;
}

void VirtualMidiSystem::setReportsChanges(bool reports)
{
    d->reports = reports;
}

bool VirtualMidiSystem::isRunning() const
{
    return d->running;
}

bool VirtualMidiSystem::loopedBack() const
{
    return d->looped && d->running;
}

void VirtualMidiSystem::setRunning(bool running)
{
    d->running = running;
    if (!running) {
        Private::unplug(d->ownIn);
        for (auto &input : d->inputs)
            Private::unplug(*input);
    }
    d->changed();
}

void VirtualMidiSystem::setLoopedBack(bool looped)
{
    d->looped = looped;
    d->changed();
}

VirtualOutput &VirtualMidiSystem::addOutput(const QString &name)
{
    d->outputs.push_back(std::make_unique<Output>(name, d->running));
    d->changed();
    return *d->outputs.back();
}

VirtualInput &VirtualMidiSystem::addInput(const QString &name)
{
    d->inputs.push_back(std::make_unique<Input>(name));
    d->changed();
    return *d->inputs.back();
}

void VirtualMidiSystem::removeOutput(const QString &name)
{
    for (auto &output : d->outputs)
        if (output->name() == name)
            output->removed = true;
    d->changed();
}

void VirtualMidiSystem::removeInput(const QString &name)
{
    for (auto &input : d->inputs) {
        if (input->name() != name)
            continue;
        input->removed = true;
        Private::unplug(*input);
    }
    d->changed();
}

VirtualOutput &VirtualMidiSystem::ownOutput()
{
    return d->own;
}

VirtualInput &VirtualMidiSystem::ownInput()
{
    return d->ownIn;
}

int VirtualMidiSystem::listOutputs()
{
    d->outListing.clear();
    for (auto &output : d->outputs)
        if (!output->removed && d->running)
            d->outListing.push_back(output.get());
    return int(d->outListing.size());
}

int VirtualMidiSystem::listInputs()
{
    d->inListing.clear();
    for (auto &input : d->inputs)
        if (!input->removed && d->running)
            d->inListing.push_back(input.get());
    return int(d->inListing.size());
}

quint16 VirtualMidiSystem::outputCaps(int device, MidiOutCaps &caps)
{
    Output *output = d->output(device);
    if (!output)
        return MidiResult::BadDeviceId;
    if (output->capsRefusal)
        return output->capsRefusal;
    caps = MidiOutCaps();
    caps.name = output->name();
    caps.technology = 1; // a MIDI port, like every port of the real backends
    caps.channelMask = 0xFFFF;
    return MidiResult::NoError;
}

quint16 VirtualMidiSystem::inputCaps(int device, MidiInCaps &caps)
{
    Input *input = d->input(device);
    if (!input)
        return MidiResult::BadDeviceId;
    if (input->capsRefusal)
        return input->capsRefusal;
    caps = MidiInCaps();
    caps.name = input->name();
    return MidiResult::NoError;
}

quint16 VirtualMidiSystem::openOutput(int device, std::unique_ptr<MidiOutPort> &port)
{
    Output *output = d->output(device);
    if (!output)
        return MidiResult::BadDeviceId;
    if (output->removed || !d->running)
        return MidiResult::NoDevice;
    if (output->openRefusal)
        return output->openRefusal;
    if (output->open)
        return MidiResult::Allocated;
    port = std::make_unique<OutPort>(*output);
    return MidiResult::NoError;
}

quint16 VirtualMidiSystem::openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port)
{
    Input *input = d->input(device);
    if (!input)
        return MidiResult::BadDeviceId;
    if (input->removed || !d->running)
        return MidiResult::NoDevice;
    if (input->openRefusal)
        return input->openRefusal;
    if (input->isOpen())
        return MidiResult::Allocated;
    port = std::make_unique<InPort>(*input, feed);
    return MidiResult::NoError;
}
