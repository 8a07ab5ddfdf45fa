#include "support/TestMain.h"

#include "midi/EventRing.h"
#include "midi/MidiHandler.h"
#include "midi/MidiIn.h"
#include "midi/MidiWakeup.h"
#include "platform/VirtualMidiSystem.h"

#include <QSignalSpy>

// The event ring, midiHandler and the input port's read-out, with messages fed by an
// in-process device as a driver would feed them.
class TestMidiRing : public QObject
{
    Q_OBJECT

    struct Port {
        explicit Port(quint16 capacity = 1024, quint16 bufferSize = 4096, quint16 bufferCount = 16)
            : device(system.addInput("Keys")), port(system)
        {
            port.setCapacity(capacity);
            port.setSysexBufferSize(bufferSize);
            port.setSysexBufferCount(bufferCount);
            port.Open();
            port.Start();
        }
        VirtualMidiSystem system;
        VirtualInput &device;
        MidiInputPort port;
    };

    static QByteArray sysexOf(int length)
    {
        QByteArray bytes(length, '\0');
        for (int i = 0; i < length; ++i)
            bytes[i] = char(i == 0 ? 0xF0 : i == length - 1 ? 0xF7 : i & 0x7F);
        return bytes;
    }

private slots:
    void ringLayout()
    {
        MidiEventRing *ring = CreateEventRing(3);
        QVERIFY(ring);
        QCOMPARE(ring->SlotCount, quint16(3));
        QCOMPARE(ring->EventCount.load(), quint16(0));
        QCOMPARE(ring->AreaEnd - ring->AreaStart, 3);
        QCOMPARE(ring->WritePos, ring->AreaStart);
        QCOMPARE(ring->ReadPos, ring->AreaStart);
        QCOMPARE(SharedBlockAddress(ring->RingHandle), static_cast<void *>(ring));
        QCOMPARE(SharedBlockAddress(ring->AreaHandle), static_cast<void *>(ring->AreaStart));
        MidiEventSlot slot;
        QVERIFY(!PeekEvent(ring, slot));
        QVERIFY(!DropEvent(ring));
        FreeEventRing(ring);
        FreeEventRing(nullptr);
        MidiEventRing *largest = CreateEventRing(MaxRingSlots);
        QVERIFY(largest);
        FreeEventRing(largest);
        QCOMPARE(CreateEventRing(MaxRingSlots + 1), nullptr);
    }

    // The writer and the reader both wrap past the last slot, many times over.
    void wrapAround()
    {
        MidiWakeup wakeup;
        MidiCallbackRecord *record = CreateCallbackRecord();
        record->EventRing = CreateEventRing(3);
        record->NotifyWindow = &wakeup;
        const quintptr instance = reinterpret_cast<quintptr>(record);
        quint32 next = 0;
        quint32 expected = 0;
        for (int round = 0; round < 10; ++round) {
            for (int i = 0; i < 2; ++i, ++next)
                midiHandler(1, MidiInMessage::Data, instance, 0x90 | (next % 128) << 8, next);
            MidiEventSlot slot;
            while (PeekEvent(record->EventRing, slot)) {
                QCOMPARE(slot.Timestamp, expected);
                QCOMPARE(slot.ShortMessage, 0x90u | (expected % 128) << 8);
                QCOMPARE(slot.SysexHeader, 0u);
                QVERIFY(DropEvent(record->EventRing));
                ++expected;
            }
        }
        QCOMPARE(expected, 20u);
        QCOMPARE(record->OverflowCount.load(), 0u);
        FreeEventRing(record->EventRing);
        FreeCallbackRecord(record);
    }

    void shortMessageAndLastBytes()
    {
        Port p;
        QList<QList<int>> seen;
        connect(&p.port, &MidiInputPort::messageRead, this, [&](QObject *sender) {
            QCOMPARE(sender, &p.port);
            seen.append({p.port.LastStatus(), p.port.LastData1(), p.port.LastData2()});
        });
        QSignalSpy input(&p.port, &MidiInputPort::inputWaiting);
        p.device.feedShort(0x90, 0x3C, 0x40);
        QVERIFY(input.wait(5000));
        QCOMPARE(p.port.PendingCount(), quint16(1));
        auto event = p.port.ReadEvent();
        QVERIFY(event);
        QCOMPARE(event->Status, quint8(0x90));
        QCOMPARE(event->Data1, quint8(0x3C));
        QCOMPARE(event->Data2, quint8(0x40));
        QCOMPARE(event->SysexLength, quint16(0));
        QVERIFY(!event->SysexData);
        QCOMPARE(seen, (QList<QList<int>>{{0x90, 0x3C, 0x40}}));
        QCOMPARE(p.port.PendingCount(), quint16(0));
        QVERIFY(!p.port.ReadEvent());
    }

