#include "MidiIn.h"

#include "Circbuf.h"
#include "MidiHandler.h"
#include "MidiHdr.h"
#include "MidiWakeup.h"
#include "platform/MidiSystem.h"

#include <QCoreApplication>
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
    return id == TMidiInput::OwnPort ? -1 : int(id);
}

// Looked up once: finding a signal's method and asking whether it is connected (which
// takes Qt's connection lock) per message cost more than the rest of a read.
const QMetaMethod &messageSignal()
{
    static const QMetaMethod method = QMetaMethod::fromSignal(&TMidiInput::OnMidiMessage);
    return method;
}
} // namespace

struct TMidiInput::Private {
    explicit Private(MidiSystem &s) : system(s) {}

    MidiSystem &system;
    MidiWakeup *wakeup = nullptr;
    QTimer *pause = nullptr; // runs while wake-ups are gathered after a read
    quint16 deviceId = 0;
    MidiInHandle handle = 0;
    TPortState state = TPortState::psCreating;
    quint16 error = 0;
    bool sysexOnly = false;
    quint32 driverVersion = 0;
    QString productName;
    quint16 manufacturerId = 0;
    quint16 productId = 0;
    quint16 capacity = 1024;
    TMidiEventRing *ring = nullptr;
    quint16 deviceCount = 0;
    quint16 sysexBufferSize = 4096;
    quint16 sysexBufferCount = 16;
    std::unique_ptr<std::vector<std::unique_ptr<TMyMidiHdr>>> sysexBuffers;
    TMidiCallbackRecord *record = nullptr;
    MidiInLosses closedLosses; // of the devices opened before the one open now
    quint8 lastStatus = 0;
    quint8 lastData1 = 0;
    quint8 lastData2 = 0;
    // Whether OnMidiMessage has a listener, as known for the drain under way; empty outside
    // a drain and whenever a connection to it changes.
    std::optional<bool> drainListens;
};

TMidiInput::TMidiInput(MidiSystem &system, QObject *owner)
    : QObject(owner), d(std::make_unique<Private>(system))
{
    d->state = TPortState::psCreating;
    d->sysexOnly = false;
    d->deviceCount = system.inDeviceCount();
    try {
        selectIndex(0);
    } catch (const EMidiInputError &) {
        // No input device (or none that answers): the port exists with nothing selected.
    }
    d->capacity = 1024;
    d->sysexBufferSize = 4096;
    d->sysexBufferCount = 16;
    d->wakeup = new MidiWakeup(this);
    connect(d->wakeup, &MidiWakeup::woken, this, &TMidiInput::takeWakeup);
    d->pause = new QTimer(this);
    d->pause->setSingleShot(true);
    d->pause->setTimerType(Qt::PreciseTimer);
    d->pause->setInterval(WakePauseMs);
    connect(d->pause, &QTimer::timeout, this, &TMidiInput::endPause);
    d->state = TPortState::psClosed;
}

