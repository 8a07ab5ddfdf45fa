#include "MidiInputFeed.h"

#include "MidiDeviceSystem.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>
#include <utility>

namespace
{

// A ring of records (a kind, a flag and bytes), made once. Positions count bytes from the
// start and only grow, so "how much is in it" is a subtraction. One thread writes and one
// reads at a time; the positions are atomic so that the two may be different threads.
class RecordRing
{
public:
    struct Head {
        quint8 kind = 0;
        quint8 ends = 0;
        quint16 unused = 0;
        quint32 length = 0;
    };
    static constexpr size_t HeadSize = sizeof(Head);

    explicit RecordRing(size_t capacity) : m_bytes(new quint8[capacity]), m_mask(capacity - 1) {}

    bool push(quint8 kind, bool ends, const quint8 *bytes, size_t length)
    {
        const quint64 end = m_written.load(std::memory_order_relaxed);
        if (HeadSize + length > m_mask + 1 - (end - m_read.load(std::memory_order_acquire)))
            return false;
        const Head head{kind, quint8(ends), 0, quint32(length)};
        copyIn(end, reinterpret_cast<const quint8 *>(&head), HeadSize);
        copyIn(end + HeadSize, bytes, length);
        m_written.store(end + HeadSize + length, std::memory_order_seq_cst);
        return true;
    }
    bool empty() const
    {
        return m_read.load(std::memory_order_seq_cst) == m_written.load(std::memory_order_seq_cst);
    }
    Head front() const
    {
        Head head;
        copyOut(m_read.load(std::memory_order_relaxed), reinterpret_cast<quint8 *>(&head), HeadSize);
        return head;
    }
    // Bytes of the front record from offset on.
    void read(size_t offset, quint8 *into, size_t length) const
    {
        copyOut(m_read.load(std::memory_order_relaxed) + HeadSize + offset, into, length);
    }
    void pop()
    {
        const Head head = front();
        m_read.store(m_read.load(std::memory_order_relaxed) + HeadSize + head.length,
                     std::memory_order_release);
    }
    quint64 readPosition() const { return m_read.load(std::memory_order_relaxed); }
    quint64 writePosition() const { return m_written.load(std::memory_order_relaxed); }
    // Forgets every record from the position on; for a ring written and read by one thread.
    void truncate(quint64 position) { m_written.store(position, std::memory_order_relaxed); }
    void clear() { m_read.store(m_written.load(std::memory_order_relaxed), std::memory_order_relaxed); }

private:
    void copyIn(quint64 position, const quint8 *from, size_t length)
    {
        const size_t at = size_t(position) & m_mask;
        const size_t first = std::min(length, m_mask + 1 - at);
        if (first)
            std::memcpy(m_bytes.get() + at, from, first);
        if (length > first)
            std::memcpy(m_bytes.get(), from + first, length - first);
    }
    void copyOut(quint64 position, quint8 *into, size_t length) const
    {
        const size_t at = size_t(position) & m_mask;
        const size_t first = std::min(length, m_mask + 1 - at);
        if (first)
            std::memcpy(into, m_bytes.get() + at, first);
        if (length > first)
            std::memcpy(into + first, m_bytes.get(), length - first);
    }

    std::unique_ptr<quint8[]> m_bytes;
    const size_t m_mask;
    std::atomic<quint64> m_read{0};
    std::atomic<quint64> m_written{0};
};

enum RecordKind : quint8 { StreamBytes, WholeSysex, ShortMessage, SysexPiece };

// A driver call that finds the GUI thread delivering waits here; a few JACK cycles' worth.
constexpr size_t BacklogCapacity = size_t(1) << 18;
// Receive buffers queued at once; the ports queue a few dozen at most.
constexpr size_t MaxQueuedBuffers = 1024;

void markDone(MidiHeader *header)
{
    header->flags = (header->flags & ~quint32(MidiHeaderFlag::InQueue)) | MidiHeaderFlag::Done;
}

} // namespace

// Everything here but the buffer queue's tail and the backlog's write side belongs to the
// holder of the delivery turn.
struct MidiInputFeed::Private final : MidiStreamParser::Sink {
    Private(MidiInputFeed &f) : feed(f) {}

    MidiInputFeed &feed;
    MidiStreamParser parser;
    quint32 now = 0; // time stamp of what is delivered in this turn

