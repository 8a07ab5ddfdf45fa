#include "MidiIn.h"

#include "EventRing.h"
#include "MidiHandler.h"
#include "MidiWakeup.h"
#include "OwnedMidiHeader.h"
#include "platform/MidiSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <vector>

namespace
{
constexpr quint32 BufferTurnedAway = 1; // as midiHandler marks it

int systemDevice(quint16 id)
{
    return id == MidiInputPort::OwnPort ? -1 : int(id);
}

// Looked up once: finding a signal's method and asking whether it is connected (which
// takes Qt's connection lock) per message cost more than the rest of a read.
const QMetaMethod &messageSignal()
{
    static const QMetaMethod method = QMetaMethod::fromSignal(&MidiInputPort::messageRead);
    return method;
}
} // namespace

struct MidiInputPort::Private {
    explicit Private(MidiSystem &s) : system(s) {}

    MidiSystem &system;
    MidiWakeup *wakeup = nullptr;
    QTimer *pause = nullptr; // runs while wake-ups are gathered after a read
    QElapsedTimer lastRead;  // since the last read a wake-up brought
    quint16 deviceId = 0;
    MidiInHandle handle = 0;
    PortState state = PortState::psCreating;
    quint16 error = 0;
    bool sysexOnly = false;
    quint32 driverVersion = 0;
    QString productName;
    quint16 manufacturerId = 0;
    quint16 productId = 0;
    quint16 capacity = 1024;
    MidiEventRing *ring = nullptr;
    quint16 deviceCount = 0;
    quint16 sysexBufferSize = 4096;
    quint16 sysexBufferCount = 16;
    std::unique_ptr<std::vector<std::unique_ptr<OwnedMidiHeader>>> sysexBuffers;
    MidiCallbackRecord *record = nullptr;
    MidiInLosses closedLosses; // of the devices opened before the one open now
    quint8 lastStatus = 0;
    quint8 lastData1 = 0;
    quint8 lastData2 = 0;
    // Whether messageRead has a listener, as known for the drain under way; empty outside
    // a drain and whenever a connection to it changes.
    std::optional<bool> drainListens;
};

MidiInputPort::MidiInputPort(MidiSystem &system, QObject *owner)
    : QObject(owner), d(std::make_unique<Private>(system))
{
    d->state = PortState::psCreating;
    d->sysexOnly = false;
    d->deviceCount = system.inDeviceCount();
    try {
        selectIndex(0);
    } catch (const MidiInputError &) {
        // No input device (or none that answers): the port exists with nothing selected.
    }
    d->capacity = 1024;
    d->sysexBufferSize = 4096;
    d->sysexBufferCount = 16;
    d->wakeup = new MidiWakeup(this);
    connect(d->wakeup, &MidiWakeup::woken, this, &MidiInputPort::takeWakeup);
    d->pause = new QTimer(this);
    d->pause->setSingleShot(true);
    d->pause->setTimerType(Qt::PreciseTimer);
    d->pause->setInterval(WakePauseMs);
    connect(d->pause, &QTimer::timeout, this, &MidiInputPort::endPause);
    d->state = PortState::psClosed;
}

MidiInputPort::~MidiInputPort()
{
    if (d->handle) {
        try {
            Close();
        } catch (const MidiInputError &) {
        }
        // The callback must be stopped for good before its record goes.
        if (d->handle) {
            d->system.inReset(d->handle);
            if (d->sysexBuffers)
                for (auto &buffer : *d->sysexBuffers)
                    d->system.inUnprepare(d->handle, buffer->Header);
            d->system.inClose(d->handle);
            d->handle = 0;
        }
    }
    d->sysexBuffers.reset();
    FreeEventRing(d->ring);
    FreeCallbackRecord(d->record);
}

void MidiInputPort::raise(const QString &text) const
{
    throw MidiInputError(text);
}

void MidiInputPort::check(quint16 result)
{
    d->error = result;
    if (result == 0)
        return;
    raise(d->system.failureText(result));
}

quint16 MidiInputPort::DeviceID() const
{
    return d->deviceId;
}

void MidiInputPort::setDeviceID(quint16 id)
{
    if (d->state == PortState::psOpen)
        raise(QStringLiteral("Change to DeviceID while device was open"));
    selectIndex(id);
}

