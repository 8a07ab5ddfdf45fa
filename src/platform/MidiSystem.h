#pragma once

#include "MidiThruGate.h"

#include <QEvent>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <span>

class QObject;

// Result codes, numbered as the classic multimedia MIDI interface numbers them, so that a
// code shown to the user means the same on every system.
namespace MidiResult
{
enum : quint16 {
    NoError = 0,
    Error = 1,
    BadDeviceId = 2,
    NotEnabled = 3,
    Allocated = 4,
    InvalidHandle = 5,
    NoDriver = 6,
    NoMemory = 7,
    NotSupported = 8,
    BadErrorNumber = 9,
    InvalidFlag = 10,
    InvalidParameter = 11,
    HandleBusy = 12,
    Unprepared = 64,
    StillPlaying = 65,
    NoMap = 66,
    NotReady = 67,
    NoDevice = 68,
    InvalidSetup = 69,
    BadOpenMode = 70,
    DontContinue = 71,
};
}

// The callback messages of an input device, numbered like their classic counterparts.
namespace MidiInMessage
{
enum : quint32 {
    Open = 0x3C1,
    Close = 0x3C2,
    Data = 0x3C3,     // param1: packed short message, param2: time stamp
    LongData = 0x3C4, // param1: the MidiHeader that was filled, param2: time stamp
};
}

// Flags of MidiHeader::flags.
namespace MidiHeaderFlag
{
enum : quint32 { Done = 1, Prepared = 2, InQueue = 4 };
}

// A buffer of bytes handed to a device: SysEx to send, or a SysEx receive buffer.
// Laid out in 64 bytes so that it fits the header block the ports allocate.
//
// Threading: while a receive buffer is queued (InQueue) only the device writes it; the
// device hands it back through the input callback, after which its owner alone uses it.
struct MidiHeader {
    quint8 *data = nullptr;
    quint32 bufferLength = 0;
    quint32 bytesRecorded = 0;
    quintptr user = 0;       // the owner's own reference
    quint32 flags = 0;       // MidiHeaderFlag
    quint32 blockHandle = 0; // handle of the block holding this header, set by its owner
    quint32 ownerMark = 0;   // the owner's own use; the system never touches it
    quint8 reserved[28] = {};
};
static_assert(sizeof(MidiHeader) == 64, "a header fills one 64-byte block");

// Input the device dropped: messages that broke the MIDI stream rules, and bytes (mostly
// SysEx) for which there was no receive buffer and no room to wait for one.
struct MidiInLosses {
    quint64 malformed = 0;
    quint64 bytesWithoutBuffer = 0;
};

struct MidiOutCaps {
    quint16 manufacturerId = 0;
    quint16 productId = 0;
    quint32 driverVersion = 0;
    QString name;
    quint16 technology = 0;
    quint16 voices = 0;
    quint16 notes = 0;
    quint16 channelMask = 0;
    quint32 support = 0;
};

struct MidiInCaps {
    quint16 manufacturerId = 0;
    quint16 productId = 0;
    quint32 driverVersion = 0;
    QString name;
    quint32 support = 0;
};

// Posted by the system to an output device's notification object when a long message has
// left: the header is its own again.
class MidiOutDoneEvent : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(QEvent::User + 0x3C9);
    explicit MidiOutDoneEvent(MidiHeader *h) : QEvent(EventType), header(h) {}
    MidiHeader *header;
};

// Posted by a system to its change watcher, on the GUI thread, when its device lists may
// have changed (a port came or went) or when the MIDI system itself stopped or came back.
// Many changes in a row may be posted as one.
class MidiSystemChangedEvent : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(QEvent::User + 0x3D0);
    MidiSystemChangedEvent() : QEvent(EventType) {}
};

using MidiOutHandle = quint32; // 0: none
using MidiInHandle = quint32;  // 0: none

// Runs on the device's own thread for every incoming message, with the instance value
// given at open. It must not block.
using MidiInCallback = void (*)(MidiInHandle handle, quint32 message, quintptr instance, quintptr param1,
                                quintptr param2);

