// Two JACK clients that play messages into the program under measurement and record, by
// frame, what comes out of it. Every figure is taken in frames of the server's clock, so a
// loaded machine moves the wall clock but not the measurement itself.
//
// The source (NAME-src:out) and the sink (NAME-sink:in) are separate clients, so the graph
// runs source → subject → sink within one cycle and has no feedback edge: a subject that
// forwards within its process callback shows 0 frames, and every period a figure shows is
// the subject's own. (With one client both feeding and hearing the subject, the loop cost
// every subject one extra period.)
//
//   pw_probe NAME     then one command a line on stdin, one JSON line on stdout for each:
//     connect OUT_PORT IN_PORT      our out to OUT_PORT, IN_PORT to our in
//     wait-connected SECONDS        until both our ports have a peer
//     latency COUNT                 one message in flight, COUNT times
//     rate MSGS_PER_S SECONDS       a steady stream, counted on return
//     bursts-start / bursts-stop    the cycles that brought input meanwhile, and how much
//     first SECONDS IDLE_MS CMD...  starts CMD, time to its first message, then its memory
//     quit

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

enum class Mode { Idle, Latency, Rate, Bursts, First };

// Sequence numbers ride in a control change: 4 bits of channel and 14 of data.
constexpr uint32_t SeqBits = 18;
constexpr uint32_t SeqMask = (1u << SeqBits) - 1;

void encode(uint32_t seq, uint8_t *bytes)
{
    bytes[0] = static_cast<uint8_t>(0xB0 | ((seq >> 14) & 0x0F));
    bytes[1] = static_cast<uint8_t>((seq >> 7) & 0x7F);
    bytes[2] = static_cast<uint8_t>(seq & 0x7F);
}

bool decode(const jack_midi_event_t &ev, uint32_t &seq)
{
    if (ev.size != 3 || (ev.buffer[0] & 0xF0) != 0xB0)
        return false;
    seq = (uint32_t(ev.buffer[0] & 0x0F) << 14) | (uint32_t(ev.buffer[1]) << 7) | ev.buffer[2];
    return true;
}

// What the process thread hands to the main thread; fixed size, so the ring needs no lock.
struct Record {
    uint32_t kind; // 1 latency sample, 2 cycle with input
    uint32_t value;
    uint64_t frame;
};

// The source's process thread writes what it sends, the sink's reads what returns; the two
// clients may run on different threads, so what both touch is atomic. Within a cycle the
// graph order (source before subject before sink) orders the source's writes before the
// sink's reads of the same message.
struct Probe {
    jack_client_t *source = nullptr;
    jack_client_t *sink = nullptr;
    jack_port_t *in = nullptr;  // the sink's
    jack_port_t *out = nullptr; // the source's
    jack_ringbuffer_t *ring = nullptr;
    std::atomic<Mode> mode{Mode::Idle};
    jack_nframes_t rate = 48000;

    // The mode each client's last finished cycle ran in: state is reset only once both
    // process threads are seen to have left the previous mode.
    std::atomic<Mode> sourceMode{Mode::Idle};
    std::atomic<Mode> sinkMode{Mode::Idle};
    std::atomic<uint32_t> xruns{0};
    std::atomic<uint32_t> ringFull{0};

    // latency (source thread, except the flight, which the sink ends)
    uint32_t latencyCount = 0;
    uint32_t latencySent = 0;
    std::atomic<bool> inFlight{false};
    std::atomic<uint32_t> flightSeq{0};
    std::atomic<uint64_t> flightFrame{0};
    uint32_t idleCycles = 0;
    std::atomic<uint32_t> lost{0};
    std::atomic<bool> latencyDone{false};

    // rate
    double msgsPerSecond = 0;
    uint64_t streamFrames = 0;
    uint64_t streamStart = 0;
    bool streamStarted = false;
    std::atomic<uint64_t> sent{0};
    std::atomic<uint64_t> writeFailed{0};
    std::atomic<uint64_t> received{0};
    std::atomic<uint64_t> reordered{0};
    std::atomic<uint64_t> gaps{0};
    std::atomic<uint64_t> duplicates{0};
    std::vector<std::atomic<uint8_t>> seen = std::vector<std::atomic<uint8_t>>(SeqMask + 1);
    std::atomic<uint64_t> foreign{0};
    // The longest the sink went without a message while the stream ran: what a player
    // hears as the keyboard stopping.
    std::atomic<uint64_t> longestGap{0};
    jack_nframes_t lastHeard = 0; // sink thread: frame of the last message heard
    std::atomic<bool> streamDone{false};
    uint32_t expected = 0; // sink thread
    bool anyReceived = false;

