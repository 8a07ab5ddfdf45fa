#include "SongWindow.h"
#include "support/ScratchData.h"

#include "midi/MidiOut.h"
#include "platform/AppPaths.h"
#include "platform/VirtualMidiSystem.h"
#include "recall/SongRecall.h"
#include "songs/SongFile.h"
#include "songs/SongListController.h"
#include "support/RecordingDialogs.h"
#include "support/TestMain.h"
#include "widgets/ActivityLeds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QToolButton>

namespace
{
// The window's song controls, output port and indicators, with the recall hung on them
// as the main window hangs it.
struct RecallFixture {
    VirtualMidiSystem system;
    VirtualOutput &device = system.addOutput("Synth");
    MidiOutputPort output{system};
    QToolButton inLed;
    QToolButton outLed;
    ActivityLeds leds{&inLed, &outLed};
    SongWindow window;
    SongRecall recall{window.controls, output, leds};
    SongFile file{window.controls};

    RecallFixture()
    {
        inLed.hide();
        outLed.hide();
        file.setSongSender([this] { recall.recallSong(); });
        file.setLoadingNotice([this](bool loading) { recall.setLoading(loading); });
        output.setDeviceID(0);
        output.Open();
    }

    SongControls &c() { return window.controls; }
    ChannelStrip &strip(int n) { return window.controls.strips[n - 1]; }
    bool lit() const { return !outLed.isHidden(); }

    // The strip sends its program change and, with `block`, the controller block.
    void setStrip(int n, int channel, int program, bool block)
    {
        strip(n).channel->setValue(channel);
        strip(n).program->setValue(program);
        strip(n).controllerData->setChecked(block);
        strip(n).active->setChecked(true);
    }

    // Forgets what the set-up sent (strips 1 to 8 send on every program change).
    QStringList recallNow()
    {
        device.clearLog();
        outLed.hide();
        recall.recallSong();
        return device.log();
    }
};

void writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write fixture %s", qPrintable(path));
    file.write(bytes);
}
} // namespace

class TestSongRecall : public QObject
{
    Q_OBJECT

private:
    ScratchData m_scratch;

private slots:
    void init() { m_scratch.init(); }

    void cleanup() { m_scratch.cleanup(); }

