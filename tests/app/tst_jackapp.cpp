// The whole program on a real MIDI system: a JACK server with the dummy driver, with
// jack_midi_dump or a client of the tests' own standing in for a synthesizer.
#include "support/TestMain.h"

#include "../platform/JackTestServer.h"
#include "AppFixture.h"
#include "app/MidiSetupPage.h"
#include "app/ProgramWindows.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/AppPaths.h"
#include "platform/MidiSystem.h"
#include "songs/SongsPage.h"
#include "support/JackEventClient.h"
#include "support/RecordingDialogs.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// A client name of this run's own, so a monitor left over from elsewhere is never used.
const QString MonitorClient = QStringLiteral("pw-monitor-%1").arg(QCoreApplication::applicationPid());
const QString MonitorPort = MonitorClient + QStringLiteral(":input");

// jack_midi_dump, line-buffered so that each message can be waited for as it arrives.
class MidiMonitor
{
public:
    MidiMonitor()
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("stdbuf"),
                        {QStringLiteral("-oL"), QStringLiteral("jack_midi_dump"), MonitorClient});
    }
    ~MidiMonitor()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool waitReady(MidiSystem &system)
    {
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            MidiOutCaps caps;
            const int count = system.outDeviceCount();
            for (int i = 0; i < count; ++i)
                if (system.outCaps(i, caps) == 0 && caps.name == MonitorPort)
                    return true;
            QTest::qWait(50);
        }
        return false;
    }
    QString text() const { return m_text; }
    // What the monitor said, for a failure message.
    QString diagnostics()
    {
        messages();
        return QStringLiteral("jack_midi_dump (%1): %2").arg(m_process.state()).arg(m_text);
    }
    // The messages received so far, as jack_midi_dump prints their bytes ("c2 04").
    QStringList messages()
    {
        m_text += QString::fromLocal8Bit(m_process.readAll());
        // "   0: 90 3c 40 note on  (channel  0): ..." gives "90 3c 40".
        static const QRegularExpression hexByte(QStringLiteral("^[0-9a-f]{2}$"));
        QStringList result;
        for (const QString &line : m_text.split(u'\n')) {
            const int colon = line.indexOf(u':');
            if (colon < 0)
                continue;
            QStringList bytes;
            for (const QString &token : line.mid(colon + 1).split(u' ', Qt::SkipEmptyParts)) {
                if (!hexByte.match(token).hasMatch())
                    break;
                bytes.append(token);
            }
            if (!bytes.isEmpty())
                result.append(bytes.join(u' '));
        }
        return result;
    }

private:
    QProcess m_process;
    QString m_text;
};

} // namespace

class TestJackApp : public QObject
{
    Q_OBJECT

private slots:
    void init() { PW_REQUIRE_JACK(); }

    void listDevicesShowsJackPorts()
    {
        QString error;
        const auto system = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(system, qPrintable(error));
        MidiMonitor monitor;
        QVERIFY2(monitor.waitReady(*system), qPrintable(monitor.diagnostics()));
        QProcess program;
        program.start(QStringLiteral(PW_BINARY), {"--midi-api", "jack", "--list-devices"});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        QVERIFY2(out.startsWith(QStringLiteral("MIDI system: JACK\n")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral(": ") + MonitorPort + u'\n'), qPrintable(out));
    }

    void firstSongOfTheLastProjectGoesOutAtStart()
    {
        JackEventClient synth(QStringLiteral("pw-start-%1").arg(QCoreApplication::applicationPid()));
        QVERIFY(synth.isOpen());

        QTemporaryDir data;
        AppFixture::writeFile(data.path() + QStringLiteral("/Midi.ini"),
                              "[Project]\r\nLast one=Live.txt\r\n");
        AppFixture::writeFile(data.path() + QStringLiteral("/Projects/Live.txt"), "Intro\r\nVerse\r\n");
        AppFixture::writeFile(data.path() + QStringLiteral("/Projects/Intro.txt"),
                              AppFixture::songFile(3, 5));
        AppFixture::writeFile(data.path() + QStringLiteral("/Projects/Verse.txt"),
                              AppFixture::songFile(4, 9));

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(PW_BINARY),
                      {"--midi-api", "jack", "--midi-out", synth.inputName(), "--data-dir", data.path()});
        // Once, when the whole song is loaded: the program field set on the way sends nothing.
        PW_TRY_ARRIVES(synth, synth.receivedCount() > 0, 20000);
        if (synth.receivedBytes() != "\xC2\x04" && !synth.serverFaltered())
            QCOMPARE(synth.receivedBytes().toHex(' '), QByteArray("c2 04"));
        program.kill();
        program.waitForFinished(5000);
    }

    void thruAndRemoteSelection()
    {
        RecordingDialogs dialogs;
        // A keyboard and a synth of the test's own: they see the server's late cycles, in
        // which it may repeat or lose what passes between clients.
        const QString pid = QString::number(QCoreApplication::applicationPid());
        JackEventClient keyboard(QStringLiteral("pw-keys-") + pid);
        JackEventClient synth(QStringLiteral("pw-synth-") + pid);
        QVERIFY(keyboard.isOpen() && synth.isOpen());

        QTemporaryDir data;
        AppPaths::setDataDir(data.path());
        AppFixture::writeFile(data.path() + QStringLiteral("/Projects/Set.txt"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
        AppFixture::writeFile(data.path() + QStringLiteral("/Midi.ini"),
                              "[Project]\r\nLast one=Set.txt\r\n[Remote]\r\nStade=1\r\nRemote Channel=1\r\n");

        QString error;
        const auto programSystem = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(programSystem, qPrintable(error));
        ProgramWindows windows(*programSystem, {synth.inputName(), keyboard.outputName()}, nullptr);
        windows.mainWindow().show();
        QVERIFY(windows.mainWindow().midiOut().IsOpen());
        QVERIFY(windows.mainWindow().midiIn().IsOpen());
        QListWidget *songs = windows.mainWindow().songsPage().lbSongList();
        QCOMPARE(songs->currentRow(), 0);

        const int xruns = synth.xruns();
        const QByteArray played = QByteArray::fromHex("903c40" "b00764" "c002" "803c00");
        // Played again only if the server lost it in a late cycle (the comparison below then
        // gives way too).
        QVERIFY(keyboard.sendUntil({played.mid(0, 3), played.mid(3, 3), played.mid(6, 2), played.mid(8, 3)},
                                   [&] { return songs->currentRow() == 2; }, 20000));
        // The window has read what came in; a clock sent after it from the program's output
        // arrives behind anything the window passed on too.
        windows.mainWindow().midiOut().SendShort(0xF8, 0, 0);
        const QByteArray expected = played + QByteArray(1, char(0xF8));
        const bool arrived = QTest::qWaitFor([&] { return synth.receivedBytes().endsWith(char(0xF8)); }, 20000);
        // Forwarded unchanged, and once; a server that ran late may have repeated a cycle.
        if ((!arrived || synth.receivedBytes() != expected) && !synth.serverFaltered(xruns))
            QCOMPARE(synth.receivedBytes().toHex(' '), expected.toHex(' '));
        QVERIFY(dialogs.messages.isEmpty());
        QDir::setCurrent(QDir::tempPath());
    }
};

PW_TEST_MAIN(TestJackApp)
#include "tst_jackapp.moc"