// The MIDI system under the ports: the few device operations they need, with result
// codes numbered as the classic multimedia MIDI interface numbers them
// (0 ok, 2 bad device id, 4 allocated, 5 invalid handle, 7 no memory,
// 11 invalid parameter, 64 and up MIDI errors), each with a text.
//
// Threading: every operation is called on the GUI thread. Input callbacks run on the
// device's thread; output completions are posted to the notification object.
class MidiSystem
{
public:
    virtual ~MidiSystem() = default;

    // "ALSA", "JACK" or "Virtual": what the status bar shows.
    virtual QString systemName() const = 0;
    // A system may still be connecting when it is made (a JACK client opening on a thread
    // of its own while the windows are built). This waits for that and says whether it
    // works; false, with the reason in *why, means no device can be used: fall back to
    // another system. Any other call also waits for it first.
    virtual bool waitUntilOpen(QString *why)
    {
        Q_UNUSED(why)
        return true;
    }

    // Output. Device -1 is the program's own virtual output port.
    virtual quint16 outDeviceCount() = 0;
    virtual quint16 outCaps(int device, MidiOutCaps &caps) = 0;
    virtual quint16 outOpen(MidiOutHandle &handle, int device, QObject *notify) = 0;
    virtual quint16 outShort(MidiOutHandle handle, quint32 message) = 0;
    // The messages in order, as outShort would send them one by one, up to the first one
    // refused, whose result it returns; `sent` counts those that went. A backend that can
    // hands them over in one go, so that they leave together.
    virtual quint16 outShorts(MidiOutHandle handle, std::span<const quint32> messages, size_t &sent);
    virtual quint16 outPrepare(MidiOutHandle handle, MidiHeader *header) = 0;
    // The bytes are sent and then the header is posted back as a MidiOutDoneEvent.
    virtual quint16 outLong(MidiOutHandle handle, MidiHeader *header) = 0;
    virtual quint16 outUnprepare(MidiOutHandle handle, MidiHeader *header) = 0;
    virtual quint16 outReset(MidiOutHandle handle) = 0;
    virtual quint16 outClose(MidiOutHandle handle) = 0;

    // Input. Device -1 is the program's own virtual input port that other programs play
    // into (a system without virtual ports refuses it like an unknown device).
    virtual quint16 inDeviceCount() = 0;
    virtual quint16 inCaps(int device, MidiInCaps &caps) = 0;
    virtual quint16 inOpen(MidiInHandle &handle, int device, MidiInCallback callback, quintptr instance) = 0;
    virtual quint16 inPrepare(MidiInHandle handle, MidiHeader *header) = 0;
    virtual quint16 inAddBuffer(MidiInHandle handle, MidiHeader *header) = 0;
    virtual quint16 inUnprepare(MidiInHandle handle, MidiHeader *header) = 0;
    virtual quint16 inStart(MidiInHandle handle) = 0;
    // Stops input and gives every queued buffer back (marked done, not queued). When it
    // returns, no callback runs for this device until the next start.
    virtual quint16 inReset(MidiInHandle handle) = 0;
    virtual quint16 inClose(MidiInHandle handle) = 0;
    // What the device could not deliver since it was opened. A system that cannot tell
    // answers with zeros.
    virtual quint16 inLosses(MidiInHandle handle, MidiInLosses &losses)
    {
        Q_UNUSED(handle)
        losses = MidiInLosses();
        return MidiResult::NoError;
    }

    // Change notification. A system that reportsChanges() posts MidiSystemChangedEvent to
    // the watcher (null: to nobody). Its user compares the lists on a timer as well: news
    // may come before the lists show the change, or not at all.
    virtual void setChangeWatcher(QObject *watcher) { Q_UNUSED(watcher) }
    virtual bool reportsChanges() const { return false; }
    // False while the MIDI system itself is gone (a JACK server that stopped): lists are
    // empty and every port reports NoDevice until it runs again.
    virtual bool isRunning() const { return true; }
    // True while one of the program's own output ports is connected straight to one of
    // its own input ports (made outside the program, in a patch bay): a MIDI loop.
    virtual bool loopedBack() const { return false; }
    // Sends made between holdOutput(true) and the matching holdOutput(false) leave
    // together, handed on when the last hold ends rather than when the event loop next
    // comes round (which costs a second pass of it). Holds nest.
    virtual void holdOutput(bool on) { Q_UNUSED(on) }

