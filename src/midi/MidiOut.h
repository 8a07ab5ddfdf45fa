#pragma once

#include "MidiTypes.h"
#include "ProgramMemory.h"
#include "platform/AppException.h"
#include "platform/MidiSystem.h"

#include <QObject>
#include <QString>

#include <span>

class MidiSystem;

class MidiOutputError : public AppException
{
public:
    using AppException::AppException;
};

// One MIDI output device of the MIDI system in use.
//
// Threading: every member is used on the GUI thread only. SysEx completions reach the
// port as events posted to it, so sysexSent fires on the GUI thread as well.
class MidiOutputPort : public QObject
{
    Q_OBJECT
public:
    explicit MidiOutputPort(MidiSystem &system, QObject *owner = nullptr);
    ~MidiOutputPort() override;

    // Selection by index; -1 is the program's own virtual port.
    int DeviceID() const;
    void setDeviceID(int id);
    // Selection by name (letter case counts; searches -1 first).
    QString ProductName() const;
    void setProductName(const QString &name);

    quint16 DeviceCount() const;
    bool IsOpen() const;
    // The system's handle of the open device; 0 while closed.
    MidiOutHandle systemHandle() const;
    quint16 Error() const;
    quint32 DriverVersion() const;
    quint8 Technology() const;
    quint16 Voices() const;
    quint16 Notes() const;
    quint16 ChannelMask() const;
    quint32 Support() const;

    virtual void Open();
    virtual void Close();
    virtual void SendEvent(const MidiEvent &event);
    virtual void SendShort(quint8 status, quint8 data1, quint8 data2);
    // Short messages packed as status | data1 << 8 | data2 << 16, in order, handed to the
    // device in one go where it can take them so (they then leave together). Ends at the
    // first one refused with its error, as a loop of SendShort would.
    void SendShorts(std::span<const quint32> messages);
    virtual void SendLong(const quint8 *data, quint16 length);

    // What went out since the port was last opened: a device opened again may have been
    // switched off and on, so nothing is assumed of it.
    const ProgramMemory &programsSent() const;
    // A message the MIDI system passed on by itself (thru): it went out all the same.
    void noteForwarded(const MidiEvent &event);

    // Sends made while held leave together when the last hold ends; see
    // MidiSystem::holdOutput. Holds nest and belong to the whole MIDI system.
    void holdSends(bool on);

signals:
    // A SysEx send has completed.
    void sysexSent(QObject *sender);
    // A program change or a reset went out; programsSent changed.
    void programSent();

protected:
    // The port is its own notification target: SysEx completions arrive here.
    bool event(QEvent *e) override;

private:
    [[noreturn]] void raise(const QString &text) const;
    void check(quint16 result);
    void selectIndex(int id);

    struct Private;
    std::unique_ptr<Private> d;
};
