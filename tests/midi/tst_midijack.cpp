#include "support/TestMain.h"

#include "../platform/JackTestServer.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/JackMidiSystem.h"
#include "support/JackEventClient.h"

#include <QScopeGuard>
#include <QSignalSpy>

// The ports end to end through a running JACK server: out of one program's own port, into
// another's input.
class TestMidiJack : public QObject
{
    Q_OBJECT

    static std::unique_ptr<JackMidiSystem> jackSystem()
    {
        QString why;
        auto system = JackMidiSystem::create(&why);
        if (!system)
            qWarning("%s", qPrintable(why));
        return system;
    }

    // Selects the input device whose name ends so, as the user would pick it.
    static bool selectInput(MidiInputPort &in, const QString &nameEnd)
    {
        for (quint16 i = 0; i < in.DeviceCount(); ++i) {
            in.setDeviceID(i);
            if (in.ProductName().endsWith(nameEnd))
                return true;
        }
        return false;
    }

    // Null when nothing arrives in time.
    static std::unique_ptr<MidiEvent> nextEvent(MidiInputPort &in)
    {
        QDeadlineTimer deadline(5000);
        std::unique_ptr<MidiEvent> event;
        while (!(event = in.ReadEvent()) && !deadline.hasExpired())
            QTest::qWait(5);
        return event;
    }

private slots:
    void initTestCase() { PW_REQUIRE_JACK(); }

    void deviceListsShowJackPorts()
    {
        JackEventClient peer("pw-e2e");
        QVERIFY(peer.isOpen());
        auto system = jackSystem();
        QVERIFY(system);
        MidiOutputPort out(*system);
        MidiInputPort in(*system);
        QStringList outs;
        for (int i = 0; i < out.DeviceCount(); ++i) {
            out.setDeviceID(i);
            outs << out.ProductName();
        }
        QStringList ins;
        for (quint16 i = 0; i < in.DeviceCount(); ++i) {
            in.setDeviceID(i);
            ins << in.ProductName();
        }
        QVERIFY2(outs.count(peer.inputName()) == 1, qPrintable(outs.join(", ")));
        QVERIFY2(ins.count(peer.outputName()) == 1, qPrintable(ins.join(", ")));
        out.setProductName(peer.inputName());
        QCOMPARE(out.Technology(), quint8(1));
        QCOMPARE(out.ChannelMask(), quint16(0xFFFF));
        out.setDeviceID(-1);
        QCOMPARE(out.ProductName(), JackMidiSystem::ownOutputName());
    }