    // Thru on the system's own thread: every message arriving at `in` leaves at `out` as
    // thruGate() allows, in the cycle it arrives, however busy the GUI thread is; a 0
    // handle ends it (closing either port ends it too). False when the system cannot
    // forward by itself: then whoever reads the input passes messages on.
    virtual bool routeThru(MidiInHandle in, MidiOutHandle out)
    {
        Q_UNUSED(in)
        Q_UNUSED(out)
        return false;
    }
    // The same for extra input `source` (1..ThruRules::ExtraInputCount): each has a route
    // of its own, with a message parser of its own, alongside the main one.
    virtual bool routeExtraThru(int source, MidiInHandle in, MidiOutHandle out)
    {
        Q_UNUSED(source)
        Q_UNUSED(in)
        Q_UNUSED(out)
        return false;
    }
    MidiThruGate &thruGate() { return m_thruGate; }
    const MidiThruGate &thruGate() const { return m_thruGate; }
    // What the window shows of the input messages it does not act on (notes, controllers):
    // the latest in a row on screen, only the next one (to light a dark lamp), or none for
    // now. A system whose thru forwards them may hand the window fewer copies accordingly;
    // whatever it holds back of them, it hands on the last one before anything the window
    // acts on, and once the window shows more.
    enum class InputShown : quint8 { Latest, Next, Nothing };
    virtual void setInputShown(InputShown shown) { Q_UNUSED(shown) }
    // An input event came within the last `ms`, also one the window was not handed. A
    // system that hands the window every event may say false.
    virtual bool inputHeardWithin(int ms) const
    {
        Q_UNUSED(ms)
        return false;
    }
    // What the system's own thru did since it was made: whole messages it took from the
    // input, wrote to the output, kept back (the gate's rules, echoes of a loop) and lost
    // because the output refused them (with the last code); every message taken is one of
    // the other three. And whether the output is heard coming back at the input.
    struct ThruReport {
        quint64 notSent = 0;
        quint16 lastRefusal = 0;
        bool loopHeard = false;
        quint64 taken = 0;
        quint64 written = 0;
        quint64 keptBack = 0;
        // Another forwarder's report counted in with this one (an extra input's).
        void add(const ThruReport &other)
        {
            notSent += other.notSent;
            if (other.notSent)
                lastRefusal = other.lastRefusal;
            loopHeard = loopHeard || other.loopHeard;
            taken += other.taken;
            written += other.written;
            keptBack += other.keptBack;
        }
    };
    virtual ThruReport thruReport() const { return {}; }

    // The text for a result code; returns BadErrorNumber for a code it does not know.
    virtual quint16 errorText(quint16 code, QString &text) const;

    // What a port reports for a failed call: the code's text, at most 127 characters, or
    // "Specified error number is out of range" when the code has none.
    QString failureText(quint16 code) const;

private:
    MidiThruGate m_thruGate;
};

// Makes the backend for --midi-api: "auto", "alsa", "jack" or "virtual".
// "auto" takes ALSA when its sequencer can be opened, else JACK when a server is
// running (it never starts one), else Virtual. Returns null and sets *error for an
// unknown name or a backend that cannot be had. A JACK client opened early may still be
// opening: waitUntilOpen() says whether it can be had.
std::unique_ptr<MidiSystem> createMidiSystem(const QString &api, QString *error);

// Sends `messages` one by one through `send` until one is refused: the batch send of a
// backend that has no way of its own.
template <typename Send> quint16 sendEachShort(std::span<const quint32> messages, size_t &sent, Send &&send)
{
    for (sent = 0; sent < messages.size(); ++sent) {
        if (const quint16 result = send(messages[sent]))
            return result;
    }
    return MidiResult::NoError;
}
