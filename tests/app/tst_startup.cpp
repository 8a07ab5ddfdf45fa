// Start-up and shut-down: the settings file, the devices, the last project and its first
// song, through the real windows on in-process MIDI devices.
#include "AppFixture.h"
#include "support/TestMain.h"

#include "app/MidiSetupPage.h"
#include "app/SingleInstance.h"
#include "look/InfoWindow.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "songs/ProjectFile.h"
#include "songs/SongListController.h"
#include "songs/SongsPage.h"
#include "widgets/LedDisplay.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

namespace
{
QByteArray settings(const QByteArray &project, int out = 0, int in = 0)
{
    return "[Midi]\r\nMidi In=" + QByteArray::number(in) + "\r\nMidi Out=" + QByteArray::number(out) +
           "\r\n[Project]\r\nLast one=" + project + "\r\n";
}
// The last project "Gig" holding `songs`, the n-th sending program 10 n on channel 2.
void writeGig(AppFixture &app, const QList<QByteArray> &songs)
{
    app.writeFile(app.settingsPath(), settings("Gig.txt"));
    QByteArray list;
    for (int i = 0; i < songs.size(); ++i) {
        list += songs[i] + "\r\n";
        app.writeFile(app.projects() + "/" + songs[i] + ".txt", AppFixture::songFile(2, 10 * (i + 1)));
    }
    app.writeFile(app.projects() + "/Gig.txt", list);
}
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void oneProgramPerDataFolder()
    {
        QTemporaryDir folder;
        SingleInstance first(folder.path());
        QVERIFY(first.claim());
        QSignalSpy asked(&first, &SingleInstance::activationRequested);
        SingleInstance second(folder.path() + QStringLiteral("/."));
        QVERIFY(!second.claim());
        QVERIFY(second.reachedOther());
        QVERIFY(asked.count() == 1 || asked.wait(5000));
        QTemporaryDir otherFolder;
        QVERIFY(SingleInstance(otherFolder.path()).claim());
    }

    void firstStartWithoutSettings()
    {
        AppFixture app;
        MainWindow &form = app.start();
        MidiSetupPage &setup = form.setupPage();
        QCOMPARE(setup.cmbOutput()->count(), 2);
        QCOMPARE(setup.cmbOutput()->item(0)->text(), QStringLiteral("Synth A"));
        QCOMPARE(setup.cmbInput()->item(1)->text(), QStringLiteral("Pads"));
        QCOMPARE(setup.cmbOutput()->currentRow(), 0);
        QCOMPARE(setup.cmbInput()->currentRow(), 0);
        QCOMPARE(form.midiOut().DeviceID(), 0);
        QCOMPARE(form.midiIn().DeviceID(), 0);
        QVERIFY(form.midiOut().IsOpen());
        QVERIFY(form.midiIn().IsOpen());
        QCOMPARE(setup.MidiSendCh()->value(), 1);
        QCOMPARE(setup.MidiRecCh()->value(), 1);
        QVERIFY(!setup.ckbRemote()->isChecked());
        QCOMPARE(form.songControls().cbProject->text(), QString());
        QCOMPARE(form.songsPage().lbSongList()->count(), 0);
        QVERIFY(app.outs[0]->log().isEmpty());
        QVERIFY(app.dialogs.messages.isEmpty());
        const QString status = form.statusBar()->findChild<QLabel *>(QStringLiteral("lbMidiStatus"))->text();
        QVERIFY2(status.contains(QStringLiteral("Virtual")) && status.contains(QStringLiteral("Synth A")),
                 qPrintable(status));
    }

