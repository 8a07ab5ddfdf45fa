#include "../app/AppFixture.h"
#include "UnitsFixture.h"
#include "support/ScratchData.h"
#include "support/TestMain.h"

#include "platform/IniFile.h"
#include "platform/VirtualMidiSystem.h"
#include "songs/SongFile.h"
#include "units/DeviceInquiry.h"
#include "units/RigCheck.h"
#include "units/SendPreview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QStringListModel>
#include <QTableWidget>
#include <QTimer>

namespace
{
// The preview's hex column, with the pad byte the port log shows after a program change.
QStringList previewRows(SendPreview &preview)
{
    // Shown, as the player sees it; then its coalesced refresh.
    preview.show();
    QCoreApplication::processEvents();
    const QTableWidget *table = preview.table();
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString hex = table->item(row, 2)->text();
        rows << (hex.startsWith('C') ? hex + " 00" : hex);
    }
    return rows;
}

struct VirtualRig {
    VirtualMidiSystem system;
    VirtualOutput &device = system.addOutput("Synth");
    MidiOutputPort output{system};
    UnitsFixture units;
    SongFile file{units.window.controls};

    // The song file hung on the units and the recall as the main window hangs it.
    explicit VirtualRig(const QString &profilesPath) : units(output, profilesPath)
    {
        output.setDeviceID(0);
        output.Open();
        file.setExtraValues([this](const IniFile &ini) { units.hub.readSong(ini); },
                            [this](IniFile &ini) { units.hub.writeSong(ini); });
        file.setSongSender([this] { units.recall.recallSong(); });
        file.setLoadingNotice([this](bool loading) { units.recall.setLoading(loading); });
    }

    QStringList recallNow()
    {
        device.clearLog();
        units.recall.recallSong();
        return device.log();
    }

    QStringList previewed() { return previewRows(*units.hub.preview()); }
};

QString statusText(MainWindow &form, const char *name)
{
    return form.statusBar()->findChild<QLabel *>(QLatin1String(name))->text();
}

constexpr int Deadline = 5000;
} // namespace

class TestUnits : public QObject
{
    Q_OBJECT

private:
    ScratchData m_scratch;
    QString profilesPath() const { return QDir(m_scratch.data()->path()).filePath("Units.ini"); }

private slots:
    void init() { m_scratch.init(); }
    void cleanup() { m_scratch.cleanup(); }

    // Strip 9 on channel 3, program 12, unit "JV", volume 100 in the block, bank row 5.
    void bankModesPerStrip_data()
    {
        QTest::addColumn<int>("mode"); // -1: no profile
        QTest::addColumn<bool>("block");
        QTest::addColumn<bool>("onlyWhenChanged");
        QTest::addColumn<int>("recalls");
        QTest::addColumn<QStringList>("lastRecall");
        const QString pc = "C2 0B 00", vol = "B2 07 63";
        QTest::newRow("no profile") << -1 << true << false << 1 << QStringList{"B2 20 05", pc, vol};
        QTest::newRow("controller 32 from the block")
            << int(BankMode::FromBlock) << true << false << 1 << QStringList{"B2 20 05", pc, vol};
        QTest::newRow("controller 32, no block")
            << int(BankMode::FromBlock) << false << false << 1 << QStringList{pc};
        QTest::newRow("controller 0 only")
            << int(BankMode::Msb) << true << false << 1 << QStringList{"B2 00 01", pc, vol};
        QTest::newRow("controller 0 and 32")
            << int(BankMode::MsbLsb) << true << false << 1 << QStringList{"B2 00 01", "B2 20 02", pc, vol};
        QTest::newRow("controller 0 and 32, no block")
            << int(BankMode::MsbLsb) << false << false << 1 << QStringList{"B2 00 01", "B2 20 02", pc};
        QTest::newRow("none") << int(BankMode::None) << true << false << 1 << QStringList{pc, vol};
        QTest::newRow("always, sent again")
            << int(BankMode::MsbLsb) << true << false << 2 << QStringList{"B2 00 01", "B2 20 02", pc, vol};
        QTest::newRow("only when changed, first")
            << int(BankMode::MsbLsb) << true << true << 1 << QStringList{"B2 00 01", "B2 20 02", pc, vol};
        QTest::newRow("only when changed, same again")
            << int(BankMode::MsbLsb) << true << true << 2 << QStringList{vol};
    }

