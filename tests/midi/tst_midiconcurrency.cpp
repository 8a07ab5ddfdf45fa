#include "support/TestMain.h"

#include "midi/Circbuf.h"
#include "midi/MidiHandler.h"
#include "midi/MidiIn.h"
#include "midi/MidiWakeup.h"
#include "platform/VirtualMidiSystem.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <functional>
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
        TMidiCallbackRecord *record = CreateCallbackRecord();
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
            TMidiEventSlot slot;
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
        TMidiInput port(system);
        port.setCapacity(512);
        port.Open();
        port.Start();
        std::atomic<quint64> received{0};
        qint64 last = -1;
        bool inOrder = true;
        connect(&port, &TMidiInput::OnMidiInput, this, [&] {
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

    // Closing while the driver thread is delivering must neither crash nor race.
    void closeWhileDelivering()
    {
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        TMidiInput port(system);
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
