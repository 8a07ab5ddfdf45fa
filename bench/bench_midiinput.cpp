// Input path timings: how long a message takes from the driver thread to inputWaiting on
// the GUI thread, how many messages the ring moves per second, and what the main window's
// drain costs per message passed on.

#include "app/ProgramWindows.h"
#include "midi/EventRing.h"
#include "midi/MidiHandler.h"
#include "midi/MidiIn.h"
#include "midi/MidiWakeup.h"
#include "mixer/MixerWindow.h"
#include "platform/AppPaths.h"
#include "platform/MidiInputFeed.h"
#include "platform/MidiStreamParser.h"
#include "platform/VirtualMidiSystem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

// A driver thread that delivers one message each time it is told to and notes when.
class Driver
{
public:
    explicit Driver(VirtualInput &device) : m_device(device), m_thread([this] { run(); }) {}
    ~Driver()
    {
        m_quit.store(true);
        m_thread.join();
    }
    void trigger() { m_go.store(true, std::memory_order_release); }
    Clock::time_point sentAt() const { return m_sentAt.load(std::memory_order_acquire); }

private:
    void run()
    {
        while (!m_quit.load()) {
            if (!m_go.exchange(false, std::memory_order_acquire))
                continue;
            m_sentAt.store(Clock::now(), std::memory_order_release);
            m_device.feedShort(0x90, 0x3C, 0x40);
        }
    }

    VirtualInput &m_device;
    std::atomic<bool> m_go{false};
    std::atomic<bool> m_quit{false};
    std::atomic<Clock::time_point> m_sentAt{};
    std::thread m_thread;
};

void BM_DriverToOnMidiInput(benchmark::State &state)
{
    VirtualMidiSystem system;
    VirtualInput &device = system.addInput("Bench");
    MidiInputPort port(system);
    port.Open();
    port.Start();
    bool fired = false;
    Clock::time_point firedAt;
    QObject::connect(&port, &MidiInputPort::inputWaiting, [&] {
        firedAt = Clock::now();
        fired = true;
        while (port.ReadEvent()) {
        }
    });
    Driver driver(device);
    for (auto _ : state) {
        fired = false;
        driver.trigger();
        while (!fired)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(std::chrono::duration<double>(firedAt - driver.sentAt()).count());
    }
    port.Close();
}
BENCHMARK(BM_DriverToOnMidiInput)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);

// Store and read back on one thread: the cost of the ring operations themselves.
void BM_RingStoreAndDrop(benchmark::State &state)
{
    MidiWakeup wakeup;
    MidiCallbackRecord *record = CreateCallbackRecord();
    record->EventRing = CreateEventRing(1024);
    record->NotifyWindow = &wakeup;
    const auto instance = reinterpret_cast<quintptr>(record);
    MidiEventSlot slot;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            midiHandler(1, MidiInMessage::Data, instance, 0x403C90, quintptr(i));
        record->InputPending.store(false);
        while (PeekEvent(record->EventRing, slot))
            DropEvent(record->EventRing);
        benchmark::DoNotOptimize(slot);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    FreeEventRing(record->EventRing);
    FreeCallbackRecord(record);
}
BENCHMARK(BM_RingStoreAndDrop);

// A driver thread flat out against a reader thread: messages moved per second, and the
// share turned away by a full ring.
void BM_RingTwoThreads(benchmark::State &state)
{
    MidiWakeup wakeup;
    MidiCallbackRecord *record = CreateCallbackRecord();
    record->EventRing = CreateEventRing(1024);
    record->NotifyWindow = &wakeup;
    const auto instance = reinterpret_cast<quintptr>(record);
    constexpr int PerRound = 100000;
    quint64 moved = 0;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread writer([&] {
            for (int i = 0; i < PerRound; ++i)
                midiHandler(1, MidiInMessage::Data, instance, 0x403C90, quintptr(i));
            done.store(true);
        });
        MidiEventSlot slot;
        for (;;) {
            const bool finished = done.load();
            while (PeekEvent(record->EventRing, slot)) {
                DropEvent(record->EventRing);
                ++moved;
            }
            if (finished)
                break;
        }
        writer.join();
        record->InputPending.store(false);
    }
    state.SetItemsProcessed(qint64(moved));
    state.counters["lost %"] =
        100.0 * double(record->OverflowCount.load()) / double(state.iterations() * PerRound);
    FreeEventRing(record->EventRing);
    FreeCallbackRecord(record);
}
BENCHMARK(BM_RingTwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

// ReadEvent turning slots into events on the GUI thread.
void BM_ReadEvent(benchmark::State &state)
{
    VirtualMidiSystem system;
    VirtualInput &device = system.addInput("Bench");
    MidiInputPort port(system);
    port.Open();
    port.Start();
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 1000; ++i)
            device.feedShort(0x90, 0x3C, 0x40);
        state.ResumeTiming();
        while (auto event = port.ReadEvent())
            benchmark::DoNotOptimize(event);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    port.Close();
}
BENCHMARK(BM_ReadEvent);

