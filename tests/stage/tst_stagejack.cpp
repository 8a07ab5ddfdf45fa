// A foot controller on a real MIDI system: the test plays a pedal into the program through
// a JACK port of its own, on the JACK server that test.sh starts.
#include "support/TestMain.h"

#include "../platform/JackTestServer.h"
#include "AppFixture.h"
#include "app/ProgramWindows.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/MidiSystem.h"
#include "songs/SongsPage.h"
#include "stage/FootBindings.h"
#include "stage/FootBindingsBox.h"
#include "support/RecordingDialogs.h"
#include "widgets/SpinEdit.h"

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
};

PW_TEST_MAIN(TestStageJack)
#include "tst_stagejack.moc"
