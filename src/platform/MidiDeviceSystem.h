#pragma once

#include "MidiInputFeed.h"
#include "MidiSystem.h"

#include <QPointer>
#include <array>
#include <map>

// An opened output port of a backend.
class MidiOutPort
{
public:
    virtual ~MidiOutPort() = default;
    virtual quint16 sendShort(quint32 packed) = 0;
    // As MidiSystem::outShorts.
    virtual quint16 sendShorts(std::span<const quint32> messages, size_t &sent)
    {
        return sendEachShort(messages, sent, [this](quint32 message) { return sendShort(message); });
    }
    virtual quint16 sendLong(const quint8 *bytes, size_t length) = 0;
};

// An opened input port of a backend; it delivers through the feed it was opened with.
class MidiInPort
{
public:
    virtual ~MidiInPort() = default;
    // Nonzero: the device does not take receive buffers now.
    virtual quint16 bufferRefusal() const { return 0; }
};

// Bytes on the wire for a short message with this status; 0 when a short message cannot
// carry it (a data byte, or the SysEx framing bytes).
int midiShortMessageLength(quint8 status);

// The handle bookkeeping and buffer rules that every backend shares, so that backends
// differ only in how they list, open and drive their ports.
class MidiDeviceSystem : public MidiSystem
{
public:
    MidiDeviceSystem();
    ~MidiDeviceSystem() override;

    quint16 outDeviceCount() override;
    quint16 outCaps(int device, MidiOutCaps &caps) override;
    quint16 outOpen(MidiOutHandle &handle, int device, QObject *notify) override;
    quint16 outShort(MidiOutHandle handle, quint32 message) override;
    quint16 outShorts(MidiOutHandle handle, std::span<const quint32> messages, size_t &sent) override;
    quint16 outPrepare(MidiOutHandle handle, MidiHeader *header) override;
    quint16 outLong(MidiOutHandle handle, MidiHeader *header) override;
    quint16 outUnprepare(MidiOutHandle handle, MidiHeader *header) override;
    quint16 outReset(MidiOutHandle handle) override;
    quint16 outClose(MidiOutHandle handle) override;

    quint16 inDeviceCount() override;
    quint16 inCaps(int device, MidiInCaps &caps) override;
    quint16 inOpen(MidiInHandle &handle, int device, MidiInCallback callback, quintptr instance) override;
    quint16 inPrepare(MidiInHandle handle, MidiHeader *header) override;
    quint16 inAddBuffer(MidiInHandle handle, MidiHeader *header) override;
    quint16 inUnprepare(MidiInHandle handle, MidiHeader *header) override;
    quint16 inStart(MidiInHandle handle) override;
    quint16 inReset(MidiInHandle handle) override;
    quint16 inClose(MidiInHandle handle) override;
    quint16 inLosses(MidiInHandle handle, MidiInLosses &losses) override;
    bool routeThru(MidiInHandle in, MidiOutHandle out) override;
    bool routeExtraThru(int source, MidiInHandle in, MidiOutHandle out) override;

protected:
    // Each takes a fresh listing; the indices of the other calls refer to the last one.
    virtual int listOutputs() = 0;
    virtual int listInputs() = 0;
    // Device -1 is the program's own virtual output port.
    virtual quint16 outputCaps(int device, MidiOutCaps &caps) = 0;
    virtual quint16 inputCaps(int device, MidiInCaps &caps) = 0;
    virtual quint16 openOutput(int device, std::unique_ptr<MidiOutPort> &port) = 0;
    virtual quint16 openInput(int device, MidiInputFeed &feed, std::unique_ptr<MidiInPort> &port) = 0;
    // Forwards from `in` to `out` on the system's thread from now on; both null: no more.
    // When it returns, nothing forwards along the route it replaced. False: this system
    // cannot forward by itself.
    virtual bool connectThru(MidiInPort *in, MidiOutPort *out)
    {
        Q_UNUSED(in)
        Q_UNUSED(out)
        return false;
    }
    // The same for an extra input's route (source 1..ThruRules::ExtraInputCount).
    virtual bool connectExtraThru(int source, MidiInPort *in, MidiOutPort *out)
    {
        Q_UNUSED(source)
        Q_UNUSED(in)
        Q_UNUSED(out)
        return false;
    }
    // Whether the listing was taken: calls before the first count take one.
    bool m_outListed = false;
    bool m_inListed = false;

    // Closes every port still open; a backend calls it first in its destructor.
    void closeAll();

private:
    struct OutState {
        std::unique_ptr<MidiOutPort> port;
        QPointer<QObject> notify;
    };
    struct InState {
        std::unique_ptr<MidiInputFeed> feed;
        std::unique_ptr<MidiInPort> port;
    };
    void endThruOver(MidiInHandle in, MidiOutHandle out);
    void endExtraThruOver(MidiInHandle in, MidiOutHandle out);

    quint32 m_nextHandle = 1;
    MidiInHandle m_thruIn = 0;
    MidiOutHandle m_thruOut = 0;
    struct ExtraRoute {
        MidiInHandle in = 0;
        MidiOutHandle out = 0;
    };
    std::array<ExtraRoute, ThruRules::ExtraInputCount> m_extraThru{};
    std::map<MidiOutHandle, OutState> m_outs;
    std::map<MidiInHandle, InState> m_ins;
};
