// A JACK client in a process of its own that floods a MIDI input at a steady rate with
// well-formed and malformed events mixed, and counts what comes back on its input.
//
//   jack_flood NAME PEER_IN PEER_OUT RATE SECONDS
//
// It connects its output to PEER_IN and PEER_OUT to its input, prints "ready", then
// "flowing" when the stream starts. Once the stream has ended it sends an end mark (a
// short SysEx) every half second until the mark comes back, so that everything sent
// before it has arrived or never will; then it prints one line of counts and ends.
//
// Every twentieth event is one kind of malformed input, each counted once by a receiver
// that follows the MIDI 1.0 stream rules: a note cut short, a SysEx broken off, a stray
// end of SysEx, an undefined status. The well-formed messages carry sequence numbers:
// control changes (18 bits in channel and data) and one 6-byte SysEx in twenty.
//
// Living in another process, its ports share no memory that a sanitizer of the program
// under test could watch.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr uint32_t SeqBits = 18;
constexpr uint32_t SeqMask = (1u << SeqBits) - 1;
constexpr uint8_t EndMark[] = {0xF0, 0x7D, 0x00, 0xF7};

// In the order of a pattern of twenty events; each malformed one is followed by a control
// change, whose status byte is what makes the receiver count it.
const std::vector<uint8_t> Malformed[] = {
    {0x90, 0x3C},       // incomplete
    {0xF0, 0x7D, 0x01}, // broken SysEx
    {0xF7},             // stray end
    {0xF4},             // undefined
};

// What came back of one kind of numbered message.
struct Tally {
    std::vector<uint8_t> seen = std::vector<uint8_t>(SeqMask + 1, 1);
    uint32_t expected = 0;
    bool any = false;
    std::atomic<uint64_t> received{0}, reordered{0}, duplicates{0};

    void sent(uint32_t seq) { seen[seq & SeqMask] = 0; }
    void got(uint32_t seq)
    {
        seq &= SeqMask;
        if (seen[seq]) {
            duplicates.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        seen[seq] = 1;
        received.fetch_add(1, std::memory_order_relaxed);
        const uint32_t ahead = (seq - expected) & SeqMask;
        const bool behind = any && ahead >= (1u << (SeqBits - 1));
        if (behind)
            reordered.fetch_add(1, std::memory_order_relaxed);
        else
            expected = (seq + 1) & SeqMask;
        any = true;
    }
};

struct Flood {
    jack_client_t *client = nullptr;
    jack_port_t *in = nullptr;
    jack_port_t *out = nullptr;
    double rate = 0;
    uint64_t frames = 0; // length of the stream
    jack_nframes_t sampleRate = 48000;

    std::atomic<bool> go{false};
    std::atomic<bool> flowing{false};
    std::atomic<bool> done{false};
    std::atomic<bool> markDue{false};
    std::atomic<bool> markBack{false};
    uint64_t start = 0;
    uint64_t attempted = 0; // events of the pattern written so far
    std::atomic<uint64_t> sentShort{0}, sentSysex{0}, sentMalformed{0}, writeFailed{0};
    std::atomic<uint64_t> foreign{0}, xruns{0}, marks{0};
    Tally shorts, sysex;
} g;

// The event at position n of the stream.
size_t eventAt(uint64_t n, uint8_t *bytes, int &kind)
{
    const uint64_t k = n % 20;
    if (k % 5 == 0) {
        const std::vector<uint8_t> &m = Malformed[k / 5];
        std::memcpy(bytes, m.data(), m.size());
        kind = 2;
        return m.size();
    }
    if (k == 19) {
        const auto seq = uint32_t(g.sentSysex.load(std::memory_order_relaxed));
        const uint8_t b[] = {
            0xF0, 0x7D, uint8_t((seq >> 14) & 0x7F), uint8_t((seq >> 7) & 0x7F), uint8_t(seq & 0x7F), 0xF7};
        std::memcpy(bytes, b, sizeof b);
        kind = 1;
        return sizeof b;
    }
    const auto seq = uint32_t(g.sentShort.load(std::memory_order_relaxed));
    bytes[0] = uint8_t(0xB0 | ((seq >> 14) & 0x0F));
    bytes[1] = uint8_t((seq >> 7) & 0x7F);
    bytes[2] = uint8_t(seq & 0x7F);
    kind = 0;
    return 3;
}

void receive(void *buffer)
{
    const uint32_t count = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t ev;
        if (jack_midi_event_get(&ev, buffer, i) != 0)
            continue;
        const uint8_t *b = ev.buffer;
        if (ev.size == 3 && (b[0] & 0xF0) == 0xB0)
            g.shorts.got((uint32_t(b[0] & 0x0F) << 14) | (uint32_t(b[1]) << 7) | b[2]);
        else if (ev.size == 6 && b[0] == 0xF0 && b[1] == 0x7D && b[5] == 0xF7)
            g.sysex.got((uint32_t(b[2]) << 14) | (uint32_t(b[3]) << 7) | b[4]);
        else if (ev.size == sizeof EndMark && std::memcmp(b, EndMark, sizeof EndMark) == 0)
            g.markBack.store(true, std::memory_order_release);
        else
            g.foreign.fetch_add(1, std::memory_order_relaxed);
    }
}

