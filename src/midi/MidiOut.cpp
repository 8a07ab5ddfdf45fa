#include "MidiOut.h"

#include "OwnedMidiHeader.h"
#include "platform/MidiSystem.h"

#include <climits>
#include <cstring>
#include <map>

struct MidiOutputPort::Private {
    explicit Private(MidiSystem &s) : system(s) {}

    MidiSystem &system;
    int deviceId = 0;
    MidiOutHandle handle = 0;
    PortState state = PortState::psClosed;
    quint16 error = 0;
    quint32 driverVersion = 0;
    QString productName;
    quint8 technology = 0;
    quint16 voices = 0;
    quint16 notes = 0;
    quint16 channelMask = 0;
    quint32 support = 0;
    quint16 deviceCount = 0;
    bool isOpen = false;
    // SysEx blocks the system still holds; freed when it gives them back, or with the port.
    std::map<OwnedMidiHeader *, std::unique_ptr<OwnedMidiHeader>> sending;
    ProgramMemory programs;
};

MidiOutputPort::MidiOutputPort(MidiSystem &system, QObject *owner)
    : QObject(owner), d(std::make_unique<Private>(system))
{
    d->deviceCount = system.outDeviceCount();
}

MidiOutputPort::~MidiOutputPort()
{
    if (d->state == PortState::psOpen) {
        try {
            Close();
        } catch (const MidiOutputError &) {
            // A device that cannot be closed now cannot be helped by the port going away.
        }
    }
}

void MidiOutputPort::raise(const QString &text) const
{
    throw MidiOutputError(text);
}

void MidiOutputPort::check(quint16 result)
{
    d->error = result;
    if (result == 0)
        return;
    raise(d->system.failureText(result));
}

int MidiOutputPort::DeviceID() const
{
    return d->deviceId;
}

void MidiOutputPort::setDeviceID(int id)
{
    if (d->state == PortState::psOpen)
        raise(QStringLiteral("Change to DeviceID while device was open"));
    selectIndex(id);
}

void MidiOutputPort::selectIndex(int id)
{
    // Signed on purpose: -1, our own port, always passes this test.
    if (!(id < int(d->system.outDeviceCount())))
        raise(QStringLiteral("Invalid device ID"));
    d->deviceId = id;
    MidiOutCaps caps;
    check(d->system.outCaps(id, caps));
    d->productName = caps.name;
    d->driverVersion = caps.driverVersion;
    d->technology = quint8(caps.technology & 0xFF);
    d->voices = caps.voices;
    d->notes = caps.notes;
    d->channelMask = caps.channelMask;
    d->support = caps.support;
}

QString MidiOutputPort::ProductName() const
{
    return d->productName;
}

void MidiOutputPort::setProductName(const QString &name)
{
    if (d->state == PortState::psOpen)
        raise(QStringLiteral("Change to ProductName while device was open"));
    const int count = d->system.outDeviceCount();
    int found = INT_MIN;
    for (int i = -1; i < count && found == INT_MIN; ++i) {
        MidiOutCaps caps;
        const quint16 result = d->system.outCaps(i, caps);
        // A system without a port of our own simply has nothing to match at -1.
        if (i == -1 && result == MidiResult::BadDeviceId)
            continue;
        check(result);
        if (caps.name == name)
            found = i;
    }
    if (found == INT_MIN)
        raise(QStringLiteral("MIDI output Device ") + name + QStringLiteral(" not installed"));
    d->productName = name;
    selectIndex(found);
}

quint16 MidiOutputPort::DeviceCount() const
{
    return d->deviceCount;
}

bool MidiOutputPort::IsOpen() const
{
    return d->isOpen;
}

quint16 MidiOutputPort::Error() const
{
    return d->error;
}

quint32 MidiOutputPort::DriverVersion() const
{
    return d->driverVersion;
}

quint8 MidiOutputPort::Technology() const
{
    return d->technology;
}

quint16 MidiOutputPort::Voices() const
{
    return d->voices;
}

quint16 MidiOutputPort::Notes() const
{
    return d->notes;
}

