#include "support/TestMain.h"

#include "midi/EventRing.h"
#include "midi/MidiHandler.h"
#include "midi/MidiIn.h"
#include "midi/MidiWakeup.h"
#include "platform/MidiInputFeed.h"
#include "platform/VirtualMidiSystem.h"

#include <QEventLoop>
#include <QTimer>

#include <QDeadlineTimer>

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// A driver thread storing while the GUI thread drains: nothing may be lost unseen, doubled
// or reordered. Built under ThreadSanitizer as well.
class TestMidiConcurrency : public QObject
{
    Q_OBJECT

    // Runs the event loop until the condition holds: unlike QTRY_*, it never sleeps between
    // rounds, so the GUI side keeps up with the driver as it would in the program.
    static bool runUntil(const std::function<bool()> &condition, int timeoutMs)
    {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (condition())
                loop.quit();
        });
        poll.start(2);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        if (!condition())
            loop.exec();
        return condition();
    }

private slots:
    void millionMessagesThroughMidiHandler()
    {
        constexpr quint32 Total = 1000000;
        MidiWakeup wakeup;
        MidiCallbackRecord *record = CreateCallbackRecord();
        record->EventRing = CreateEventRing(1024);
        record->NotifyWindow = &wakeup;

        quint64 received = 0;
        quint32 overflowNotices = 0;
        qint64 last = -1;
        bool inOrder = true;
        connect(&wakeup, &MidiWakeup::woken, this, [&] {
            record->InputPending.store(false);
            if (record->OverflowPending.exchange(false))
                ++overflowNotices;
            MidiEventSlot slot;
            while (PeekEvent(record->EventRing, slot)) {
                inOrder = inOrder && qint64(slot.Timestamp) > last && slot.ShortMessage == 0x7F3C90;
                last = slot.Timestamp;
                ++received;
                DropEvent(record->EventRing);
            }
        });

        std::atomic<bool> done{false};
        // The first half waits for room, so that the ring runs full and empty many times over;
        // the second half comes flat out and overflows.
        std::thread driver([&] {
            for (quint32 i = 0; i < Total; ++i) {
                while (i < Total / 2 && record->EventRing->EventCount.load() > 1000)
                    std::this_thread::yield();
                midiHandler(1, MidiInMessage::Data, reinterpret_cast<quintptr>(record), 0x7F3C90, i);
            }
            done.store(true);
        });
        QVERIFY(runUntil([&] { return done.load() && received + record->OverflowCount.load() == Total; },
                         120000));
        driver.join();
        QCoreApplication::processEvents();

        QVERIFY(inOrder);
        QCOMPARE(received + record->OverflowCount.load(), quint64(Total));
        QVERIFY(received >= Total / 2);
        if (record->OverflowCount.load() > 0)
            QVERIFY(overflowNotices > 0);
        qInfo("received %llu, turned away %u", received, record->OverflowCount.load());
        FreeEventRing(record->EventRing);
        FreeCallbackRecord(record);
    }

    // The same through the port and a device fed from another thread; the message number
    // is spread over the channel nibble and both data bytes (18 bits).
    void messagesThroughThePort()
    {
        constexpr quint32 Total = 200000;
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        MidiInputPort port(system);
        port.setCapacity(512);
        port.Open();
        port.Start();
        std::atomic<quint64> received{0};
        qint64 last = -1;
        bool inOrder = true;
        connect(&port, &MidiInputPort::inputWaiting, this, [&] {
            while (port.PendingCount() > 0) {
                auto event = port.ReadEvent();
                const qint64 number = (event->Status & 0x0F) << 14 | event->Data1 << 7 | event->Data2;
                inOrder = inOrder && number > last && (event->Status & 0xF0) == 0x90;
                last = number;
                ++received;
            }
        });
        std::atomic<bool> done{false};
        std::thread driver([&] {
            for (quint32 i = 0; i < Total; ++i) {
                while (i < Total / 2 && i - received.load() > 400)
                    std::this_thread::yield();
                device.feedShort(quint8(0x90 | i >> 14), quint8(i >> 7 & 0x7F), quint8(i & 0x7F));
            }
            done.store(true);
        });
        QVERIFY(
            runUntil([&] { return done.load() && received.load() + port.OverflowCount() == Total; }, 120000));
        driver.join();
        QVERIFY(inOrder);
        QCOMPARE(received.load() + port.OverflowCount(), quint64(Total));
        QVERIFY(received.load() >= Total / 2);
        port.Close();
    }

    // Raw events as a driver cuts them: SysEx longer than the few small receive buffers, a
    // clock byte inside each, a note behind it. The GUI thread hands buffers back while the
    // driver delivers, so both take turns filling them; every SysEx must arrive whole and
    // in order, each note after its SysEx.
    void streamThroughThePort()
    {
        constexpr int Rounds = 3000;
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        MidiInputPort port(system);
        port.setSysexBufferSize(64);
        port.setSysexBufferCount(4);
        port.Open();
        port.Start();
        const auto sysexOf = [](int round) {
            QByteArray bytes(40 + round % 300, char(round & 0x7F));
            bytes[0] = char(0xF0);
            bytes[bytes.size() - 1] = char(0xF7);
            return bytes;
        };
        std::atomic<int> rounds{0};
        int clocks = 0;
        bool inOrder = true;
        QByteArray sysex;
        connect(&port, &MidiInputPort::inputWaiting, this, [&] {
            while (port.PendingCount() > 0) {
                auto event = port.ReadEvent();
                if (event->Status == 0xF8) {
                    ++clocks;
                } else if (event->Status == 0xF0) {
                    sysex.append(reinterpret_cast<const char *>(event->SysexData.get()), event->SysexLength);
                } else {
                    const int round = rounds.load();
                    inOrder = inOrder && sysex == sysexOf(round) && event->Status == 0x90 &&
                              event->Data1 == (round >> 7 & 0x7F) && event->Data2 == (round & 0x7F);
                    sysex.clear();
                    rounds.store(round + 1);
                }
            }
        });
        std::thread driver([&] {
            for (int round = 0; round < Rounds; ++round) {
                while (round - rounds.load() > 20)
                    std::this_thread::yield();
                QByteArray stream = sysexOf(round);
                stream.insert(stream.size() / 2, char(0xF8));
                stream += QByteArray("\x90", 1) + char(round >> 7 & 0x7F) + char(round & 0x7F);
                for (qsizetype at = 0; at < stream.size(); at += 37)
                    device.feedBytes(stream.mid(at, 37));
            }
        });
        QVERIFY(runUntil([&] { return rounds.load() == Rounds; }, 120000));
        driver.join();
        QVERIFY(inOrder);
        QCOMPARE(clocks, Rounds);
        QCOMPARE(port.OverflowCount(), 0u);
        QCOMPARE(port.DeviceLosses().bytesWithoutBuffer, 0u);
        port.Close();
    }

    // The driver delivers while the GUI thread is filling a buffer that came back: its
    // events wait in the backlog and are taken, in order, by whichever thread goes next.
    void driverWhileTheGuiDelivers()
    {
        struct Received {
            std::mutex lock;
            std::vector<MidiHeader *> filled;
            QByteArray shorts;
            std::thread::id gui = std::this_thread::get_id();
            std::atomic<int> driverCalls{0};
            std::atomic<bool> driverDone{false};
            std::atomic<bool> guiHolds{false};
            int heldBackOnGui = 0;
        } received;
        const auto callback = [](MidiInHandle, quint32 message, quintptr instance, quintptr param1,
                                 quintptr) {
            auto *r = reinterpret_cast<Received *>(instance);
            if (message == MidiInMessage::LongData && std::this_thread::get_id() == r->gui &&
                r->heldBackOnGui < 20 && !r->driverDone.load()) {
                // Hold the turn until the driver has come by twice.
                const int seen = r->driverCalls.load();
                r->guiHolds.store(true);
                QDeadlineTimer deadline(10000);
                while (r->driverCalls.load() < seen + 2 && !r->driverDone.load() && !deadline.hasExpired())
                    std::this_thread::yield();
                r->heldBackOnGui += r->driverCalls.load() >= seen + 2;
                r->guiHolds.store(false);
            }
            std::lock_guard guard(r->lock);
            if (message == MidiInMessage::LongData)
                r->filled.push_back(reinterpret_cast<MidiHeader *>(param1));
            else
                r->shorts.append(char(param1));
        };
        MidiInputFeed feed(1, callback, reinterpret_cast<quintptr>(&received));
        std::vector<std::array<quint8, 32>> storage(4);
        std::vector<MidiHeader> headers(4);
        for (size_t i = 0; i < headers.size(); ++i) {
            headers[i].data = storage[i].data();
            headers[i].bufferLength = 32;
            QVERIFY(feed.addBuffer(&headers[i]));
        }
        feed.start();

        QByteArray sent;
        for (int i = 0; i < 40; ++i) {
            QByteArray sysex(30 + i * 7, char(i));
            sysex[0] = char(0xF0);
            sysex[sysex.size() - 1] = char(0xF7);
            sent += sysex;
        }
        std::thread driver([&] {
            for (qsizetype at = 0; at < sent.size(); at += 10) {
                // Now and then, wait for the GUI thread to be delivering before going on.
                if (at % 300 == 290) {
                    // Briefly: the GUI thread holds the turn only when a buffer comes back,
                    // which a slow (sanitised) build may not bring about at every stop.
                    QDeadlineTimer deadline(500);
                    while (!received.guiHolds.load() && !deadline.hasExpired())
                        std::this_thread::yield();
                }
                const QByteArray event = sent.mid(at, 10) + char(0xF8);
                feed.deliverMessage(reinterpret_cast<const quint8 *>(event.constData()),
                                    size_t(event.size()));
                received.driverCalls.fetch_add(1);
            }
            received.driverDone.store(true);
        });
        QByteArray got;
        QVERIFY(runUntil(
            [&] {
                std::vector<MidiHeader *> back;
                {
                    std::lock_guard guard(received.lock);
                    back.swap(received.filled);
                }
                for (MidiHeader *header : back) {
                    got.append(reinterpret_cast<const char *>(header->data), header->bytesRecorded);
                    header->flags = 0;
                    feed.addBuffer(header);
                }
                return got.size() == sent.size();
            },
            60000));
        driver.join();
        feed.stop();
        QCOMPARE(got, sent);
        QVERIFY(received.heldBackOnGui > 0);
        QCOMPARE(received.shorts, QByteArray((sent.size() + 9) / 10, char(0xF8)));
        QCOMPARE(feed.losses().bytesLost, 0u);
    }

    // Closing while the driver thread is delivering must neither crash nor race.
    void closeWhileDelivering()
    {
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        MidiInputPort port(system);
        port.setSysexBufferSize(16);
        port.setSysexBufferCount(4);
        std::atomic<bool> stop{false};
        std::thread driver([&] {
            const QByteArray sysex("\xF0\x10\x20\xF7", 4);
            for (quint32 i = 0; !stop.load(); ++i) {
                if (i % 8 == 0)
                    device.feedSysex(sysex);
                else
                    device.feedShort(0xF8, 0, 0);
            }
        });
        for (int round = 0; round < 200; ++round) {
            port.Open();
            port.Start();
            QCoreApplication::processEvents();
            while (auto event = port.ReadEvent()) {
                if (event->Status == 0xF0)
                    QCOMPARE(event->SysexLength, quint16(4));
            }
            port.Close();
        }
        stop.store(true);
        driver.join();
        QVERIFY(!device.isOpen());
    }
};

PW_TEST_MAIN(TestMidiConcurrency)
#include "tst_midiconcurrency.moc"