    void bankModesPerStrip()
    {
        QFETCH(int, mode);
        QFETCH(bool, block);
        QFETCH(bool, onlyWhenChanged);
        QFETCH(int, recalls);
        QFETCH(QStringList, lastRecall);
        VirtualRig rig(profilesPath());
        SongControls &c = rig.units.window.controls;
        // Strip 9: strips 1 to 8 would send the song at every program change already.
        rig.units.setStrip(9, "JV", 3, 12, block);
        c.volume.on->setChecked(true);
        c.volume.value->setValue(100);
        c.bank.on->setChecked(true);
        c.bank.value->setValue(5);
        rig.units.setBank(9, 1, 2);
        if (mode >= 0)
            rig.units.setProfile("jv", BankMode(mode), 0, onlyWhenChanged);
        QStringList sent;
        for (int n = 0; n < recalls; ++n)
            sent = rig.recallNow();
        QCOMPARE(sent, lastRecall);
    }

    // Songs made at random from a seed: strips, units with and without profiles, pauses.
    void previewIsWhatTheRecallSends_data()
    {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 24; ++seed)
            QTest::newRow(qPrintable(QString("song %1").arg(seed))) << seed;
    }

    void previewIsWhatTheRecallSends()
    {
        QFETCH(int, seed);
        VirtualRig rig(profilesPath());
        UnitsFixture &u = rig.units;
        SongControls &c = u.window.controls;
        u.setProfile("Layer", BankMode::MsbLsb, 0, false);
        u.setProfile("Drums", BankMode::Msb, 0, true);
        u.setProfile("Pad", BankMode::None, 25, false);
        u.setProfile("Plain", BankMode::FromBlock, 0, false);
        const QStringList units{"", "Layer", "Drums", "Pad", "Plain", "Unknown"};
        QRandomGenerator random(seed);
        // Two songs: the one played before, and the one the preview is asked about.
        for (const char *song : {"Before", "Random"}) {
            for (int n = 1; n <= SongControls::StripCount; ++n) {
                u.setStrip(n, units[random.bounded(units.size())], random.bounded(1, 17),
                           random.bounded(1, 129), random.bounded(2) == 1);
                u.strip(n).active->setChecked(random.bounded(3) > 0);
                u.setBank(n, random.bounded(128), random.bounded(128));
            }
            for (ControllerRow *row : {&c.volume, &c.bank, &c.pan, &c.user[0], &c.user[4]}) {
                row->on->setChecked(random.bounded(2) == 1);
                row->value->setValue(random.bounded(1, 129));
            }
            c.user[0].controller->setCurrentIndex(random.bounded(-1, 128));
            c.user[4].controller->setCurrentIndex(random.bounded(-1, 128));
            rig.file.SaveSong(song);
        }
        QStringListModel songs({"Before", "Random"});
        u.hub.setSongList(&songs);
        SendPreview &preview = *u.hub.preview();

        // Loaded over the song before, then again: the second recall is where "only when
        // changed" leaves program changes out.
        rig.file.LoadSong("Before");
        QTRY_VERIFY_WITH_TIMEOUT(!u.recall.sequence().isSending(), 5000);
        for (int round = 0; round < 2; ++round) {
            rig.device.clearLog();
            preview.songChoice()->setCurrentIndex(2);
            const QStringList wouldSend = rig.previewed();
            QCOMPARE(rig.device.log(), QStringList());
            rig.file.LoadSong("Random");
            QTRY_COMPARE_WITH_TIMEOUT(rig.device.log().size(), wouldSend.size(), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!u.recall.sequence().isSending(), 5000);
            QCOMPARE(rig.device.log(), wouldSend);
            preview.songChoice()->setCurrentIndex(0);
            QCOMPARE(rig.previewed(), wouldSend);
        }
    }

    // Profiles in their own file; the song's banks in its song file, in a section of their own.
    void profilesAndBanksKeptInTheirFiles()
    {
        VirtualRig saving(profilesPath());
        saving.units.setProfile("JV-1080", BankMode::MsbLsb, 120, true);
        saving.units.setProfile("Drums", BankMode::None, 0, false);
        saving.file.SaveSong("Plain");
        QVERIFY(!IniFile(SongFile::songPath("Plain")).hasKey("Unit Banks", "Msb1"));
        saving.units.setBank(16, 81, 3);
        saving.file.SaveSong("Intro");
        const IniFile stored(SongFile::songPath("Intro"));
        QCOMPARE(stored.readInteger("Unit Banks", "Msb16", -1), 81);
        QCOMPARE(stored.readInteger("TSpinEdit", "Spin48", -1), 1); // the song's own keys as before

        VirtualRig loading(profilesPath());
        QCOMPARE(loading.units.hub.rig().profiles.all(), saving.units.hub.rig().profiles.all());
        loading.file.LoadSong("Intro");
        QCOMPARE(loading.units.hub.rig().banks.strips, saving.units.hub.rig().banks.strips);
        QCOMPARE(loading.units.hub.unitsWindow()->msb(15)->value(), 81);
    }

    // A unit's port in Units.ini: absent, the file and the wire are as they always were;
    // named, the unit's messages go there and nowhere else; missing, they go nowhere.
    void unitPortInTheFile_data()
    {
        QTest::addColumn<QString>("port"); // the Port line; empty: none
        QTest::addColumn<QStringList>("onMain");
        QTest::addColumn<QStringList>("onSynthB");
        QTest::addColumn<QString>("outputs");  // in the status bar
        QTest::addColumn<QString>("lastSent"); // in the preview
        const QStringList strip9{"C2 0B 00", "B2 07 63"}, strip10{"C3 04 00"};
        const QString both = "Last sent: Ch 3 Program 11, Ch 4 Program 4";
        QTest::newRow("absent") << "" << strip9 + strip10 << QStringList() << "" << both;
        QTest::newRow("named") << "Port=Synth B\r\n"
                               << strip10 << strip9 << "Outputs 2/2"
                               << "Last sent: main output: Ch 4 Program 4; Synth B: Ch 3 Program 11";
        QTest::newRow("missing") << "Port=Synth C\r\n"
                                 << strip10 << QStringList() << "Outputs 1/2: Synth C missing"
                                 << "Last sent: main output: Ch 4 Program 4; Synth C: nothing yet";
        QTest::newRow("the main output's device")
            << "Port=Synth A\r\n"
            << strip9 + strip10 << QStringList() << "Outputs 1/1" << both;
    }

    void unitPortInTheFile()
    {
        QFETCH(QString, port);
        QFETCH(QStringList, onMain);
        QFETCH(QStringList, onSynthB);
        QFETCH(QString, outputs);
        QFETCH(QString, lastSent);
        AppFixture app;
        const QByteArray before = "[Units]\r\nCount=1\r\n[Unit 1]\r\nName=JV\r\nBank Mode=3\r\nPause=0\r\n"
                                  "Only When Changed=0\r\n" +
                                  port.toLatin1();
        AppFixture::writeFile(app.dataDir.filePath("Units.ini"), before);
        MainWindow &form = app.start();
        const SongControls &c = form.songControls();
        c.volume.on->setChecked(true);
        c.volume.value->setValue(100);
        const auto strip = [&c](int n, const char *unit, int channel, int program, bool block) {
            c.strips[n].unitName->setText(unit);
            c.strips[n].channel->setValue(channel);
            c.strips[n].program->setValue(program);
            c.strips[n].controllerData->setChecked(block);
            c.strips[n].active->setChecked(true);
        };
        strip(8, "JV", 3, 12, true);
        strip(9, "Other", 4, 5, false);
        app.outs[0]->clearLog();
        form.recallSong();
        QCOMPARE(app.outs[0]->log(), onMain);
        QCOMPARE(app.outs[1]->log(), onSynthB);
        const QString status = statusText(form, "lbMidiStatus");
        QVERIFY2(outputs.isEmpty() ? !status.contains("Outputs") : status.contains(outputs),
                 qPrintable(status));
        auto *preview = form.findChild<SendPreview *>(QStringLiteral("SendPreview"));
        previewRows(*preview);
        QCOMPARE(preview->lastSent()->text(), lastSent);
        // Saved again unchanged: the same bytes.
        auto *units = form.findChild<UnitsWindow *>(QStringLiteral("UnitsWindow"));
        units->pause()->setValue(5);
        units->pause()->setValue(0);
        QCOMPARE(AppFixture::readFile(app.dataDir.filePath("Units.ini")), before);
    }

    // A unit's pause holds back its own block only: a unit after it on the list is not kept waiting.
    void aPauseHoldsBackOnlyItsUnit()
    {
        VirtualRig rig(profilesPath());
        SongControls &c = rig.units.window.controls;
        c.volume.on->setChecked(true);
        c.volume.value->setValue(100);
        rig.units.setProfile("Slow", BankMode::None, 200, false);
        rig.units.setStrip(9, "Slow", 3, 12, true);
        rig.units.setStrip(10, "Quick", 4, 5, true);
        QCOMPARE(rig.recallNow(), (QStringList{"C2 0B 00", "C3 04 00", "B3 07 63"}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.device.log().size(), 4, Deadline);
        QCOMPARE(rig.device.log().last(), QString("B2 07 63"));
    }

    // "Only when changed" compares with what the unit was last sent by anyone: MIDI thru
    // and the MIDI commands reach the same unit as the recall does.
    void onlyWhenChangedFollowsTheWire_data()
    {
        QTest::addColumn<QStringList>("thru"); // passed through from the input between the recalls
        QTest::addColumn<QString>("action");   // "System Reset", or the port closed and opened again
        QTest::addColumn<int>("lsb");          // the song's LSB at the second recall
        QTest::addColumn<QStringList>("recall");
        const QString pc = "C2 0B 00", vol = "B2 07 63";
        const QStringList whole{"B2 00 01", "B2 20 02", pc, vol};
        QTest::newRow("nothing between") << QStringList() << "" << 2 << QStringList{vol};
        QTest::newRow("thru, another program") << QStringList{"C205"} << "" << 2 << whole;
        QTest::newRow("thru, the same program") << QStringList{"C20B"} << "" << 2 << QStringList{vol};
        QTest::newRow("thru, the same program from another bank")
            << QStringList{"B20005", "C20B"} << "" << 2 << whole;
        QTest::newRow("thru, a bank select without its program change")
            << QStringList{"B20005"} << "" << 2 << QStringList{vol};
        QTest::newRow("System Reset") << QStringList() << "System Reset" << 2 << whole;
        QTest::newRow("port opened again") << QStringList() << "reopen" << 2 << whole;
        QTest::newRow("the song's bank changed")
            << QStringList() << "" << 3 << QStringList{"B2 00 01", "B2 20 03", pc, vol};
    }

    void onlyWhenChangedFollowsTheWire()
    {
        QFETCH(QStringList, thru);
        QFETCH(QString, action);
        QFETCH(int, lsb);
        QFETCH(QStringList, recall);
        AppFixture app;
        MainWindow &form = app.start();
        auto *units = form.findChild<UnitsWindow *>(QStringLiteral("UnitsWindow"));
        QVERIFY(units);
        UnitsFixture::setUnitProfile(*units, "JV", BankMode::MsbLsb, 0, true);
        const SongControls &c = form.songControls();
        c.strips[8].unitName->setText("JV");
        c.strips[8].channel->setValue(3);
        c.strips[8].program->setValue(12);
        c.strips[8].controllerData->setChecked(true);
        c.strips[8].active->setChecked(true);
        c.volume.on->setChecked(true);
        c.volume.value->setValue(100);
        units->msb(8)->setValue(1);
        units->lsb(8)->setValue(2);
        form.recallSong();

        VirtualOutput &unit = *app.outs[0];
        unit.clearLog();
        for (const QString &message : thru)
            app.ins[0]->feedBytes(QByteArray::fromHex(message.toLatin1()));
        QTRY_COMPARE_WITH_TIMEOUT(unit.log().size(), thru.size(), Deadline);
        if (action == "System Reset") {
            form.sendSystemReset();
        } else if (action == "reopen") { // the unit may have been switched off and on meanwhile
            form.midiOut().Close();
            form.midiOut().Open();
        }
        units->lsb(8)->setValue(lsb);
        unit.clearLog();
        form.recallSong();
        QCOMPARE(unit.log(), recall);
        // What went out, a program change sent because it changed included.
        auto *preview = form.findChild<SendPreview *>(QStringLiteral("SendPreview"));
        QVERIFY(preview);
        QCOMPARE(previewRows(*preview), recall);
    }

    // The unit goes during the pause before its block: the block is not sent, nothing is
    // raised, and one line says what was not sent.
    void timedRecallLosesItsDevice_data()
    {
        QTest::addColumn<bool>("toldFirst"); // the system reports it before the pause ends
        QTest::newRow("reported by the system") << true;
        QTest::newRow("found at the next send") << false;
    }

    void timedRecallLosesItsDevice()
    {
        QFETCH(bool, toldFirst);
        AppFixture app;
        AppFixture::writeFile(app.projects() + "/Set.txt", "Slow Song\r\n");
        AppFixture::writeFile(app.projects() + "/Slow Song.txt", AppFixture::songFile(1, 5));
        AppFixture::writeFile(app.settingsPath(),
                              "[Project]\r\nLast one=Set.txt\r\n[Midi]\r\nMidi Out=0\r\n");
        MainWindow &form = app.start();
        auto *units = form.findChild<UnitsWindow *>(QStringLiteral("UnitsWindow"));
        UnitsFixture::setUnitProfile(*units, "Slow", BankMode::None, UnitProfile::MaxPauseMs, false);
        const SongControls &c = form.songControls();
        c.strips[0].unitName->setText("Slow");
        c.strips[0].controllerData->setChecked(true);
        c.volume.on->setChecked(true);
        VirtualOutput &unit = *app.outs[0];
        QVERIFY(unit.isOpen());
        unit.clearLog();
        form.recallSong();
        QCOMPARE(unit.log(), QStringList{"C0 04 00"});
        if (!toldFirst)
            app.midi.setChangeWatcher(nullptr);
        app.midi.removeOutput(QStringLiteral("Synth A"));
        auto *sequence = form.findChild<RecallSequence *>();
        QVERIFY(sequence);
        QTRY_VERIFY_WITH_TIMEOUT(!sequence->isSending(), Deadline);
        QCOMPARE(unit.log(), QStringList{"C0 04 00"});
        QVERIFY(!form.midiOut().IsOpen());
        QCOMPARE(statusText(form, "lbMidiNotice"),
                 QStringLiteral("Not sent: the rest of Slow Song (MIDI Out: Synth A is missing)"));
        QVERIFY(app.dialogs.messages.isEmpty());
    }

    // A strip's unit name offers its profile; a strip without a unit name has none to offer.
    void stripMenuOpensTheProfile_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("offered");
        QTest::newRow("named unit") << "XV-5080" << true;
        QTest::newRow("no unit name") << " " << false;
    }

    void stripMenuOpensTheProfile()
    {
        QFETCH(QString, unit);
        QFETCH(bool, offered);
        VirtualRig rig(profilesPath());
        rig.units.window.root.show();
        QLineEdit *name = rig.units.strip(4).unitName;
        name->setText(unit);
        QContextMenuEvent request(QContextMenuEvent::Mouse, name->rect().center(),
                                  name->mapToGlobal(name->rect().center()));
        QCoreApplication::sendEvent(name, &request);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction *profile = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == "Unit profile...")
                profile = action;
        QVERIFY(profile);
        QCOMPARE(profile->isEnabled(), offered);
        profile->trigger();
        menu->close();
        UnitsWindow *window = rig.units.hub.unitsWindow();
        QCOMPARE(window->isVisible(), offered);
        QStringList stored;
        UnitProfiles file;
        file.load(profilesPath());
        for (const UnitProfile &p : file.all())
            stored << p.name;
        QCOMPARE(stored, offered ? QStringList{unit} : QStringList());
        if (offered)
            QCOMPARE(window->profileList()->currentItem()->text(), unit);
    }

    // "Add" asks for the unit's name in a real dialog.
    void addAsksForTheUnitName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("profiles");
        QTest::newRow("named") << "D-50" << true << QStringList{"JV", "D-50"};
        QTest::newRow("cancelled") << "D-50" << false << QStringList{"JV"};
        QTest::newRow("blank") << "  " << true << QStringList{"JV"};
        QTest::newRow("a name that has a profile") << "jv" << true << QStringList{"JV"};
    }

    void addAsksForTheUnitName()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QStringList, profiles);
        VirtualRig rig(profilesPath());
        rig.units.setProfile("JV", BankMode::MsbLsb, 0, false);
        UnitsWindow *window = rig.units.hub.unitsWindow();
        window->show();
        QPushButton *add = nullptr;
        for (QPushButton *button : window->findChildren<QPushButton *>())
            if (button->text() == "Add")
                add = button;
        QVERIFY(add);
        bool answered = false;
        QTimer::singleShot(0, window, [&] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return; // the click returns at once and the test fails below
            dialog->setTextValue(typed);
            answered = true;
            accepted ? dialog->accept() : dialog->reject();
        });
        QTest::mouseClick(add, Qt::LeftButton);
        QVERIFY(answered);
        QStringList listed;
        for (int row = 0; row < window->profileList()->count(); ++row)
            listed << window->profileList()->item(row)->text();
        QCOMPARE(listed, profiles);
        UnitProfiles file;
        file.load(profilesPath());
        QCOMPARE(int(file.all().size()), int(profiles.size()));
    }

    // Replies written from the universal SysEx format: F0 7E <device> 06 02 <maker>
    // <family LSB MSB> <model LSB MSB> <version 4 bytes> F7.
    void identityReplies_data()
    {
        QTest::addColumn<QByteArray>("sysex");
        QTest::addColumn<QString>("described"); // empty: not a reply
        QTest::newRow("one-byte maker")
            << QByteArray::fromHex("F07E100602412301040001000000F7")
            << "Roland (41), device 17, family 0x00a3, model 0x0004, version 01 00 00 00";
        QTest::newRow("14-bit family and model")
            << QByteArray::fromHex("F07E000602430041120500000001F7")
            << "Yamaha (43), device 1, family 0x2080, model 0x0292, version 00 00 00 01";
        QTest::newRow("three-byte maker, all devices")
            << QByteArray::fromHex("F07E7F06020020320100020001020304F7")
            << "Behringer (00 20 32), device 128, family 0x0001, model 0x0002, version 01 02 03 04";
        QTest::newRow("maker not in the table") << QByteArray::fromHex("F07E0006020056780100020000000000F7")
                                                << "Unknown maker (00 56 78), device 1, family 0x0001, model "
                                                   "0x0002, version 00 00 00 00";
        QTest::newRow("the inquiry itself") << QByteArray::fromHex("F07E7F0601F7") << QString();
        QTest::newRow("version cut short")
            << QByteArray::fromHex("F07E1006024123010400010000F7")
            << "Unreadable reply from device 17 (14 bytes: F0 7E 10 06 02 41 23 01 04 00 01 00 00 F7)";
        QTest::newRow("status byte inside")
            << QByteArray::fromHex("F07E10060241230104000100F000F7")
            << "Unreadable reply from device 17 (15 bytes: F0 7E 10 06 02 41 23 01 04 00 01 00 F0 00 F7)";
        QTest::newRow("no end byte")
            << QByteArray::fromHex("F07E100602412301040001000000F0")
            << "Unreadable reply from device 17 (15 bytes: F0 7E 10 06 02 41 23 01 04 00 01 00 00 00 F0)";
        QTest::newRow("another universal message") << QByteArray::fromHex("F07E100603F7") << QString();
    }

    void identityReplies()
    {
        QFETCH(QByteArray, sysex);
        QFETCH(QString, described);
        QCOMPARE(DeviceInquiry::describeReply(sysex).value_or(QString()), described);
    }

    // The whole program: the inquiry goes out, replies arriving at the input are listed for
    // two seconds, anything else and anything later is not.
    void rigCheckListsWhoAnswers()
    {
        AppFixture app;
        MainWindow &form = app.start();
        auto *check = form.findChild<RigCheck *>(QStringLiteral("RigCheck"));
        QVERIFY(check);
        app.outs[0]->clearLog();
        QTest::mouseClick(check->checkButton(), Qt::LeftButton);
        QVERIFY(check->isListening());
        QVERIFY(app.outs[0]->log().contains("F0 7E 7F 06 01 F7"));
        app.ins[0]->feedSysex(QByteArray::fromHex("F07E7F0601F7"));
        app.ins[0]->feedSysex(QByteArray::fromHex("F07E100602412301040001000000F7"));
        app.ins[0]->feedSysex(QByteArray::fromHex("F07E7F06020020320100020001020304F7"));
        app.ins[0]->feedSysex(QByteArray::fromHex("F07E05060241230104000100000000F7"));
        QTRY_COMPARE_WITH_TIMEOUT(check->replies()->count(), 3, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!check->isListening(), 5000);
        QCOMPARE(check->status()->text(), QString("3 unit(s) answered."));
        QVERIFY(check->replies()->item(2)->text().startsWith("Unreadable reply from device 6"));
        app.ins[0]->feedSysex(QByteArray::fromHex("F07E000602430041120500000001F7"));
        QTRY_VERIFY_WITH_TIMEOUT(app.outs[0]->log().contains("F0 7E 00 06 02 43 00 41 12 05 00 00 00 01 F7"),
                                 5000);
        QCOMPARE(check->replies()->count(), 3);
        // The main input alone: a reply says nothing of where it came in.
        QCOMPARE(check->replies()->item(0)->text(),
                 *DeviceInquiry::describeReply(QByteArray::fromHex("F07E100602412301040001000000F7")));
    }

    // A unit on a port of its own: the outputs are asked one after the other, and each
    // reply names the port it answered on and, beside an extra input, the input it came in on.
    void rigCheckNamesThePort()
    {
        AppFixture app;
        AppFixture::writeFile(app.dataDir.filePath("Units.ini"),
                              "[Units]\r\nCount=1\r\n[Unit 1]\r\nName=JV\r\nPort=Synth B\r\n");
        AppFixture::writeFile(app.settingsPath(), "[Extra Inputs]\r\nCount=1\r\nInput 1=Pads\r\n");
        MainWindow &form = app.start();
        auto *check = form.findChild<RigCheck *>(QStringLiteral("RigCheck"));
        QTest::mouseClick(check->checkButton(), Qt::LeftButton);
        QVERIFY(app.outs[1]->log().isEmpty());
        app.ins[0]->feedSysex(QByteArray::fromHex("F07E100602412301040001000000F7"));
        QTRY_COMPARE_WITH_TIMEOUT(check->replies()->count(), 1, Deadline);
        QTRY_VERIFY_WITH_TIMEOUT(app.outs[1]->log().contains("F0 7E 7F 06 01 F7"), Deadline);
        app.ins[1]->feedSysex(QByteArray::fromHex("F07E05060241230104000100000000F7"));
        QTRY_COMPARE_WITH_TIMEOUT(check->replies()->count(), 2, Deadline);
        QVERIFY2(check->replies()->item(0)->text().endsWith(", on Synth A, heard on Keys"),
                 qPrintable(check->replies()->item(0)->text()));
        QVERIFY2(check->replies()->item(1)->text().endsWith(", on Synth B, heard on Pads"),
                 qPrintable(check->replies()->item(1)->text()));
        QTRY_VERIFY_WITH_TIMEOUT(!check->isListening(), Deadline);
        QCOMPARE(check->status()->text(), QString("2 unit(s) answered."));
    }
};

PW_TEST_MAIN(TestUnits)
#include "tst_units.moc"