    std::array<MidiHeader *, MaxQueuedBuffers> queue{};
    std::atomic<quint64> queueHead{0}; // taken by the turn holder
    std::atomic<quint64> queueTail{0}; // added by the GUI thread
    MidiHeader *current = nullptr;     // being filled

    RecordRing backlog{BacklogCapacity};
    // Messages behind a SysEx that waits for buffers wait with it, so nothing overtakes it.
    RecordRing waiting{WaitingCapacity};
    quint64 sysexStart = 0;     // where the SysEx under way begins in `waiting`
    quint64 sysexHeld = 0;      // its bytes put in `waiting` so far, record heads not counted
    bool sysexUnderWay = false; // a piece of it came, its end not yet
    bool sysexDropping = false; // it did not fit: the rest of it is counted, not kept
    quint64 sysexFilled = 0;    // its bytes handed to buffers so far
    size_t frontDone = 0;       // bytes of the front waiting record already in buffers

    std::atomic<quint32> drops[5] = {};
    std::atomic<quint64> bytesLost{0};

    void callback(quint32 message, quintptr param)
    {
        feed.m_callback(feed.m_handle, message, feed.m_instance, param, now);
    }

    void message(const uint8_t *bytes, size_t length) override
    {
        // Real-time bytes go at once; anything else waits behind a waiting SysEx.
        if ((length == 1 && bytes[0] >= 0xF8) || waiting.empty()) {
            callback(MidiInMessage::Data, bytes[0] | quint32(length > 1 ? bytes[1] : 0) << 8 |
                                              quint32(length > 2 ? bytes[2] : 0) << 16);
            return;
        }
        if (!waiting.push(ShortMessage, false, bytes, length))
            bytesLost.fetch_add(length, std::memory_order_relaxed);
    }
    void sysex(const uint8_t *bytes, size_t length, bool ends) override
    {
        piece(bytes, length, bytes[0] == 0xF0, ends);
    }
    void piece(const quint8 *bytes, size_t length, bool first, bool ends)
    {
        if (first) {
            sysexStart = waiting.writePosition();
            sysexHeld = 0;
            sysexDropping = false;
        }
        sysexUnderWay = !ends;
        if (!sysexDropping && waiting.push(SysexPiece, ends, bytes, length)) {
            sysexHeld += length;
            pump();
            return;
        }
        if (!sysexDropping) {
            bytesLost.fetch_add(dropHeldSysex(), std::memory_order_relaxed);
            sysexDropping = true;
        }
        bytesLost.fetch_add(length, std::memory_order_relaxed);
        if (ends)
            sysexDropping = false;
    }
    void sysexBroken() override
    {
        // A SysEx broken before any piece of it came has nothing held; what `waiting` holds
        // then belongs to others (a whole SysEx waiting for buffers, the messages behind it).
        if (sysexUnderWay && !sysexDropping)
            dropHeldSysex();
        sysexUnderWay = false;
        sysexDropping = false;
    }
    // Forgets what is held of the SysEx under way (what went on already stays gone); the
    // number of its bytes forgotten, as the device sent them. Only that SysEx can be in
    // `waiting` from its start on.
    quint64 dropHeldSysex()
    {
        const quint64 read = waiting.readPosition();
        const quint64 pushed = std::exchange(sysexHeld, 0);
        if (sysexStart > read || (sysexStart == read && frontDone == 0)) {
            waiting.truncate(sysexStart);
            return pushed;
        }
        // Buffers handed over keep their bytes; the one being filled loses its own.
        const quint64 held = pushed - (sysexFilled - (current ? current->bytesRecorded : 0));
        waiting.truncate(read);
        frontDone = 0;
        sysexFilled = 0;
        if (current)
            current->bytesRecorded = 0;
        return held;
    }

    MidiHeader *nextBuffer()
    {
        if (!current) {
            const quint64 head = queueHead.load(std::memory_order_relaxed);
            if (head == queueTail.load(std::memory_order_seq_cst))
                return nullptr;
            current = queue[head % MaxQueuedBuffers];
            queueHead.store(head + 1, std::memory_order_release);
            current->bytesRecorded = 0;
        }
        return current;
    }
    void handOver()
    {
        MidiHeader *header = current;
        current = nullptr;
        markDone(header);
        callback(MidiInMessage::LongData, reinterpret_cast<quintptr>(header));
    }