    void messagesArriveIntact()
    {
        auto sender = jackSystem();
        QVERIFY(sender);
        auto system = jackSystem();
        QVERIFY(system);
        MidiOutputPort out(*sender);
        QSignalSpy done(&out, &MidiOutputPort::sysexSent);
        out.setDeviceID(-1);
        out.Open();
        QVERIFY(out.IsOpen());
        MidiInputPort in(*system);
        // Another copy's own output port (a program's own ports are never in its own lists).
        QVERIFY(selectInput(in, ":" + JackMidiSystem::ownOutputName()));
        in.Open();
        QVERIFY(in.IsOpen());
        in.Start();
        QSignalSpy input(&in, &MidiInputPort::inputWaiting);
        // A JACK connection takes effect at a later cycle: probe until one arrives.
        QDeadlineTimer settle(5000);
        bool connected = false;
        while (!connected && !settle.hasExpired()) {
            out.SendShort(0xFE, 0, 0);
            QTest::qWait(20);
            connected = in.PendingCount() > 0;
        }
        QVERIFY(connected);
        // Hears of the server's late cycles, in which it may lose what one port wrote to
        // another: a message missing then is not held against the ports.
        JackEventClient watch(QStringLiteral("pw-watch"));
        QTest::qWait(50);
        while (in.ReadEvent()) {
        }
        input.clear();

        out.SendShort(0x90, 0x3C, 0x40);
        if (!QTest::qWaitFor([&] { return input.count() >= 1; }, 5000) && watch.serverFaltered())
            return;
        QVERIFY(input.count() >= 1);
        auto note = nextEvent(in);
        QVERIFY(note);
        QCOMPARE(note->Status, quint8(0x90));
        QCOMPARE(note->Data1, quint8(0x3C));
        QCOMPARE(note->Data2, quint8(0x40));
        QVERIFY(!note->SysexData);

        // Two bytes on the wire; the third packed byte stays behind.
        out.SendShort(0xC3, 0x05, 0x77);
        auto program = nextEvent(in);
        if (!program && watch.serverFaltered())
            return;
        QVERIFY(program);
        QCOMPARE(program->Status, quint8(0xC3));
        QCOMPARE(program->Data1, quint8(0x05));
        QCOMPARE(program->Data2, quint8(0));

        QByteArray sysex(1000, '\0');
        for (int i = 0; i < sysex.size(); ++i)
            sysex[i] = char(i == 0 ? 0xF0 : i == sysex.size() - 1 ? 0xF7 : (i * 7) % 128);
        out.SendLong(reinterpret_cast<const quint8 *>(sysex.constData()), quint16(sysex.size()));
        auto block = nextEvent(in);
        if (!block && watch.serverFaltered())
            return;
        QVERIFY(block);
        QCOMPARE(block->Status, quint8(0xF0));
        QCOMPARE(block->SysexLength, quint16(1000));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(block->SysexData.get()), 1000), sysex);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 5000);
        QTest::qWait(50);
        QCOMPARE(done.count(), 1);
        QCOMPARE(in.PendingCount(), quint16(0));
        in.Close();
        out.Close();
    }

    void serverGoingAway()
    {
        const QByteArray previous = qgetenv("JACK_DEFAULT_SERVER");
        const QString name = QStringLiteral("pwmidi-gone-%1").arg(QCoreApplication::applicationPid());
        PrivateJackServer server(name);
        QVERIFY2(server.waitReady(), qPrintable(server.output()));
        // Every client the backend opens from here on goes to the private server.
        qputenv("JACK_DEFAULT_SERVER", name.toLocal8Bit());
        const auto restore = qScopeGuard([&] { qputenv("JACK_DEFAULT_SERVER", previous); });
        auto system = jackSystem();
        QVERIFY(system);
        JackEventClient keyboard("pw-gone");
        QVERIFY(keyboard.isOpen());
        {
            MidiOutputPort out(*system);
            out.setDeviceID(-1);
            out.Open();
            QVERIFY(out.IsOpen());
            MidiInputPort in(*system);
            QVERIFY(selectInput(in, keyboard.outputName()));
            in.Open();
            QVERIFY(in.IsOpen());
            in.Start();
            out.SendShort(0x90, 1, 1);

            server.shutDown();
            QTRY_VERIFY_WITH_TIMEOUT(!system->isRunning(), 10000);
            bool portError = false;
            try {
                out.SendShort(0x90, 2, 2);
            } catch (const MidiOutputError &e) {
                portError = true;
                QCOMPARE(e.message(), QString("The MIDI device is no longer connected."));
            }
            QVERIFY(portError || !out.IsOpen());
            QCOMPARE(out.Error(), quint16(MidiResult::NoDevice));
            in.Close();
            out.Close();
            QVERIFY(!in.IsOpen());
            QVERIFY(!out.IsOpen());
            // Nothing is listed once the server is gone, and nothing opens.
            QCOMPARE(system->outDeviceCount(), quint16(0));
            out.Open();
            QVERIFY(!out.IsOpen());
        }
        system.reset();
    }

    void chooseBackend()
    {
        QString error;
        auto jack = createMidiSystem("jack", &error);
        QVERIFY2(jack, qPrintable(error));
        QCOMPARE(jack->systemName(), QString("JACK"));
        QString alsaError;
        auto alsa = createMidiSystem("alsa", &alsaError);
        auto chosen = createMidiSystem("auto", &error);
        QVERIFY(chosen);
        QCOMPARE(chosen->systemName(), alsa ? QString("ALSA") : QString("JACK"));
        if (!alsa)
            QVERIFY(!alsaError.isEmpty());
    }
};

PW_TEST_MAIN(TestMidiJack)
#include "tst_midijack.moc"