    // A drain reads every event into the one it keeps: nothing of a SysEx stays with the
    // short message after it. A listener that comes during the drain hears the rest of it.
    void oneEventForAWholeDrain()
    {
        Port p;
        const QByteArray sysex = sysexOf(6);
        p.device.feedShort(0x90, 0x3C, 0x40);
        p.device.feedSysex(sysex);
        p.device.feedShort(0xB1, 7, 100);
        QList<QList<int>> read;
        QList<int> heard;
        bool drained = false;
        connect(&p.port, &MidiInputPort::inputWaiting, this, [&] {
            MidiEvent event;
            while (p.port.ReadEvent(event)) {
                read.append({event.Status, event.Data1, event.Data2, event.SysexLength,
                             event.SysexData ? event.SysexData[5] : -1});
                if (read.size() == 1)
                    connect(&p.port, &MidiInputPort::messageRead, this,
                            [&] { heard.append(p.port.LastStatus()); });
            }
            drained = true;
        });
        QTRY_VERIFY(drained);
        QCOMPARE(read, (QList<QList<int>>{
                           {0x90, 0x3C, 0x40, 0, -1}, {0xF0, 0, 0, 6, 0xF7}, {0xB1, 7, 100, 0, -1}}));
        QCOMPARE(heard, QList<int>{0xB1});
    }

    void lastBytesOnlyWhileAssigned()
    {
        Port p;
        QSignalSpy input(&p.port, &MidiInputPort::inputWaiting);
        p.device.feedShort(0xB0, 7, 100);
        QVERIFY(input.wait(5000));
        QVERIFY(p.port.ReadEvent());
        QCOMPARE(p.port.LastStatus(), quint8(0));
    }