void send(uint64_t cycle, jack_nframes_t n, void *buffer)
{
    if (!g.flowing.load(std::memory_order_relaxed)) {
        g.start = cycle;
        g.flowing.store(true, std::memory_order_release);
    }
    const uint64_t elapsed = cycle - g.start;
    if (elapsed >= g.frames) {
        g.done.store(true, std::memory_order_release);
        return;
    }
    const uint64_t end = std::min<uint64_t>(elapsed + n, g.frames);
    const auto due = uint64_t(double(end) * g.rate / g.sampleRate);
    const uint64_t now = due > g.attempted ? due - g.attempted : 0;
    for (uint64_t i = 0; i < now; ++i) {
        uint8_t bytes[8];
        int kind = 0;
        const size_t length = eventAt(g.attempted, bytes, kind);
        if (jack_midi_event_write(buffer, jack_nframes_t(i * n / now), bytes, length) != 0) {
            // The port buffer is full: the rest waits for the next cycle, and says so.
            g.writeFailed.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        ++g.attempted;
        if (kind == 0) {
            g.shorts.sent(uint32_t(g.sentShort.load(std::memory_order_relaxed)));
            g.sentShort.fetch_add(1, std::memory_order_relaxed);
        } else if (kind == 1) {
            g.sysex.sent(uint32_t(g.sentSysex.load(std::memory_order_relaxed)));
            g.sentSysex.fetch_add(1, std::memory_order_relaxed);
        } else {
            g.sentMalformed.fetch_add(1, std::memory_order_relaxed);
        }
    }
}

int process(jack_nframes_t n, void *)
{
    void *in = jack_port_get_buffer(g.in, n);
    void *out = jack_port_get_buffer(g.out, n);
    jack_midi_clear_buffer(out);
    receive(in);
    if (g.go.load(std::memory_order_acquire) && !g.done.load(std::memory_order_relaxed))
        send(jack_last_frame_time(g.client), n, out);
    // Its status byte also ends a malformed event left last, so that it is counted.
    if (g.markDue.exchange(false) && jack_midi_event_write(out, 0, EndMark, sizeof EndMark) == 0)
        g.marks.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int onXrun(void *)
{
    g.xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void quiet(const char *) {}

bool waitFor(const std::atomic<bool> &flag, int ms)
{
    for (int i = 0; i < ms / 10 && !flag.load(std::memory_order_acquire); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag.load(std::memory_order_acquire);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: jack_flood NAME PEER_IN PEER_OUT RATE SECONDS\n");
        return 2;
    }
    jack_set_error_function(quiet);
    jack_status_t status;
    g.client = jack_client_open(argv[1], JackNoStartServer, &status);
    if (!g.client) {
        std::fprintf(stderr, "jack_flood: no JACK server (status 0x%x)\n", unsigned(status));
        return 1;
    }
    g.sampleRate = jack_get_sample_rate(g.client);
    g.rate = std::atof(argv[4]);
    g.frames = uint64_t(std::atof(argv[5]) * g.sampleRate);
    g.in = jack_port_register(g.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    g.out = jack_port_register(g.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(g.client, process, nullptr);
    jack_set_xrun_callback(g.client, onXrun, nullptr);
    if (!g.in || !g.out || jack_activate(g.client) != 0 ||
        jack_connect(g.client, jack_port_name(g.out), argv[2]) != 0 ||
        jack_connect(g.client, argv[3], jack_port_name(g.in)) != 0) {
        std::fprintf(stderr, "jack_flood: cannot connect\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    g.go.store(true, std::memory_order_release);
    if (!waitFor(g.flowing, 20000))
        return 1;
    std::printf("flowing\n");
    std::fflush(stdout);
    const int streamMs = int(double(g.frames) * 1000 / g.sampleRate);
    if (!waitFor(g.done, streamMs + 60000))
        return 1;
    for (int attempt = 0; attempt < 60 && !g.markBack.load(std::memory_order_acquire); ++attempt) {
        g.markDue.store(true, std::memory_order_release);
        waitFor(g.markBack, 500);
    }
    std::printf("sent_short=%llu sent_sysex=%llu sent_malformed=%llu write_failed=%llu "
                "received_short=%llu received_sysex=%llu reordered=%llu duplicates=%llu foreign=%llu "
                "xruns=%llu marks=%llu mark=%d\n",
                (unsigned long long)g.sentShort.load(), (unsigned long long)g.sentSysex.load(),
                (unsigned long long)g.sentMalformed.load(), (unsigned long long)g.writeFailed.load(),
                (unsigned long long)g.shorts.received.load(), (unsigned long long)g.sysex.received.load(),
                (unsigned long long)(g.shorts.reordered.load() + g.sysex.reordered.load()),
                (unsigned long long)(g.shorts.duplicates.load() + g.sysex.duplicates.load()),
                (unsigned long long)g.foreign.load(), (unsigned long long)g.xruns.load(),
                (unsigned long long)g.marks.load(), g.markBack.load() ? 1 : 0);
    std::fflush(stdout);
    jack_deactivate(g.client);
    jack_client_close(g.client);
    return 0;
}