    void shutDownWritesTheClassicFile()
    {
        AppFixture app;
        MainWindow &form = app.start();
        MidiSetupPage &setup = form.setupPage();
        setup.cmbInput()->setCurrentRow(1); // choose "Pads"
        QCOMPARE(form.midiIn().DeviceID(), 1);
        setup.MidiRecCh()->setValue(16);
        setup.ckbRemote()->setChecked(true);
        form.songControls().cbProject->setText(QStringLiteral("Live"));
        form.close();
        QCOMPARE(AppFixture::readFile(app.settingsPath()),
                 QByteArray("[Midi]\r\nMidi In=1\r\nMidi Out=0\r\nMidi Out CH=1\r\n"
                            "[Project]\r\nLast one=Live.txt\r\n"
                            "[Remote]\r\nRemote Channel=16\r\nStade=1\r\n"
                            "[Device Names]\r\nMidi Out Name=Synth A\r\nMidi In Name=Pads\r\n"
                            "[Returning Units]\r\nSend Current Song=0\r\n"));
        QVERIFY(QFile::exists(app.projects() + QStringLiteral("/Live.txt")));
    }

    void settingsComeBackAtTheNextStart()
    {
        AppFixture app;
        app.writeFile(app.settingsPath(), "[Midi]\r\nMidi In=1\r\nMidi Out=1\r\nMidi Out CH=40\r\n"
                                          "[Remote]\r\nRemote Channel=7\r\nStade=1\r\n");
        MainWindow &form = app.start();
        QCOMPARE(form.setupPage().cmbOutput()->currentRow(), 1);
        QCOMPARE(form.setupPage().cmbInput()->currentRow(), 1);
        QCOMPARE(form.setupPage().MidiSendCh()->value(), 16); // 40 brought to the nearest bound
        QCOMPARE(form.setupPage().MidiRecCh()->value(), 7);
        QCOMPARE(form.remoteChannel(), 7);
        QVERIFY(form.setupPage().ckbRemote()->isChecked());
        QVERIFY(app.outs[1]->isOpen());
        QVERIFY(!app.outs[0]->isOpen());
    }

    void saveAsDefaultKeepsLastOne()
    {
        AppFixture app;
        app.writeFile(app.settingsPath(), settings("Gig.txt"));
        {
            MainWindow &form = app.start();
            form.setupPage().cmbOutput()->setCurrentRow(1);
            form.setupPage().MidiSendCh()->setValue(5);
            form.setupPage().MidiRecCh()->setValue(9);
            form.setupPage().ckbRemote()->setChecked(true);
            form.songControls().cbProject->setText(QStringLiteral("Other"));
            QTest::mouseClick(form.setupPage().ToolButton1(), Qt::LeftButton);
            app.windows.reset(); // ended without its shut-down
        }
        const QByteArray file = AppFixture::readFile(app.settingsPath());
        QVERIFY(file.contains("Last one=Gig.txt\r\n"));
        QVERIFY(file.contains("Midi Out=1\r\n"));
        MainWindow &again = app.start();
        QCOMPARE(again.setupPage().cmbOutput()->currentRow(), 1);
        QCOMPARE(again.setupPage().MidiSendCh()->value(), 5);
        QCOMPARE(again.setupPage().MidiRecCh()->value(), 9);
        QVERIFY(again.setupPage().ckbRemote()->isChecked());
        QCOMPARE(again.songControls().cbProject->text(), QStringLiteral("Gig"));
    }

    void storedMapperOutputShowsNoSelection()
    {
        AppFixture app;
        app.writeFile(app.settingsPath(), settings("x.txt", -1));
        MainWindow &form = app.start();
        QCOMPARE(form.midiOut().DeviceID(), -1);
        QVERIFY(form.setupPage().cmbOutput()->selectedItems().isEmpty());
    }

    void missingDevicesNeverStopStartUp()
    {
        AppFixture app;
        app.writeFile(app.projects() + QStringLiteral("/Set.txt"), "One\r\nTwo\r\n");
        app.writeFile(app.settingsPath(), settings("Set.txt", 7, 9));
        MainWindow &form = app.start();
        QVERIFY(!form.midiOut().IsOpen());
        QVERIFY(!form.midiIn().IsOpen());
        QVERIFY(form.setupPage().cmbOutput()->selectedItems().isEmpty());
        QVERIFY(form.setupPage().cmbInput()->selectedItems().isEmpty());
        // The rest of start-up ran: the project is there with its first song selected.
        QCOMPARE(form.songsPage().lbSongList()->count(), 2);
        QCOMPARE(form.songsPage().lbSongList()->currentRow(), 0);
        const QString status = form.statusBar()->findChild<QLabel *>(QStringLiteral("lbMidiStatus"))->text();
        QVERIFY2(status.contains(QStringLiteral("MIDI Out: device 7 is missing")), qPrintable(status));
        QVERIFY2(status.contains(QStringLiteral("MIDI In: device 9 is missing")), qPrintable(status));
        QVERIFY(app.dialogs.messages.isEmpty());
    }