    void sysexSlots_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("12 bytes") << 12;
        QTest::newRow("no bytes") << 0;
    }
    void sysexSlots()
    {
        QFETCH(int, length);
        Port p(1024, 4096, 1); // one buffer: reading must give it back for the second message
        int messages = 0;
        connect(&p.port, &MidiInputPort::messageRead, this, [&] { ++messages; });
        QSignalSpy input(&p.port, &MidiInputPort::inputWaiting);
        for (int round = 0; round < 2; ++round) {
            const QByteArray bytes = sysexOf(length);
            p.device.feedSysex(bytes);
            QTRY_COMPARE_WITH_TIMEOUT(p.port.PendingCount(), quint16(1), 5000);
            auto event = p.port.ReadEvent();
            QVERIFY(event);
            QCOMPARE(event->Status, quint8(0xF0));
            QCOMPARE(event->Data1, quint8(0));
            QCOMPARE(event->Data2, quint8(0));
            QCOMPARE(event->SysexLength, quint16(length));
            if (length == 0) {
                QVERIFY(!event->SysexData);
            } else {
                QVERIFY(event->SysexData);
                QCOMPARE(QByteArray(reinterpret_cast<const char *>(event->SysexData.get()), length), bytes);
            }
        }
        QCOMPARE(messages, 0);
    }

    void sysexAcrossBuffers()
    {
        Port p(1024, 8, 4);
        const QByteArray bytes = sysexOf(20);
        p.device.feedSysex(bytes);
        QTRY_COMPARE_WITH_TIMEOUT(p.port.PendingCount(), quint16(3), 5000);
        QByteArray joined;
        QList<int> lengths;
        while (auto event = p.port.ReadEvent()) {
            lengths.append(event->SysexLength);
            joined.append(reinterpret_cast<const char *>(event->SysexData.get()), event->SysexLength);
        }
        QCOMPARE(lengths, (QList<int>{8, 8, 4}));
        QCOMPARE(joined, bytes);
    }

    void overflowAtCapacity()
    {
        Port p(4);
        QSignalSpy overflow(&p.port, &MidiInputPort::overflowed);
        for (int i = 0; i < 4; ++i)
            p.device.feedShort(0x90, quint8(i), 1);
        QCOMPARE(p.port.PendingCount(), quint16(4));
        p.device.feedShort(0x90, 99, 1);
        QVERIFY(overflow.wait(5000));
        QCOMPARE(overflow.count(), 1);
        QCOMPARE(p.port.PendingCount(), quint16(4));
        QCOMPARE(p.port.OverflowCount(), 1u);
        QCOMPARE(p.port.ReadEvent()->Data1, quint8(0));
        p.device.feedShort(0x90, 4, 1);
        QCOMPARE(p.port.PendingCount(), quint16(4));
        QCOMPARE(p.port.OverflowCount(), 1u);
        QList<int> order;
        while (auto event = p.port.ReadEvent())
            order.append(event->Data1);
        QCOMPARE(order, (QList<int>{1, 2, 3, 4})); // 99 was turned away
    }

    // A receive buffer that found the ring full is queued again, so the pool does not shrink.
    void sysexTurnedAwayKeepsItsBuffer()
    {
        Port p(1, 16, 1);
        QSignalSpy overflow(&p.port, &MidiInputPort::overflowed);
        p.device.feedShort(0x80, 1, 0);
        p.device.feedSysex(sysexOf(5));
        QVERIFY(overflow.wait(5000));
        QVERIFY(p.port.ReadEvent());
        p.device.feedSysex(sysexOf(6));
        QTRY_COMPARE_WITH_TIMEOUT(p.port.PendingCount(), quint16(1), 5000);
        QCOMPARE(p.port.ReadEvent()->SysexLength, quint16(6));
    }

    void eventsAtCloseAreGone()
    {
        Port p;
        QSignalSpy input(&p.port, &MidiInputPort::inputWaiting);
        QSignalSpy overflow(&p.port, &MidiInputPort::overflowed);
        for (int i = 0; i < 3; ++i)
            p.device.feedShort(0xC0, quint8(i), 0);
        p.port.Close();
        QCOMPARE(p.port.PendingCount(), quint16(0));
        QVERIFY(!p.port.ReadEvent());
        // The wake-up still queued, and notices handled from now on, fire nothing.
        QCoreApplication::postEvent(&p.port, new QEvent(MidiInputPort::DataNotice));
        QCoreApplication::postEvent(&p.port, new QEvent(MidiInputPort::OverflowNotice));
        QTest::qWait(50);
        QCOMPARE(input.count(), 0);
        QCOMPARE(overflow.count(), 0);
        // Reopened, the port starts with an empty ring.
        p.port.Open();
        QCOMPARE(p.port.PendingCount(), quint16(0));
    }

    void partialReadIsCalledAgain()
    {
        Port p;
        int calls = 0;
        connect(&p.port, &MidiInputPort::inputWaiting, this, [&] {
            ++calls;
            p.port.ReadEvent();
        });
        for (int i = 0; i < 3; ++i)
            p.device.feedShort(0xC0, quint8(i), 0);
        QTRY_COMPARE_WITH_TIMEOUT(p.port.PendingCount(), quint16(0), 5000);
        QCOMPARE(calls, 3);
    }

    void sysexOnlyWhileOpen()
    {
        Port p;
        p.device.feedShort(0x90, 1, 1);
        QCOMPARE(p.port.PendingCount(), quint16(1));
        p.port.setSysexOnly(true);
        p.device.feedShort(0x90, 2, 1);
        p.device.feedSysex(sysexOf(4));
        QCOMPARE(p.port.PendingCount(), quint16(2));
        p.port.setSysexOnly(false);
        p.device.feedShort(0x90, 3, 1);
        QCOMPARE(p.port.PendingCount(), quint16(3));
        QCOMPARE(p.port.ReadEvent()->Data1, quint8(1));
        QCOMPARE(p.port.ReadEvent()->Status, quint8(0xF0));
        QCOMPARE(p.port.ReadEvent()->Data1, quint8(3));
    }

    void capacityWhileOpen()
    {
        Port p(4);
        p.port.setCapacity(8);
        QCOMPARE(p.port.Capacity(), quint16(8));
        for (int i = 0; i < 6; ++i)
            p.device.feedShort(0x90, quint8(i), 1);
        QCOMPARE(p.port.PendingCount(), quint16(4));
        QCOMPARE(p.port.OverflowCount(), 2u);
        p.port.Close();
        p.port.Open();
        p.port.Start();
        for (int i = 0; i < 9; ++i)
            p.device.feedShort(0x90, quint8(i), 1);
        QCOMPARE(p.port.PendingCount(), quint16(8));
    }

    void capacityLimitedToSharedBlock()
    {
        Port p(60000);
        QVERIFY(p.port.IsOpen());
        for (int i = 0; i < MaxRingSlots + 1; ++i)
            p.device.feedShort(0xF8, 0, 0);
        QCOMPARE(p.port.PendingCount(), quint16(MaxRingSlots));
        QCOMPARE(p.port.OverflowCount(), 1u);
    }
};

PW_TEST_MAIN(TestMidiRing)
#include "tst_midiring.moc"