    void sendsWhatTheControlsHold_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("example") << "example" << QStringList{"C0 04 00", "B0 07 63", "B0 0A 3F"};
        QTest::newRow("bank before its program change")
            << "bank5" << QStringList{"B0 20 05", "C0 04 00", "B0 07 63", "B0 0A 3F"};
        QTest::newRow("bank 1") << "bank1" << QStringList{"B0 20 01", "C0 04 00"};
        QTest::newRow("bank 100") << "bank100" << QStringList{"B0 20 64", "C0 04 00"};
        QTest::newRow("bank 128 sends 127") << "bank128" << QStringList{"B0 20 7F", "C0 04 00"};
        QTest::newRow("bank on, strip without block") << "bankNoBlock" << QStringList{"C0 04 00"};
        QTest::newRow("block switched off entirely") << "emptyBlock" << QStringList{"C0 04 00"};
        QTest::newRow("block flag on an inactive strip") << "inactive" << QStringList{};
        QTest::newRow("two strips on one channel")
            << "twoOnOne" << QStringList{"C2 09 00", "B2 07 1D", "C2 13 00", "B2 07 1D"};
        QTest::newRow("channel 16, program 128") << "ch16" << QStringList{"CF 7F 00", "BF 07 00"};
        QTest::newRow("program 1, strip 9 on its own channel")
            << "strip9" << QStringList{"C8 00 00", "B8 0A 7F"};
        QTest::newRow("user rows") << "users" << QStringList{"C0 00 00", "B0 4A 09", "B0 00 7F"};
    }

    void sendsWhatTheControlsHold()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, expected);
        RecallFixture f;
        SongControls &c = f.c();
        if (setup == "example" || setup.startsWith("bank") || setup == "emptyBlock") {
            f.setStrip(1, 1, 5, setup != "bankNoBlock");
            if (setup == "example" || setup == "bank5") {
                c.volume.on->setChecked(true);
                c.volume.value->setValue(100);
                c.pan.on->setChecked(true);
                c.pan.value->setValue(64);
            }
            if (setup.startsWith("bank")) {
                c.bank.on->setChecked(true);
                c.bank.value->setValue(setup == "bankNoBlock" ? 5 : setup.mid(4).toInt());
            }
        } else if (setup == "inactive") {
            f.setStrip(1, 1, 5, true);
            f.strip(1).active->setChecked(false);
            c.volume.on->setChecked(true);
        } else if (setup == "twoOnOne") {
            f.setStrip(1, 3, 10, true);
            f.setStrip(2, 3, 20, true);
            c.volume.on->setChecked(true);
            c.volume.value->setValue(30);
        } else if (setup == "ch16") {
            f.setStrip(16, 16, 128, true);
            c.volume.on->setChecked(true);
            c.volume.value->setValue(1);
        } else if (setup == "strip9") {
            f.setStrip(9, 9, 1, true);
            c.pan.on->setChecked(true);
            c.pan.value->setValue(128);
        } else if (setup == "users") {
            f.setStrip(1, 1, 1, true);
            c.user[0].on->setChecked(true);
            c.user[0].controller->setCurrentIndex(74);
            c.user[0].value->setValue(10);
            // Switched on with no controller chosen: nothing goes out for it.
            c.user[1].on->setChecked(true);
            c.user[1].value->setValue(50);
            // Chosen but switched off.
            c.user[2].controller->setCurrentIndex(7);
            c.user[3].on->setChecked(true);
            c.user[3].controller->setCurrentIndex(0);
            c.user[3].value->setValue(128);
        }
        QCOMPARE(f.recallNow(), expected);
        QVERIFY(f.lit());
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void noActiveStripLightsButSendsNothing()
    {
        RecallFixture f;
        f.c().volume.on->setChecked(true);
        f.c().strips[0].controllerData->setChecked(true);
        QCOMPARE(f.recallNow(), QStringList{});
        QVERIFY(f.lit());
    }

    void programNumbersOfStrips1To8Send()
    {
        RecallFixture f;
        f.setStrip(1, 1, 1, false);
        f.setStrip(9, 2, 1, false);
        f.device.clearLog();
        f.strip(3).program->setValue(7); // strip 3 is off, yet its change sends the song
        QCOMPARE(f.device.log(), (QStringList{"C0 00 00", "C1 00 00"}));
        f.device.clearLog();
        f.strip(9).program->setValue(7);
        f.strip(1).channel->setValue(5);
        f.strip(1).active->setChecked(false);
        QCOMPARE(f.device.log(), QStringList{});
    }

    void typedValuesAreClampedBeforeSending()
    {
        RecallFixture f;
        f.setStrip(1, 1, 1, true);
        f.c().volume.on->setChecked(true);
        f.c().volume.value->selectAll();
        QTest::keyClicks(f.c().volume.value, "300");
        QCOMPARE(f.c().volume.value->value(), 300); // as typed, not yet left
        f.device.clearLog();
        f.strip(1).program->selectAll();
        QTest::keyClicks(f.strip(1).program, "200");
        // Every keystroke sends the song: "2", "20", then "200" clamped to 128.
        QCOMPARE(f.device.log(),
                 (QStringList{"C0 01 00", "B0 07 7F", "C0 13 00", "B0 07 7F", "C0 7F 00", "B0 07 7F"}));
    }

    // A song on strips 1 to 4 (channel 4, program 20), then one on strip 1 (channel 3)
    // alone: the load sends that song once, and nothing on channel 4.
    void loadingSendsTheLoadedSongOnce()
    {
        RecallFixture f;
        const QString projects = m_scratch.data()->path() + "/Projects/";
        writeAll(projects + "Organ.txt",
                 "[TCheckBox]\r\nChecked46=1\r\nChecked53=1\r\nChecked54=1\r\n"
                 "Checked61=1\r\n[TSpinEdit]\r\nSpin48=4\r\nSpin49=20\r\nSpin50=20\r\n"
                 "Spin51=4\r\nSpin56=4\r\nSpin57=20\r\nSpin58=20\r\nSpin59=4\r\n");
        writeAll(projects + "Bass.txt",
                 "[TCheckBox]\r\nChecked46=1\r\n[TSpinEdit]\r\nSpin48=3\r\nSpin49=33\r\n");
        f.device.clearLog();
        f.file.LoadSong("Organ");
        QCOMPARE(f.device.log(), QStringList(4, "C3 13 00"));
        f.device.clearLog();
        f.file.LoadSong("Bass");
        QCOMPARE(f.device.log(), QStringList{"C2 20 00"});
    }

    void missingSongSendsTheDefaults()
    {
        RecallFixture f;
        f.setStrip(1, 4, 50, true);
        f.device.clearLog();
        f.outLed.hide();
        f.file.LoadSong("Gone");
        // spp1 falls back from 50 to 1 while strip 1 is already off: no strip is active.
        QCOMPARE(f.device.log(), QStringList{});
        QVERIFY(f.lit());
        QVERIFY(!f.strip(1).active->isChecked());
    }

    void closedOutputSendsAndSaysNothing()
    {
        RecallFixture f;
        f.setStrip(1, 1, 5, true);
        f.c().volume.on->setChecked(true);
        SongListController list(*f.window.songsPage, f.file);
        f.window.songsPage->edNewSong()->setText("Song");
        list.addSong();
        f.strip(1).program->setValue(1);
        f.output.Close();
        f.device.clearLog();
        f.outLed.hide();

        list.setItemIndex(0);
        list.loadSelectedSong();
        // Sent as edited, the edit kept.
        QCOMPARE(f.strip(1).program->value(), 1);
        f.recall.sendControllerBlock(1);
        QCOMPARE(f.device.log(), QStringList{});
        QVERIFY(!f.lit());
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void refusedSendEndsTheRecall()
    {
        RecallFixture f;
        f.setStrip(1, 1, 5, true);
        f.setStrip(2, 2, 5, false);
        f.c().volume.on->setChecked(true);
        f.device.clearLog();
        f.device.refuseSend(7);
        QVERIFY_THROWS_EXCEPTION(MidiOutputError, f.recall.recallSong());
        QCOMPARE(f.device.log(), QStringList{});

        // Through the song list the error reaches the error display, and the program goes on.
        SongListController list(*f.window.songsPage, f.file);
        f.window.songsPage->edNewSong()->setText("Song");
        list.addSong();
        f.window.root.show();
        QListWidget *songs = f.window.songsPage->lbSongList();
        QTest::mouseClick(songs->viewport(), Qt::LeftButton, {},
                          songs->visualItemRect(songs->item(0)).center());
        QCOMPARE(m_scratch.dialogs()->messages.size(), 1);
        QCOMPARE(m_scratch.dialogs()->messages[0].icon, Dialogs::Icon::Error);
        QVERIFY(!m_scratch.dialogs()->messages[0].text.isEmpty());

        f.device.refuseSend(0);
        QCOMPARE(f.recallNow(), (QStringList{"C0 04 00", "B0 07 3F", "C1 04 00"}));
    }
};

PW_TEST_MAIN(TestSongRecall)
#include "tst_songrecall.moc"
