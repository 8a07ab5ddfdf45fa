#include "support/TestMain.h"

#include "JackTestServer.h"
#include "platform/MidiSystem.h"

// Choosing the MIDI system by name, and never starting a JACK server while looking.
class TestMidiSystem : public QObject
{
    Q_OBJECT

private slots:
    void byName()
    {
        QString error;
        auto system = createMidiSystem("virtual", &error);
        QVERIFY(system);
        QCOMPARE(system->systemName(), QString("Virtual"));
        QVERIFY(!createMidiSystem("coreaudio", &error));
        QCOMPARE(error, QString("Unknown MIDI system \"coreaudio\": use auto, alsa, jack or virtual."));
    }

    void autoStartsNoServer()
    {
        const QByteArray previous = qgetenv("JACK_DEFAULT_SERVER");
        const QByteArray nobody = "pwmidi-nobody-" + QByteArray::number(QCoreApplication::applicationPid());
        qputenv("JACK_DEFAULT_SERVER", nobody);
        QString error;
        auto jack = createMidiSystem("jack", &error);
        QVERIFY(!jack);
        QCOMPARE(error, QString("No JACK server is running."));
        auto chosen = createMidiSystem("auto", &error);
        QVERIFY(chosen);
        // ALSA where a sequencer exists; never a JACK server of our own making.
        QVERIFY(chosen->systemName() == "ALSA" || chosen->systemName() == "Virtual");
        qunsetenv("JACK_NO_START_SERVER");
        QVERIFY(!jackServerAnswers(nobody));
        qputenv("JACK_DEFAULT_SERVER", previous);
    }
};

PW_TEST_MAIN(TestMidiSystem)
#include "tst_midisystem.moc"
