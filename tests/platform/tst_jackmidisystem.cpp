#include "support/TestMain.h"

#include "JackTestServer.h"
#include "platform/JackMidiSystem.h"
#include "support/JackEventClient.h"

#include <QScopeGuard>

#include <atomic>
#include <pthread.h>

// The driver thread must neither allocate nor lock. Every allocation and every mutex taken
// in this process passes through here, and those on the driver thread are counted.
namespace
{
pthread_t mainThread = pthread_self();
std::atomic<pthread_t> driverThread{0};
std::atomic<int> driverAllocations{0};
std::atomic<int> driverLocks{0};

[[maybe_unused]] bool onDriverThread()
{
    const pthread_t driver = driverThread.load(std::memory_order_relaxed);
    return driver != 0 && pthread_equal(driver, pthread_self());
}
} // namespace

// The sanitizers bring allocators and lock interceptors of their own, which these would
// shadow: there the check below is skipped, and the plain build makes it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PW_DRIVER_HOOKS 0
#else
#define PW_DRIVER_HOOKS 1
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
// glibc's own lock under its old versioned name, which this file's lock passes on to.
__asm__(".symver realMutexLock,__pthread_mutex_lock@GLIBC_2.2.5");
int realMutexLock(pthread_mutex_t *);

void *malloc(size_t size)
{
    if (onDriverThread())
        driverAllocations.fetch_add(1);
    return __libc_malloc(size);
}
void *calloc(size_t count, size_t size)
{
    if (onDriverThread())
        driverAllocations.fetch_add(1);
    return __libc_calloc(count, size);
}
void *realloc(void *old, size_t size)
{
    if (onDriverThread())
        driverAllocations.fetch_add(1);
    return __libc_realloc(old, size);
}
int pthread_mutex_lock(pthread_mutex_t *mutex)
{
    if (onDriverThread())
        driverLocks.fetch_add(1);
    return realMutexLock(mutex);
}
}
#endif

// The JACK backend against JACK clients of the test's own: raw bytes, one cycle per
// batch, lists and loops that follow the server, and a server that stops and comes back.
namespace
{

class ChangeCounter : public QObject
{
public:
    int count = 0;
    bool event(QEvent *e) override
    {
        if (e->type() != MidiSystemChangedEvent::EventType)
            return QObject::event(e);
        ++count;
        return true;
    }
};

int outDevice(MidiSystem &system, const QString &name)
{
    const int count = system.outDeviceCount();
    for (int i = 0; i < count; ++i) {
        MidiOutCaps caps;
        if (system.outCaps(i, caps) == 0 && caps.name == name)
            return i;
    }
    return -1;
}

QStringList listed(MidiSystem &system)
{
    QStringList names;
    for (int i = 0, count = system.outDeviceCount(); i < count; ++i) {
        MidiOutCaps caps;
        system.outCaps(i, caps);
        names << caps.name;
    }
    for (int i = 0, count = system.inDeviceCount(); i < count; ++i) {
        MidiInCaps caps;
        system.inCaps(i, caps);
        names << caps.name;
    }
    return names;
}

QByteArray sysex(int length)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char(i == 0 ? 0xF0 : i == length - 1 ? 0xF7 : (i * 13) % 128);
    return bytes;
}

// Sends bytes as they are through a long message.
quint16 sendBytes(MidiSystem &system, MidiOutHandle handle, QByteArray &bytes, MidiHeader &header)
{
    header = MidiHeader();
    header.data = reinterpret_cast<quint8 *>(bytes.data());
    header.bufferLength = quint32(bytes.size());
    system.outPrepare(handle, &header);
    return system.outLong(handle, &header);
}

} // namespace

class TestJackMidiSystem : public QObject
{
    Q_OBJECT

    std::unique_ptr<JackMidiSystem> m_system;
    ChangeCounter m_changes;
    std::unique_ptr<JackEventClient> m_synth;
    MidiOutHandle m_toSynth = 0;

