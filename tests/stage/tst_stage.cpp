// The performance view and the foot-controller bindings, through the real windows on
// in-process MIDI devices.
#include "AppFixture.h"
#include "app/ExtraInputs.h"
#include "support/TestMain.h"

#include "app/MidiSetupPage.h"
#include "midi/MidiIn.h"
#include "platform/IniFile.h"
#include "platform/MidiThruGate.h"
#include "songs/SongListController.h"
#include "songs/SongsPage.h"
#include "stage/FootBindings.h"
#include "stage/FootBindingsBox.h"
#include "stage/PerformanceView.h"
#include "widgets/ActivityLeds.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include <numeric>

Q_DECLARE_METATYPE(MidiThruGate::WindowUse)

namespace
{
using Message = QList<int>; // status, data 1, data 2

// Five songs A..E; song n (0-based) shows program 10 + n on channel n + 1, which goes out
// as 9 + n.
MainWindow &startSet(AppFixture &app)
{
    app.writeFile(app.projects() + QStringLiteral("/Set.txt"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    for (int n = 0; n < 5; ++n)
        app.writeFile(app.projects() + QStringLiteral("/%1.txt").arg(QChar(u'A' + n)),
                      AppFixture::songFile(n + 1, 10 + n));
    app.writeFile(app.settingsPath(), "[Project]\r\nLast one=Set.txt\r\n");
    return app.start();
}

QString recallOf(int row)
{
    return QStringLiteral("C%1 %2 00").arg(row, 1, 16).arg(9 + row, 2, 16, QChar(u'0')).toUpper();
}

void feed(AppFixture &app, const Message &m)
{
    app.ins[0]->feedShort(quint8(m[0]), quint8(m[1]), quint8(m[2]));
}

// Bends on channel 16 and waits until it has come through: whatever was fed before it has
// then been handled. No foot switch takes a bend, not even one being learnt.
void settle(AppFixture &app)
{
    const QString bend = QStringLiteral("EF 01 01");
    const qsizetype before = app.outs[0]->log().count(bend);
    feed(app, {0xEF, 0x01, 0x01});
    QTRY_COMPARE_WITH_TIMEOUT(app.outs[0]->log().count(bend), before + 1, 5000);
}
} // namespace

class TestStage : public QObject
{
    Q_OBJECT

private slots:
    void viewKeysSendWhatTheListSends_data()
    {
        QTest::addColumn<int>("viewKey");
        QTest::addColumn<int>("listKey");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::Key_Space) << 2 << 3;
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << int(Qt::Key_Down) << 2 << 3;
        QTest::newRow("Right") << int(Qt::Key_Right) << int(Qt::Key_Down) << 2 << 3;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << int(Qt::Key_Up) << 2 << 1;
        QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::Key_Up) << 2 << 1;
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::Key_Return) << 2 << 2;
        QTest::newRow("Next on the last song") << int(Qt::Key_Space) << int(Qt::Key_Space) << 4 << 4;
        QTest::newRow("Previous on the first song") << int(Qt::Key_Left) << int(Qt::Key_Up) << 0 << 0;
    }

    void viewKeysSendWhatTheListSends()
    {
        QFETCH(int, viewKey);
        QFETCH(int, listKey);
        QFETCH(int, from);
        QFETCH(int, to);
        AppFixture app;
        MainWindow &form = startSet(app);
        QListWidget *list = form.songsPage().lbSongList();
        PerformanceView &view = form.performanceView();
        view.show();

        const auto press = [&](QWidget *target, int key) {
            form.songList().setItemIndex(from);
            form.songList().loadSelectedSong();
            app.outs[0]->clearLog();
            QTest::keyClick(target, Qt::Key(key));
            return app.outs[0]->log();
        };
        const QStringList byList = press(list, listKey);
        QCOMPARE(list->currentRow(), to);
        const QStringList byView = press(&view, viewKey);
        QCOMPARE(list->currentRow(), to);
        QCOMPARE(byView, byList);
        const bool sends = from != to || viewKey == Qt::Key_Return;
        QCOMPARE(byView.isEmpty(), !sends);
        QCOMPARE(byView.count(recallOf(to)), byView.size());
        QCOMPARE(view.currentSong()->text(), QString(QChar(u'A' + to)));
        QCOMPARE(view.nextSong()->text(),
                 to < 4 ? QStringLiteral("Next: ") + QChar(u'A' + to + 1) : QStringLiteral("End of set"));
        QTest::keyClick(&view, Qt::Key_Escape); // back to the main window
        QVERIFY(!view.isVisible());
    }

    void bindingLearntFromTheInput_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<Message>("press");
        QTest::addColumn<Message>("release");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("to");
        QTest::newRow("Next song by a controller") << int(FootBindings::Next) << Message{0xB0, 64, 127}
                                                   << Message{0xB0, 64, 0} << "controller 1 64" << 3;
        QTest::newRow("Previous song by a note") << int(FootBindings::Previous) << Message{0x99, 36, 100}
                                                 << Message{0x89, 36, 0} << "note 10 36" << 1;
        QTest::newRow("Re-send by a program change")
            << int(FootBindings::Resend) << Message{0xC3, 5, 0} << Message{} << "program 4 5" << 2;
    }

    void bindingLearntFromTheInput()
    {
        QFETCH(int, action);
        QFETCH(Message, press);
        QFETCH(Message, release);
        QFETCH(QString, shown);
        QFETCH(int, to);
        AppFixture app;
        MainWindow &form = startSet(app);
        QListWidget *list = form.songsPage().lbSongList();
        auto *box = form.findChild<FootBindingsBox *>();
        QVERIFY(box);
        // Repeats are the next test's business; here every press counts.
        box->debounce()->setValue(0);
        form.songList().setItemIndex(2);
        form.songList().loadSelectedSong();

        // Learn, then Cancel: the press that follows binds nothing.
        QTest::mouseClick(box->learnButton(action), Qt::LeftButton);
        QTest::mouseClick(box->learnButton(action), Qt::LeftButton);
        feed(app, press);
        settle(app);
        QCOMPARE(box->bindingLabel(action)->text(), QStringLiteral("(none)"));

        QTest::mouseClick(box->learnButton(action), Qt::LeftButton);
        feed(app, press);
        QTRY_COMPARE_WITH_TIMEOUT(box->bindingLabel(action)->text(), shown, 5000);
        if (!release.isEmpty())
            feed(app, release);
        settle(app);
        QCOMPARE(list->currentRow(), 2); // learning does not act

        app.outs[0]->clearLog();
        feed(app, press);
        if (!release.isEmpty())
            feed(app, release);
        settle(app);
        QCOMPARE(list->currentRow(), to);
        QVERIFY(app.outs[0]->log().contains(recallOf(to)));

        QTest::mouseClick(form.setupPage().ToolButton1(), Qt::LeftButton);
        static const char *const keys[] = {"Next song", "Previous song", "Re-send"};
        QCOMPARE(IniFile(app.settingsPath())
                     .readString(QStringLiteral("Foot controller"), QLatin1String(keys[action]), QString()),
                 shown);

        QTest::mouseClick(box->clearButton(action), Qt::LeftButton);
        QCOMPARE(box->bindingLabel(action)->text(), QStringLiteral("(none)"));
        app.outs[0]->clearLog();
        feed(app, press);
        settle(app);
        QCOMPARE(list->currentRow(), to);
        QVERIFY(!app.outs[0]->log().contains(recallOf(to)));
    }

    // A click beside the songs clears the list's selection, not the place in the set.
    void strayClickKeepsThePlace()
    {
        AppFixture app;
        MainWindow &form = startSet(app);
        QListWidget *list = form.songsPage().lbSongList();
        PerformanceView &view = form.performanceView();
        view.show();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        QCOMPARE(view.currentSong()->text(), QStringLiteral("C"));
        const QPoint beside = list->visualItemRect(list->item(4)).bottomLeft() + QPoint(4, 12);
        QVERIFY(list->viewport()->rect().contains(beside) && !list->indexAt(beside).isValid());
        app.outs[0]->clearLog();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, beside);
        QCOMPARE(view.currentSong()->text(), QStringLiteral("C"));
        QCOMPARE(form.songList().selectedIndex(), 2);
        QTest::keyClick(&view, Qt::Key_Space);
        QCOMPARE(app.outs[0]->log(), QStringList{recallOf(3)});
        QCOMPARE(view.currentSong()->text(), QStringLiteral("D"));
    }

    // Controller 64 on channel 1; -1 lets more than the debounce time pass (the pedal is held).
    void onePressActsOnce_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("debounceMs");
        QTest::addColumn<QList<int>>("levels");
        QTest::addColumn<int>("acts");
        const int next = FootBindings::Next, resend = FootBindings::Resend;
        QList<int> ramp(128);
        std::iota(ramp.begin(), ramp.end(), 0);
        QTest::newRow("bounce on press") << next << 150 << QList<int>{127, 0, 127} << 1;
        QTest::newRow("held, bounce on release") << next << 150 << QList<int>{127, -1, 0, 127, 0} << 1;
        QTest::newRow("two presses") << next << 150 << QList<int>{127, -1, 0, -1, 127} << 2;
        QTest::newRow("continuous ramp") << next << 0 << ramp << 1;
        QTest::newRow("back into the band is no release") << next << 0 << QList<int>{127, 40, 127} << 1;
        QTest::newRow("hover around 64, Re-send") << resend << 0 << QList<int>{60, 66, 62, 70, 58, 64} << 1;
        QTest::newRow("released below 32") << resend << 0 << QList<int>{64, 31, 64} << 2;
    }

    void onePressActsOnce()
    {
        QFETCH(int, action);
        QFETCH(int, debounceMs);
        QFETCH(QList<int>, levels);
        QFETCH(int, acts);
        AppFixture app;
        MainWindow &form = startSet(app);
        form.footBindings().setDebounceMs(debounceMs);
        form.footBindings().setBinding(FootBindings::Action(action),
                                       {FootBindings::Binding::Controller, 1, 64});
        form.songList().setItemIndex(0);
        form.songList().loadSelectedSong();
        app.outs[0]->clearLog();
        for (int level : levels) {
            if (level < 0) {
                settle(app);
                QTest::qWait(2 * debounceMs); // the hold: time passes, nothing is awaited
            } else {
                feed(app, {0xB0, 64, level});
            }
        }
        settle(app);
        // Each act sends one song, one program change.
        const QStringList recalls = app.outs[0]->log().filter(QRegularExpression(QStringLiteral("^C")));
        QCOMPARE(recalls.size(), acts);
        QCOMPARE(recalls.last(), recallOf(action == FootBindings::Next ? acts : 0));
    }

    void viewCatchesUpWithWhatHappenedWhileItWasClosed_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("open during the song change") << true;
        QTest::newRow("opened after it") << false;
    }

    // The view leaves its lamps and its list alone while they cannot be seen, and follows
    // the main window's lamp only after a recall: either way it ends up showing them.
    void viewCatchesUpWithWhatHappenedWhileItWasClosed()
    {
        QFETCH(bool, openBefore);
        AppFixture app;
        QString set;
        for (int n = 1; n <= 60; ++n) {
            set += QStringLiteral("Song %1\r\n").arg(n);
            app.writeFile(app.projects() + QStringLiteral("/Song %1.txt").arg(n), AppFixture::songFile(1, n));
        }
        app.writeFile(app.projects() + QStringLiteral("/Long.txt"), set.toUtf8());
        app.writeFile(app.settingsPath(), "[Project]\r\nLast one=Long.txt\r\n");
        MainWindow &form = app.start();
        PerformanceView &view = form.performanceView();
        auto *outLed = form.findChild<QToolButton *>(QStringLiteral("OutLed"));
        auto *outLamp = view.findChild<QLabel *>(QStringLiteral("labOutLamp"));
        form.leds().timer()->stop();
        outLed->hide();
        view.resize(640, 400);
        view.show();
        QTRY_VERIFY(outLamp->styleSheet().contains(QStringLiteral("#444")));
        if (!openBefore)
            view.hide();

        form.songList().setItemIndex(59);
        form.songList().loadSelectedSong();
        QVERIFY(outLed->isVisible());
        if (!openBefore)
            view.show();
        QTRY_VERIFY(outLamp->styleSheet().contains(QStringLiteral("bold")));
        QListView *list = view.setList();
        QTRY_VERIFY(list->viewport()->rect().contains(list->visualRect(list->currentIndex())));
        QCOMPARE(view.currentSong()->text(), QStringLiteral("Song 60"));
    }

    // The thru gate's table: which messages "Don't forward remote messages" keeps out.
    void remoteMessagesKeptOutOfThru_data()
    {
        QTest::addColumn<bool>("dontForward");
        QTest::addColumn<bool>("learning");
        QTest::addColumn<Message>("message");
        QTest::addColumn<bool>("passedOn");
        QTest::addColumn<int>("row");       // the song selected afterwards
        QTest::addColumn<QString>("input"); // the input it comes in at, and its switches
        // Whether the window is handed it, too, amid a run of notes it only shows (or only
        // the last of a run of its like).
        QTest::addColumn<MidiThruGate::WindowUse>("windowUse");
        const auto every = MidiThruGate::WindowUse::Every;
        const auto showsOnly = MidiThruGate::WindowUse::ShowsOnly;
        const Message pedal{0xB0, 64, 127};
        const Message remote{0xC0, 3, 0};
        QTest::newRow("pedal, forwarded") << false << false << pedal << true << 1 << "main" << every;
        QTest::newRow("pedal, kept out") << true << false << pedal << false << 1 << "main" << every;
        QTest::newRow("pedal released, kept out")
            << true << false << Message{0xB0, 64, 0} << false << 0 << "main" << every;
        QTest::newRow("pedal's controller on another channel")
            << true << false << Message{0xB1, 64, 127} << true << 0 << "main" << showsOnly;
        QTest::newRow("another controller")
            << true << false << Message{0xB0, 7, 100} << true << 0 << "main" << showsOnly;
        QTest::newRow("remote, forwarded") << false << false << remote << true << 3 << "main" << every;
        QTest::newRow("remote, kept out") << true << false << remote << false << 3 << "main" << every;
        QTest::newRow("bank select") << true << false << Message{0xB0, 0, 5} << true << 0 << "main"
                                     << MidiThruGate::WindowUse::LastOfRun;
        QTest::newRow("program change on another channel")
            << true << false << Message{0xC1, 3, 0} << true << 0 << "main" << every;
        QTest::newRow("learning: a press, kept out")
            << true << true << Message{0x90, 60, 100} << false << 0 << "main" << every;
        QTest::newRow("learning: a release, forwarded")
            << true << true << Message{0x80, 60, 0} << true << 0 << "main" << every;
        QTest::newRow("learning: a press, forwarded")
            << false << true << Message{0xB0, 5, 127} << true << 0 << "main" << every;
        QTest::newRow("extra input: pedal kept out")
            << true << false << pedal << false << 1 << "extra" << every;
        QTest::newRow("extra input: remote") << false << false << remote << true << 3 << "extra" << every;
        QTest::newRow("extra input without thru: another controller")
            << false << false << Message{0xB0, 7, 100} << false << 0 << "extra, no thru" << showsOnly;
        QTest::newRow("extra input without thru: the pedal steps")
            << false << false << pedal << false << 1 << "extra, no thru" << every;
        QTest::newRow("extra input not heard: the pedal plays")
            << true << false << pedal << true << 0 << "extra, not heard" << showsOnly;
        QTest::newRow("extra input not heard: remote plays")
            << true << false << remote << true << 0 << "extra, not heard" << every;
        QTest::newRow("main input not heard: remote plays")
            << true << false << remote << true << 0 << "main, not heard" << every;
    }

    void remoteMessagesKeptOutOfThru()
    {
        QFETCH(bool, dontForward);
        QFETCH(bool, learning);
        QFETCH(Message, message);
        QFETCH(bool, passedOn);
        QFETCH(int, row);
        QFETCH(QString, input);
        QFETCH(MidiThruGate::WindowUse, windowUse);
        AppFixture app;
        MainWindow &form = startSet(app);
        form.setupPage().ckbRemote()->setChecked(true);
        const bool heard = !input.endsWith(QStringLiteral("not heard"));
        const bool extra = input.startsWith(QStringLiteral("extra"));
        if (extra)
            form.extraInputs().add(
                {QStringLiteral("Pads"), !input.endsWith(QStringLiteral("no thru")), heard, heard});
        form.extraInputs().setMainRemote(heard || extra);
        form.extraInputs().setMainSwitches(heard || extra);
        form.footBindings().setBinding(FootBindings::Next, {FootBindings::Binding::Controller, 1, 64});
        if (learning)
            form.footBindings().learn(FootBindings::Previous);
        auto *box = form.findChild<FootBindingsBox *>();
        QVERIFY(!box->dontForward()->isChecked());
        box->dontForward()->setChecked(dontForward);
        QCOMPARE(app.midi.thruGate().windowUse(quint8(message[0]), quint8(message[1]), quint8(message[2]),
                                               extra ? 1 : 0),
                 windowUse);
        app.outs[0]->clearLog();
        if (extra) {
            MidiInputPort &pads = form.extraInputs().port(0);
            QVERIFY(pads.IsOpen());
            app.ins[1]->feedShort(quint8(message[0]), quint8(message[1]), quint8(message[2]));
            app.ins[1]->feedShort(0xEF, 0x01, 0x01);
            QTRY_COMPARE_WITH_TIMEOUT(pads.LastStatus(), quint8(0xEF), 5000);
        } else {
            feed(app, message);
        }
        settle(app);
        const QString bytes = QStringLiteral("%1 %2 %3")
                                  .arg(message[0], 2, 16, QChar(u'0'))
                                  .arg(message[1], 2, 16, QChar(u'0'))
                                  .arg(message[2], 2, 16, QChar(u'0'))
                                  .toUpper();
        QCOMPARE(app.outs[0]->log().contains(bytes), passedOn);
        // Kept out of thru or not, the message did its work.
        QCOMPARE(form.songsPage().lbSongList()->currentRow(), row);
    }
};

PW_TEST_MAIN(TestStage)
#include "tst_stage.moc"