TMidiInput::~TMidiInput()
{
    if (d->handle) {
        try {
            Close();
        } catch (const EMidiInputError &) {
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

void TMidiInput::raise(const QString &text) const
{
    throw EMidiInputError(text);
}

void TMidiInput::check(quint16 result)
{
    d->error = result;
    if (result == 0)
        return;
    raise(d->system.failureText(result));
}

quint16 TMidiInput::DeviceID() const
{
    return d->deviceId;
}

void TMidiInput::setDeviceID(quint16 id)
{
    if (d->state == TPortState::psOpen)
        raise(QStringLiteral("Change to DeviceID while device was open"));
    selectIndex(id);
}

void TMidiInput::selectIndex(quint16 id)
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

QString TMidiInput::ProductName() const
{
    return d->productName;
}

void TMidiInput::setProductName(const QString &name)
{
    if (d->state == TPortState::psOpen)
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

quint16 TMidiInput::DeviceCount() const
{
    return d->deviceCount;
}

quint16 TMidiInput::Error() const
{
    return d->error;
}

quint32 TMidiInput::DriverVersion() const
{
    return d->driverVersion;
}

quint16 TMidiInput::ManufacturerID() const
{
    return d->manufacturerId;
}

quint16 TMidiInput::ProductID() const
{
    return d->productId;
}

bool TMidiInput::IsOpen() const
{
    return d->state == TPortState::psOpen;
}

bool TMidiInput::SysexOnly() const
{
    return d->sysexOnly;
}

void TMidiInput::setSysexOnly(bool on)
{
    d->sysexOnly = on;
    if (d->record)
        d->record->SysexOnlyFlag.store(on ? 1 : 0, std::memory_order_relaxed);
}

quint16 TMidiInput::Capacity() const
{
    return d->capacity;
}

void TMidiInput::setCapacity(quint16 slotCount)
{
    d->capacity = slotCount;
}

quint16 TMidiInput::SysexBufferSize() const
{
    return d->sysexBufferSize;
}

void TMidiInput::setSysexBufferSize(quint16 bytes)
{
    if (d->state == TPortState::psOpen)
        raise(QStringLiteral("Change to SysexBufferSize while device was open"));
    d->sysexBufferSize = bytes;
}

quint16 TMidiInput::SysexBufferCount() const
{
    return d->sysexBufferCount;
}

void TMidiInput::setSysexBufferCount(quint16 count)
{
    if (d->state == TPortState::psOpen)
        raise(QStringLiteral("Change to SysexBuffercount while device was open"));
    d->sysexBufferCount = count;
}

void TMidiInput::Open()
{
    // A second open would replace the ring under the running callback.
    if (d->state == TPortState::psOpen)
        return;
    try {
        openDevice();
        d->state = TPortState::psOpen;
    } catch (const EMidiInputError &) {
        unwindOpen();
    }
}

void TMidiInput::openDevice()
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
        d->sysexBuffers = std::make_unique<std::vector<std::unique_ptr<TMyMidiHdr>>>();
        for (int i = 0; i < d->sysexBufferCount; ++i) {
            auto buffer = std::make_unique<TMyMidiHdr>(d->sysexBufferSize);
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
void TMidiInput::unwindOpen()
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
    d->state = TPortState::psClosed;
}

void TMidiInput::Start()
{
    if (d->state == TPortState::psOpen)
        check(d->system.inStart(d->handle));
}

void TMidiInput::Close()
{
    if (d->state != TPortState::psOpen)
        return;
    // Closed first, so that notices handled from here on fire nothing.
    d->state = TPortState::psClosed;
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

quint16 TMidiInput::PendingCount() const
{
    if (d->state != TPortState::psOpen || !d->ring)
        return 0;
    return d->ring->EventCount.load(std::memory_order_acquire);
}

std::unique_ptr<TMyMidiEvent> TMidiInput::ReadEvent()
{
    if (PendingCount() == 0)
        return nullptr;
    auto event = std::make_unique<TMyMidiEvent>();
    if (!ReadEvent(*event))
        return nullptr;
    return event;
}

bool TMidiInput::ReadEvent(TMyMidiEvent &event)
{
    TMidiEventSlot slot;
    if (d->state != TPortState::psOpen || !PeekEvent(d->ring, slot))
        return false;
    TMidiEventRing *const ring = d->ring;
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
            emit OnMidiMessage(this);
            // The handler may have closed the port: the slot went with the ring.
            if (d->state != TPortState::psOpen || d->ring != ring)
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

bool TMidiInput::messageListened() const
{
    if (d->drainListens)
        return *d->drainListens;
    return isSignalConnected(messageSignal());
}

void TMidiInput::connectNotify(const QMetaMethod &signal)
{
    if (signal == messageSignal())
        d->drainListens.reset();
}

void TMidiInput::disconnectNotify(const QMetaMethod &signal)
{
    // An invalid method stands for every signal at once.
    if (!signal.isValid() || signal == messageSignal())
        d->drainListens.reset();
}

quint32 TMidiInput::OverflowCount() const
{
    return d->record ? d->record->OverflowCount.load(std::memory_order_relaxed) : 0;
}

quint64 TMidiInput::ArrivedCount() const
{
    return d->record ? d->record->ArrivedCount.load(std::memory_order_relaxed) : 0;
}

MidiInLosses TMidiInput::DeviceLosses() const
{
    MidiInLosses total = d->closedLosses;
    MidiInLosses open;
    if (d->handle && d->system.inLosses(d->handle, open) == 0) {
        total.malformed += open.malformed;
        total.bytesWithoutBuffer += open.bytesWithoutBuffer;
    }
    return total;
}

void TMidiInput::keepLosses()
{
    d->closedLosses = DeviceLosses();
}

MidiInHandle TMidiInput::systemHandle() const
{
    return d->state == TPortState::psOpen ? d->handle : 0;
}

quint8 TMidiInput::LastStatus() const
{
    return d->lastStatus;
}

quint8 TMidiInput::LastData1() const
{
    return d->lastData1;
}

quint8 TMidiInput::LastData2() const
{
    return d->lastData2;
}

// One wake-up stands for every message stored since the last one. The input flag stays
// set for a short pause after the read, so that a stream wakes the window a few hundred
// times a second rather than once per driver cycle (thru does not wait for the window).
void TMidiInput::takeWakeup()
{
    if (!d->record)
        return;
    d->pause->start();
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
void TMidiInput::endPause()
{
    if (!d->record)
        return;
    d->record->InputPending.store(false);
    if (PendingCount() > 0)
        takeWakeup();
}

void TMidiInput::requeueTurnedAway()
{
    if (d->state != TPortState::psOpen || !d->sysexBuffers)
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

bool TMidiInput::event(QEvent *e)
{
    if (e->type() == DataNotice) {
        const quint16 before = PendingCount();
        if (before > 0 && isSignalConnected(QMetaMethod::fromSignal(&TMidiInput::OnMidiInput))) {
            // Asked once for the whole drain, not for every message read in it.
            const QScopedValueRollback<std::optional<bool>> listens(d->drainListens,
                                                                    isSignalConnected(messageSignal()));
            emit OnMidiInput(this);
            // A handler that reads only part of what waits is called again, as it would be
            // with one notice per message; one that reads nothing is not pestered.
            const quint16 after = PendingCount();
            if (after > 0 && after < before)
                QCoreApplication::postEvent(this, new QEvent(DataNotice));
        }
        return true;
    }
    if (e->type() == OverflowNotice) {
        if (d->state == TPortState::psOpen &&
            isSignalConnected(QMetaMethod::fromSignal(&TMidiInput::OnOverflow)))
            emit OnOverflow(this);
        return true;
    }
    return QObject::event(e);
}