void MidiInputPort::selectIndex(quint16 id)
{
    if (id != OwnPort && !(id < d->system.inDeviceCount()))
        raise(QStringLiteral("Invalid device ID"));
    d->deviceId = id;
    MidiInCaps caps;
    check(d->system.inCaps(systemDevice(id), caps));
    d->productName = caps.name;
    d->driverVersion = caps.driverVersion;
    d->manufacturerId = caps.manufacturerId;
    d->productId = caps.productId;
}

QString MidiInputPort::ProductName() const
{
    return d->productName;
}

void MidiInputPort::setProductName(const QString &name)
{
    if (d->state == PortState::psOpen)
        raise(QStringLiteral("Change to ProductName while device was open"));
    const int count = d->system.inDeviceCount();
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
        MidiInCaps caps;
        check(d->system.inCaps(i, caps));
        if (caps.name == name)
            found = i;
    }
    if (found < 0)
        raise(QStringLiteral("MIDI Input Device ") + name + QStringLiteral(" not installed "));
    d->productName = name;
    selectIndex(quint16(found));
}

quint16 MidiInputPort::DeviceCount() const
{
    return d->deviceCount;
}

quint16 MidiInputPort::Error() const
{
    return d->error;
}

quint32 MidiInputPort::DriverVersion() const
{
    return d->driverVersion;
}

quint16 MidiInputPort::ManufacturerID() const
{
    return d->manufacturerId;
}

quint16 MidiInputPort::ProductID() const
{
    return d->productId;
}

bool MidiInputPort::IsOpen() const
{
    return d->state == PortState::psOpen;
}

bool MidiInputPort::SysexOnly() const
{
    return d->sysexOnly;
}

void MidiInputPort::setSysexOnly(bool on)
{
    d->sysexOnly = on;
    if (d->record)
        d->record->SysexOnlyFlag.store(on ? 1 : 0, std::memory_order_relaxed);
}

quint16 MidiInputPort::Capacity() const
{
    return d->capacity;
}

void MidiInputPort::setCapacity(quint16 slotCount)
{
    d->capacity = slotCount;
}

quint16 MidiInputPort::SysexBufferSize() const
{
    return d->sysexBufferSize;
}

void MidiInputPort::setSysexBufferSize(quint16 bytes)
{
    if (d->state == PortState::psOpen)
        raise(QStringLiteral("Change to SysexBufferSize while device was open"));
    d->sysexBufferSize = bytes;
}

quint16 MidiInputPort::SysexBufferCount() const
{
    return d->sysexBufferCount;
}

void MidiInputPort::setSysexBufferCount(quint16 count)
{
    if (d->state == PortState::psOpen)
        raise(QStringLiteral("Change to SysexBuffercount while device was open"));
    d->sysexBufferCount = count;
}

void MidiInputPort::Open()
{
    // A second open would replace the ring under the running callback.
    if (d->state == PortState::psOpen)
        return;
    try {
        openDevice();
        d->state = PortState::psOpen;
    } catch (const MidiInputError &) {
        unwindOpen();
    }
}

void MidiInputPort::openDevice()
{
    if (!d->ring) {
        if (d->capacity == 0)
            check(MidiResult::InvalidParameter);
        d->ring = CreateEventRing(std::min(d->capacity, MaxRingSlots));
        if (!d->ring)
            check(MidiResult::NoMemory);
    }
    if (!d->record) {
        d->record = CreateCallbackRecord();
        if (!d->record)
            check(MidiResult::NoMemory);
    }
    d->record->EventRing = d->ring;
    d->record->NotifyWindow = d->wakeup;
    d->record->SysexOnlyFlag.store(d->sysexOnly ? 1 : 0);
    d->record->InputPending.store(false);
    d->record->OverflowPending.store(false);

    MidiInHandle handle = 0;
    check(d->system.inOpen(handle, systemDevice(d->deviceId), &midiHandler,
                           reinterpret_cast<quintptr>(d->record)));
    d->handle = handle;

    if (d->sysexBufferCount > 0 && d->sysexBufferSize > 0 && d->handle) {
        d->sysexBuffers = std::make_unique<std::vector<std::unique_ptr<OwnedMidiHeader>>>();
        for (int i = 0; i < d->sysexBufferCount; ++i) {
            auto buffer = std::make_unique<OwnedMidiHeader>(d->sysexBufferSize);
            if (!buffer->isValid())
                check(MidiResult::NoMemory);
            buffer->Header->user = reinterpret_cast<quintptr>(buffer.get());
            d->sysexBuffers->push_back(std::move(buffer));
            check(d->system.inPrepare(d->handle, d->sysexBuffers->back()->Header));
        }
    }
    if (d->sysexBuffers)
        for (auto &buffer : *d->sysexBuffers)
            check(d->system.inAddBuffer(d->handle, buffer->Header));
}

