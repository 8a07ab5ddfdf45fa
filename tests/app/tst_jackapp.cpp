// The whole program on a real MIDI system: a JACK server with the dummy driver, with
// jack_midi_dump standing in for a synthesizer at the program's output.
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
        QString error;
        const auto system = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(system, qPrintable(error));
        MidiMonitor monitor;
        QVERIFY2(monitor.waitReady(*system), qPrintable(monitor.diagnostics()));

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
                      {"--midi-api", "jack", "--midi-out", MonitorPort, "--data-dir", data.path()});
        // Once, when the whole song is loaded: the program field set on the way sends nothing.
        QTRY_VERIFY2_WITH_TIMEOUT(!monitor.messages().isEmpty(),
                                  qPrintable(monitor.text() + program.readAllStandardError()), 20000);
        QCOMPARE(monitor.messages(), QStringList{"c2 04"});
        program.kill();
        program.waitForFinished(5000);
    }

    void thruAndRemoteSelection()
    {
        RecordingDialogs dialogs;
        QString error;
        const auto senderSystem = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(senderSystem, qPrintable(error));
        MidiMonitor monitor;
        QVERIFY2(monitor.waitReady(*senderSystem), qPrintable(monitor.diagnostics()));
        // The test plays into the program through a port of its own.
        MidiOutputPort keyboard(*senderSystem);
        keyboard.setDeviceID(-1);
        keyboard.Open();
        QVERIFY(keyboard.IsOpen());

        QTemporaryDir data;
        AppPaths::setDataDir(data.path());
        AppFixture::writeFile(data.path() + QStringLiteral("/Projects/Set.txt"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
        AppFixture::writeFile(data.path() + QStringLiteral("/Midi.ini"),
                              "[Project]\r\nLast one=Set.txt\r\n[Remote]\r\nStade=1\r\nRemote Channel=1\r\n");

        const auto programSystem = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(programSystem, qPrintable(error));
        QString keyboardPort;
        {
            MidiInCaps caps;
            const int count = programSystem->inDeviceCount();
            for (int i = 0; i < count; ++i)
                if (programSystem->inCaps(i, caps) == 0 && caps.name.endsWith(keyboard.ProductName()))
                    keyboardPort = caps.name;
        }
        QVERIFY2(!keyboardPort.isEmpty(), qPrintable(keyboard.ProductName()));

        ProgramWindows windows(*programSystem, {MonitorPort, keyboardPort}, nullptr);
        windows.mainWindow().show();
        QVERIFY(windows.mainWindow().midiOut().IsOpen());
        QVERIFY(windows.mainWindow().midiIn().IsOpen());
        QListWidget *songs = windows.mainWindow().songsPage().lbSongList();
        QCOMPARE(songs->currentRow(), 0);

        keyboard.SendShort(0x90, 0x3C, 0x40);
        keyboard.SendShort(0xB0, 0x07, 0x64);
        keyboard.SendShort(0xC0, 0x02, 0x00);
        keyboard.SendShort(0x80, 0x3C, 0x00);
        QTRY_COMPARE_WITH_TIMEOUT(monitor.messages().size(), 4, 20000);
        QCOMPARE(monitor.messages(), (QStringList{"90 3c 40", "b0 07 64", "c0 02", "80 3c 00"}));
        QCOMPARE(songs->currentRow(), 2);
        QVERIFY(dialogs.messages.isEmpty());
        keyboard.Close();
        QDir::setCurrent(QDir::tempPath());
    }
};

PW_TEST_MAIN(TestJackApp)
#include "tst_jackapp.moc"