    void aMisbehavingDeviceStillLetsTheProgramComeUp()
    {
        AppFixture app;
        app.writeFile(app.projects() + QStringLiteral("/Set.txt"), "One\r\n");
        app.writeFile(app.settingsPath(), settings("Set.txt"));
        app.outs[1]->refuseCaps(6); // the driver answers nothing about the second synth
        InfoWindow info;
        info.showSplash();
        app.windows = std::make_unique<ProgramWindows>(app.midi, MainWindow::Options{}, &info);
        MainWindow &form = app.windows->mainWindow();
        form.show();
        QCOMPARE(app.dialogs.messages.size(), 1);
        QCOMPARE(app.dialogs.messages[0].icon, Dialogs::Icon::Error);
        // The rest of start-up ran: settings, project, first song, splash closed.
        QCOMPARE(form.songsPage().lbSongList()->count(), 1);
        QCOMPARE(form.songsPage().lbSongList()->currentRow(), 0);
        QVERIFY(!info.isVisible());
    }

    void noDevicesAtAll()
    {
        AppFixture app({}, {});
        MainWindow &form = app.start();
        QCOMPARE(form.setupPage().cmbOutput()->count(), 0);
        QCOMPARE(form.setupPage().cmbInput()->count(), 0);
        QVERIFY(!form.midiOut().IsOpen());
        QVERIFY(!form.midiIn().IsOpen());
        const QString status = form.statusBar()->findChild<QLabel *>(QStringLiteral("lbMidiStatus"))->text();
        QVERIFY2(status.contains(QStringLiteral("MIDI Out: no devices")) &&
                     status.contains(QStringLiteral("MIDI In: no devices")),
                 qPrintable(status));
        form.close(); // and it still ends cleanly
        QVERIFY(QFile::exists(app.settingsPath()));
    }

    void storedNameWinsOverNumber()
    {
        AppFixture app;
        // The interface that was device 0 when the file was written now comes second.
        app.writeFile(app.settingsPath(),
                      settings("x.txt", 0, 0) +
                          "[Device Names]\r\nMidi Out Name=Synth B\r\nMidi In Name=Pads\r\n");
        MainWindow &form = app.start();
        QCOMPARE(form.midiOut().DeviceID(), 1);
        QCOMPARE(form.midiIn().DeviceID(), 1);
        QVERIFY(app.outs[1]->isOpen());
    }

    void commandLineNamesWin()
    {
        AppFixture app;
        app.writeFile(app.settingsPath(), settings("x.txt", 0, 0));
        MainWindow &form = app.start({QStringLiteral("Synth B"), QStringLiteral("Nothing Such")});
        QCOMPARE(form.midiOut().DeviceID(), 1);
        QVERIFY(app.outs[1]->isOpen());
        QVERIFY(!form.midiIn().IsOpen());
    }

    void firstSongIsSentAtStart_data()
    {
        QTest::addColumn<QByteArray>("project");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("empty list") << QByteArray() << -1 << QStringList();
        QTest::newRow("one song") << QByteArray("Intro\r\n") << 0 << QStringList{"C0 04 00"};
        QTest::newRow("three songs") << QByteArray("Intro\r\nVerse\r\nOutro\r\n") << 0
                                     << QStringList{"C0 04 00"};
    }

    void firstSongIsSentAtStart()
    {
        QFETCH(QByteArray, project);
        QFETCH(int, selected);
        QFETCH(QStringList, sent);
        AppFixture app;
        app.writeFile(app.projects() + QStringLiteral("/Live.txt"), project);
        app.writeFile(app.projects() + QStringLiteral("/Intro.txt"), AppFixture::songFile(1, 5));
        app.writeFile(app.projects() + QStringLiteral("/Verse.txt"), AppFixture::songFile(1, 9));
        app.writeFile(app.settingsPath(), settings("Live.txt"));
        MainWindow &form = app.start();
        QCOMPARE(form.songsPage().lbSongList()->currentRow(), selected);
        // The song goes out once, after it is loaded.
        QCOMPARE(app.outs[0]->log(), sent);
        if (!sent.isEmpty())
            QCOMPARE(form.songsPage().LabSong()->text(), QStringLiteral("INTRO"));
    }