    QString ownPort(const QString &port) const { return m_system->ownClientName() + u':' + port; }

private slots:
    void initTestCase()
    {
        PW_REQUIRE_JACK();
        QString why;
        m_system = JackMidiSystem::create(&why);
        QVERIFY2(m_system, qPrintable(why));
        QVERIFY(m_system->reportsChanges());
        m_system->setChangeWatcher(&m_changes);
        m_synth = std::make_unique<JackEventClient>("pw-synth");
        QVERIFY(m_synth->isOpen());
        const int device = outDevice(*m_system, m_synth->inputName());
        QVERIFY(device >= 0);
        QCOMPARE(m_system->outOpen(m_toSynth, device, nullptr), quint16(0));
    }

    void cleanupTestCase()
    {
        if (m_system && m_toSynth)
            m_system->outClose(m_toSynth);
        m_toSynth = 0;
        m_system.reset();
        m_synth.reset();
    }

    void init() { m_synth->clearReceived(); }

    void bytesLeaveAsSent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("running status") << QByteArray("\x3D\x40", 2);
        QTest::newRow("lone end of SysEx") << QByteArray("\xF7", 1);
        QTest::newRow("two messages in one") << QByteArray("\xB0\x07\x64\xB0\x0A\x20", 6);
        QTest::newRow("incomplete") << QByteArray("\x90\x3C", 2);
        QTest::newRow("clock inside SysEx") << QByteArray("\xF0\x7D\xF8\x01\xF7", 5);
        QTest::newRow("SysEx of 100 000 bytes") << sysex(100000);
    }

    void bytesLeaveAsSent()
    {
        QFETCH(QByteArray, bytes);
        const int xruns = m_synth->xruns();
        MidiHeader header;
        QCOMPARE(sendBytes(*m_system, m_toSynth, bytes, header), quint16(0));
        (void)QTest::qWaitFor([&] { return m_synth->receivedBytes().size() >= bytes.size(); }, 10000);
        if (m_synth->receivedBytes() != bytes && m_synth->serverFaltered(xruns))
            return;
        QCOMPARE(m_synth->receivedBytes(), bytes);
    }

    void batchLeavesInOneCycle_data()
    {
        QTest::addColumn<bool>("inOneCall");
        QTest::newRow("one by one") << false;
        QTest::newRow("in one call") << true;
    }

    void batchLeavesInOneCycle()
    {
        QFETCH(bool, inOneCall);
        const int xruns = m_synth->xruns();
        // A song recall: 16 strips of 9 messages, handed over without a pause.
        QList<QByteArray> expected;
        std::vector<quint32> messages;
        for (int channel = 0; channel < 16; ++channel) {
            for (int i = 0; i < 9; ++i) {
                const quint8 status = quint8((i == 0 ? 0xC0 : 0xB0) | channel);
                const quint8 data1 = quint8(i == 0 ? channel : i);
                const quint8 data2 = quint8(channel * 8 + i);
                messages.push_back(status | data1 << 8 | data2 << 16);
                const char bytes[3] = {char(status), char(data1), char(data2)};
                expected << QByteArray(bytes, i == 0 ? 2 : 3);
            }
        }
        if (inOneCall) {
            size_t sent = 0;
            QCOMPARE(m_system->outShorts(m_toSynth, messages, sent), quint16(0));
            QCOMPARE(sent, messages.size());
        } else {
            for (const quint32 message : messages)
                QCOMPARE(m_system->outShort(m_toSynth, message), quint16(0));
        }
        (void)QTest::qWaitFor([this] { return m_synth->receivedCount() >= 144; }, 10000);
        const QList<JackEventClient::Event> events = m_synth->received();
        QList<QByteArray> bytes;
        bool oneCycle = true;
        for (const auto &event : events) {
            bytes << event.bytes;
            oneCycle = oneCycle && event.cycle == events.first().cycle;
        }
        if ((bytes != expected || !oneCycle) && m_synth->serverFaltered(xruns))
            return;
        QCOMPARE(bytes, expected);
        QVERIFY(oneCycle);
    }

    void batchBeyondTheRingEndsAtTheFirstRefused()
    {
        // More than the ring holds, in one call: what fits goes, in order, and the rest is
        // refused without waiting for the driver to make room. A sink of its own, closed
        // before the ring has drained, so that the next test hears none of it.
        JackEventClient sink("pw-sink");
        QVERIFY(sink.isOpen());
        MidiOutHandle handle = 0;
        QCOMPARE(m_system->outOpen(handle, outDevice(*m_system, sink.inputName()), nullptr), quint16(0));
        // A new connection takes effect at a later cycle: until one message has come
        // through, what is sent may be lost on the way. Those sent to find out (0xFE, which
        // the batch never holds) all come before the batch.
        QTRY_VERIFY_WITH_TIMEOUT(sink.receivedCount() > 0 || (m_system->outShort(handle, 0xFE), false),
                                 10000);
        const auto batchArrived = [&sink] {
            const QByteArray bytes = sink.receivedBytes();
            return bytes.sliced(bytes.lastIndexOf(char(0xFE)) + 1);
        };
        std::vector<quint32> messages(300000);
        QByteArray all;
        for (size_t i = 0; i < messages.size(); ++i) {
            const char bytes[3] = {char(0xB0 | (i % 16)), char((i / 16) % 128), char((i / 2048) % 128)};
            messages[i] = quint8(bytes[0]) | quint8(bytes[1]) << 8 | quint8(bytes[2]) << 16;
            all.append(bytes, 3);
        }
        size_t sent = 0;
        const quint16 result = m_system->outShorts(handle, messages, sent);
        QCOMPARE(result, quint16(MidiResult::NotReady));
        QVERIFY(sent > 1000 && sent < messages.size());
        // The first cycles' worth: a loaded server may drop a later cycle (an xrun).
        QTRY_VERIFY_WITH_TIMEOUT(batchArrived().size() >= 3000, 10000);
        QCOMPARE(batchArrived().left(3000), all.left(3000));
        QCOMPARE(m_system->outClose(handle), quint16(0));
    }

    void fullRingRefusesWithoutWaiting()
    {
        // Without a pass of the event loop nothing is handed over, so the ring fills.
        const int xruns = m_synth->xruns();
        std::vector<QByteArray> blocks;
        std::vector<MidiHeader> headers(64);
        quint16 result = 0;
        int accepted = 0;
        while (accepted < 64 && result == 0) {
            blocks.push_back(sysex(60000));
            result = sendBytes(*m_system, m_toSynth, blocks.back(), headers[size_t(accepted)]);
            accepted += result == 0;
        }
        QCOMPARE(result, quint16(MidiResult::NotReady));
        QVERIFY(accepted >= 8);
        (void)QTest::qWaitFor([&] { return m_synth->receivedBytes().size() >= accepted * 60000; }, 20000);
        const QByteArray got = m_synth->receivedBytes();
        if ((got.size() != accepted * 60000 || got.left(60000) != blocks.front()) &&
            m_synth->serverFaltered(xruns))
            return;
        QCOMPARE(got.size(), accepted * 60000);
        QCOMPARE(got.left(60000), blocks.front());
    }

    // Input of every shape and output in the same cycles, with the driver thread watched.
    void driverThreadNeitherAllocatesNorLocks()
    {
        if (!PW_DRIVER_HOOKS)
            QSKIP("The sanitizer's own allocator and locks stand in for the hooks in this build");
        struct Seen {
            std::atomic<int> messages{0};
            static void callback(MidiInHandle, quint32, quintptr instance, quintptr, quintptr)
            {
                if (!pthread_equal(pthread_self(), mainThread))
                    driverThread.store(pthread_self());
                reinterpret_cast<Seen *>(instance)->messages.fetch_add(1);
            }
        } seen;
        MidiInHandle in = 0;
        int device = -1;
        for (int i = 0, count = m_system->inDeviceCount(); i < count && device < 0; ++i) {
            MidiInCaps caps;
            if (m_system->inCaps(i, caps) == 0 && caps.name == m_synth->outputName())
                device = i;
        }
        QCOMPARE(m_system->inOpen(in, device, &Seen::callback, reinterpret_cast<quintptr>(&seen)),
                 quint16(0));
        std::vector<QByteArray> space(16, QByteArray(256, '\0'));
        std::vector<MidiHeader> headers(space.size());
        for (size_t i = 0; i < space.size(); ++i) {
            headers[i].data = reinterpret_cast<quint8 *>(space[i].data());
            headers[i].bufferLength = 256;
            QCOMPARE(m_system->inPrepare(in, &headers[i]), quint16(0));
            QCOMPARE(m_system->inAddBuffer(in, &headers[i]), quint16(0));
        }
        QCOMPARE(m_system->inStart(in), quint16(0));
        m_synth->send({QByteArray("\xFE", 1)});
        QTRY_VERIFY_WITH_TIMEOUT(driverThread.load() != 0, 5000);
        driverAllocations = 0;
        driverLocks = 0;
        const int before = seen.messages;
        const int xruns = m_synth->xruns();

        const QByteArray big = sysex(1000);
        m_synth->send({QByteArray("\x90\x3C\x40\x3D\x40", 5), QByteArray("\xF7", 1), big.left(300),
                       QByteArray("\xF8", 1), big.mid(300), QByteArray("\xB0\x07\x64\xB0\x0A\x20", 6)});
        for (int i = 0; i < 20; ++i)
            QCOMPARE(m_system->outShort(m_toSynth, 0x0040B0 | quint32(i) << 8), quint16(0));
        // Two notes, the clock, the SysEx in four buffers and two controllers.
        (void)QTest::qWaitFor([&] { return seen.messages - before >= 9 && m_synth->receivedCount() >= 20; },
                              5000);
        // Whatever the server lost, the driver thread's own conduct is still checked below.
        const bool whole = seen.messages - before == 9 && m_synth->receivedCount() == 20;
        if (whole || !m_synth->serverFaltered(xruns)) {
            QCOMPARE(seen.messages - before, 9);
            QCOMPARE(m_synth->receivedCount(), 20);
        }
        QCOMPARE(driverAllocations.load(), 0);
        QCOMPARE(driverLocks.load(), 0);
        driverThread = 0;
        QCOMPARE(m_system->inReset(in), quint16(0));
        QCOMPARE(m_system->inClose(in), quint16(0));
    }

    void ownPortsAreNeverListed()
    {
        MidiOutHandle out = 0;
        MidiInHandle in = 0;
        QCOMPARE(m_system->outOpen(out, -1, nullptr), quint16(0));
        QCOMPARE(m_system->inOpen(
                     in, -1, [](MidiInHandle, quint32, quintptr, quintptr, quintptr) {}, 0),
                 quint16(0));
        MidiInCaps caps;
        QCOMPARE(m_system->inCaps(-1, caps), quint16(0));
        QCOMPARE(caps.name, JackMidiSystem::ownInputName());
        const QStringList names = listed(*m_system);
        QVERIFY(names.contains(m_synth->inputName()));
        QVERIFY2(names.filter(m_system->ownClientName() + u':').isEmpty(), qPrintable(names.join(", ")));

        // Our output wired to our input in a patch bay is a loop, and says so.
        const int changes = m_changes.count;
        QVERIFY(!m_system->loopedBack());
        QVERIFY(m_synth->connect(ownPort(JackMidiSystem::ownOutputName()),
                                 ownPort(JackMidiSystem::ownInputName())));
        QTRY_VERIFY_WITH_TIMEOUT(m_system->loopedBack(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_changes.count > changes, 5000);
        QVERIFY(m_synth->disconnect(ownPort(JackMidiSystem::ownOutputName()),
                                    ownPort(JackMidiSystem::ownInputName())));
        QTRY_VERIFY_WITH_TIMEOUT(!m_system->loopedBack(), 5000);
        QCOMPARE(m_system->inClose(in), quint16(0));
        QCOMPARE(m_system->outClose(out), quint16(0));
    }

    void listsFollowOtherClients()
    {
        int changes = m_changes.count;
        auto keyboard = std::make_unique<JackEventClient>("pw-keyboard");
        QVERIFY(keyboard->isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(m_changes.count > changes, 5000);
        QVERIFY(listed(*m_system).contains(keyboard->outputName()));
        const QString gone = keyboard->outputName();
        changes = m_changes.count;
        keyboard.reset();
        QTRY_VERIFY_WITH_TIMEOUT(m_changes.count > changes, 5000);
        QVERIFY(!listed(*m_system).contains(gone));
    }

    // An output prepared while the program starts is the port it opens, connected already;
    // opened on another device, the prepared port goes and the new one takes its name.
    void preparedOutput_data()
    {
        QTest::addColumn<bool>("sameDevice");
        QTest::newRow("opened on the prepared device") << true;
        QTest::newRow("opened on another device") << false;
    }

    void preparedOutput()
    {
        QFETCH(bool, sameDevice);
        JackEventClient other(QStringLiteral("pw-other"));
        QVERIFY(other.isOpen());
        JackMidiSystem::openEarly();
        JackMidiSystem::prepareEarlyOutput(sameDevice ? m_synth->inputName() : other.inputName());
        QString why;
        const std::unique_ptr<JackMidiSystem> system = JackMidiSystem::create(&why);
        QVERIFY2(system, qPrintable(why));
        MidiOutHandle out = 0;
        QCOMPARE(system->outOpen(out, outDevice(*system, m_synth->inputName()), nullptr), quint16(0));
        const QString ours = system->ownClientName() + u':';
        QCOMPARE(m_synth->connections(m_synth->inputName()).filter(ours),
                 QStringList{ours + JackMidiSystem::ownOutputName()});
        QCOMPARE(other.connections(other.inputName()), QStringList());
        QCOMPARE(system->outShort(out, 0x05C2), quint16(0));
        PW_TRY_ARRIVES(*m_synth, m_synth->receivedBytes() == QByteArray("\xC2\x05", 2), 5000);
        QCOMPARE(system->outClose(out), quint16(0));
    }

    // Last: libjack keeps one server's state per process, so the fixture's clients on the
    // run's server close first.
    void serverStopsAndComesBack()
    {
        cleanupTestCase();
        const QByteArray previous = qgetenv("JACK_DEFAULT_SERVER");
        const QString name = QStringLiteral("pwjack-back-%1").arg(QCoreApplication::applicationPid());
        auto server = std::make_unique<PrivateJackServer>(name);
        QVERIFY2(server->waitReady(), qPrintable(server->output()));
        qputenv("JACK_DEFAULT_SERVER", name.toLocal8Bit());
        const auto restore = qScopeGuard([&] { qputenv("JACK_DEFAULT_SERVER", previous); });
        QString why;
        auto system = JackMidiSystem::create(&why);
        QVERIFY2(system, qPrintable(why));
        ChangeCounter changes;
        system->setChangeWatcher(&changes);
        MidiOutHandle handle = 0;
        QCOMPARE(system->outOpen(handle, -1, nullptr), quint16(0));

        server->shutDown();
        QTRY_VERIFY_WITH_TIMEOUT(!system->isRunning(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(changes.count > 0, 10000);
        QCOMPARE(system->outShort(handle, 0x403C90), quint16(MidiResult::NoDevice));
        QCOMPARE(system->outDeviceCount(), quint16(0));
        QCOMPARE(system->inDeviceCount(), quint16(0));
        MidiOutHandle other = 0;
        QCOMPARE(system->outOpen(other, -1, nullptr), quint16(MidiResult::NoDevice));
        QCOMPARE(system->outClose(handle), quint16(0));

        const int stopped = changes.count;
        server = std::make_unique<PrivateJackServer>(name);
        QVERIFY2(server->waitReady(), qPrintable(server->output()));
        QTRY_VERIFY_WITH_TIMEOUT(system->isRunning(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(changes.count > stopped, 5000);
        JackEventClient synth("pw-synth");
        QVERIFY(synth.isOpen());
        int device = -1;
        QTRY_VERIFY_WITH_TIMEOUT((device = outDevice(*system, synth.inputName())) >= 0, 5000);
        QCOMPARE(system->outOpen(handle, device, nullptr), quint16(0));
        QCOMPARE(system->outShort(handle, 0x403C90), quint16(0));
        PW_TRY_ARRIVES(synth, synth.receivedBytes() == QByteArray("\x90\x3C\x40"), 10000);
        QCOMPARE(system->outClose(handle), quint16(0));
    }
};

PW_TEST_MAIN(TestJackMidiSystem)
#include "tst_jackmidisystem.moc"
