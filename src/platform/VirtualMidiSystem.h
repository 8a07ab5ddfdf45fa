#pragma once

#include "MidiDeviceSystem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// In-process MIDI devices, for tests and for machines with no MIDI system.
//
// An output device records every message it is sent and, as real systems do, refuses a
// short message whose first byte is not a status byte (or is SysEx framing). An input device can be fed from
// any thread, as a driver would feed it (deliveries are serialised). Either can be told to refuse an open or
// a send with a result code. No output loops back into an input by itself.
//
// Devices coming and going, the system stopping and running again and a loop made
// outside the program are all posted to the change watcher, as a real system posts them.
class VirtualOutput
{
public:
    virtual ~VirtualOutput() = default;
    virtual QString name() const = 0;
    // Every message sent so far, oldest first, as upper-case hex bytes separated by
    // blanks. A short message is always its three packed bytes ("C0 04 00"); a SysEx
    // message is its bytes ("F0 7E 7F F7").
    virtual QStringList log() const = 0;
    virtual void clearLog() = 0;
    // 0 accepts again.
    virtual void refuseOpen(quint16 resultCode) = 0;
    virtual void refuseSend(quint16 resultCode) = 0;
    // Makes the capability query of this device fail with the code; 0 answers again.
    virtual void refuseCaps(quint16 resultCode) = 0;
    virtual bool isOpen() const = 0;
};

class VirtualInput
{
public:
    virtual ~VirtualInput() = default;
    virtual QString name() const = 0;
    // Safe to call from any thread. Does nothing while the device is not started.
    virtual void feedShort(quint8 status, quint8 data1, quint8 data2) = 0;
    // The bytes of one event as a driver would hand them over: any part of the stream.
    virtual void feedBytes(const QByteArray &bytes) = 0;
    // A whole SysEx, as a device that frames its messages gives it: fills the queued receive
    // buffers; an empty array fills one buffer with no bytes.
    virtual void feedSysex(const QByteArray &bytes) = 0;
    virtual void refuseOpen(quint16 resultCode) = 0;
    virtual void refuseCaps(quint16 resultCode) = 0;
    // Makes handing a SysEx receive buffer to this device fail with the code.
    virtual void refuseBuffers(quint16 resultCode) = 0;
    virtual bool isOpen() const = 0;
};

class VirtualMidiSystem : public MidiDeviceSystem
{
public:
    VirtualMidiSystem();
    ~VirtualMidiSystem() override;

    QString systemName() const override;
    void setChangeWatcher(QObject *watcher) override;
    bool reportsChanges() const override;
    bool isRunning() const override;
    bool loopedBack() const override;

    // Devices are numbered in the order they were added. The references stay valid for
    // the life of the system.
    VirtualOutput &addOutput(const QString &name);
    VirtualInput &addInput(const QString &name);
    // Takes a device away, as an unplugged interface would go.
    void removeOutput(const QString &name);
    void removeInput(const QString &name);

    // Output device -1, the program's own port that other programs would connect to.
    VirtualOutput &ownOutput();
    static QString ownOutputName();
    // Input device -1, the program's own port that other programs would play into.
    VirtualInput &ownInput();
    static QString ownInputName();

    // Stopped, the system lists nothing, refuses every open and loses every send, as a
    // JACK server that died; running again, it lists its devices as before.
    void setRunning(bool running);
    // As if the own output were connected to the own input from outside.
    void setLoopedBack(bool looped);
    // Off: changes are posted to nobody, as on a system whose lists must be compared.
    void setReportsChanges(bool reports);

protected:
    int listOutputs() override;
    int listInputs() override;
    quint16 outputCaps(int device, MidiOutCaps &caps) override;
    quint16 inputCaps(int device, MidiInCaps &caps) override;
    quint16 openOutput(int device, std::unique_ptr<MidiOutPort> &port) override;
    quint16 openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
