// Which unit each port is on, through the real windows on in-process MIDI devices: the
// stored choice at start, clicks on a list older than the system, units and the whole
// system going and coming back, the program's own ports and a loop made outside.
#include "AppFixture.h"
#include "support/TestMain.h"

#include "app/DeviceSelection.h"
#include "app/MidiSetupPage.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "songs/SongListController.h"
#include "songs/SongsPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

namespace
{
// A set list of two songs whose first sends program 5 on channel 1.
void writeSetList(AppFixture &app, const QByteArray &settings)
{
    AppFixture::writeFile(app.projects() + QStringLiteral("/Set.txt"), "One\r\nTwo\r\n");
    AppFixture::writeFile(app.projects() + QStringLiteral("/One.txt"), AppFixture::songFile(1, 5));
    AppFixture::writeFile(app.projects() + QStringLiteral("/Two.txt"), AppFixture::songFile(1, 9));
    AppFixture::writeFile(app.settingsPath(), "[Project]\r\nLast one=Set.txt\r\n" + settings);
}

QString label(MainWindow &form, const char *name)
{
    return form.statusBar()->findChild<QLabel *>(QLatin1String(name))->text();
}

QStringList entries(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

void clickRow(QListWidget *list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

// Every output that received something, by name ("own" for the program's own port).
QStringList unitsReached(AppFixture &app)
{
    QStringList names;
    for (VirtualOutput *out : app.outs)
        if (!out->log().isEmpty())
            names.append(out->name());
    if (!app.midi.ownOutput().log().isEmpty())
        names.append(QStringLiteral("own"));
    return names;
}

constexpr int Deadline = 5000;
} // namespace

class TestDevices : public QObject
{
    Q_OBJECT

private slots:
    void storedChoiceAtStart_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QStringList>("sentTo");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("written");

        const QStringList ab{"Synth A", "Synth B"};
        const QByteArray storedA = "[Midi]\r\nMidi Out=0\r\n[Device Names]\r\nMidi Out Name=Synth A\r\n";
        QTest::newRow("name present, number moved")
            << QStringList{"Synth B", "Synth A"} << storedA << QString() << true << QStringList{"Synth A"}
            << "MIDI Out: Synth A" << QByteArray("Midi Out=1\r\n|Midi Out Name=Synth A\r\n");
        QTest::newRow("name absent: closed, kept")
            << ab << QByteArray("[Midi]\r\nMidi Out=1\r\n[Device Names]\r\nMidi Out Name=SynthA:in\r\n")
            << QString() << true << QStringList() << "MIDI Out: SynthA:in is missing"
            << QByteArray("Midi Out=1\r\n|Midi Out Name=SynthA:in\r\n");
        QTest::newRow("no name stored: by number")
            << ab << QByteArray("[Midi]\r\nMidi Out=1\r\n") << QString() << true << QStringList{"Synth B"}
            << "MIDI Out: Synth B" << QByteArray("Midi Out=1\r\n|Midi Out Name=Synth B\r\n");
        QTest::newRow("number absent: kept")
            << ab << QByteArray("[Midi]\r\nMidi Out=7\r\n") << QString() << true << QStringList()
            << "MIDI Out: device 7 is missing" << QByteArray("Midi Out=7\r\n|Midi Out Name=\r\n");
        QTest::newRow("command line, this run only")
            << ab << storedA << "Synth B" << true << QStringList{"Synth B"} << "MIDI Out: Synth B"
            << QByteArray("Midi Out=0\r\n|Midi Out Name=Synth A\r\n");
        QTest::newRow("command line typo")
            << ab << storedA << "Synth X" << true << QStringList() << "MIDI Out: Synth X is missing"
            << QByteArray("Midi Out=0\r\n|Midi Out Name=Synth A\r\n");
        QTest::newRow("no MIDI system")
            << ab << storedA << QString() << false << QStringList() << "Virtual MIDI system stopped"
            << QByteArray("Midi Out=0\r\n|Midi Out Name=Synth A\r\n");
        QTest::newRow("own port") << ab << QByteArray("[Midi]\r\nMidi Out=-1\r\n") << QString() << true
                                  << QStringList{"own"} << "MIDI Out: Patchwarden MIDI Out (own port)"
                                  << QByteArray("Midi Out=-1\r\n");
        QTest::newRow("extra inputs, one missing")
            << ab
            << QByteArray("[Midi]\r\nMidi Out=0\r\n[Extra Inputs]\r\nCount=2\r\nInput 1=Pads\r\n"
                          "Input 1 Thru=0\r\nInput 2=Pedal X\r\nInput 2 Remote=0\r\n")
            << QString() << true << QStringList{"Synth A"} << "Inputs 2/3: Pedal X missing"
            << QByteArray(
                   "Count=2\r\n|Input 1=Pads\r\nInput 1 Thru=0\r\n|Input 2=Pedal X\r\nInput 2 Remote=0\r\n");
    }

    void storedChoiceAtStart()
    {
        QFETCH(QStringList, devices);
        QFETCH(QByteArray, stored);
        QFETCH(QString, commandLine);
        QFETCH(bool, running);
        QFETCH(QStringList, sentTo);
        QFETCH(QString, status);
        QFETCH(QByteArray, written);

        AppFixture app(devices);
        writeSetList(app, stored);
        app.midi.setRunning(running);
        MainWindow &form = app.start({commandLine, QString()});
        QCOMPARE(unitsReached(app), sentTo);
        QVERIFY2(label(form, "lbMidiStatus").contains(status), qPrintable(label(form, "lbMidiStatus")));
        QCOMPARE(form.setupPage().ckbOwnOutput()->isChecked(), sentTo == QStringList{"own"});
        QVERIFY(app.dialogs.messages.isEmpty());
        if (status.startsWith(QStringLiteral("Inputs "))) { // the missing input arrives, told as an extra one
            app.midi.addInput(QStringLiteral("Pedal X"));
            QTRY_COMPARE_WITH_TIMEOUT(label(form, "lbMidiNotice"), QStringLiteral("Extra input: Pedal X is back"),
                                      Deadline);
        }

        form.close();
        const QByteArray file = AppFixture::readFile(app.settingsPath());
        for (const QByteArray &line : written.split('|'))
            QVERIFY2(file.contains(line), file.constData());
        // A rig without extra inputs keeps its file as it was.
        QCOMPARE(file.contains("[Extra Inputs]"), stored.contains("[Extra Inputs]"));
    }

    void aClickActsOnTheNameShown_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("sentTo");
        QTest::newRow("a unit that has gone") << 0 << QStringList();
        QTest::newRow("a unit that moved up") << 2 << QStringList{"Synth C"};
    }