quint16 MidiOutputPort::ChannelMask() const
{
    return d->channelMask;
}

quint32 MidiOutputPort::Support() const
{
    return d->support;
}

void MidiOutputPort::Open()
{
    // Opening twice would lose the first handle and leave that device open for good.
    if (d->state == PortState::psOpen)
        return;
    try {
        MidiOutHandle handle = 0;
        check(d->system.outOpen(handle, d->deviceId, this));
        d->handle = handle;
        d->state = PortState::psOpen;
        d->isOpen = true;
        d->programs = {};
    } catch (const MidiOutputError &) {
        // Callers learn of a refused device through IsOpen; Error keeps the code.
    }
}

void MidiOutputPort::Close()
{
    if (d->state == PortState::psOpen) {
        check(d->system.outReset(d->handle));
        check(d->system.outClose(d->handle));
    }
    d->handle = 0;
    d->state = PortState::psClosed;
    d->isOpen = false;
}

void MidiOutputPort::SendEvent(const MidiEvent &event)
{
    if (d->state != PortState::psOpen)
        raise(QStringLiteral("MIDI Output device not open"));
    if (event.SysexData)
        SendLong(event.SysexData.get(), event.SysexLength);
    else
        SendShort(event.Status, event.Data1, event.Data2);
}

void MidiOutputPort::SendShort(quint8 status, quint8 data1, quint8 data2)
{
    const quint32 message = quint32(status) | quint32(data1) << 8 | quint32(data2) << 16;
    check(d->system.outShort(d->handle, message));
    if (d->programs.note(status, data1, data2))
        emit programSent();
}

void MidiOutputPort::SendShorts(std::span<const quint32> messages)
{
    if (messages.empty())
        return;
    size_t sent = 0;
    const quint16 result = d->system.outShorts(d->handle, messages, sent);
    bool programs = false;
    for (const quint32 message : messages.first(sent))
        programs |= d->programs.note(quint8(message), quint8(message >> 8), quint8(message >> 16));
    // Once for the batch: listeners read the memory as it stands after it.
    if (programs)
        emit programSent();
    check(result);
}

void MidiOutputPort::holdSends(bool on)
{
    d->system.holdOutput(on);
}

const ProgramMemory &MidiOutputPort::programsSent() const
{
    return d->programs;
}

MidiOutHandle MidiOutputPort::systemHandle() const
{
    return d->state == PortState::psOpen ? d->handle : 0;
}

void MidiOutputPort::noteForwarded(const MidiEvent &event)
{
    if (!event.SysexData && d->programs.note(event.Status, event.Data1, event.Data2))
        emit programSent();
}

void MidiOutputPort::SendLong(const quint8 *data, quint16 length)
{
    // A block of no bytes has no buffer to hand over.
    if (length == 0 || !data)
        raise(QStringLiteral("Empty system exclusive message"));
    auto wrapper = std::make_unique<OwnedMidiHeader>(length);
    if (!wrapper->isValid())
        check(MidiResult::NoMemory);
    std::memcpy(wrapper->Data, data, length);
    wrapper->Header->user = reinterpret_cast<quintptr>(wrapper.get());
    check(d->system.outPrepare(d->handle, wrapper->Header));
    // Registered before the send: the completion may be handled as soon as the event loop runs.
    OwnedMidiHeader *key = wrapper.get();
    d->sending.emplace(key, std::move(wrapper));
    const quint16 result = d->system.outLong(d->handle, key->Header);
    if (result != 0) {
        d->system.outUnprepare(d->handle, key->Header);
        d->sending.erase(key);
        check(result);
    }
}

bool MidiOutputPort::event(QEvent *e)
{
    if (e->type() != MidiOutDoneEvent::EventType)
        return QObject::event(e);
    auto *done = static_cast<MidiOutDoneEvent *>(e);
    // The handle may be closed by now; the block is freed all the same.
    d->system.outUnprepare(d->handle, done->header);
    auto it = d->sending.find(OwnedMidiHeader::fromHeader(done->header));
    if (it != d->sending.end())
        d->sending.erase(it);
    emit sysexSent(this);
    return true;
}
