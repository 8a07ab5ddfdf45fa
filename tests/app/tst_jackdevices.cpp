// The program's devices on a real JACK server, with recorder clients as units: a unit
// that comes after start, goes and comes back; the own ports and a loop made outside the
// program; the server stopped and started again.
#include "support/TestMain.h"

#include "../platform/JackTestServer.h"
#include "AppFixture.h"
#include "app/ProgramWindows.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "midi/OutputRig.h"
#include "platform/AppPaths.h"
#include "platform/JackMidiSystem.h"
#include "songs/SongControls.h"
#include "songs/SongListController.h"
#include "songs/SongsPage.h"
#include "support/JackEventClient.h"
#include "support/RecordingDialogs.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

namespace
{
constexpr int Deadline = 10000;

QString unique(const char *name)
{
    return QStringLiteral("%1-%2").arg(QLatin1String(name)).arg(QCoreApplication::applicationPid());
}

// The whole program on JACK, with a set list of two songs: "One" sends program 5 and
// "Two" program 9, both on channel 1.
class JackProgram
{
public:
    explicit JackProgram(const QByteArray &settings)
    {
        AppPaths::setDataDir(data.path());
        const QString projects = data.path() + QStringLiteral("/Projects");
        AppFixture::writeFile(projects + QStringLiteral("/Set.txt"), "One\r\nTwo\r\n");
        AppFixture::writeFile(projects + QStringLiteral("/One.txt"), AppFixture::songFile(1, 5));
        AppFixture::writeFile(projects + QStringLiteral("/Two.txt"), AppFixture::songFile(1, 9));
        AppFixture::writeFile(data.path() + QStringLiteral("/Midi.ini"),
                              "[Project]\r\nLast one=Set.txt\r\n" + settings);
        QString why;
        system = JackMidiSystem::create(&why);
        if (!system)
            qWarning("%s", qPrintable(why));
    }
    ~JackProgram()
    {
        windows.reset();
        system.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    MainWindow &start()
    {
        windows = std::make_unique<ProgramWindows>(*system, MainWindow::Options{}, nullptr);
        windows->mainWindow().show();
        return windows->mainWindow();
    }
    QString status() const
    {
        return windows->mainWindow().statusBar()->findChild<QLabel *>(QStringLiteral("lbMidiStatus"))->text();
    }
    QString notice() const
    {
        return windows->mainWindow().statusBar()->findChild<QLabel *>(QStringLiteral("lbMidiNotice"))->text();
    }
    void chooseSong(int row)
    {
        windows->mainWindow().songsPage().lbSongList()->setCurrentRow(row);
        windows->mainWindow().songList().loadSelectedSong();
    }
    QString ownPort(const QString &name) const { return system->ownClientName() + u':' + name; }

    RecordingDialogs dialogs;
    QTemporaryDir data;
    std::unique_ptr<JackMidiSystem> system;
    std::unique_ptr<ProgramWindows> windows;
};

// Counts the connections made and broken anywhere on the server, as JACK reports them.
struct ConnectionCounter {
    explicit ConnectionCounter(const char *name) : client(jack_client_open(name, JackNoStartServer, nullptr))
    {
        const auto count = [](jack_port_id_t, jack_port_id_t, int, void *n) {
            ++*static_cast<std::atomic<int> *>(n);
        };
        if (client && jack_set_port_connect_callback(client, count, &changes) == 0)
            jack_activate(client);
    }
    ~ConnectionCounter()
    {
        if (client)
            jack_client_close(client);
    }
    jack_client_t *client;
    std::atomic<int> changes{0};
};

const QByteArray ProgramOne("\xC0\x04", 2);
const QByteArray ProgramTwo("\xC0\x08", 2);
} // namespace

class TestJackDevices : public QObject
{
    Q_OBJECT

private slots:
    void init() { PW_REQUIRE_JACK(); }

