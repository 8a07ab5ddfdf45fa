// Incoming MIDI as real sources send it (running status, real-time bytes inside other
// messages, SysEx of any size, broken streams), fed as raw driver events into the real
// program on in-process devices.
#include "AppFixture.h"
#include "support/MidiBytes.h"
#include "support/TestMain.h"

#include "app/MainWindow.h"
#include "songs/SongsPage.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <thread>

namespace
{

// The output log with the parts of each SysEx joined, in the log's own spelling.
QStringList joinedOutput(const QStringList &log)
{
    QStringList result;
    bool inSysex = false;
    for (const QString &entry : log) {
        if (inSysex)
            result.last() += QLatin1Char(' ') + entry;
        else
            result << entry;
        if (entry.startsWith(QLatin1String("F0")))
            inSysex = true;
        if (inSysex && entry.endsWith(QLatin1String("F7")))
            inSysex = false;
    }
    return result;
}

QString logSpelling(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Feeds the events on a thread of its own, as a driver would.
void feed(VirtualInput &input, const Events &events)
{
    std::thread driver([&] {
        for (const QByteArray &event : events)
            input.feedBytes(event);
    });
    driver.join();
}

QLabel *statusLabel(MainWindow &form, const char *name)
{
    return form.statusBar()->findChild<QLabel *>(QLatin1String(name));
}

} // namespace

class TestMidiStream : public QObject
{
    Q_OBJECT

private slots:
    // What goes out for what came in, never a dialog; and what the status bar counts.
    void thru_data()
    {
        QTest::addColumn<Events>("events");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("losses");
        QTest::newRow("running status in the next event")
            << hexEvents({"90 3C 40", "3D 40"}) << QStringList{"90 3C 40", "90 3D 40"} << QString();
        QTest::newRow("lone end of SysEx and stray data")
            << hexEvents({"F7", "3D 40", "C0 05"}) << QStringList{"C0 05 00"}
            << "MIDI in: 2 lost (malformed 2)";
        QTest::newRow("unfinished SysEx broken by notes")
            << hexEvents({"F0 43 10 01", "90 3C 40", "C0 05", "F0 7E 01 F7"})
            << QStringList{"90 3C 40", "C0 05 00", "F0 7E 01 F7"} << "MIDI in: 1 lost (malformed 1)";
        QTest::newRow("real-time during a SysEx")
            << hexEvents({"F0 43 10", "F8", "01 FE 02 F7"})
            << QStringList{"F8 00 00", "FE 00 00", "F0 43 10 01 02 F7"} << QString();
        QTest::newRow("two messages in one event, an incomplete one")
            << hexEvents({"B0 07 64 B0 0A 20", "90 3C", "80 3C 00"})
            << QStringList{"B0 07 64", "B0 0A 20", "80 3C 00"} << "MIDI in: 1 lost (malformed 1)";

        const QByteArray big = sysexOf(300000);
        QTest::newRow("300 000-byte SysEx in 1 000-byte events")
            << cut(big, 1000) << QStringList{logSpelling(big)} << QString();
        const QByteArray huge = sysexOf(1 << 20, 5);
        QTest::newRow("1 MiB SysEx in one event")
            << Events{huge} << QStringList{logSpelling(huge)} << QString();
        QByteArray small;
        QStringList smalls;
        for (int i = 0; i < 32; ++i) {
            small += sysexOf(10, i);
            smalls << logSpelling(sysexOf(10, i));
        }
        QTest::newRow("32 small SysEx in one event") << Events{small} << smalls << QString();
        QByteArray dumps;
        QStringList dumpLogs;
        for (int i = 0; i < 3; ++i) {
            dumps += sysexOf(65536, i);
            dumpLogs << logSpelling(sysexOf(65536, i));
        }
        QTest::newRow("three 64 KiB dumps back to back") << Events{dumps} << dumpLogs << QString();
    }
    void thru()
    {
        QFETCH(Events, events);
        QFETCH(QStringList, out);
        QFETCH(QString, losses);
        AppFixture app;
        MainWindow &form = app.start();
        app.outs[0]->clearLog();
        feed(*app.ins[0], events);
        QTRY_COMPARE_WITH_TIMEOUT(joinedOutput(app.outs[0]->log()), out, 20000);
        QTRY_COMPARE(statusLabel(form, "lbOverflow")->text(), losses);
        QVERIFY(app.dialogs.messages.isEmpty());
    }

    // A send the output refuses is counted in the status bar, never shown in a box, and
    // the count goes when a send succeeds again.
    void refusedThruIsCounted()
    {
        AppFixture app;
        MainWindow &form = app.start();
        app.outs[0]->refuseSend(11);
        feed(*app.ins[0], hexEvents({"90 3C 40", "3D 40 3E 40"}));
        QLabel *thru = statusLabel(form, "lbThru");
        QTRY_COMPARE(thru->text(), QStringLiteral("MIDI thru: 3 messages not sent: An invalid parameter was "
                                                  "passed to the MIDI system."));
        QVERIFY(thru->isVisible());
        app.outs[0]->refuseSend(0);
        feed(*app.ins[0], hexEvents({"80 3C 00"}));
        QTRY_VERIFY(!thru->isVisible());
        QCOMPARE(app.outs[0]->log().last(), QStringLiteral("80 3C 00"));
        QVERIFY(app.dialogs.messages.isEmpty());
    }

    // A flood of events no message can be made of leaves the window answering.
    void malformedFlood()
    {
        AppFixture app;
        MainWindow &form = app.start();
        app.outs[0]->clearLog();
        const Events flood(100000, QByteArray("\xF7", 1));
        feed(*app.ins[0], flood);
        feed(*app.ins[0], hexEvents({"C0 07"}));
        QTRY_COMPARE(app.outs[0]->log(), QStringList{"C0 07 00"});
        QTRY_COMPARE(statusLabel(form, "lbOverflow")->text(),
                     QStringLiteral("MIDI in: 100000 lost (malformed 100000)"));
        QVERIFY(app.dialogs.messages.isEmpty());
    }

    // While a dialog waits for its answer, what arrives is still passed on.
    void thruGoesOnWhileADialogIsOpen()
    {
        AppFixture app;
        MainWindow &form = app.start();
        app.outs[0]->clearLog();
        struct WaitingDialogs : RecordingDialogs {
            AppFixture *app = nullptr;
            QStringList seenWhileOpen;
            QString openFile(const FileRequest &request) override
            {
                feed(*app->ins[0], hexEvents({"90 3C 40", "3D 40"}));
                // The dialog's own event loop runs while it waits.
                if (!QTest::qWaitFor([this] { return app->outs[0]->log().size() == 2; }, 10000))
                    return {};
                seenWhileOpen = app->outs[0]->log();
                return RecordingDialogs::openFile(request);
            }
        } dialogs;
        dialogs.app = &app;
        form.findChild<QAction *>(QStringLiteral("LoadProject1"))->trigger();
        QCOMPARE(dialogs.seenWhileOpen, (QStringList{"90 3C 40", "90 3D 40"}));
    }
};

PW_TEST_MAIN(TestMidiStream)
#include "tst_midistream.moc"
