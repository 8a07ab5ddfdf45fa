// Any sequence of driver events on one input port, through everything an incoming message
// passes on its way to the window: the device's feed, the port's ring and its SysEx receive
// buffers, read back with ReadEvent as the window's handler reads them. The ring's size, the
// buffers' size and number and when the reader comes are chosen by the input as well, so
// full rings and buffers not yet handed back are part of what is tried.
//
// Whatever comes out must be well-formed, and must be what the stream parser alone makes of
// the same bytes; what is missing must be counted as lost.
#include "FuzzSupport.h"
#include "MidiMessages.h"
#include "midi/MidiIn.h"
#include "platform/MidiStreamParser.h"
#include "platform/VirtualMidiSystem.h"

#include <QCoreApplication>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

// Messages as the receiver makes them out. Real-time ones may overtake a SysEx that waits
// for a buffer, so they are kept apart; everything else keeps the stream's order. A SysEx is
// one entry, its pieces joined; one broken off or left unfinished is no entry.
struct Heard {
    // A short message packed from its low end, or SysexTag and the index of a whole SysEx.
    static constexpr uint32_t SysexTag = 1u << 31;

    std::vector<uint8_t> realTime;
    std::vector<uint32_t> ordered;
    std::vector<std::string> sysexes;
    size_t shorts = 0; // in `ordered`
    std::string sysex; // the SysEx under way
    bool sysexOpen = false;

    void message(const uint8_t *bytes, size_t length)
    {
        FUZZ_CHECK(isWellFormedShort(bytes, length));
        if (bytes[0] >= 0xF8) {
            realTime.push_back(bytes[0]);
            return;
        }
        sysexOpen = false;
        uint32_t packed = 0;
        for (size_t i = 0; i < length; ++i)
            packed |= uint32_t(bytes[i]) << (8 * i);
        ordered.push_back(packed);
        ++shorts;
    }
    void sysexBytes(const std::string &piece, bool first, bool ends)
    {
        if (first)
            sysex.clear();
        sysex += piece;
        sysexOpen = !ends;
        if (ends) {
            ordered.push_back(SysexTag | uint32_t(sysexes.size()));
            sysexes.push_back(sysex);
        }
    }
    size_t shortCount() const { return realTime.size() + shorts; }
    bool same(uint32_t mine, const Heard &other, uint32_t theirs) const
    {
        if ((mine & SysexTag) != (theirs & SysexTag))
            return false;
        return (mine & SysexTag) == 0 ? mine == theirs
                                      : sysexes[mine & ~SysexTag] == other.sysexes[theirs & ~SysexTag];
    }
    // Whether every message heard here was heard by the other too, in the same order;
    // without `sysexToo`, the short messages alone.
    bool within(const Heard &other, bool sysexToo = true) const
    {
        auto at = other.ordered.begin();
        for (const uint32_t mine : ordered) {
            if (!sysexToo && (mine & SysexTag))
                continue;
            at = std::find_if(at, other.ordered.end(),
                              [&](uint32_t theirs) { return same(mine, other, theirs); });
            if (at == other.ordered.end())
                return false;
            ++at;
        }
        auto rt = other.realTime.begin();
        for (const uint8_t mine : realTime) {
            rt = std::find(rt, other.realTime.end(), mine);
            if (rt == other.realTime.end())
                return false;
            ++rt;
        }
        return true;
    }
};

// The parser alone on the whole stream.
struct Reference final : MidiStreamParser::Sink {
    Heard heard;
    quint64 bytes = 0; // in all it hands out, running status filled in

    void message(const uint8_t *bytes, size_t length) override
    {
        heard.message(bytes, length);
        this->bytes += length;
    }
    void sysex(const uint8_t *bytes, size_t length, bool ends) override
    {
        this->bytes += length;
        heard.sysexBytes(std::string(reinterpret_cast<const char *>(bytes), length), bytes[0] == 0xF0, ends);
    }
    void sysexBroken() override { heard.sysexOpen = false; }
};

struct Event {
    bool sysex;
    std::string bytes;
    quint32 timestamp;
};