    void aUnitAfterStartIsConnectedAndFollowed()
    {
        const QString client = unique("pw-late");
        JackProgram program("[Device Names]\r\nMidi Out Name=" + client.toUtf8() + ":in\r\n");
        QVERIFY(program.system);
        MainWindow &form = program.start();
        QVERIFY(!form.midiOut().IsOpen());
        QVERIFY2(program.status().contains(client + QStringLiteral(":in is missing")),
                 qPrintable(program.status()));

        auto synth = std::make_unique<JackEventClient>(client);
        QVERIFY(synth->isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(form.midiOut().IsOpen(), Deadline);
        QVERIFY2(program.notice().contains(QStringLiteral("MIDI Out: %1:in is back").arg(client)),
                 qPrintable(program.notice()));
        program.chooseSong(1);
        PW_TRY_ARRIVES(*synth, synth->receivedBytes().endsWith(ProgramTwo), Deadline);

        synth.reset();
        QTRY_VERIFY_WITH_TIMEOUT(program.status().contains(client + QStringLiteral(":in is missing")),
                                 Deadline);
        QVERIFY(!form.midiOut().IsOpen());
        synth = std::make_unique<JackEventClient>(client);
        QTRY_VERIFY_WITH_TIMEOUT(form.midiOut().IsOpen(), Deadline);
        program.chooseSong(0);
        PW_TRY_ARRIVES(*synth, synth->receivedBytes().endsWith(ProgramOne), Deadline);
        QVERIFY(program.dialogs.messages.isEmpty());
    }

    // The unit's program ends the ordinary way (its client closed, not killed): both ports
    // are seen missing, a recall says it was not sent, and the unit's return reconnects them.
    void aUnitThatQuitsIsFollowed()
    {
        const QString client = unique("pw-quits");
        JackProgram program("[Device Names]\r\nMidi Out Name=" + client.toUtf8() +
                            ":in\r\nMidi In Name=" + client.toUtf8() + ":out\r\n");
        QVERIFY(program.system);
        MainWindow &form = program.start();
        auto unit = std::make_unique<JackEventClient>(client);
        QTRY_VERIFY_WITH_TIMEOUT(form.midiOut().IsOpen() && form.midiIn().IsOpen(), Deadline);

        // Closed on a thread of its own, as its own program would: the window is not held up.
        std::thread quits([&unit] { unit.reset(); });
        const QString missing =
            QStringLiteral("MIDI Out: %1:in is missing  |  MIDI In: %1:out is missing").arg(client);
        QTRY_VERIFY2_WITH_TIMEOUT(program.status().endsWith(missing), qPrintable(program.status()), Deadline);
        quits.join();
        program.chooseSong(1);
        QCOMPARE(program.notice(), QStringLiteral("Not sent: Two (MIDI Out: %1:in is missing)").arg(client));

        JackEventClient back(client);
        QVERIFY(back.isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(form.midiOut().IsOpen() && form.midiIn().IsOpen(), Deadline);
        program.chooseSong(0);
        PW_TRY_ARRIVES(back, back.receivedBytes().endsWith(ProgramOne), Deadline);
        back.send({QByteArray("\x90\x3C\x40")}); // played on the unit's keys, passed on by thru
        PW_TRY_ARRIVES(back, back.receivedBytes().endsWith("\x90\x3C\x40"), Deadline);
        QVERIFY(program.dialogs.messages.isEmpty());
    }

    // Another unit going leaves ours alone: its ports are not reopened, so nothing on its way
    // in is lost and nothing on its way out sent twice.
    void anotherUnitGoingLeavesOursAlone()
    {
        auto other = std::make_unique<JackEventClient>(unique("pw-other"));
        JackEventClient second(unique("pw-second"));
        JackEventClient ours(unique("pw-ours"));
        JackProgram program("[Device Names]\r\nMidi Out Name=" + ours.inputName().toUtf8() +
                            "\r\nMidi In Name=" + ours.outputName().toUtf8() + "\r\n");
        QVERIFY(program.system);
        MainWindow &form = program.start();
        QVERIFY(form.midiOut().IsOpen() && form.midiIn().IsOpen());
        const QString gone = other->inputName();
        QVERIFY(form.outputDeviceNames().indexOf(ours.inputName()) > form.outputDeviceNames().indexOf(gone));

        ConnectionCounter connections("pw-connections");
        QVERIFY(connections.client);
        other.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!form.outputDeviceNames().contains(gone), Deadline);
        // A connection of the test's own comes last: JACK reports them in order.
        QVERIFY(second.connect(second.outputName(), second.inputName()));
        QTRY_VERIFY_WITH_TIMEOUT(connections.changes > 0, Deadline);
        QCOMPARE(connections.changes.load(), 1);
    }

    void ownPortsAndALoopMadeOutside()
    {
        JackProgram program("[Midi]\r\nMidi Out=-1\r\nMidi In=-1\r\n[Remote]\r\nStade=1\r\n");
        QVERIFY(program.system);
        MainWindow &form = program.start();
        QListWidget *songs = form.songsPage().lbSongList();
        const QString ownOut = program.ownPort(JackMidiSystem::ownOutputName());
        const QString ownIn = program.ownPort(JackMidiSystem::ownInputName());
        JackEventClient rig(unique("pw-rig"));
        QVERIFY(rig.connect(ownOut, rig.inputName()));
        QVERIFY(rig.connect(rig.outputName(), ownIn));

        // Another program connected to our own output receives a recalled song.
        program.chooseSong(0);
        PW_TRY_ARRIVES(rig, rig.receivedBytes().endsWith(ProgramOne), Deadline);
        // Played into our own input, a note goes through.
        rig.clearReceived();
        rig.send({QByteArray("\x90\x3C\x40"), QByteArray("\xC0\x01", 2)});
        QTRY_COMPARE_WITH_TIMEOUT(songs->currentRow(), 1, Deadline);
        PW_TRY_ARRIVES(rig, rig.receivedBytes() == QByteArray("\x90\x3C\x40\xC0\x01", 5), Deadline);

        QVERIFY(rig.connect(ownOut, ownIn));
        QTRY_VERIFY_WITH_TIMEOUT(
            program.status().contains(QStringLiteral("MIDI loop: output connected to input")), Deadline);
        rig.clearReceived();
        rig.send({QByteArray("\x90\x3E\x40"), QByteArray("\xC0\x00", 2)});
        QTRY_COMPARE_WITH_TIMEOUT(songs->currentRow(), 0, Deadline);
        // A recall goes out after anything thru would have passed on, on the same port.
        program.chooseSong(0);
        PW_TRY_ARRIVES(rig, rig.receivedBytes().endsWith(ProgramOne), Deadline);
        // The note played meanwhile went out once: the loop's copies of it, and of the
        // recall, stayed back.
        if (rig.receivedBytes() != QByteArray("\x90\x3E\x40\xC0\x00", 5) + ProgramOne &&
            !rig.serverFaltered())
            QCOMPARE(rig.receivedBytes(), QByteArray("\x90\x3E\x40\xC0\x00", 5) + ProgramOne);

        QVERIFY(rig.disconnect(ownOut, ownIn));
        QTRY_VERIFY_WITH_TIMEOUT(!program.status().contains(QStringLiteral("MIDI loop")), Deadline);
        QVERIFY(program.dialogs.messages.isEmpty());
    }

    // Last: libjack keeps one server's state per process. In each row the server stops
    // while the ports are open, one recall comes as it stops and one while it is gone; in
    // the second a stream from a client in another process flows through thru meanwhile.
    void theServerStopsAndStartsAgain_data()
    {
        QTest::addColumn<bool>("flowing");
        QTest::newRow("ports open") << false;
        QTest::newRow("thru flowing") << true;
    }
    void theServerStopsAndStartsAgain()
    {
        QFETCH(bool, flowing);
        const QByteArray previous = qgetenv("JACK_DEFAULT_SERVER");
        const QString name = unique("pwapp-back");
        auto server = std::make_unique<PrivateJackServer>(name);
        QVERIFY2(server->waitReady(), qPrintable(server->output()));
        qputenv("JACK_DEFAULT_SERVER", name.toLocal8Bit());
        const auto restore = qScopeGuard([&] { qputenv("JACK_DEFAULT_SERVER", previous); });

        auto synth = std::make_unique<JackEventClient>(QStringLiteral("pw-synth"));
        QVERIFY(synth->isOpen());
        JackProgram program("[Midi]\r\nMidi In=-1\r\n[Device Names]\r\nMidi Out Name=pw-synth:in\r\n");
        QVERIFY(program.system);
        MainWindow &form = program.start();
        QVERIFY(form.midiOut().IsOpen());
        QVERIFY(form.midiIn().IsOpen());

        QProcess stream;
        if (flowing) {
            stream.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            stream.start(QStringLiteral(JACK_FLOOD),
                         {unique("pw-keys"), program.ownPort(JackMidiSystem::ownInputName()),
                          program.ownPort(JackMidiSystem::ownOutputName()), QStringLiteral("20000"),
                          QStringLiteral("60")});
            QByteArray said;
            QTRY_VERIFY2_WITH_TIMEOUT((said += stream.readAllStandardOutput()).contains("flowing"),
                                      said.constData(), Deadline);
            PW_TRY_ARRIVES(*synth, synth->receivedCount() > 1000, Deadline);
        }
        server->shutDown();
        // A recall before the program has heard of it: sent into the void, never a wait.
        program.chooseSong(0);
        QTRY_VERIFY_WITH_TIMEOUT(program.status().contains(QStringLiteral("JACK server stopped")), Deadline);
        QVERIFY(!form.midiOut().IsOpen());
        synth.reset();
        stream.kill(); // its server is gone, so it would wait for an end mark that never comes
        stream.waitForFinished(Deadline);
        program.chooseSong(1);
        QCOMPARE(program.notice(), QStringLiteral("Not sent: Two (JACK server stopped)"));

        server = std::make_unique<PrivateJackServer>(name);
        QVERIFY2(server->waitReady(), qPrintable(server->output()));
        synth = std::make_unique<JackEventClient>(QStringLiteral("pw-synth"));
        QVERIFY(synth->isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(form.midiOut().IsOpen(), Deadline);
        QTRY_VERIFY_WITH_TIMEOUT(form.midiIn().IsOpen(), Deadline);
        program.chooseSong(1);
        PW_TRY_ARRIVES(*synth, synth->receivedBytes().endsWith(ProgramTwo), Deadline);
        QVERIFY(program.dialogs.messages.isEmpty());
        synth.reset();
        program.windows.reset();
    }

    // Three units on devices of their own and one on the main output: a recall gives each
    // its own bytes, on all four ports in one cycle; a unit that goes is shown missing and
    // the others still get theirs; back, it is reconnected.
    void aRecallAcrossThreePorts()
    {
        JackEventClient main(unique("pw-rig-main"));
        std::array<std::unique_ptr<JackEventClient>, 3> units;
        // "Keys" names the main output's device: it is reached through the main output.
        QByteArray profiles =
            "[Units]\r\nCount=4\r\n[Unit 4]\r\nName=Keys\r\nPort=" + main.inputName().toUtf8() + "\r\n";
        for (int n = 0; n < 3; ++n) {
            units[n] = std::make_unique<JackEventClient>(unique("pw-rig") + QChar('a' + n));
            profiles += QStringLiteral("[Unit %1]\r\nName=U%2\r\nPort=%3\r\n")
                            .arg(n + 1)
                            .arg(n)
                            .arg(units[n]->inputName())
                            .toUtf8();
        }
        const QString lost = units[1]->inputName();
        JackProgram program("[Device Names]\r\nMidi Out Name=" + main.inputName().toUtf8() + "\r\n");
        QVERIFY(program.system);
        AppFixture::writeFile(program.data.path() + QStringLiteral("/Units.ini"), profiles);
        MainWindow &form = program.start();
        const SongControls &c = form.songControls();
        c.strips[0].active->setChecked(false);
        c.volume.on->setChecked(true);
        for (int n = 0; n < 4; ++n) {
            c.strips[8 + n].unitName->setText(n < 3 ? QStringLiteral("U%1").arg(n) : QStringLiteral("Keys"));
            c.strips[8 + n].channel->setValue(n + 1);
            c.strips[8 + n].program->setValue(11 + n);
            c.strips[8 + n].controllerData->setChecked(true);
            c.strips[8 + n].active->setChecked(true);
        }
        QTRY_VERIFY2_WITH_TIMEOUT(program.status().contains("Outputs 4/4"), qPrintable(program.status()),
                                  Deadline);
        const QList<JackEventClient *> sinks{units[0].get(), units[1].get(), units[2].get(), &main};
        // Each sink's last two events are what the recall with this volume sent it, and
        // they left in the same cycle as every other sink's.
        const auto recallReaches = [&](int volume, const QList<JackEventClient *> &reached) {
            c.volume.value->setValue(volume);
            form.recallSong();
            jack_nframes_t cycle = 0;
            for (JackEventClient *sink : reached) {
                const int n = int(sinks.indexOf(sink));
                const char sent[] = {char(0xC0 + n), char(10 + n), char(0xB0 + n), 7, char(volume - 1)};
                const QByteArray bytes(sent, sizeof sent);
                PW_TRY_ARRIVES(*sink, sink->receivedBytes().endsWith(bytes), Deadline);
                const QList<JackEventClient::Event> got = sink->received();
                QVERIFY(got.size() >= 2);
                QCOMPARE(got.last().cycle, got[got.size() - 2].cycle);
                if (sink != reached.first())
                    QCOMPARE(got.last().cycle, cycle);
                cycle = got.last().cycle;
            }
        };
        // A JACK connection takes effect at a later cycle: recalled until all have heard one.
        QVERIFY(QTest::qWaitFor(
            [&] {
                form.recallSong();
                QTest::qWait(20);
                return std::all_of(sinks.begin(), sinks.end(),
                                   [](auto *s) { return s->receivedCount() > 0; });
            },
            Deadline));
        recallReaches(100, sinks);
        if (QTest::currentTestFailed())
            return;

        units[1].reset();
        QTRY_VERIFY2_WITH_TIMEOUT(
            program.status().contains(QStringLiteral("Outputs 3/4: %1 missing").arg(lost)),
            qPrintable(program.status()), Deadline);
        recallReaches(101, {units[0].get(), units[2].get(), &main});
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(program.notice().startsWith(QStringLiteral("Not sent to %1").arg(lost)),
                 qPrintable(program.notice()));

        units[1] = std::make_unique<JackEventClient>(lost.section(':', 0, 0));
        QTRY_VERIFY2_WITH_TIMEOUT(program.status().contains("Outputs 4/4"), qPrintable(program.status()),
                                  Deadline);
        QCOMPARE(program.notice(), QStringLiteral("Output of U1: %1 is back").arg(lost));
        QVERIFY(QTest::qWaitFor(
            [&] {
                form.recallSong();
                QTest::qWait(20);
                return units[1]->receivedCount() > 0;
            },
            Deadline));

        // Commands and the rig check ask each device once: "Keys" through the main output alone.
        QCOMPARE(form.findChild<OutputRig *>()->openPorts().size(), 4);
        QVERIFY(program.dialogs.messages.isEmpty());
    }
};

PW_TEST_MAIN(TestJackDevices)
#include "tst_jackdevices.moc"