    // Moves what waits into the ring, as far as buffers allow.
    void pump()
    {
        while (!waiting.empty()) {
            const RecordRing::Head head = waiting.front();
            if (head.kind == ShortMessage) {
                quint8 bytes[3] = {};
                waiting.read(0, bytes, std::min<size_t>(head.length, 3));
                waiting.pop();
                callback(MidiInMessage::Data, bytes[0] | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16);
                continue;
            }
            while (frontDone < head.length) {
                MidiHeader *header = nextBuffer();
                if (!header)
                    return;
                const size_t chunk =
                    std::min<size_t>(head.length - frontDone, header->bufferLength - header->bytesRecorded);
                waiting.read(frontDone, header->data + header->bytesRecorded, chunk);
                header->bytesRecorded += quint32(chunk);
                frontDone += chunk;
                sysexFilled += chunk;
                if (header->bytesRecorded == header->bufferLength)
                    handOver();
            }
            // An empty SysEx still fills one buffer, with nothing.
            if (head.ends && (current || sysexFilled == 0)) {
                if (!nextBuffer())
                    return;
                handOver();
            }
            if (head.ends)
                sysexFilled = 0;
            frontDone = 0;
            waiting.pop();
        }
    }

    // A record of the driver's: stream bytes for the parser, or a whole SysEx from a device
    // that frames its messages itself (an empty one still fills one buffer).
    void take(quint8 kind, const quint8 *bytes, size_t length, bool first, bool last)
    {
        if (kind == StreamBytes)
            parser.parse(bytes, length, *this);
        else
            piece(bytes, length, first, last);
    }
    void takeBacklog()
    {
        // The parser keeps no pointer into its input, so a record can go on in pieces.
        quint8 chunk[256];
        while (!backlog.empty()) {
            const RecordRing::Head head = backlog.front();
            size_t done = 0;
            do {
                const size_t n = std::min(sizeof chunk, head.length - done);
                backlog.read(done, chunk, n);
                take(head.kind, chunk, n, done == 0, done + n == head.length);
                done += n;
            } while (done < head.length);
            backlog.pop();
        }
    }
    void publishDrops()
    {
        const MidiStreamParser::Drops &d = parser.drops();
        const quint32 values[5] = {d.strayData, d.incomplete, d.brokenSysex, d.strayEnd, d.undefined};
        for (int i = 0; i < 5; ++i)
            drops[i].store(values[i], std::memory_order_relaxed);
    }
};

MidiInputFeed::MidiInputFeed(MidiInHandle handle, MidiInCallback callback, quintptr instance)
    : m_handle(handle), m_callback(callback), m_instance(instance), d(std::make_unique<Private>(*this))
{
}

MidiInputFeed::~MidiInputFeed() = default;

void MidiInputFeed::deliverMessage(const quint8 *bytes, size_t length)
{
    const Event event{bytes, length};
    deliver(Kind::Stream, &event, 1);
}

void MidiInputFeed::deliverMessages(const Event *events, size_t count)
{
    deliver(Kind::Stream, events, count);
}

void MidiInputFeed::deliverShort(quint32 packed)
{
    const quint8 bytes[3] = {quint8(packed), quint8(packed >> 8), quint8(packed >> 16)};
    const int length = midiShortMessageLength(bytes[0]);
    const Event event{bytes, length > 0 ? size_t(length) : 3};
    deliver(Kind::Stream, &event, 1);
}

void MidiInputFeed::deliverSysex(const quint8 *bytes, size_t length)
{
    const Event event{bytes, length};
    deliver(Kind::Sysex, &event, 1);
}

bool MidiInputFeed::takeTurn()
{
    bool free = false;
    return m_turn.compare_exchange_strong(free, true, std::memory_order_seq_cst);
}

// Whether a turn just given up left something that needs one: a backlog, or waiting bytes
// and a buffer to take them.
bool MidiInputFeed::moreToServe() const
{
    if (!m_running.load(std::memory_order_seq_cst))
        return false;
    return !d->backlog.empty() ||
           (m_waiting.load(std::memory_order_seq_cst) &&
            d->queueHead.load(std::memory_order_seq_cst) != d->queueTail.load(std::memory_order_seq_cst));
}

void MidiInputFeed::beginTurn()
{
    using namespace std::chrono;
    const auto ticks =
        steady_clock::now().time_since_epoch().count() - m_startTicks.load(std::memory_order_relaxed);
    d->now = quint32(duration_cast<milliseconds>(steady_clock::duration(ticks)).count());
    d->takeBacklog();
}