// The port's events as a receiver reads them. Checks what each event may be on its own and
// next to the one before; a SysEx piece with no start before it is only possible when a full
// ring turned pieces away.
Heard receive(const std::vector<Event> &events, quint16 bufferSize, bool ringOverflowed)
{
    Heard heard;
    quint32 lastTime = 0;
    size_t lastPiece = bufferSize;
    for (const Event &event : events) {
        FUZZ_CHECK(event.timestamp >= lastTime);
        lastTime = event.timestamp;
        const auto *bytes = reinterpret_cast<const uint8_t *>(event.bytes.data());
        if (!event.sysex) {
            const size_t length = shortMessageLength(bytes[0]);
            for (size_t i = length; i < 3; ++i)
                FUZZ_CHECK(bytes[i] == 0);
            heard.message(bytes, length);
            continue;
        }
        const size_t length = event.bytes.size();
        FUZZ_CHECK(length > 0 && length <= bufferSize);
        const bool first = bytes[0] == 0xF0;
        // A SysEx goes on in the next buffer only once the one before is full.
        if (!first && heard.sysexOpen)
            FUZZ_CHECK(lastPiece == bufferSize);
        FUZZ_CHECK(first || heard.sysexOpen || ringOverflowed);
        for (size_t i = first ? 1 : 0; i + 1 < length; ++i)
            FUZZ_CHECK(bytes[i] < 0x80);
        const bool ends = bytes[length - 1] == 0xF7;
        FUZZ_CHECK(ends || bytes[length - 1] < 0x80 || (length == 1 && first));
        if (first || heard.sysexOpen)
            heard.sysexBytes(event.bytes, first, ends);
        lastPiece = length;
    }
    return heard;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnvironment::get();
    FuzzedDataProvider input(data, size);

    VirtualMidiSystem system;
    VirtualInput &device = system.addInput(QStringLiteral("Fuzz"));
    MidiInputPort port(system);
    // Not a ring of one slot: a SysEx buffer read from it goes back to the device before
    // its slot is free, so every further piece would find the ring full and wait for the
    // event loop to hand its buffer back, a run of seconds for one input.
    port.setCapacity(input.ConsumeIntegralInRange<quint16>(2, 1024));
    const quint16 bufferSize = input.ConsumeIntegralInRange<quint16>(1, 4096);
    port.setSysexBufferSize(bufferSize);
    port.setSysexBufferCount(input.ConsumeIntegralInRange<quint16>(1, 16));
    // How many events the window's handler takes per notice; 0: all that wait.
    const int perNotice = input.ConsumeIntegralInRange<int>(0, 64);

    std::vector<Event> events;
    auto read = [&](int most) {
        int done = 0;
        while (most == 0 || done < most) {
            const std::unique_ptr<MidiEvent> event = port.ReadEvent();
            if (!event)
                break;
            ++done;
            if (event->Status == 0xF0)
                events.push_back({true,
                                  std::string(reinterpret_cast<const char *>(event->SysexData.get()),
                                              event->SysexData ? event->SysexLength : 0),
                                  event->Timestamp});
            else
                events.push_back({false,
                                  std::string{char(event->Status), char(event->Data1), char(event->Data2)},
                                  event->Timestamp});
        }
        return done;
    };
    QObject::connect(&port, &MidiInputPort::inputWaiting, [&] { read(perNotice); });
    port.Open();
    FUZZ_CHECK(port.IsOpen());
    port.Start();

    std::string stream;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            // One driver event, now and then handed over many times: a few bytes of input
            // make a stream far longer than the feed can hold. Mostly once, or every run
            // would be a long one.
            const uint8_t repeat = input.ConsumeIntegral<uint8_t>();
            const int times = repeat < 0xF8 ? 1 : (repeat - 0xF7) * 128;
            const std::string bytes =
                input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, 4096));
            const QByteArray event(bytes.data(), qsizetype(bytes.size()));
            for (int i = 0; i < times; ++i) {
                device.feedBytes(event);
                stream += bytes;
            }
            break;
        }
        case 1:
            read(input.ConsumeIntegralInRange<int>(1, 256));
            break;
        case 2:
            QCoreApplication::processEvents();
            break;
        default: {
            // The driver cuts a few bytes in two events.
            const std::string bytes = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, 64));
            const size_t half = bytes.size() / 2;
            device.feedBytes(QByteArray(bytes.data(), qsizetype(half)));
            device.feedBytes(QByteArray(bytes.data() + half, qsizetype(bytes.size() - half)));
            stream += bytes;
            break;
        }
        }
    }
    // The window drains the port: every notice handled, every buffer handed back, until
    // nothing more comes.
    for (int quiet = 0; quiet < 2;) {
        const size_t before = events.size();
        read(0);
        QCoreApplication::processEvents();
        quiet = events.size() > before ? 0 : quiet + 1;
    }

    MidiStreamParser parser;
    Reference reference;
    parser.parse(reinterpret_cast<const uint8_t *>(stream.data()), stream.size(), reference);

    const quint64 overflows = port.OverflowCount();
    const MidiInLosses losses = port.DeviceLosses();
    const Heard heard = receive(events, bufferSize, overflows > 0);
    FUZZ_CHECK(losses.malformed == parser.drops().total());
    FUZZ_CHECK(losses.bytesWithoutBuffer <= reference.bytes);
    if (overflows == 0 && losses.bytesWithoutBuffer == 0) {
        // Nothing lost: the same messages, no more.
        FUZZ_CHECK(heard.within(reference.heard) && heard.shortCount() == reference.heard.shortCount() &&
                   heard.sysexes.size() == reference.heard.sysexes.size());
    } else {
        // A full ring may turn a middle piece of a SysEx away; what reaches the window
        // joined is then not one that was sent, so only the short messages are compared.
        FUZZ_CHECK(heard.within(reference.heard, overflows == 0));
        // Each message lost was turned away by the full ring or lost at least one byte.
        FUZZ_CHECK(reference.heard.shortCount() - heard.shortCount() <=
                   overflows + losses.bytesWithoutBuffer);
    }
    return 0;
}
