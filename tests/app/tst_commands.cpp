// Incoming MIDI (thru, remote song selection, the mixer's input row) and the one-shot
// commands, through the real windows on in-process MIDI devices.
#include "AppFixture.h"
#include "support/TestMain.h"

#include "app/MidiSetupPage.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "mixer/MixerWindow.h"
#include "songs/ControllerCommandPage.h"
#include "songs/SongsPage.h"
#include "widgets/ActivityLeds.h"
#include "widgets/LedDisplay.h"
#include "widgets/SpinEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

namespace
{
void trigger(MainWindow &form, const char *action)
{
    form.findChild<QAction *>(QLatin1String(action))->trigger();
}

QStringList panicMessages()
{
    QStringList expected;
    for (int channel = 0; channel < 16; ++channel) {
        const QString status = QString::number(0xB0 + channel, 16).toUpper();
        expected << status + QStringLiteral(" 40 00") << status + QStringLiteral(" 78 00")
                 << status + QStringLiteral(" 7B 00");
    }
    return expected;
}
} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private:
    // Five songs in the list, remote on channel <channel>; started, the output log emptied.
    static MainWindow &startRemote(AppFixture &app, int channel)
    {
        app.writeFile(app.projects() + QStringLiteral("/Set.txt"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
        app.writeFile(app.settingsPath(),
                      "[Project]\r\nLast one=Set.txt\r\n[Remote]\r\nStade=1\r\nRemote Channel=" +
                          QByteArray::number(channel) + "\r\n");
        MainWindow &form = app.start();
        app.outs[0]->clearLog();
        return form;
    }

private slots:
    void manualControllerSend()
    {
        AppFixture app;
        MainWindow &form = app.start();
        app.outs[0]->clearLog();
        form.setupPage().MidiSendCh()->setValue(2);
        ControllerCommandPage *page = form.findChild<ControllerCommandPage *>();
        QVERIFY(page);
        page->lbControl()->setCurrentRow(7);
        QCOMPARE(page->seSecond()->value(), 77);
        QTest::mouseClick(page->Button1(), Qt::LeftButton);
        QCOMPARE(app.outs[0]->log(), QStringList{"B1 07 4D"});

        page->seSecond()->setValue(0);
        QTest::mouseClick(page->Button1(), Qt::LeftButton);
        page->seSecond()->findChild<QLineEdit *>()->setText(QStringLiteral("200")); // typed, not yet left
        QTest::mouseClick(page->Button1(), Qt::LeftButton);
        QCOMPARE(app.outs[0]->log(), (QStringList{"B1 07 4D", "B1 07 00", "B1 07 7F"}));
    }

    void manualSendWithoutAController()
    {
        AppFixture app;
        MainWindow &form = app.start();
        app.outs[0]->clearLog();
        app.dialogs.clear();
        QTest::mouseClick(form.findChild<ControllerCommandPage *>()->Button1(), Qt::LeftButton);
        QVERIFY(app.outs[0]->log().isEmpty());
        QCOMPARE(app.dialogs.texts(), QStringList{"Choose a controller in the list first."});
    }

    void commandsWithTheOutputClosed_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("System Reset") << "SystemReset1";
        QTest::newRow("All Notes off") << "AllNotesoff1";
        QTest::newRow("Panic") << "Panic1";
        QTest::newRow("controller") << "";
    }

    void commandsWithTheOutputClosed()
    {
        QFETCH(QString, action);
        AppFixture app;
        app.outs[0]->refuseOpen(4);
        MainWindow &form = app.start();
        QVERIFY(!form.midiOut().IsOpen());
        app.dialogs.clear();
        form.leds().timer()->stop();
        auto *outLed = form.findChild<QToolButton *>(QStringLiteral("OutLed"));
        outLed->hide();
        if (action.isEmpty())
            QTest::mouseClick(form.findChild<ControllerCommandPage *>()->Button1(), Qt::LeftButton);
        else
            trigger(form, action.toLatin1().constData());
        QCOMPARE(app.dialogs.messages.size(), 1);
        QCOMPARE(app.dialogs.messages[0].icon, Dialogs::Icon::Information);
        // Names the output that is not open, as the status bar does, and what to do.
        QVERIFY2(app.dialogs.messages[0].text.contains(QStringLiteral("(MIDI Out: Synth A (closed))")) &&
                     app.dialogs.messages[0].text.contains(QStringLiteral("Midi Setup")),
                 qPrintable(app.dialogs.messages[0].text));
        QVERIFY(!outLed->isVisible());
        QVERIFY(app.outs[0]->log().isEmpty());
    }

    // On the main output and on a unit's port of its own alike: a hung note may be anywhere.
    void systemResetAllNotesOffAndPanic()
    {
        AppFixture app;
        app.writeFile(app.dataDir.filePath("Units.ini"),
                      "[Units]\r\nCount=1\r\n[Unit 1]\r\nName=JV\r\nPort=Synth B\r\n");
        MainWindow &form = app.start();
        form.setupPage().MidiSendCh()->setValue(9); // not used by these
        const auto sends = [&](const char *command, const QStringList &messages) {
            for (VirtualOutput *out : app.outs)
                out->clearLog();
            trigger(form, command);
            for (VirtualOutput *out : app.outs)
                QCOMPARE(out->log(), messages);
        };
        sends("SystemReset1", {"FF 00 00"});
        sends("AllNotesoff1", {"B0 7B 00"});
        sends("Panic1", panicMessages());
    }

    void refusedSendIsShownAndNothingLights()
    {
        AppFixture app;
        MainWindow &form = app.start();
        form.leds().timer()->stop();
        auto *outLed = form.findChild<QToolButton *>(QStringLiteral("OutLed"));
        outLed->hide();
        app.dialogs.clear();
        app.outs[0]->refuseSend(67);
        // Through the menu as a user would, so that the error display catches it.
        QAction *reset = form.findChild<QAction *>(QStringLiteral("SystemReset1"));
        QMetaObject::invokeMethod(reset, &QAction::trigger, Qt::QueuedConnection);
        QTRY_COMPARE(app.dialogs.messages.size(), 1);
        QCOMPARE(app.dialogs.messages[0].icon, Dialogs::Icon::Error);
        QVERIFY(!outLed->isVisible());
    }

    void thruPassesEverythingOnUnchanged()
    {
        AppFixture app;
        MainWindow &form = app.start();
        app.outs[0]->clearLog();
        app.ins[0]->feedShort(0x90, 0x3C, 0x40);
        app.ins[0]->feedShort(0xB3, 0x07, 0x11);
        app.ins[0]->feedSysex(QByteArray::fromHex("F07E7F0901F7"));
        app.ins[0]->feedShort(0x80, 0x3C, 0x00);
        QTRY_COMPARE(app.outs[0]->log().size(), 4);
        QCOMPARE(app.outs[0]->log(), (QStringList{"90 3C 40", "B3 07 11", "F0 7E 7F 09 01 F7", "80 3C 00"}));
        QVERIFY(form.findChild<QToolButton *>(QStringLiteral("InLed"))->isVisible());
    }

    void thruWithTheOutputClosedDrops()
    {
        AppFixture app;
        app.outs[0]->refuseOpen(4);
        MainWindow &form = app.start();
        form.leds().timer()->stop();
        auto *inLed = form.findChild<QToolButton *>(QStringLiteral("InLed"));
        inLed->hide();
        app.ins[0]->feedShort(0x90, 0x3C, 0x40);
        QTRY_VERIFY(inLed->isVisible());
        QVERIFY(app.outs[0]->log().isEmpty());
        QCOMPARE(form.midiIn().PendingCount(), 0);
    }

    void remoteSelectionMovesOnlyTheSelection()
    {
        AppFixture app;
        MainWindow &form = startRemote(app, 16);
        QListWidget *list = form.songsPage().lbSongList();
        QCOMPARE(list->currentRow(), 0);
        const QString before = form.songsPage().LabSong()->text();
        app.ins[0]->feedShort(0xCF, 2, 0);
        QTRY_COMPARE(list->currentRow(), 2);
        // Nothing was loaded or sent but the program change itself, passed through.
        QTRY_COMPARE(app.outs[0]->log(), QStringList{"CF 02 00"});
        QCOMPARE(form.songsPage().LabSong()->text(), before);
    }

    void remoteSelectionIgnores_data()
    {
        QTest::addColumn<bool>("remoteOn");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("program");
        QTest::newRow("remote off") << false << 0xCF << 1;
        QTest::newRow("other channel") << true << 0xC0 << 1;
        QTest::newRow("beyond the last song") << true << 0xCF << 5;
        QTest::newRow("not a program change") << true << 0xBF << 1;
    }

    void remoteSelectionIgnores()
    {
        QFETCH(bool, remoteOn);
        QFETCH(int, status);
        QFETCH(int, program);
        AppFixture app;
        MainWindow &form = startRemote(app, 16);
        form.setupPage().ckbRemote()->setChecked(remoteOn);
        app.ins[0]->feedShort(quint8(status), quint8(program), 0);
        QTRY_COMPARE(app.outs[0]->log().size(), 1); // passed through all the same
        QCOMPARE(form.songsPage().lbSongList()->currentRow(), 0);
    }

    void remoteChannelChangeTakesEffectAtOnce()
    {
        AppFixture app;
        MainWindow &form = startRemote(app, 16);
        form.setupPage().MidiRecCh()->setValue(3);
        app.ins[0]->feedShort(0xC2, 4, 0);
        QTRY_COMPARE(form.songsPage().lbSongList()->currentRow(), 4);
    }

    void remoteSelectionWithTheOutputClosed()
    {
        AppFixture app;
        app.outs[0]->refuseOpen(4);
        MainWindow &form = startRemote(app, 1);
        form.leds().timer()->stop();
        auto *inLed = form.findChild<QToolButton *>(QStringLiteral("InLed"));
        inLed->hide();
        app.ins[0]->feedShort(0xC0, 3, 0);
        QTRY_COMPARE(form.songsPage().lbSongList()->currentRow(), 3);
        QVERIFY(inLed->isVisible());
        QVERIFY(app.outs[0]->log().isEmpty());
    }

    void inputRowInTheMixer()
    {
        AppFixture app;
        MainWindow &form = app.start();
        MixerWindow &mixer = app.windows->mixerWindow();
        auto *message = mixer.findChild<QLineEdit *>(QStringLiteral("edMessage"));
        auto *show = mixer.findChild<QCheckBox *>(QStringLiteral("ckbGetMidi"));
        QVERIFY(message && show);
        app.ins[0]->feedShort(0xC5, 1, 0);
        QTRY_COMPARE(app.outs[0]->log().size(), 1);     // start-up sent nothing; wait for the thru
        QCOMPARE(message->text(), QStringLiteral("0")); // "Show MIDI Input" is off
        show->setChecked(true);
        app.ins[0]->feedShort(0xC5, 1, 0);
        QTRY_COMPARE(message->text(), QStringLiteral("197"));
        QCOMPARE(mixer.findChild<QLabel *>(QStringLiteral("lEvent"))->text(),
                 QStringLiteral("Program change"));
        QCOMPARE(form.midiIn().LastStatus(), 0xC5);

        // Fed here, on the GUI thread, a burst is read out in one go: the row shows its last.
        app.outs[0]->clearLog();
        app.ins[0]->feedShort(0x90, 0x3C, 0x40);
        app.ins[0]->feedShort(0xB3, 7, 100);
        app.ins[0]->feedShort(0xE2, 5, 64);
        QTRY_COMPARE(app.outs[0]->log(), (QStringList{"90 3C 40", "B3 07 64", "E2 05 40"}));
        const auto text = [&](const char *name) { return mixer.findChild<QLineEdit *>(name)->text(); };
        QCOMPARE((QStringList{text("edMessage"), text("edData1"), text("edData2")}),
                 (QStringList{"226", "5", "64"}));
        QCOMPARE(mixer.findChild<QLineEdit *>(QStringLiteral("edChannel"))->text(), QStringLiteral("3"));
    }

    void overflowIsCountedInTheStatusBar()
    {
        AppFixture app;
        MainWindow &form = app.start();
        form.midiIn().Close();
        form.midiIn().setCapacity(4);
        form.midiIn().Open();
        form.midiIn().Start();
        // Fed from here, on the GUI thread, nothing is drained until we return to the loop.
        for (int i = 0; i < 10; ++i)
            app.ins[0]->feedShort(0x90, quint8(i), 0x40);
        auto *label = form.statusBar()->findChild<QLabel *>(QStringLiteral("lbOverflow"));
        QTRY_VERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("MIDI in: 6 lost (overflow 6)"));
        QTRY_COMPARE(app.outs[0]->log().size(), 4);
    }
};

PW_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
