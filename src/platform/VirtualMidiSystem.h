#pragma once

#include "MidiSystem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// In-process MIDI devices, for tests and for machines with no MIDI system.
//
// An output device records every message it is sent. An input device can be fed from
// any thread, as a driver would feed it. Either can be told to refuse an open or a send
// with a result code. No output loops back into an input by itself.
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
    virtual bool isOpen() const = 0;
};

class VirtualInput
{
public:
    virtual ~VirtualInput() = default;
    virtual QString name() const = 0;
    // Safe to call from any thread. Does nothing while the device is not started.
    virtual void feedShort(quint8 status, quint8 data1, quint8 data2) = 0;
    virtual void feedSysex(const QByteArray &bytes) = 0;
    virtual void refuseOpen(quint16 resultCode) = 0;
    virtual bool isOpen() const = 0;
};

class VirtualMidiSystem : public MidiSystem
{
public:
    VirtualMidiSystem();
    ~VirtualMidiSystem() override;

    QString systemName() const override;

    // Devices are numbered in the order they were added. The references stay valid for
    // the life of the system.
    VirtualOutput &addOutput(const QString &name);
    VirtualInput &addInput(const QString &name);
    // Takes a device away, as an unplugged interface would go.
    void removeOutput(const QString &name);
    void removeInput(const QString &name);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