// Closes the device before anything it might still call back with is released. Error
// keeps the code of the failure that brought us here.
void MidiInputPort::unwindOpen()
{
    if (d->handle) {
        d->system.inReset(d->handle);
        if (d->sysexBuffers)
            for (auto &buffer : *d->sysexBuffers)
                d->system.inUnprepare(d->handle, buffer->Header);
        keepLosses();
        d->system.inClose(d->handle);
        d->handle = 0;
    }
    d->sysexBuffers.reset();
    FreeEventRing(d->ring);
    d->ring = nullptr;
    FreeCallbackRecord(d->record);
    d->record = nullptr;
    d->state = PortState::psClosed;
}

void MidiInputPort::Start()
{
    if (d->state == PortState::psOpen)
        check(d->system.inStart(d->handle));
}

void MidiInputPort::Close()
{
    if (d->state != PortState::psOpen)
        return;
    // Closed first, so that notices handled from here on fire nothing.
    d->state = PortState::psClosed;
    check(d->system.inReset(d->handle));
    if (d->sysexBuffers) {
        auto &buffers = *d->sysexBuffers;
        while (!buffers.empty()) {
            check(d->system.inUnprepare(d->handle, buffers.front()->Header));
            buffers.erase(buffers.begin());
        }
        d->sysexBuffers.reset();
    }
    keepLosses();
    check(d->system.inClose(d->handle));
    d->handle = 0;
    FreeEventRing(d->ring);
    d->ring = nullptr;
    if (d->record)
        d->record->EventRing = nullptr;
}

quint16 MidiInputPort::PendingCount() const
{
    if (d->state != PortState::psOpen || !d->ring)
        return 0;
    return d->ring->EventCount.load(std::memory_order_acquire);
}

std::unique_ptr<MidiEvent> MidiInputPort::ReadEvent()
{
    if (PendingCount() == 0)
        return nullptr;
    auto event = std::make_unique<MidiEvent>();
    if (!ReadEvent(*event))
        return nullptr;
    return event;
}

bool MidiInputPort::ReadEvent(MidiEvent &event)
{
    MidiEventSlot slot;
    if (d->state != PortState::psOpen || !PeekEvent(d->ring, slot))
        return false;
    MidiEventRing *const ring = d->ring;
    event.Timestamp = slot.Timestamp;
    if (slot.SysexHeader == 0) {
        event.Status = quint8(slot.ShortMessage);
        event.Data1 = quint8(slot.ShortMessage >> 8);
        event.Data2 = quint8(slot.ShortMessage >> 16);
        event.SysexLength = 0;
        event.SysexData.reset();
        if (messageListened()) {
            d->lastStatus = event.Status;
            d->lastData1 = event.Data1;
            d->lastData2 = event.Data2;
            emit messageRead(this);
            // The handler may have closed the port: the slot went with the ring.
            if (d->state != PortState::psOpen || d->ring != ring)
                return true;
        }
    } else {
        event.Status = 0xF0;
        event.Data1 = 0;
        event.Data2 = 0;
        event.SysexLength = 0;
        event.SysexData.reset();
        auto *header = static_cast<MidiHeader *>(SharedBlockAddress(slot.SysexHeader));
        if (header) {
            event.SysexLength = quint16(header->bytesRecorded & 0xFFFF);
            if (header->bytesRecorded > 0) {
                event.SysexData.reset(new quint8[header->bytesRecorded]);
                std::memcpy(event.SysexData.get(), header->data, header->bytesRecorded);
            }
            quint16 result = d->system.inPrepare(d->handle, header);
            if (result == 0)
                result = d->system.inAddBuffer(d->handle, header);
            check(result);
        }
    }
    DropEvent(ring);
    return true;
}

bool MidiInputPort::messageListened() const
{
    if (d->drainListens)
        return *d->drainListens;
    return isSignalConnected(messageSignal());
}