    void shutDownSavesTheProjectEvenUnsaved()
    {
        AppFixture app;
        MainWindow &form = app.start();
        form.songControls().edNewSong->setText(QStringLiteral("Opener"));
        QTest::mouseClick(form.songsPage().btAddSong(), Qt::LeftButton);
        form.songControls().cbProject->setText(QStringLiteral("Tour"));
        form.close();
        QCOMPARE(AppFixture::readFile(app.projects() + QStringLiteral("/Tour.txt")),
                 QByteArray("Opener\r\n"));
    }

    void shutDownSavesIntoTheProjectsFolder()
    {
        AppFixture app;
        MainWindow &form = app.start();
        form.songControls().edNewSong->setText(QStringLiteral("Opener"));
        QTest::mouseClick(form.songsPage().btAddSong(), Qt::LeftButton);
        form.songControls().cbProject->setText(QStringLiteral("Late"));
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());
        form.close();
        QCOMPARE(AppFixture::readFile(app.projects() + QStringLiteral("/Late.txt")),
                 QByteArray("Opener\r\n"));
        QVERIFY(!QFile::exists(elsewhere.path() + QStringLiteral("/Late.txt")));
    }

    void exitKeepsWhatIsNotSaid_data()
    {
        QTest::addColumn<QString>("projectName"); // typed before the exit
        QTest::addColumn<int>("answer");          // to the question about an edited song; -1: no edit
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QByteArray>("lastOne"); // in Midi.ini afterwards
        QTest::addColumn<QByteArray>("intro");   // Intro's program afterwards
        QTest::addColumn<QString>("said");
        const QString unsaved = "Changes to \"Intro\" are not saved. Save them before the program ends?";
        using A = Dialogs::SaveAnswer;
        QTest::newRow("no project name")
            << "" << -1 << true << QByteArray("Gig.txt") << QByteArray("10") << "it has no project name";
        QTest::newRow("a song's name") << "Intro" << -1 << true << QByteArray("Gig.txt") << QByteArray("10")
                                       << "a project cannot be saved over it";
        QTest::newRow("a new name") << "Tour" << -1 << true << QByteArray("Tour.txt") << QByteArray("10")
                                    << "";
        QTest::newRow("edits, Save") << "Gig" << int(A::Save) << true << QByteArray("Gig.txt")
                                     << QByteArray("40") << unsaved;
        QTest::newRow("edits, Discard")
            << "Gig" << int(A::Discard) << true << QByteArray("Gig.txt") << QByteArray("10") << unsaved;
        QTest::newRow("edits, Cancel")
            << "Gig" << int(A::Cancel) << false << QByteArray("Gig.txt") << QByteArray("10") << unsaved;
    }

    void exitKeepsWhatIsNotSaid()
    {
        QFETCH(QString, projectName);
        QFETCH(int, answer);
        QFETCH(bool, ended);
        QFETCH(QByteArray, lastOne);
        QFETCH(QByteArray, intro);
        QFETCH(QString, said);
        AppFixture app;
        writeGig(app, {"Intro", "Outro"});
        MainWindow &form = app.start();
        form.songControls().cbProject->setText(projectName);
        if (answer >= 0) {
            // Edited, then on to the next song as a pedal goes: the edits wait, unsaved.
            form.songControls().strips[0].program->setValue(40);
            form.songList().stepSong(1);
            app.dialogs.saveAnswers = {Dialogs::SaveAnswer(answer)};
        }
        QSignalSpy terminated(&form, &MainWindow::terminated);
        form.close();
        QCOMPARE(terminated.size(), ended ? 1 : 0);
        QVERIFY(AppFixture::readFile(app.settingsPath()).contains("Last one=" + lastOne + "\r\n"));
        QVERIFY(!QFile::exists(app.projects() + "/.txt"));
        QVERIFY(AppFixture::readFile(app.projects() + "/Intro.txt").contains("Spin49=" + intro + "\r\n"));
        const QStringList shown = app.dialogs.texts() + app.dialogs.questions;
        QCOMPARE(shown.size(), said.isEmpty() ? 0 : 1);
        QVERIFY(said.isEmpty() || shown[0].contains(said));
    }

    void unreadableSettingsAreSaidInTheWindow()
    {
        AppFixture app;
        QVERIFY(QDir().mkpath(app.settingsPath()));
        MainWindow &form = app.start();
        const auto *status = form.findChild<QLabel *>(QStringLiteral("lbFileStatus"));
        QVERIFY(status->isVisible() &&
                status->text() == "Midi.ini could not be read (It is a folder): defaults in use");
        form.close();
        QCOMPARE(QDir(app.projects()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void backWhereTheUserWasAfterARestart()
    {
        AppFixture app;
        {
            MainWindow &form = app.start();
            form.setupPage().cmbOutput()->setCurrentRow(1);
            const SongControls &song = form.songControls();
            song.cbProject->setText(QStringLiteral("Friday"));
            for (const char *name : {"Intro", "Ballad"}) {
                song.strips[0].active->setChecked(true);
                song.strips[0].program->setValue(QByteArray(name) == "Intro" ? 12 : 30);
                song.edNewSong->setText(QLatin1String(name));
                QTest::keyClick(song.edNewSong, Qt::Key_Return);
            }
            QCOMPARE(form.songsPage().lbSongList()->count(), 2);
            form.close();
        }
        app.windows.reset();
        app.outs[1]->clearLog();

        MainWindow &again = app.start();
        QCOMPARE(again.songControls().cbProject->text(), QStringLiteral("Friday"));
        QCOMPARE(again.setupPage().cmbOutput()->currentRow(), 1);
        QListWidget *songs = again.songsPage().lbSongList();
        QCOMPARE(songs->count(), 2);
        QCOMPARE(songs->item(1)->text(), QStringLiteral("Ballad"));
        QCOMPARE(songs->currentRow(), 0);
        QCOMPARE(again.songControls().strips[0].program->value(), 12);
        QVERIFY(!app.outs[1]->log().isEmpty());
        QCOMPARE(app.outs[1]->log().last(), QStringLiteral("C0 0B 00"));
    }

    void unwritableSettingsAreReportedAndTheProgramEnds()
    {
        AppFixture app;
        MainWindow &form = app.start();
        // A folder where the settings file should be: it cannot be replaced.
        QDir().mkpath(app.settingsPath());
        QSignalSpy terminated(&form, &MainWindow::terminated);
        form.close();
        QCOMPARE(terminated.size(), 1);
        QCOMPARE(app.dialogs.messages.size(), 1);
        QVERIFY2(app.dialogs.messages[0].text.startsWith(QStringLiteral("Unable to write to")),
                 qPrintable(app.dialogs.messages[0].text));
    }

    void damagedFilesAreNotWrittenBackAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<QByteArray>("project");
        QTest::addColumn<QByteArray>("song");
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage += char((i * 7919 + 13) >> 3);
        const QByteArray ini = settings("Gig.txt");
        const QByteArray list = "Intro\r\nOutro\r\n";
        const QByteArray song = AppFixture::songFile(2, 10);
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "Song " + QByteArray::number(i) + "\r\n";
        QTest::newRow("garbage settings") << garbage + "\r\n" + ini << list << song;
        QTest::newRow("garbage project") << ini << garbage << song;
        QTest::newRow("garbage song") << ini << list << garbage;
        QTest::newRow("song file holding a project") << ini << list << list;
        // Kept, and the save at exit says why it did not replace it.
        QTest::newRow("project holding a song") << ini << song << song;
        QTest::newRow("100 000 songs") << ini << many << song;
        QTest::newRow("a 50 MB song name") << ini << QByteArray(50 << 20, 'x') + "\r\nIntro\r\n" << song;
        QTest::newRow("odd names")
            << ini << QString("%1\r\n%s\r\n\"quoted\"\r\n'single'\r\nCafé Müller 🎹\r\n").toUtf8() << song;
        QTest::newRow("Windows-1252 names") << ini << QByteArray("Caf\xe9 M\xfcller\r\n") << song;
        QTest::newRow("UTF-16 project") << ini << QByteArray("\xff\xfeI\0n\0\r\0\n\0", 10) << song;
    }

    // Whatever the user's files hold, a start and a normal exit never put defaults in its
    // place: the project and the song come out as they went in, every line of the settings
    // file is still there.
    void damagedFilesAreNotWrittenBackAsDefaults()
    {
        QFETCH(QByteArray, settingsFile);
        QFETCH(QByteArray, project);
        QFETCH(QByteArray, song);
        AppFixture app;
        app.writeFile(app.settingsPath(), settingsFile);
        app.writeFile(app.projects() + "/Gig.txt", project);
        app.writeFile(app.projects() + "/Intro.txt", song);
        const QStringList names = ProjectFile::read(app.projects() + "/Gig.txt").names;
        MainWindow &form = app.start();
        form.close();
        const QStringList shown = app.dialogs.texts();
        if (QTest::currentDataTag() == QByteArrayLiteral("project holding a song"))
            QVERIFY2(shown.size() == 1 && shown[0].contains(u"a project cannot be saved over it"),
                     qPrintable(shown.join(u'|')));
        else
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join(u'|')));
        QCOMPARE(AppFixture::readFile(app.projects() + "/Intro.txt"), song);
        const QByteArray settingsAfter = AppFixture::readFile(app.settingsPath());
        QByteArray lines = settingsFile;
        lines.replace("\r\n", "\n").replace('\r', '\n');
        for (const QByteArray &line : lines.split('\n'))
            QVERIFY2(settingsAfter.contains(line), line.toHex().constData());
        // Line ends may come back as CR LF; every name comes back as it was.
        QCOMPARE(ProjectFile::read(app.projects() + "/Gig.txt").names, names);
        if (!project.contains('\n') || project.endsWith("\r\n"))
            QCOMPARE(AppFixture::readFile(app.projects() + "/Gig.txt"), project);
    }

    void refreshFindsANewDeviceAndKeepsTheOpenOne()
    {
        AppFixture app;
        app.writeFile(app.settingsPath(), settings("x.txt", 1, 0));
        MainWindow &form = app.start();
        QVERIFY(app.outs[1]->isOpen());
        app.midi.removeOutput(QStringLiteral("Synth A"));
        app.midi.addOutput(QStringLiteral("USB Interface"));
        QTest::mouseClick(form.setupPage().refreshButton(), Qt::LeftButton);
        QStringList names;
        for (int i = 0; i < form.setupPage().cmbOutput()->count(); ++i)
            names.append(form.setupPage().cmbOutput()->item(i)->text());
        QCOMPARE(names, (QStringList{"Synth B", "USB Interface"}));
        QCOMPARE(form.midiOut().ProductName(), QStringLiteral("Synth B"));
        QCOMPARE(form.midiOut().DeviceID(), 0);
        QVERIFY(form.midiOut().IsOpen());
        QCOMPARE(form.setupPage().cmbOutput()->currentRow(), 0);
    }

    void choosingTheOpenDeviceReopensIt()
    {
        AppFixture app;
        MainWindow &form = app.start();
        QListWidget *outputs = form.setupPage().cmbOutput();
        const QRect itemRect = outputs->visualItemRect(outputs->item(0));
        form.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->setCurrentIndex(2);
        app.outs[0]->refuseOpen(4); // "allocated": the reopen fails and leaves it closed
        QTest::mouseClick(outputs->viewport(), Qt::LeftButton, {}, itemRect.center());
        QVERIFY(!form.midiOut().IsOpen());
        app.outs[0]->refuseOpen(0);
        QTest::mouseClick(outputs->viewport(), Qt::LeftButton, {}, itemRect.center());
        QVERIFY(form.midiOut().IsOpen());
        QVERIFY(app.dialogs.messages.isEmpty());
    }
};

PW_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