// The stream parser on what a busy keyboard sends: running-status notes, clock, a SysEx.
void BM_ParseStream(benchmark::State &state)
{
    struct Counter final : MidiStreamParser::Sink {
        size_t items = 0;
        void message(const uint8_t *, size_t) override { ++items; }
        void sysex(const uint8_t *, size_t, bool) override { ++items; }
        void sysexBroken() override {}
    } counter;
    std::vector<uint8_t> stream = {0x90, 0x3C, 0x40, 0x3E, 0x40, 0xF8, 0x40, 0x00, 0xF0};
    for (int i = 0; i < 100; ++i)
        stream.push_back(uint8_t(i));
    stream.push_back(0xF7);
    MidiStreamParser parser;
    for (auto _ : state)
        parser.parse(stream.data(), stream.size(), counter);
    benchmark::DoNotOptimize(counter.items);
    state.SetBytesProcessed(int64_t(state.iterations() * stream.size()));
}
BENCHMARK(BM_ParseStream);

// One three-byte event through the feed on the driver side, to a callback that only counts.
void BM_FeedEvent(benchmark::State &state)
{
    static std::atomic<quint64> delivered{0};
    MidiInputFeed feed(
        1, [](MidiInHandle, quint32, quintptr, quintptr, quintptr) { delivered.fetch_add(1); }, 0);
    feed.start();
    const quint8 note[3] = {0x90, 0x3C, 0x40};
    for (auto _ : state)
        feed.deliverMessage(note, sizeof note);
    feed.stop();
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_FeedEvent);

// The same events as a JACK cycle hands them over: 64 to a call.
void BM_FeedCycle(benchmark::State &state)
{
    static std::atomic<quint64> delivered{0};
    MidiInputFeed feed(
        1, [](MidiInHandle, quint32, quintptr, quintptr, quintptr) { delivered.fetch_add(1); }, 0);
    feed.start();
    const quint8 note[3] = {0x90, 0x3C, 0x40};
    std::vector<MidiInputFeed::Event> cycle(64, MidiInputFeed::Event{note, sizeof note});
    for (auto _ : state)
        feed.deliverMessages(cycle.data(), cycle.size());
    feed.stop();
    state.SetItemsProcessed(int64_t(state.iterations() * cycle.size()));
}
BENCHMARK(BM_FeedCycle);

// The program's in-process system with an output device that only counts what it is given,
// so that the drain is timed and not the recording of a test device.
class CountingSystem : public VirtualMidiSystem
{
public:
    quint64 sent = 0;

protected:
    quint16 openOutput(int, std::unique_ptr<MidiOutPort> &port) override
    {
        struct Counting final : MidiOutPort {
            quint64 &sent;
            explicit Counting(quint64 &s) : sent(s) {}
            quint16 sendShort(quint32) override { return ++sent, 0; }
            quint16 sendLong(const quint8 *, size_t) override { return ++sent, 0; }
        };
        port = std::make_unique<Counting>(sent);
        return 0;
    }
};

// The main window's own drain (mixer row, remote selection, foot switch, thru, lamp) on
// 1000 waiting controller messages, from the wake-up to the last one passed on; with the
// mixer showing its input row or not.
void BM_ThruDrain(benchmark::State &state)
{
    QTemporaryDir data;
    AppPaths::setDataDir(data.path());
    CountingSystem system;
    system.addOutput("Bench Out");
    VirtualInput &device = system.addInput("Bench In");
    ProgramWindows windows(system, {}, nullptr);
    windows.mainWindow().show();
    auto *show = windows.mixerWindow().findChild<QAbstractButton *>(QStringLiteral("ckbGetMidi"));
    if (!show) {
        state.SkipWithError("the mixer has no ckbGetMidi");
        return;
    }
    show->setChecked(state.range(0) != 0);
    QCoreApplication::processEvents();
    constexpr int PerRound = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        const quint64 target = system.sent + PerRound;
        for (int i = 0; i < PerRound; ++i)
            device.feedShort(0xB0, quint8(i & 0x7F), 0x40);
        state.ResumeTiming();
        while (system.sent < target)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state.SetItemsProcessed(state.iterations() * PerRound);
}
BENCHMARK(BM_ThruDrain)->Arg(0)->Arg(1)->ArgName("inputRowShown");

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
