// Incoming MIDI as real sources send it, end to end on JACK: a client of the test's own
// writes exact events into the program's input and records what the program's thru
// sends back.
#include "support/TestMain.h"

#include "../platform/JackTestServer.h"
#include "app/ProgramWindows.h"
#include "app/tForm1.h"
#include "midi/MidiIn.h"
#include "platform/AppPaths.h"
#include "platform/MidiSystem.h"
#include "support/JackEventClient.h"
#include "support/MidiBytes.h"
#include "support/RecordingDialogs.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>

namespace
{

// Resident memory in KiB, from the kernel's own figure.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

class TestJackStream : public QObject
{
    Q_OBJECT

    std::unique_ptr<MidiSystem> m_system;
    std::unique_ptr<JackEventClient> m_source;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<ProgramWindows> m_program;

    // The program, playing from the test client into the test client; returns once an
    // event makes the round trip.
    void startProgram()
    {
        m_program = std::make_unique<ProgramWindows>(
            *m_system, tForm1::Options{m_source->inputName(), m_source->outputName()}, nullptr);
        m_program->Form1().show();
        QVERIFY(m_program->Form1().MidiIn().IsOpen());
        // A connection made now may miss the next cycle: a song select each half second
        // until one comes back, then a last one; what was still on its way arrives before it.
        m_source->clearReceived();
        QDeadlineTimer deadline(20000);
        for (int probe = 0; m_source->receivedBytes().isEmpty() && !deadline.hasExpired(); ++probe) {
            m_source->send({QByteArray::fromHex("F3") + char(probe & 0x3F)});
            (void)QTest::qWaitFor([this] { return !m_source->receivedBytes().isEmpty(); }, 500);
        }
        const QByteArray last = QByteArray::fromHex("F37F");
        m_source->send({last});
        QTRY_VERIFY_WITH_TIMEOUT(m_source->receivedBytes().endsWith(last), 20000);
        m_source->clearReceived();
    }
    QString inputLosses() const
    {
        return m_program->Form1().statusBar()->findChild<QLabel *>(QStringLiteral("lbOverflow"))->text();
    }

private slots:
    void initTestCase()
    {
        PW_REQUIRE_JACK();
        // A client another test just killed can keep the server from taking new ones for
        // a moment.
        QString why;
        QDeadlineTimer deadline(20000);
        while (!(m_system = createMidiSystem(QStringLiteral("jack"), &why)) && !deadline.hasExpired())
            QTest::qWait(200);
        QVERIFY2(m_system, qPrintable(why));
        m_source = std::make_unique<JackEventClient>(
            QStringLiteral("pw-source-%1").arg(QCoreApplication::applicationPid()));
        QVERIFY(m_source->isOpen());
        m_dialogs = std::make_unique<RecordingDialogs>();
        m_data = std::make_unique<QTemporaryDir>();
        AppPaths::setDataDir(m_data->path());
    }
    void cleanupTestCase()
    {
        m_program.reset();
        m_system.reset();
        m_source.reset();
    }
    void cleanup() { m_program.reset(); }

    // Each row: the events the source writes, the bytes that must come out, and what the
    // status bar counts. Never a dialog.
    void thru_data()
    {
        QTest::addColumn<Events>("events");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("losses");
        QTest::newRow("running status and a lone end of SysEx")
            << hexEvents({"90 3C 40", "3D 40", "F7", "80 3C 00"})
            << QByteArray::fromHex("903C40 903D40 803C00") << "MIDI in: 1 lost (malformed 1)";
        QTest::newRow("unfinished SysEx broken by notes")
            << hexEvents({"F0 43 10 01", "90 3C 40", "80 3C 00", "C0 05", "F0 7E 01 F7"})
            << QByteArray::fromHex("903C40 803C00 C005 F07E01F7") << "MIDI in: 1 lost (malformed 1)";
        QTest::newRow("real-time during a SysEx") << hexEvents({"F0 43 10", "F8", "01 FE 02 F7"})
                                                  << QByteArray::fromHex("F8 FE F0431001 02F7") << QString();
        QTest::newRow("two messages in one event, an incomplete one")
            << hexEvents({"B0 07 64 B0 0A 20", "90 3C", "80 3C 00"})
            << QByteArray::fromHex("B00764 B00A20 803C00") << "MIDI in: 1 lost (malformed 1)";
        const QByteArray big = sysexOf(300000);
        QTest::newRow("300 000-byte SysEx in 1 000-byte events") << cut(big, 1000) << big << QString();
        Events smalls;
        QByteArray smallOut;
        for (int i = 0; i < 32; ++i) {
            smalls << sysexOf(12, i);
            smallOut += sysexOf(12, i);
        }
        QTest::newRow("32 small SysEx in one cycle") << smalls << smallOut << QString();
        QByteArray dumps;
        for (int i = 0; i < 3; ++i)
            dumps += sysexOf(65536, i);
        QTest::newRow("three 64 KiB dumps back to back") << cut(dumps, 1000) << dumps << QString();
    }
    void thru()
    {
        QFETCH(Events, events);
        QFETCH(QByteArray, out);
        QFETCH(QString, losses);
        startProgram();
        if (QTest::currentTestFailed())
            return;
        m_source->send(events);
        QTRY_COMPARE_WITH_TIMEOUT(m_source->receivedBytes().size(), out.size(), 30000);
        QCOMPARE(m_source->receivedBytes(), out);
        QTRY_COMPARE(inputLosses(), losses);
        QVERIFY(m_dialogs->messages.isEmpty());
    }

    // A flood of events no message can be made of: the window keeps answering, nothing
    // piles up, and the next good message goes through. (A cycle the loaded server skips
    // loses its events before they reach us, so the count is only checked to add up.)
    void malformedFlood()
    {
        startProgram();
        if (QTest::currentTestFailed())
            return;
        const qint64 before = residentKiB();
        m_source->send(Events(100000, QByteArray("\xF7", 1)));
        QTRY_VERIFY_WITH_TIMEOUT(m_source->sent(), 60000);
        const QByteArray good = QByteArray::fromHex("C007");
        QDeadlineTimer deadline(30000);
        while (m_source->receivedBytes().isEmpty() && !deadline.hasExpired()) {
            m_source->send({good});
            (void)QTest::qWaitFor([this] { return !m_source->receivedBytes().isEmpty(); }, 1000);
        }
        const QByteArray got = m_source->receivedBytes();
        QVERIFY(!got.isEmpty());
        QCOMPARE(got, good.repeated(got.size() / 2));
        static const QRegularExpression counted(QStringLiteral("^MIDI in: (\\d+) lost \\(malformed \\1\\)$"));
        QTRY_VERIFY2(counted.match(inputLosses()).hasMatch(), qPrintable(inputLosses()));
        qInfo("%s", qPrintable(inputLosses()));
        QVERIFY(m_dialogs->messages.isEmpty());
        const qint64 grown = residentKiB() - before;
        qInfo("resident memory grew by %lld KiB over the flood", grown);
        QVERIFY2(grown < 16 * 1024, qPrintable(QString::number(grown)));
    }
};

PW_TEST_MAIN(TestJackStream)
#include "tst_jackstream.moc"
