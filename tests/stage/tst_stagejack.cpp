// A foot controller on a real MIDI system: the test plays a pedal into the program through
// a JACK port of its own, on the JACK server that test.sh starts.
#include "support/TestMain.h"

#include "../platform/JackTestServer.h"
#include "AppFixture.h"
#include "app/ExtraInputs.h"
#include "app/ProgramWindows.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/MidiSystem.h"
#include "songs/SongsPage.h"
#include "stage/FootBindings.h"
#include "stage/FootBindingsBox.h"
#include "support/JackEventClient.h"
#include "support/RecordingDialogs.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

class TestStageJack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { PW_REQUIRE_JACK(); }

    void pedalLearntAndPlayed()
    {
        RecordingDialogs dialogs;
        QString error;
        const auto pedalSystem = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(pedalSystem, qPrintable(error));
        MidiOutputPort pedal(*pedalSystem);
        pedal.setDeviceID(-1);
        pedal.Open();
        QVERIFY(pedal.IsOpen());

        QTemporaryDir data;
        AppPaths::setDataDir(data.path());
        AppFixture::writeFile(data.path() + QStringLiteral("/Projects/Set.txt"), "A\r\nB\r\nC\r\nD\r\n");
        AppFixture::writeFile(data.path() + QStringLiteral("/Midi.ini"), "[Project]\r\nLast one=Set.txt\r\n");

        const auto programSystem = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(programSystem, qPrintable(error));
        QString pedalPort;
        MidiInCaps caps;
        for (int i = 0; i < programSystem->inDeviceCount(); ++i)
            if (programSystem->inCaps(i, caps) == 0 && caps.name.endsWith(pedal.ProductName()))
                pedalPort = caps.name;
        QVERIFY2(!pedalPort.isEmpty(), qPrintable(pedal.ProductName()));

        ProgramWindows windows(*programSystem, {QString(), pedalPort}, nullptr);
        MainWindow &form = windows.mainWindow();
        form.show();
        QVERIFY(form.midiIn().IsOpen());
        QListWidget *songs = form.songsPage().lbSongList();
        QCOMPARE(songs->currentRow(), 0);

        // The new port's connection may take a moment: knock until the program hears us,
        // with a pitch bend, which no binding can be learnt from.
        const auto heard = [&] {
            pedal.SendShort(0xEF, 0x00, 0x40);
            return form.midiIn().LastStatus() == 0xEF;
        };
        QTRY_VERIFY_WITH_TIMEOUT(heard(), 20000);

        auto *box = form.findChild<FootBindingsBox *>();
        QTest::mouseClick(box->learnButton(FootBindings::Next), Qt::LeftButton);
        pedal.SendShort(0xB2, 0x40, 0x7F);
        pedal.SendShort(0xB2, 0x40, 0x00);
        const FootBindings::Binding learnt{FootBindings::Binding::Controller, 3, 64};
        QTRY_VERIFY_WITH_TIMEOUT(form.footBindings().binding(FootBindings::Next) == learnt, 20000);
        QCOMPARE(songs->currentRow(), 0);

        // A fresh binding, so that the learning press does not hold back what follows; then
        // one press with a bounce, and a pitch bend to know when all of it has been handled.
        form.footBindings().setBinding(FootBindings::Next, learnt);
        for (const quint8 value : {0x7F, 0x00, 0x7F, 0x00})
            pedal.SendShort(0xB2, 0x40, value);
        pedal.SendShort(0xEE, 0x00, 0x40);
        QTRY_COMPARE_WITH_TIMEOUT(form.midiIn().LastStatus(), quint8(0xEE), 20000);
        QCOMPARE(songs->currentRow(), 1);
        QVERIFY(dialogs.messages.isEmpty());
        pedal.Close();
        QDir::setCurrent(QDir::tempPath());
    }

    // The two-input rig: a foot controller on an extra input steps the set with CC64 while
    // that input's thru is off; the keyboard on the main input, which the foot switches do
    // not listen to, plays through thru, its own CC64 (sustain) included.
    void footControllerOnASecondInput()
    {
        RecordingDialogs dialogs;
        JackEventClient keys(QStringLiteral("pwtest-keys")); // its "in" is the synth
        JackEventClient pedal(QStringLiteral("pwtest-pedal"));
        QVERIFY(keys.isOpen() && pedal.isOpen());
        QTemporaryDir data;
        AppPaths::setDataDir(data.path());
        AppFixture::writeFile(data.path() + QStringLiteral("/Projects/Set.txt"), "A\r\nB\r\nC\r\n");
        AppFixture::writeFile(data.path() + QStringLiteral("/Midi.ini"),
                              "[Project]\r\nLast one=Set.txt\r\n[Device Names]\r\n"
                              "Midi Out Name=pwtest-keys:in\r\nMidi In Name=pwtest-keys:out\r\n"
                              "[Foot controller]\r\nNext song=controller 1 64\r\nDebounce ms=0\r\nDon't "
                              "forward=1\r\n[Extra Inputs]\r\n"
                              "Main Input Foot Switches=0\r\nCount=1\r\nInput 1=pwtest-pedal:out\r\n"
                              "Input 1 Thru=0\r\n");
        QString error;
        const auto system = createMidiSystem(QStringLiteral("jack"), &error);
        QVERIFY2(system, qPrintable(error));
        ProgramWindows windows(*system, {}, nullptr);
        MainWindow &form = windows.mainWindow();
        form.show();
        MidiInputPort &pedalIn = form.extraInputs().port(0);
        QVERIFY(form.midiIn().IsOpen() && pedalIn.IsOpen() && form.midiOut().IsOpen());
        QListWidget *songs = form.songsPage().lbSongList();
        QCOMPARE(songs->currentRow(), 0);
        // Knock on both inputs until the program hears each, with pitch bends, no binding's.
        const auto hears = [](JackEventClient &from, MidiInputPort &in, char channel) {
            from.send({QByteArray(1, char(0xE0 + channel)) + QByteArray("\x00\x40", 2)});
            return in.LastStatus() == quint8(0xE0 + channel);
        };
        QTRY_VERIFY_WITH_TIMEOUT(hears(keys, form.midiIn(), 1), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(hears(pedal, pedalIn, 2), 20000);

        const QByteArray press("\xB0\x40\x7F"), release("\xB0\x40\x00", 3), note("\x90\x3C\x64");
        // One press moves the set one song on. A press the server lost in a late cycle is
        // pressed again; after late cycles the set may have moved further.
        const auto pressMovesOn = [&] {
            const int from = songs->currentRow();
            const int start = pedal.xruns();
            return pedal.sendUntil({press, release}, [&] { return songs->currentRow() > from; }, 20000) &&
                   (songs->currentRow() == from + 1 || pedal.serverFaltered(start));
        };
        QVERIFY(pressMovesOn());
        keys.send({note, press});
        PW_TRY_ARRIVES(keys, keys.receivedBytes().contains(note + press), 20000);
        // Switched to thru, the pedal plays through too; its CC64, a binding's, stays out of thru.
        form.findChild<QCheckBox *>(QStringLiteral("ckbExtraThru1"))->setChecked(true);
        pedal.send({QByteArray("\x91\x40\x50")});
        PW_TRY_ARRIVES(keys, keys.receivedBytes().contains("\x91\x40\x50"), 20000);
        QVERIFY(pressMovesOn());
        int pedalsHeard = 0;
        for (const JackEventClient::Event &event : keys.received()) {
            QVERIFY2(event.bytes != release && event.bytes[0] != char(0xE2), event.bytes.toHex().constData());
            pedalsHeard += event.bytes == press ? 1 : 0;
        }
        if (!keys.serverFaltered())
            QCOMPARE(pedalsHeard, 1); // the keyboard's sustain only
        QVERIFY(keys.receivedBytes().contains(
            QByteArray("\xE1\x00\x40", 3))); // the keyboard's knocks, through thru
        QVERIFY(dialogs.messages.isEmpty());
        QDir::setCurrent(QDir::tempPath());
    }
};

PW_TEST_MAIN(TestStageJack)
#include "tst_stagejack.moc"
