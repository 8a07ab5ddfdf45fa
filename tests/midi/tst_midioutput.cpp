#include "support/TestMain.h"

#include "midi/EventRing.h"
#include "midi/MidiOut.h"
#include "midi/OwnedMidiHeader.h"
#include "platform/VirtualMidiSystem.h"

#include <QSignalSpy>

// The output port against in-process devices: what goes out, and every refusal.
class TestMidiOutput : public QObject
{
    Q_OBJECT

    static QString raised(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const MidiOutputError &e) {
            return e.message();
        }
        return QString();
    }

private slots:
    void sharedBlocks()
    {
        quint32 handle = 99;
        auto *block = static_cast<quint8 *>(AllocSharedBlock(65535, handle));
        QVERIFY(block);
        QVERIFY(handle != 0);
        QVERIFY(std::all_of(block, block + 65535, [](quint8 b) { return b == 0; }));
        QCOMPARE(SharedBlockAddress(handle), static_cast<void *>(block));
        FreeSharedBlock(handle);
        QCOMPARE(SharedBlockAddress(handle), nullptr);
        FreeSharedBlock(0); // nothing to do, nothing to crash
        QCOMPARE(AllocSharedBlock(0, handle), nullptr);
        QCOMPARE(handle, 0u);
    }

    void headerWrapper()
    {
        OwnedMidiHeader hdr(300);
        QVERIFY(hdr.isValid());
        QCOMPARE(hdr.Header->data, hdr.Data);
        QCOMPARE(hdr.Header->bufferLength, 300u);
        QCOMPARE(hdr.Header->bytesRecorded, 0u);
        QCOMPARE(hdr.Header->flags, 0u);
        QCOMPARE(hdr.Header->user, quintptr(0));
        QCOMPARE(SharedBlockAddress(hdr.HeaderHandle), static_cast<void *>(hdr.Header));

        OwnedMidiHeader empty(0);
        QVERIFY(!empty.Header);
        QVERIFY(!empty.Data);
        QCOMPARE(empty.HeaderHandle, 0u);
        QCOMPARE(empty.DataHandle, 0u);
    }

    void shortMessagePacking_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("data1");
        QTest::addColumn<int>("data2");
        QTest::addColumn<QString>("logged");
        QTest::newRow("all notes off") << 0xB0 << 0x7B << 0 << "B0 7B 00";
        QTest::newRow("system reset") << 0xFF << 0 << 0 << "FF 00 00";
        QTest::newRow("program change") << 0xC0 << 4 << 0 << "C0 04 00";
        QTest::newRow("volume") << 0xB3 << 7 << 0x63 << "B3 07 63";
    }
    void shortMessagePacking()
    {
        QFETCH(int, status);
        QFETCH(int, data1);
        QFETCH(int, data2);
        QFETCH(QString, logged);
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open();
        QVERIFY(port.IsOpen());
        port.SendShort(quint8(status), quint8(data1), quint8(data2));
        QCOMPARE(out.log(), QStringList{logged});
    }

    void constructionWithoutDevices()
    {
        VirtualMidiSystem system;
        MidiOutputPort port(system);
        QCOMPARE(port.DeviceCount(), quint16(0));
        QCOMPARE(port.DeviceID(), 0);
        QCOMPARE(port.ProductName(), QString());
        QVERIFY(!port.IsOpen());
        // -1, our own port, is searched even with no device at all.
        port.setProductName(VirtualMidiSystem::ownOutputName());
        QCOMPARE(port.DeviceID(), -1);
    }

    void selectionByIndex()
    {
        VirtualMidiSystem system;
        system.addOutput("A");
        system.addOutput("B");
        MidiOutputPort port(system);
        QCOMPARE(port.DeviceCount(), quint16(2));
        port.setDeviceID(1);
        QCOMPARE(port.ProductName(), QString("B"));
        QCOMPARE(port.ChannelMask(), quint16(0xFFFF));
        port.setDeviceID(-1);
        QCOMPARE(port.ProductName(), VirtualMidiSystem::ownOutputName());
        QCOMPARE(raised([&] { port.setDeviceID(2); }), QString("Invalid device ID"));
        QCOMPARE(port.DeviceID(), -1);
        // Below -1 passes the count test and is refused by the system.
        QCOMPARE(raised([&] { port.setDeviceID(-2); }), QString("The MIDI device number is out of range."));
        QCOMPARE(port.Error(), quint16(MidiResult::BadDeviceId));
        QCOMPARE(port.DeviceID(), -2);
        // The device count is counted afresh: a device added later can be selected.
        system.addOutput("C");
        port.setDeviceID(2);
        QCOMPARE(port.ProductName(), QString("C"));
        QCOMPARE(port.DeviceCount(), quint16(2));
    }

    void selectionByName()
    {
        VirtualMidiSystem system;
        system.addOutput("Synth");
        system.addOutput(VirtualMidiSystem::ownOutputName()); // a namesake of our own port
        MidiOutputPort port(system);
        port.setProductName("Synth");
        QCOMPARE(port.DeviceID(), 0);
        // Our own port, -1, is searched first and wins over its namesake at 1.
        port.setProductName(VirtualMidiSystem::ownOutputName());
        QCOMPARE(port.DeviceID(), -1);
        // Letter case counts.
        port.setDeviceID(0);
        QCOMPARE(raised([&] { port.setProductName("SYNTH"); }),
                 QString("MIDI output Device SYNTH not installed"));
        QCOMPARE(port.DeviceID(), 0);
        QCOMPARE(port.ProductName(), QString("Synth"));
    }

    void failedCapsQueryKeepsOldDescription()
    {
        VirtualMidiSystem system;
        system.addOutput("Old");
        VirtualOutput &broken = system.addOutput("Broken");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        broken.refuseCaps(MidiResult::NoDriver);
        QCOMPARE(raised([&] { port.setDeviceID(1); }), QString("There is no MIDI driver installed."));
        QCOMPARE(port.DeviceID(), 1);
        QCOMPARE(port.ProductName(), QString("Old"));
        QCOMPARE(port.Error(), quint16(MidiResult::NoDriver));
        // A failing query also stops a search by name.
        QCOMPARE(raised([&] { port.setProductName("Broken"); }),
                 QString("There is no MIDI driver installed."));
    }

    void unknownCodeText()
    {
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open();
        out.refuseSend(300);
        QCOMPARE(raised([&] { port.SendShort(0x90, 60, 100); }),
                 QString("Specified error number is out of range"));
        QCOMPARE(port.Error(), quint16(300));
    }

    void changesWhileOpen()
    {
        VirtualMidiSystem system;
        system.addOutput("A");
        system.addOutput("B");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open();
        QCOMPARE(raised([&] { port.setDeviceID(1); }), QString("Change to DeviceID while device was open"));
        QCOMPARE(raised([&] { port.setProductName("B"); }),
                 QString("Change to ProductName while device was open"));
        QCOMPARE(port.DeviceID(), 0);
        QCOMPARE(port.ProductName(), QString("A"));
        QVERIFY(port.IsOpen());
    }

    void refusedOpen()
    {
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Busy");
        out.refuseOpen(MidiResult::Allocated);
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open(); // raises nothing
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.Error(), quint16(MidiResult::Allocated));
        QVERIFY(!out.isOpen());
    }

    void openTwiceAndCloseTwice()
    {
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open();
        port.Open(); // does nothing: the device stays open once
        QVERIFY(port.IsOpen());
        QCOMPARE(port.Error(), quint16(0));
        port.Close();
        QVERIFY(!port.IsOpen());
        QVERIFY(!out.isOpen());
        port.Close(); // harmless
        QVERIFY(!port.IsOpen());
        port.Open();
        QVERIFY(port.IsOpen());
    }

    void sendOnClosedPort()
    {
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        MidiEvent event;
        event.Status = 0x90;
        QCOMPARE(raised([&] { port.SendEvent(event); }), QString("MIDI Output device not open"));
        // SendShort does not look at the state: the system refuses the empty handle.
        QCOMPARE(raised([&] { port.SendShort(0x90, 1, 2); }), QString("The MIDI device is not open."));
        QCOMPARE(port.Error(), quint16(MidiResult::InvalidHandle));
        const quint8 sysex[] = {0xF0, 0x7E, 0xF7};
        QCOMPARE(raised([&] { port.SendLong(sysex, 3); }), QString("The MIDI device is not open."));
        QVERIFY(out.log().isEmpty());
    }

    void emptySysex()
    {
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open();
        const quint8 byte = 0xF0;
        QCOMPARE(raised([&] { port.SendLong(&byte, 0); }), QString("Empty system exclusive message"));
        QVERIFY(out.log().isEmpty());
    }

    void failedSendKeepsNothing()
    {
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        QSignalSpy done(&port, &MidiOutputPort::sysexSent);
        port.setDeviceID(0);
        port.Open();
        out.refuseSend(MidiResult::NotReady);
        const quint8 sysex[] = {0xF0, 0x01, 0xF7};
        QCOMPARE(raised([&] { port.SendLong(sysex, 3); }),
                 QString("The MIDI port is busy. Try again later."));
        QCOMPARE(port.Error(), quint16(MidiResult::NotReady));
        QCoreApplication::processEvents();
        QCOMPARE(done.count(), 0);
    }

    void sysexSendAndCompletion_data()
    {
        QTest::addColumn<bool>("closeFirst");
        QTest::newRow("open") << false;
        QTest::newRow("completion after Close") << true;
    }
    void sysexSendAndCompletion()
    {
        QFETCH(bool, closeFirst);
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        QSignalSpy done(&port, &MidiOutputPort::sysexSent);
        port.setDeviceID(0);
        port.Open();
        MidiEvent event;
        event.SysexLength = 5;
        event.SysexData.reset(new quint8[5]{0xF0, 0x43, 0x10, 0x4C, 0xF7});
        event.Status = 0xF0;
        port.SendEvent(event);
        QCOMPARE(out.log(), QStringList{"F0 43 10 4C F7"});
        QCOMPARE(done.count(), 0); // completion comes later, on the event loop
        if (closeFirst)
            port.Close();
        QVERIFY(done.wait(5000));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.first().first().value<QObject *>(), &port);
        // A short message never completes.
        if (!closeFirst) {
            port.SendShort(0x80, 60, 0);
            QTest::qWait(0);
            QCoreApplication::processEvents();
            QCOMPARE(done.count(), 1);
        }
    }

    void shortEventThroughSendEvent()
    {
        VirtualMidiSystem system;
        VirtualOutput &out = system.addOutput("Synth");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open();
        MidiEvent event;
        event.Status = 0x90;
        event.Data1 = 0x3C;
        event.Data2 = 0x40;
        port.SendEvent(event);
        QCOMPARE(out.log(), QStringList{"90 3C 40"});
    }

    void removedDevice()
    {
        VirtualMidiSystem system;
        system.addOutput("Gone");
        MidiOutputPort port(system);
        port.setDeviceID(0);
        port.Open();
        system.removeOutput("Gone");
        QCOMPARE(raised([&] { port.SendShort(0xC0, 1, 0); }),
                 QString("The MIDI device is no longer connected."));
        port.Close();
        QVERIFY(!port.IsOpen());
    }

    void destroyedWithSysexInFlight()
    {
        VirtualMidiSystem system;
        system.addOutput("Synth");
        auto port = std::make_unique<MidiOutputPort>(system);
        port->setDeviceID(0);
        port->Open();
        const quint8 sysex[] = {0xF0, 0x7D, 0xF7};
        port->SendLong(sysex, 3);
        port.reset(); // the completion is still queued; the block goes with the port
        QCoreApplication::processEvents();
    }
};

PW_TEST_MAIN(TestMidiOutput)
#include "tst_midioutput.moc"