    void aClickActsOnTheNameShown()
    {
        QFETCH(int, row);
        QFETCH(QStringList, sentTo);
        AppFixture app({"Synth A", "Synth B", "Synth C"});
        MainWindow &form = app.start();
        QListWidget *outputs = form.setupPage().cmbOutput();
        QVERIFY(!entries(outputs).contains(VirtualMidiSystem::ownOutputName()));
        QVERIFY(!entries(form.setupPage().cmbInput()).contains(VirtualMidiSystem::ownInputName()));
        // Gone, but the list has not heard of it yet: entry 2 is now the system's device 1.
        app.midi.setChangeWatcher(nullptr);
        app.midi.removeOutput(QStringLiteral("Synth A"));
        clickRow(outputs, row);
        form.songControls().strips[0].active->setChecked(true);
        form.recallSong();
        QCOMPARE(unitsReached(app), sentTo);
        QVERIFY(app.dialogs.messages.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(entries(outputs), (QStringList{"Synth B", "Synth C"}), Deadline);
    }

    void aUnitGoesAndComesBack_data()
    {
        QTest::addColumn<bool>("resend");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<bool>("toldFirst"); // the system says so before the next send
        QTest::newRow("song not sent again") << false << true << true;
        QTest::newRow("song sent again") << true << true << true;
        QTest::newRow("a system that does not report changes") << true << false << true;
        QTest::newRow("gone before the system says so") << false << true << false;
    }

    void aUnitGoesAndComesBack()
    {
        QFETCH(bool, resend);
        QFETCH(bool, reported);
        QFETCH(bool, toldFirst);
        AppFixture app;
        app.midi.setReportsChanges(reported);
        writeSetList(app, "[Midi]\r\nMidi Out=0\r\n");
        MainWindow &form = app.start();
        form.setupPage().ckbResendOnReturn()->setChecked(resend);
        QVERIFY(app.outs[0]->isOpen());

        auto *watcher = form.findChild<DeviceSelection *>();
        if (!toldFirst)
            app.midi.setChangeWatcher(nullptr);
        app.midi.removeOutput(QStringLiteral("Synth A"));
        if (toldFirst)
            QTRY_VERIFY_WITH_TIMEOUT(!form.midiOut().IsOpen(), Deadline);
        form.songsPage().lbSongList()->setCurrentRow(1);
        form.songList().loadSelectedSong();
        QCOMPARE(label(form, "lbMidiNotice"), QStringLiteral("Not sent: Two (MIDI Out: Synth A is missing)"));
        QVERIFY2(label(form, "lbMidiStatus").contains("MIDI Out: Synth A is missing"),
                 qPrintable(label(form, "lbMidiStatus")));
        QVERIFY(!form.midiOut().IsOpen());
        QVERIFY(app.outs[1]->log().isEmpty());
        if (!toldFirst) { // the system's word comes late
            app.midi.setChangeWatcher(watcher);
            QCoreApplication::postEvent(watcher, new MidiSystemChangedEvent);
        }
        QTRY_COMPARE_WITH_TIMEOUT(entries(form.setupPage().cmbOutput()), QStringList{"Synth B"}, Deadline);

        VirtualOutput &back = app.midi.addOutput(QStringLiteral("Synth A"));
        QTRY_VERIFY_WITH_TIMEOUT(back.isOpen(), Deadline);
        QCOMPARE(label(form, "lbMidiNotice"), QStringLiteral("MIDI Out: Synth A is back"));
        QCOMPARE(entries(form.setupPage().cmbOutput()), (QStringList{"Synth B", "Synth A"}));
        QCOMPARE(back.log(), resend ? QStringList{"C0 08 00"} : QStringList());
        QVERIFY(app.dialogs.messages.isEmpty());
    }

    void theSystemStopsAndRunsAgain()
    {
        AppFixture app;
        writeSetList(app, "[Midi]\r\nMidi Out=1\r\nMidi In=1\r\n");
        MainWindow &form = app.start();
        app.midi.setRunning(false);
        QTRY_VERIFY_WITH_TIMEOUT(label(form, "lbMidiStatus").contains("Virtual MIDI system stopped"),
                                 Deadline);
        QVERIFY(!form.midiOut().IsOpen());
        QVERIFY(!form.midiIn().IsOpen());
        QCOMPARE(form.setupPage().cmbOutput()->count(), 0);
        app.outs[1]->clearLog();
        form.songList().loadSelectedSong();
        QCOMPARE(label(form, "lbMidiNotice"), QStringLiteral("Not sent: One (Virtual MIDI system stopped)"));
        QVERIFY(app.dialogs.messages.isEmpty());

        app.midi.setRunning(true);
        QTRY_VERIFY_WITH_TIMEOUT(app.outs[1]->isOpen() && app.ins[1]->isOpen(), Deadline);
        QCOMPARE(entries(form.setupPage().cmbOutput()), (QStringList{"Synth A", "Synth B"}));
        QCOMPARE(form.setupPage().cmbOutput()->currentRow(), 1);
        QVERIFY2(label(form, "lbMidiStatus").contains("MIDI Out: Synth B  |  MIDI In: Pads"),
                 qPrintable(label(form, "lbMidiStatus")));
        form.songList().loadSelectedSong();
        QCOMPARE(app.outs[1]->log(), QStringList{"C0 04 00"});
    }

    void aLoopSuspendsThru()
    {
        AppFixture app;
        writeSetList(app, "[Remote]\r\nStade=1\r\n");
        MainWindow &form = app.start();
        QListWidget *songs = form.songsPage().lbSongList();
        // A note, then a remote song change that shows the input was handled.
        const auto play = [&](int song) {
            app.outs[0]->clearLog();
            app.ins[0]->feedShort(0x90, 60, 100);
            app.ins[0]->feedShort(0xC0, quint8(song), 0);
        };
        const QStringList passedOn{"90 3C 64", "C0 01 00"};
        play(1);
        QTRY_COMPARE_WITH_TIMEOUT(songs->currentRow(), 1, Deadline);
        QCOMPARE(app.outs[0]->log(), passedOn);

        app.midi.setLoopedBack(true);
        QTRY_VERIFY_WITH_TIMEOUT(label(form, "lbMidiStatus").contains("MIDI loop: output connected to input"),
                                 Deadline);
        play(0);
        QTRY_COMPARE_WITH_TIMEOUT(songs->currentRow(), 0, Deadline);
        QCOMPARE(app.outs[0]->log(), QStringList());

        app.midi.setLoopedBack(false);
        QTRY_VERIFY_WITH_TIMEOUT(!label(form, "lbMidiStatus").contains("MIDI loop"), Deadline);
        play(1);
        QTRY_COMPARE_WITH_TIMEOUT(songs->currentRow(), 1, Deadline);
        QCOMPARE(app.outs[0]->log(), passedOn);
    }

    void ownPortsAreChosenBesideTheLists()
    {
        AppFixture app;
        {
            MainWindow &form = app.start();
            MidiSetupPage &setup = form.setupPage();
            QTest::mouseClick(setup.ckbOwnOutput(), Qt::LeftButton);
            QTest::mouseClick(setup.ckbOwnInput(), Qt::LeftButton);
            QVERIFY(app.midi.ownOutput().isOpen());
            QVERIFY(app.midi.ownInput().isOpen());
            QVERIFY(!app.outs[0]->isOpen());
            QVERIFY(setup.cmbOutput()->selectedItems().isEmpty());
            QVERIFY2(label(form, "lbMidiStatus")
                         .contains("MIDI Out: Patchwarden MIDI Out (own port)  |  "
                                   "MIDI In: Patchwarden MIDI In (own port)"),
                     qPrintable(label(form, "lbMidiStatus")));
            app.midi.ownInput().feedShort(0xB0, 7, 100); // another program plays into ours
            QTRY_COMPARE_WITH_TIMEOUT(app.midi.ownOutput().log(), QStringList{"B0 07 64"}, Deadline);
            QTest::mouseClick(setup.ToolButton1(), Qt::LeftButton);
            QVERIFY(AppFixture::readFile(app.settingsPath()).contains("Midi In=-1\r\nMidi Out=-1\r\n"));

            // Unticked, the output goes back to the unit it had.
            QTest::mouseClick(setup.ckbOwnOutput(), Qt::LeftButton);
            QVERIFY(app.outs[0]->isOpen());
            QCOMPARE(setup.cmbOutput()->currentRow(), 0);
            app.windows.reset();
        }
        MainWindow &again = app.start();
        QVERIFY(again.setupPage().ckbOwnOutput()->isChecked());
        QVERIFY(again.setupPage().ckbOwnInput()->isChecked());
        QVERIFY(app.midi.ownOutput().isOpen());
    }
};

PW_TEST_MAIN(TestDevices)
#include "tst_devices.moc"
