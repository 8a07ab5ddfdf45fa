#pragma once

#include "MidiTypes.h"
#include "platform/AppException.h"
#include "platform/MidiSystem.h"

#include <QEvent>
#include <QObject>
#include <QString>

class MidiSystem;

class MidiInputError : public AppException
{
public:
    using AppException::AppException;
};

// One MIDI input device of the MIDI system in use. Incoming messages are stored by the
// driver thread in a ring of fixed slots and handed out on the GUI thread.
//
// Threading: every member is used on the GUI thread only. The driver thread (midiHandler)
// touches the ring, the callback record and the queued SysEx receive buffers, nothing
// else; it wakes the GUI thread once per batch, and the port then fires overflowed and
// inputWaiting from its notices.
class MidiInputPort : public QObject
{
    Q_OBJECT
public:
    // Never fails for want of a device: with no input device the port exists with an
    // empty device list and cannot be opened.
    explicit MidiInputPort(MidiSystem &system, QObject *owner = nullptr);
    ~MidiInputPort() override;

    // The program's own input port, which other programs play into: the system's device -1.
    static constexpr quint16 OwnPort = 0xFFFF;

    quint16 DeviceID() const;
    void setDeviceID(quint16 id);
    QString ProductName() const;
    void setProductName(const QString &name);

    quint16 DeviceCount() const;
    quint16 Error() const;
    quint32 DriverVersion() const;
    quint16 ManufacturerID() const;
    quint16 ProductID() const;
    bool IsOpen() const; // state is psOpen
    // The system's handle of the open device; 0 while closed.
    MidiInHandle systemHandle() const;

    bool SysexOnly() const;
    void setSysexOnly(bool on);
    quint16 Capacity() const;
    void setCapacity(quint16 slotCount);
    quint16 SysexBufferSize() const;
    void setSysexBufferSize(quint16 bytes);
    quint16 SysexBufferCount() const;
    void setSysexBufferCount(quint16 count);

    void Open();
    void Start();
    void Close();
    quint16 PendingCount() const;
    // The oldest waiting event, or null.
    std::unique_ptr<MidiEvent> ReadEvent();
    // The same into an event the caller keeps from one read to the next, so that a drain
    // allocates nothing for short messages; false, with the event as it was, when nothing
    // waits.
    bool ReadEvent(MidiEvent &event);

    // Messages turned away by a full ring since the port was made.
    quint32 OverflowCount() const;
    // Messages the device handed to the port since it was opened, stored or turned away:
    // each is passed on or counted by whoever reads the port.
    quint64 ArrivedCount() const;
    // Since the port was made: messages the device dropped as malformed, and bytes it had
    // no receive buffer for.
    MidiInLosses DeviceLosses() const;

    // The notices the driver side raises, as event types of the port.
    static constexpr QEvent::Type DataNotice = QEvent::Type(QEvent::User + 0x3C3);
    static constexpr QEvent::Type OverflowNotice = QEvent::Type(QEvent::User + 0x400);
    // The window reads the input at most once per this many milliseconds while it flows.
    // Longer than a cycle at the usual periods (5.3 ms at 256 frames): a pause that ends
    // before the next cycle's input wakes the window once more for nothing. Thru does not
    // wait for it; the monitor, the lamps and the foot switches are that much later.
    static constexpr int WakePauseMs = 10;

    quint8 LastStatus() const;
    quint8 LastData1() const;
    quint8 LastData2() const;

signals:
    void inputWaiting(QObject *sender);
    void overflowed(QObject *sender);
    void messageRead(QObject *sender);
    void smpteRead(QObject *sender);

protected:
    bool event(QEvent *e) override;
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    [[noreturn]] void raise(const QString &text) const;
    void check(quint16 result);
    void selectIndex(quint16 id);
    void openDevice();
    void unwindOpen();
    void takeWakeup();
    void readWoken();
    void endPause();
    void requeueTurnedAway();
    // Adds the losses of the device about to be closed to those kept.
    void keepLosses();
    bool messageListened() const;

    struct Private;
    std::unique_ptr<Private> d;
};