void MidiInputPort::connectNotify(const QMetaMethod &signal)
{
    if (signal == messageSignal())
        d->drainListens.reset();
}

void MidiInputPort::disconnectNotify(const QMetaMethod &signal)
{
    // An invalid method stands for every signal at once.
    if (!signal.isValid() || signal == messageSignal())
        d->drainListens.reset();
}

quint32 MidiInputPort::OverflowCount() const
{
    return d->record ? d->record->OverflowCount.load(std::memory_order_relaxed) : 0;
}

quint64 MidiInputPort::ArrivedCount() const
{
    return d->record ? d->record->ArrivedCount.load(std::memory_order_relaxed) : 0;
}

MidiInLosses MidiInputPort::DeviceLosses() const
{
    MidiInLosses total = d->closedLosses;
    MidiInLosses open;
    if (d->handle && d->system.inLosses(d->handle, open) == 0) {
        total.malformed += open.malformed;
        total.bytesWithoutBuffer += open.bytesWithoutBuffer;
    }
    return total;
}

void MidiInputPort::keepLosses()
{
    d->closedLosses = DeviceLosses();
}

MidiInHandle MidiInputPort::systemHandle() const
{
    return d->state == PortState::psOpen ? d->handle : 0;
}

quint8 MidiInputPort::LastStatus() const
{
    return d->lastStatus;
}

quint8 MidiInputPort::LastData1() const
{
    return d->lastData1;
}

quint8 MidiInputPort::LastData2() const
{
    return d->lastData2;
}

// One wake-up stands for every message stored since the last one. One that follows the
// last read closely is a stream: the input flag stays set for a short pause after the
// read, so that the stream wakes the window a few hundred times a second rather than once
// per driver cycle (thru does not wait for the window). One that comes later (a player's
// program change, a note now and then) is read and done with, without a pause to end.
void MidiInputPort::takeWakeup()
{
    if (!d->record)
        return;
    if (d->lastRead.isValid() && d->lastRead.elapsed() < WakePauseMs)
        d->pause->start();
    else
        d->record->InputPending.store(false); // before the read: what comes after it wakes us
    readWoken();
}

void MidiInputPort::readWoken()
{
    d->lastRead.start();
    if (d->record->OverflowPending.exchange(false)) {
        requeueTurnedAway();
        QEvent overflow(OverflowNotice);
        QCoreApplication::sendEvent(this, &overflow);
    }
    QEvent data(DataNotice);
    QCoreApplication::sendEvent(this, &data);
}

// The flag is cleared before the ring is looked at, so a message stored after that wakes
// us again; one stored during the pause is read now.
void MidiInputPort::endPause()
{
    if (!d->record)
        return;
    d->record->InputPending.store(false);
    if (PendingCount() > 0) {
        d->pause->start();
        readWoken();
    }
}

void MidiInputPort::requeueTurnedAway()
{
    if (d->state != PortState::psOpen || !d->sysexBuffers)
        return;
    for (auto &buffer : *d->sysexBuffers) {
        std::atomic_ref<quint32> mark(buffer->Header->ownerMark);
        if (mark.load(std::memory_order_acquire) != BufferTurnedAway)
            continue;
        mark.store(0, std::memory_order_relaxed);
        if (d->system.inPrepare(d->handle, buffer->Header) == 0)
            d->system.inAddBuffer(d->handle, buffer->Header);
    }
}

bool MidiInputPort::event(QEvent *e)
{
    if (e->type() == DataNotice) {
        const quint16 before = PendingCount();
        if (before > 0 && isSignalConnected(QMetaMethod::fromSignal(&MidiInputPort::inputWaiting))) {
            // Asked once for the whole drain, not for every message read in it.
            const QScopedValueRollback<std::optional<bool>> listens(d->drainListens,
                                                                    isSignalConnected(messageSignal()));
            emit inputWaiting(this);
            // A handler that reads only part of what waits is called again, as it would be
            // with one notice per message; one that reads nothing is not pestered.
            const quint16 after = PendingCount();
            if (after > 0 && after < before)
                QCoreApplication::postEvent(this, new QEvent(DataNotice));
        }
        return true;
    }
    if (e->type() == OverflowNotice) {
        if (d->state == PortState::psOpen &&
            isSignalConnected(QMetaMethod::fromSignal(&MidiInputPort::overflowed)))
            emit overflowed(this);
        return true;
    }
    return QObject::event(e);
}