void MidiInputFeed::endTurn()
{
    d->pump();
    d->publishDrops();
    m_waiting.store(!d->waiting.empty(), std::memory_order_seq_cst);
    m_turn.store(false, std::memory_order_seq_cst);
}

void MidiInputFeed::serve()
{
    while (moreToServe()) {
        if (!takeTurn())
            return; // the holder looks again when it gives the turn up
        if (!m_running.load(std::memory_order_seq_cst)) {
            m_turn.store(false, std::memory_order_seq_cst);
            return;
        }
        beginTurn();
        endTurn();
    }
}

// Stream bytes of no length are no event; a SysEx of none still fills a buffer.
void MidiInputFeed::deliver(Kind kind, const Event *events, size_t count)
{
    m_driverInside.store(true, std::memory_order_seq_cst);
    if (m_running.load(std::memory_order_seq_cst)) {
        const quint8 record = kind == Kind::Stream ? StreamBytes : WholeSysex;
        const auto skipped = [kind](const Event &e) { return kind == Kind::Stream && e.length == 0; };
        if (takeTurn()) {
            // One time stamp for the call: its events came in together.
            beginTurn();
            for (size_t i = 0; i < count; ++i) {
                if (skipped(events[i]))
                    continue;
                d->take(record, events[i].bytes, events[i].length, true, true);
                // What waits behind a SysEx moves on after each event, as a call per event
                // would move it.
                d->pump();
            }
            endTurn();
        } else {
            for (size_t i = 0; i < count; ++i)
                if (!skipped(events[i]) && !d->backlog.push(record, false, events[i].bytes, events[i].length))
                    d->bytesLost.fetch_add(events[i].length, std::memory_order_relaxed);
        }
        serve();
    }
    m_driverInside.store(false, std::memory_order_seq_cst);
}

bool MidiInputFeed::addBuffer(MidiHeader *header)
{
    const quint64 tail = d->queueTail.load(std::memory_order_relaxed);
    if (tail - d->queueHead.load(std::memory_order_acquire) >= MaxQueuedBuffers)
        return false;
    d->queue[tail % MaxQueuedBuffers] = header;
    d->queueTail.store(tail + 1, std::memory_order_seq_cst);
    serve();
    return true;
}

void MidiInputFeed::start()
{
    // The driver side is idle while stopped, so the state can be reset here; a second
    // start stops first to get there.
    if (m_running.load(std::memory_order_seq_cst))
        stop();
    d->parser.reset();
    d->backlog.clear();
    d->waiting.clear();
    d->sysexDropping = false;
    d->sysexHeld = 0;
    d->sysexUnderWay = false;
    d->sysexFilled = 0;
    d->frontDone = 0;
    if (d->current)
        d->current->bytesRecorded = 0;
    m_waiting.store(false);
    m_startTicks.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                       std::memory_order_relaxed);
    m_running.store(true, std::memory_order_seq_cst);
}

void MidiInputFeed::stop()
{
    m_running.store(false, std::memory_order_seq_cst);
    // A driver call that saw the feed running may still be delivering: wait for it to end.
    while (m_driverInside.load(std::memory_order_seq_cst) || m_turn.load(std::memory_order_seq_cst))
        std::this_thread::yield();
}

void MidiInputFeed::takeBuffers()
{
    if (d->current) {
        markDone(d->current);
        d->current = nullptr;
    }
    while (MidiHeader *header = d->nextBuffer()) {
        d->current = nullptr;
        markDone(header);
    }
}

bool MidiInputFeed::hasBuffers() const
{
    return d->current || d->queueHead.load() != d->queueTail.load();
}

MidiInputFeed::Losses MidiInputFeed::losses() const
{
    Losses losses;
    losses.malformed.strayData = d->drops[0].load(std::memory_order_relaxed);
    losses.malformed.incomplete = d->drops[1].load(std::memory_order_relaxed);
    losses.malformed.brokenSysex = d->drops[2].load(std::memory_order_relaxed);
    losses.malformed.strayEnd = d->drops[3].load(std::memory_order_relaxed);
    losses.malformed.undefined = d->drops[4].load(std::memory_order_relaxed);
    losses.bytesLost = d->bytesLost.load(std::memory_order_relaxed);
    return losses;
}