    // first
    std::atomic<int64_t> firstNs{0};
};

Probe g;

void push(uint32_t kind, uint32_t value, uint64_t frame)
{
    const Record r{kind, value, frame};
    if (jack_ringbuffer_write_space(g.ring) < sizeof r) {
        g.ringFull.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    jack_ringbuffer_write(g.ring, reinterpret_cast<const char *>(&r), sizeof r);
}

void hearLatency(uint64_t cycle, void *inBuf)
{
    const uint32_t count = jack_midi_get_event_count(inBuf);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t ev;
        uint32_t seq;
        if (jack_midi_event_get(&ev, inBuf, i) != 0 || !decode(ev, seq))
            continue;
        bool flying = true;
        if (seq == g.flightSeq.load(std::memory_order_acquire) &&
            g.inFlight.compare_exchange_strong(flying, false, std::memory_order_acq_rel))
            push(1, static_cast<uint32_t>(cycle + ev.time - g.flightFrame.load(std::memory_order_acquire)),
                 0);
    }
}

void sendLatency(uint64_t cycle, void *outBuf)
{
    if (g.inFlight.load(std::memory_order_acquire)) {
        bool flying = true;
        if (cycle - g.flightFrame.load(std::memory_order_relaxed) > g.rate && // a second without it: lost
            g.inFlight.compare_exchange_strong(flying, false, std::memory_order_acq_rel))
            g.lost.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    // One quiet cycle between messages, so that no answer can overlap the next send.
    if (g.idleCycles++ < 1)
        return;
    if (g.latencySent == g.latencyCount) {
        g.latencyDone.store(true, std::memory_order_release);
        return;
    }
    uint8_t bytes[3];
    const uint32_t seq = g.latencySent & SeqMask;
    encode(seq, bytes);
    if (jack_midi_event_write(outBuf, 0, bytes, 3) == 0) {
        g.flightSeq.store(seq, std::memory_order_relaxed);
        g.flightFrame.store(cycle, std::memory_order_relaxed);
        g.inFlight.store(true, std::memory_order_release);
        g.idleCycles = 0;
        ++g.latencySent;
    }
}

void hearRate(uint64_t cycle, void *inBuf)
{
    const uint32_t count = jack_midi_get_event_count(inBuf);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t ev;
        uint32_t seq;
        if (jack_midi_event_get(&ev, inBuf, i) != 0 || !decode(ev, seq)) {
            g.foreign.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        // Each number counts once: a message that comes back twice is a duplicate, not a
        // second delivery hiding a loss.
        if (g.seen[seq].exchange(1, std::memory_order_relaxed)) {
            g.duplicates.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        g.received.fetch_add(1, std::memory_order_relaxed);
        // Frame times are 32 bits wide and wrap; a skipped cycle can also hand over a
        // time behind the last one, which is no gap.
        const auto frame = static_cast<jack_nframes_t>(cycle + ev.time);
        const auto gap = static_cast<int32_t>(frame - g.lastHeard);
        if (g.anyReceived && gap > 0 && uint64_t(gap) > g.longestGap.load(std::memory_order_relaxed))
            g.longestGap.store(uint64_t(gap), std::memory_order_relaxed);
        g.lastHeard = frame;
        if (g.anyReceived && seq != g.expected) {
            const uint32_t ahead = (seq - g.expected) & SeqMask;
            if (ahead < (1u << (SeqBits - 1)))
                g.gaps.fetch_add(1, std::memory_order_relaxed);
            else
                g.reordered.fetch_add(1, std::memory_order_relaxed);
        }
        if (!g.anyReceived || ((seq - g.expected) & SeqMask) < (1u << (SeqBits - 1)))
            g.expected = (seq + 1) & SeqMask;
        g.anyReceived = true;
    }
}

void sendRate(uint64_t cycle, jack_nframes_t n, void *outBuf)
{
    if (g.streamDone.load(std::memory_order_relaxed))
        return;
    if (!g.streamStarted) {
        g.streamStarted = true;
        g.streamStart = cycle;
    }
    const uint64_t elapsed = cycle - g.streamStart;
    if (elapsed >= g.streamFrames) {
        g.streamDone.store(true, std::memory_order_release);
        return;
    }
    const uint64_t end = std::min<uint64_t>(elapsed + n, g.streamFrames);
    const auto due = static_cast<uint64_t>(double(end) * g.msgsPerSecond / g.rate);
    const uint64_t already =
        g.sent.load(std::memory_order_relaxed) + g.writeFailed.load(std::memory_order_relaxed);
    const uint64_t now = due > already ? due - already : 0;
    for (uint64_t i = 0; i < now; ++i) {
        uint8_t bytes[3];
        const uint64_t seq = already + i;
        g.seen[seq & SeqMask].store(0, std::memory_order_relaxed);
        encode(static_cast<uint32_t>(seq & SeqMask), bytes);
        const auto offset = static_cast<jack_nframes_t>(i * n / now);
        if (jack_midi_event_write(outBuf, offset, bytes, 3) == 0) {
            g.sent.fetch_add(1, std::memory_order_relaxed);
        } else {
            // The port buffer is full: the rest of this cycle's share is never sent, and
            // said so, rather than counted as lost on the way.
            g.writeFailed.fetch_add(now - i, std::memory_order_relaxed);
            break;
        }
    }
}

int processSource(jack_nframes_t n, void *)
{
    const uint64_t cycle = jack_last_frame_time(g.source);
    void *outBuf = jack_port_get_buffer(g.out, n);
    jack_midi_clear_buffer(outBuf);
    const Mode mode = g.mode.load(std::memory_order_acquire);
    if (mode == Mode::Latency)
        sendLatency(cycle, outBuf);
    else if (mode == Mode::Rate)
        sendRate(cycle, n, outBuf);
    g.sourceMode.store(mode, std::memory_order_release);
    return 0;
}

int processSink(jack_nframes_t n, void *)
{
    const uint64_t cycle = jack_last_frame_time(g.sink);
    void *inBuf = jack_port_get_buffer(g.in, n);
    const Mode mode = g.mode.load(std::memory_order_acquire);
    switch (mode) {
    case Mode::Idle:
        break;
    case Mode::Latency:
        hearLatency(cycle, inBuf);
        break;
    case Mode::Rate:
        hearRate(cycle, inBuf);
        break;
    case Mode::Bursts: {
        const uint32_t count = jack_midi_get_event_count(inBuf);
        if (count > 0)
            push(2, count, cycle);
        break;
    }
    case Mode::First:
        if (jack_midi_get_event_count(inBuf) > 0 && g.firstNs.load(std::memory_order_relaxed) == 0)
            g.firstNs.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
        break;
    }
    g.sinkMode.store(mode, std::memory_order_release);
    return 0;
}

int onXrun(void *)
{
    g.xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

bool drain(std::vector<Record> &into)
{
    bool any = false;
    Record r;
    while (jack_ringbuffer_read_space(g.ring) >= sizeof r) {
        jack_ringbuffer_read(g.ring, reinterpret_cast<char *>(&r), sizeof r);
        into.push_back(r);
        any = true;
    }
    return any;
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool waitConnected(int seconds)
{
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < deadline) {
        if (jack_port_connected(g.in) > 0 && jack_port_connected(g.out) > 0)
            return true;
        sleepMs(20);
    }
    return false;
}

long statusField(pid_t pid, const char *field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

std::string samples(const std::vector<uint32_t> &v)
{
    std::ostringstream s;
    s << '[';
    for (size_t i = 0; i < v.size(); ++i)
        s << (i ? "," : "") << v[i];
    s << ']';
    return s.str();
}

void quiet(const char *) {}

// Leaves the current mode and, once the process thread has left it too, clears what a
// measurement counts.
void enterMode(Mode mode)
{
    g.mode.store(Mode::Idle, std::memory_order_release);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((g.sourceMode.load(std::memory_order_acquire) != Mode::Idle ||
            g.sinkMode.load(std::memory_order_acquire) != Mode::Idle) &&
           Clock::now() < deadline)
        sleepMs(2);
    g.latencySent = 0;
    g.inFlight = false;
    g.idleCycles = 0;
    g.lost = 0;
    g.latencyDone = false;
    g.streamStarted = false;
    g.sent = 0;
    g.writeFailed = 0;
    g.received = 0;
    g.reordered = 0;
    g.gaps = 0;
    g.duplicates = 0;
    g.foreign = 0;
    g.longestGap = 0;
    g.streamDone = false;
    g.anyReceived = false;
    g.firstNs = 0;
    std::vector<Record> discard;
    drain(discard);
    g.xruns = 0;
    g.mode.store(mode, std::memory_order_release);
}

std::string runLatency(uint32_t count)
{
    g.latencyCount = count;
    enterMode(Mode::Latency);
    std::vector<Record> records;
    // Bounded: a lost message costs a second, a received one a few cycles.
    const auto deadline = Clock::now() + std::chrono::milliseconds(30000 + 20 * int64_t(count));
    while (!g.latencyDone.load(std::memory_order_acquire) && Clock::now() < deadline) {
        drain(records);
        sleepMs(5);
    }
    const uint32_t xruns = g.xruns.load();
    const uint32_t sent = g.latencySent, lost = g.lost.load();
    drain(records);
    enterMode(Mode::Idle);
    drain(records);
    std::vector<uint32_t> lat;
    for (const Record &r : records)
        if (r.kind == 1)
            lat.push_back(r.value);
    std::ostringstream s;
    s << "\"sent\":" << sent << ",\"lost\":" << lost << ",\"xruns\":" << xruns
      << ",\"frames\":" << samples(lat);
    return s.str();
}

std::string runRate(double perSecond, double seconds)
{
    g.msgsPerSecond = perSecond;
    g.streamFrames = static_cast<uint64_t>(seconds * g.rate);
    enterMode(Mode::Rate);
    const auto deadline = Clock::now() + std::chrono::milliseconds(int64_t(seconds * 1000) + 30000);
    while (!g.streamDone.load(std::memory_order_acquire) && Clock::now() < deadline)
        sleepMs(10);
    // What is still on its way gets up to two seconds to arrive.
    uint64_t last = ~0ull;
    for (int i = 0; i < 20 && g.received.load() != last; ++i) {
        last = g.received.load();
        sleepMs(100);
    }
    std::ostringstream s;
    s << "\"target\":" << perSecond << ",\"seconds\":" << seconds << ",\"sent\":" << g.sent.load()
      << ",\"write_failed\":" << g.writeFailed.load() << ",\"received\":" << g.received.load()
      << ",\"reordered\":" << g.reordered.load() << ",\"gaps\":" << g.gaps.load()
      << ",\"duplicates\":" << g.duplicates.load() << ",\"foreign\":" << g.foreign.load()
      << ",\"xruns\":" << g.xruns.load()
      << ",\"longest_gap_ms\":" << double(g.longestGap.load()) * 1000.0 / g.rate;
    enterMode(Mode::Idle);
    return s.str();
}

std::string stopBursts()
{
    std::vector<Record> records;
    drain(records);
    const uint32_t xruns = g.xruns.load();
    enterMode(Mode::Idle);
    drain(records);
    // Every cycle that brought input, by its first frame: the caller groups them.
    std::vector<uint32_t> frames, counts;
    for (const Record &r : records) {
        if (r.kind != 2)
            continue;
        frames.push_back(static_cast<uint32_t>(r.frame));
        counts.push_back(r.value);
    }
    std::ostringstream s;
    s << "\"xruns\":" << xruns << ",\"frames\":" << samples(frames) << ",\"counts\":" << samples(counts);
    return s.str();
}

std::string runFirst(double seconds, int idleMs, std::vector<std::string> command)
{
    enterMode(Mode::First);
    std::vector<char *> argv;
    for (std::string &word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int64_t t0 = Clock::now().time_since_epoch().count();
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(int64_t(seconds * 1000));
    while (g.firstNs.load(std::memory_order_acquire) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const int64_t first = g.firstNs.load();
    long rss = -1;
    if (first != 0) {
        sleepMs(idleMs);
        rss = statusField(child, "VmRSS");
    }
    kill(child, SIGTERM);
    int st = 0;
    for (int i = 0; i < 100 && waitpid(child, &st, WNOHANG) == 0; ++i)
        sleepMs(50);
    if (waitpid(child, &st, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &st, 0);
    }
    const uint32_t xruns = g.xruns.load();
    enterMode(Mode::Idle);
    std::ostringstream s;
    s << "\"startup_ms\":" << (first ? double(first - t0) / 1e6 : -1) << ",\"rss_kb\":" << rss
      << ",\"xruns\":" << xruns;
    return s.str();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pw_probe NAME (commands on stdin)\n");
        return 2;
    }
    const std::string name = argv[1];
    std::signal(SIGPIPE, SIG_IGN);
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    for (auto &mark : g.seen)
        mark.store(1, std::memory_order_relaxed);
    jack_status_t status;
    const std::string sourceName = name + "-src", sinkName = name + "-sink";
    g.source = jack_client_open(sourceName.c_str(), JackNoStartServer, &status);
    g.sink = g.source ? jack_client_open(sinkName.c_str(), JackNoStartServer, &status) : nullptr;
    if (!g.source || !g.sink) {
        std::fprintf(stderr, "pw_probe: no JACK server (status 0x%x)\n", unsigned(status));
        return 1;
    }
    g.rate = jack_get_sample_rate(g.sink);
    g.in = jack_port_register(g.sink, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    g.out = jack_port_register(g.source, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    g.ring = jack_ringbuffer_create(1 << 20);
    jack_ringbuffer_mlock(g.ring);
    jack_set_process_callback(g.source, processSource, nullptr);
    jack_set_process_callback(g.sink, processSink, nullptr);
    // Xruns are the server's: one client hears of each.
    jack_set_xrun_callback(g.sink, onXrun, nullptr);
    if (jack_activate(g.source) != 0 || jack_activate(g.sink) != 0) {
        std::fprintf(stderr, "pw_probe: cannot activate\n");
        return 1;
    }
    const std::string ownOut = sourceName + ":out", ownIn = sinkName + ":in";
    std::printf("{\"ready\":true,\"rate\":%u,\"period\":%u}\n", g.rate, jack_get_buffer_size(g.sink));
    std::fflush(stdout);

    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        std::istringstream words(buffer);
        std::string command;
        words >> command;
        std::string body;
        if (command.empty()) {
            continue;
        } else if (command == "quit") {
            break;
        } else if (command == "connect") {
            std::string to, from;
            words >> to >> from;
            const bool out = jack_connect(g.source, ownOut.c_str(), to.c_str()) == 0;
            const bool in = jack_connect(g.sink, from.c_str(), ownIn.c_str()) == 0;
            body = std::string("\"ok\":") + (out && in ? "true" : "false");
        } else if (command == "wait-connected") {
            int seconds = 20;
            words >> seconds;
            body = std::string("\"ok\":") + (waitConnected(seconds) ? "true" : "false");
        } else if (command == "latency") {
            uint32_t count = 0;
            words >> count;
            body = runLatency(count);
        } else if (command == "rate") {
            double perSecond = 0, seconds = 0;
            words >> perSecond >> seconds;
            body = runRate(perSecond, seconds);
        } else if (command == "bursts-start") {
            enterMode(Mode::Bursts);
            body = "\"ok\":true";
        } else if (command == "bursts-stop") {
            body = stopBursts();
        } else if (command == "first") {
            double seconds = 0;
            int idleMs = 0;
            words >> seconds >> idleMs;
            std::vector<std::string> cmd;
            for (std::string w; words >> w;)
                cmd.push_back(w);
            body = cmd.empty() ? std::string("\"error\":\"no command\"") : runFirst(seconds, idleMs, cmd);
        } else {
            body = "\"error\":\"unknown command\"";
        }
        std::printf("{\"command\":\"%s\",%s}\n", command.c_str(), body.c_str());
        std::fflush(stdout);
    }
    g.mode.store(Mode::Idle);
    jack_deactivate(g.source);
    jack_deactivate(g.sink);
    jack_client_close(g.source);
    jack_client_close(g.sink);
    jack_ringbuffer_free(g.ring);
    return 0;
}
