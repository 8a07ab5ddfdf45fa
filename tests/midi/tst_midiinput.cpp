#include "support/TestMain.h"

#include "midi/MidiIn.h"
#include "platform/VirtualMidiSystem.h"

#include <QSignalSpy>

// The input port's selection, its refusals and the state each leaves behind.
class TestMidiInput : public QObject
{
    Q_OBJECT

    static QString raised(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const MidiInputError &e) {
            return e.message();
        }
        return QString();
    }

private slots:
    void construction()
    {
        VirtualMidiSystem system;
        system.addInput("Keys");
        system.addInput("Pads");
        MidiInputPort port(system);
        QCOMPARE(port.DeviceCount(), quint16(2));
        QCOMPARE(port.DeviceID(), quint16(0));
        QCOMPARE(port.ProductName(), QString("Keys")); // device 0 is selected
        QCOMPARE(port.Capacity(), quint16(1024));
        QCOMPARE(port.SysexBufferSize(), quint16(4096));
        QCOMPARE(port.SysexBufferCount(), quint16(16));
        QVERIFY(!port.SysexOnly());
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.PendingCount(), quint16(0));
        QVERIFY(!port.ReadEvent());
    }

    void noInputDevice()
    {
        VirtualMidiSystem system;
        MidiInputPort port(system);
        QCOMPARE(port.DeviceCount(), quint16(0));
        QCOMPARE(port.ProductName(), QString());
        port.Open();
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.Error(), quint16(MidiResult::BadDeviceId));
        port.Start();
        port.Close();
        QVERIFY(!port.IsOpen());
    }

    void selection()
    {
        VirtualMidiSystem system;
        system.addInput("Keys");
        system.addInput("Pads");
        MidiInputPort port(system);
        port.setDeviceID(1);
        QCOMPARE(port.ProductName(), QString("Pads"));
        QCOMPARE(raised([&] { port.setDeviceID(2); }), QString("Invalid device ID"));
        QCOMPARE(port.DeviceID(), quint16(1));
        port.setProductName("Keys");
        QCOMPARE(port.DeviceID(), quint16(0));
        QCOMPARE(raised([&] { port.setProductName("keys"); }),
                 QString("MIDI Input Device keys not installed "));
        QCOMPARE(port.DeviceID(), quint16(0));
        QCOMPARE(port.ProductName(), QString("Keys"));
    }

    void failedCapsQueryKeepsOldDescription()
    {
        VirtualMidiSystem system;
        system.addInput("Keys");
        VirtualInput &broken = system.addInput("Broken");
        MidiInputPort port(system);
        broken.refuseCaps(MidiResult::NotEnabled);
        QCOMPARE(raised([&] { port.setDeviceID(1); }), QString("The MIDI driver failed to enable."));
        QCOMPARE(port.DeviceID(), quint16(1));
        QCOMPARE(port.ProductName(), QString("Keys"));
        QCOMPARE(port.Error(), quint16(MidiResult::NotEnabled));
    }

    void changesWhileOpen_data()
    {
        QTest::addColumn<int>("property");
        QTest::addColumn<QString>("text");
        QTest::newRow("DeviceID") << 0 << "Change to DeviceID while device was open";
        QTest::newRow("ProductName") << 1 << "Change to ProductName while device was open";
        QTest::newRow("SysexBufferSize") << 2 << "Change to SysexBufferSize while device was open";
        QTest::newRow("SysexBufferCount") << 3 << "Change to SysexBuffercount while device was open";
    }
    void changesWhileOpen()
    {
        QFETCH(int, property);
        QFETCH(QString, text);
        VirtualMidiSystem system;
        system.addInput("Keys");
        system.addInput("Pads");
        MidiInputPort port(system);
        port.Open();
        QVERIFY(port.IsOpen());
        const std::function<void()> changes[] = {
            [&] { port.setDeviceID(1); }, [&] { port.setProductName("Pads"); },
            [&] { port.setSysexBufferSize(10); }, [&] { port.setSysexBufferCount(2); }};
        QCOMPARE(raised(changes[property]), text);
        QVERIFY(port.IsOpen());
        QCOMPARE(port.DeviceID(), quint16(0));
        QCOMPARE(port.ProductName(), QString("Keys"));
        QCOMPARE(port.SysexBufferSize(), quint16(4096));
        QCOMPARE(port.SysexBufferCount(), quint16(16));
        port.Close();
        changes[property](); // allowed once closed
    }

    void failingOpen_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("code");
        QTest::newRow("device refuses") << 0 << int(MidiResult::Allocated);
        QTest::newRow("buffers refused") << 1 << int(MidiResult::NoMemory);
        QTest::newRow("no ring slots") << 2 << int(MidiResult::InvalidParameter);
    }
    void failingOpen()
    {
        QFETCH(int, how);
        QFETCH(int, code);
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        MidiInputPort port(system);
        QSignalSpy input(&port, &MidiInputPort::inputWaiting);
        if (how == 0)
            device.refuseOpen(quint16(code));
        else if (how == 1)
            device.refuseBuffers(quint16(code));
        else
            port.setCapacity(0);
        port.Open(); // raises nothing
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.Error(), quint16(code));
        // The device was closed before the ring and the record went.
        QVERIFY(!device.isOpen());
        device.feedShort(0x90, 1, 1);
        QCoreApplication::processEvents();
        QCOMPARE(port.PendingCount(), quint16(0));
        QCOMPARE(input.count(), 0);
        // And the port can be opened once the cause is gone.
        device.refuseOpen(0);
        device.refuseBuffers(0);
        port.setCapacity(16);
        port.Open();
        QVERIFY(port.IsOpen());
    }

    void requeueFailure()
    {
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        MidiInputPort port(system);
        port.setSysexBufferCount(2);
        port.Open();
        port.Start();
        device.feedSysex(QByteArray("\xF0\x01\xF7", 3));
        QCOMPARE(port.PendingCount(), quint16(1));
        device.refuseBuffers(MidiResult::NotReady);
        QCOMPARE(raised([&] { port.ReadEvent(); }), QString("The MIDI port is busy. Try again later."));
        QCOMPARE(port.Error(), quint16(MidiResult::NotReady));
        QCOMPARE(port.PendingCount(), quint16(1)); // the slot stays
        device.refuseBuffers(0);
        auto event = port.ReadEvent();
        QVERIFY(event);
        QCOMPARE(event->SysexLength, quint16(3));
        QCOMPARE(port.PendingCount(), quint16(0));
        QCOMPARE(port.Error(), quint16(0));
    }

    void openTwiceStartAndClose()
    {
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        MidiInputPort port(system);
        port.Start(); // closed: nothing
        port.Close(); // closed: nothing
        port.Open();
        port.Open(); // nothing: the ring in use stays
        QVERIFY(port.IsOpen());
        device.feedShort(0x90, 1, 1);
        QCOMPARE(port.PendingCount(), quint16(0)); // not started yet
        port.Start();
        device.feedShort(0x90, 1, 1);
        QCOMPARE(port.PendingCount(), quint16(1));
        port.Close();
        QVERIFY(!device.isOpen());
        device.feedShort(0x90, 1, 1);
        QCOMPARE(port.PendingCount(), quint16(0));
    }

    void unpluggedWhileOpen()
    {
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        auto port = std::make_unique<MidiInputPort>(system);
        port->Open();
        port->Start();
        system.removeInput("Keys");
        device.feedShort(0x90, 1, 1);
        QCOMPARE(port->PendingCount(), quint16(0));
        port->Close();
        QVERIFY(!port->IsOpen());
        port.reset();
    }

    void destroyedWhileOpen()
    {
        VirtualMidiSystem system;
        VirtualInput &device = system.addInput("Keys");
        {
            MidiInputPort port(system);
            port.Open();
            port.Start();
            device.feedShort(0x90, 1, 1);
        }
        QVERIFY(!device.isOpen());
        device.feedShort(0x90, 1, 1); // nobody listens; nothing touches freed memory
    }
};

PW_TEST_MAIN(TestMidiInput)
#include "tst_midiinput.moc"
