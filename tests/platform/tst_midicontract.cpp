#include "support/TestMain.h"

#include "JackTestServer.h"
#include "platform/JackMidiSystem.h"
#include "platform/MidiSystem.h"
#include "platform/VirtualMidiSystem.h"
#include "support/JackEventClient.h"

#include <QCoreApplication>
#include <QMutex>

#include <vector>

// What every MIDI backend promises the ports, checked on each backend alike. Built once
// per backend (PW_CONTRACT_JACK chooses JACK), so a backend cannot drift from the others.
namespace
{

// Catches what the system delivers on its own thread.
struct Received {
    QMutex lock;
    QList<quint32> shorts;
    QByteArray sysex;
    QList<quint32> chunkLengths;
    QList<quint32> stamps;
    QList<MidiHeader *> returned;

    static void callback(MidiInHandle, quint32 message, quintptr instance, quintptr param1, quintptr param2)
    {
        auto *self = reinterpret_cast<Received *>(instance);
        QMutexLocker locker(&self->lock);
        self->stamps.append(quint32(param2));
        if (message == MidiInMessage::Data) {
            self->shorts.append(quint32(param1));
        } else if (message == MidiInMessage::LongData) {
            auto *header = reinterpret_cast<MidiHeader *>(param1);
            self->sysex.append(reinterpret_cast<const char *>(header->data), int(header->bytesRecorded));
            self->chunkLengths.append(header->bytesRecorded);
            self->returned.append(header);
        }
    }
    int shortCount()
    {
        QMutexLocker locker(&lock);
        return int(shorts.size());
    }
    int sysexSize()
    {
        QMutexLocker locker(&lock);
        return int(sysex.size());
    }
};

// Receives output completions on the GUI thread.
class DoneCatcher : public QObject
{
public:
    QList<MidiHeader *> done;
    bool event(QEvent *e) override
    {
        if (e->type() != MidiOutDoneEvent::EventType)
            return QObject::event(e);
        done.append(static_cast<MidiOutDoneEvent *>(e)->header);
        return true;
    }
};

} // namespace

class TestMidiContract : public QObject
{
    Q_OBJECT

    std::unique_ptr<MidiSystem> m_system;
    VirtualInput *m_virtualSource = nullptr;
    QString m_sourceName;
    QString m_sinkName;
#ifdef PW_CONTRACT_JACK
    // Something to send to and play from: the dummy server has no MIDI ports.
    std::unique_ptr<JackEventClient> m_peer;
#endif

    // Sends a message into the input side: through a virtual device, or through a JACK
    // client's port.
    void inject(const QByteArray &bytes)
    {
        if (m_virtualSource) {
            if (quint8(bytes[0]) == 0xF0)
                m_virtualSource->feedSysex(bytes);
            else
                m_virtualSource->feedShort(quint8(bytes[0]), quint8(bytes.size() > 1 ? bytes[1] : 0),
                                           quint8(bytes.size() > 2 ? bytes[2] : 0));
            return;
        }
#ifdef PW_CONTRACT_JACK
        m_peer->send({bytes});
#endif
    }

    int sinkDevice()
    {
        const int count = m_system->outDeviceCount();
        for (int i = 0; i < count; ++i) {
            MidiOutCaps caps;
            if (m_system->outCaps(i, caps) == 0 && caps.name.endsWith(m_sinkName))
                return i;
        }
        return -1;
    }

    int sourceDevice()
    {
        const int count = m_system->inDeviceCount();
        for (int i = 0; i < count; ++i) {
            MidiInCaps caps;
            if (m_system->inCaps(i, caps) == 0 && caps.name == m_sourceName)
                return i;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
#ifdef PW_CONTRACT_JACK
        PW_REQUIRE_JACK();
        QString why;
        m_system = JackMidiSystem::create(&why);
        QVERIFY2(m_system, qPrintable(why));
        QCOMPARE(m_system->systemName(), QString("JACK"));
        m_peer = std::make_unique<JackEventClient>("pw-contract");
        QVERIFY(m_peer->isOpen());
        m_sinkName = m_peer->inputName();
        m_sourceName = m_peer->outputName();
        QCOMPARE(m_system->outDeviceCount(), m_system->outDeviceCount());
#else
        auto system = std::make_unique<VirtualMidiSystem>();
        system->addOutput("Contract Out");
        m_virtualSource = &system->addInput("Contract In");
        m_sourceName = "Contract In";
        m_sinkName = "Contract Out";
        m_system = std::move(system);
        QCOMPARE(m_system->systemName(), QString("Virtual"));
#endif
    }

    void cleanupTestCase()
    {
        m_system.reset();
#ifdef PW_CONTRACT_JACK
        m_peer.reset();
#endif
    }

    void outputListing()
    {
        const int count = m_system->outDeviceCount();
        QVERIFY(count >= 1);
        QVERIFY(sinkDevice() >= 0);
        for (int i = -1; i < count; ++i) {
            MidiOutCaps caps;
            QCOMPARE(m_system->outCaps(i, caps), quint16(0));
            QVERIFY(!caps.name.isEmpty());
            QCOMPARE(caps.technology, quint16(1));
            QCOMPARE(caps.channelMask, quint16(0xFFFF));
            QCOMPARE(caps.voices, quint16(0));
            QCOMPARE(caps.notes, quint16(0));
        }
        MidiOutCaps own;
        QCOMPARE(m_system->outCaps(-1, own), quint16(0));
        QVERIFY(own.name.endsWith("Patchwarden MIDI Out"));
        MidiOutCaps caps;
        QCOMPARE(m_system->outCaps(count, caps), quint16(MidiResult::BadDeviceId));
        QCOMPARE(m_system->outCaps(-2, caps), quint16(MidiResult::BadDeviceId));
        MidiOutHandle handle = 77;
        QCOMPARE(m_system->outOpen(handle, count, nullptr), quint16(MidiResult::BadDeviceId));
        QCOMPARE(handle, 0u);
    }

    void inputListing()
    {
        const int count = m_system->inDeviceCount();
        QVERIFY(count >= 1);
        QVERIFY(sourceDevice() >= 0);
        MidiInCaps caps;
        // The program's own input port, that other programs play into.
        QCOMPARE(m_system->inCaps(-1, caps), quint16(0));
        QCOMPARE(caps.name, QString("Patchwarden MIDI In"));
        QCOMPARE(m_system->inCaps(count, caps), quint16(MidiResult::BadDeviceId));
        MidiInHandle handle = 77;
        QCOMPARE(m_system->inOpen(handle, count, &Received::callback, 0), quint16(MidiResult::BadDeviceId));
        QCOMPARE(handle, 0u);
    }

    void closedHandles()
    {
        MidiHeader header;
        quint8 byte = 0xF0;
        header.data = &byte;
        header.bufferLength = 1;
        QCOMPARE(m_system->outShort(0, 0x90), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->outPrepare(0, &header), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->outLong(0, &header), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->outUnprepare(0, &header), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->outReset(0), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->outClose(0), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->inPrepare(0, &header), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->inAddBuffer(0, &header), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->inStart(0), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->inReset(0), quint16(MidiResult::InvalidHandle));
        QCOMPARE(m_system->inClose(0), quint16(MidiResult::InvalidHandle));
    }

    void errorTexts()
    {
        const quint16 known[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 64, 65, 66, 67, 68, 69, 70, 71};
        QSet<QString> texts;
        for (quint16 code : known) {
            QString text;
            QCOMPARE(m_system->errorText(code, text), quint16(0));
            QVERIFY(!text.isEmpty() && text.size() <= 127);
            texts.insert(text);
        }
        QCOMPARE(texts.size(), int(std::size(known)));
        QString text;
        QCOMPARE(m_system->errorText(1000, text), quint16(MidiResult::BadErrorNumber));
    }

    void longMessageRules()
    {
        DoneCatcher catcher;
        MidiOutHandle handle = 0;
        QCOMPARE(m_system->outOpen(handle, sinkDevice(), &catcher), quint16(0));
        QVERIFY(handle != 0);
        QByteArray bytes("\xF0\x7D\x01\x02\xF7", 5);
        MidiHeader header;
        header.data = reinterpret_cast<quint8 *>(bytes.data());
        header.bufferLength = 5;
        QCOMPARE(m_system->outLong(handle, &header), quint16(MidiResult::Unprepared));
        QCOMPARE(m_system->outPrepare(handle, &header), quint16(0));
        QCOMPARE(m_system->outLong(handle, &header), quint16(0));
        QCOMPARE(m_system->outShort(handle, 0x00407F90), quint16(0));
        QTRY_COMPARE_WITH_TIMEOUT(catcher.done.size(), 1, 5000);
        QCOMPARE(catcher.done.first(), &header);
        QVERIFY(header.flags & MidiHeaderFlag::Done);
        QCOMPARE(m_system->outUnprepare(handle, &header), quint16(0));
        QVERIFY(!(header.flags & MidiHeaderFlag::Prepared));
        // Neither a data byte nor SysEx framing can go out as a short message.
        for (const quint32 packed : {0x00403Du, 0x0000F7u, 0x0001F0u})
            QCOMPARE(m_system->outShort(handle, packed), quint16(MidiResult::InvalidParameter));
        QCOMPARE(m_system->outReset(handle), quint16(0));
        QCOMPARE(m_system->outClose(handle), quint16(0));
        QCOMPARE(m_system->outShort(handle, 0x90), quint16(MidiResult::InvalidHandle));
        QTest::qWait(20);
        QCOMPARE(catcher.done.size(), 1);
    }

    void inputDelivery()
    {
        Received received;
        MidiInHandle handle = 0;
        const int device = sourceDevice();
        QCOMPARE(m_system->inOpen(handle, device, &Received::callback, reinterpret_cast<quintptr>(&received)),
                 quint16(0));
        std::vector<std::unique_ptr<MidiHeader>> headers;
        std::vector<QByteArray> space;
        for (int i = 0; i < 4; ++i) {
            space.emplace_back(128, '\0');
            auto header = std::make_unique<MidiHeader>();
            header->data = reinterpret_cast<quint8 *>(space.back().data());
            header->bufferLength = 128;
            QCOMPARE(m_system->inAddBuffer(handle, header.get()), quint16(MidiResult::Unprepared));
            QCOMPARE(m_system->inPrepare(handle, header.get()), quint16(0));
            QCOMPARE(m_system->inAddBuffer(handle, header.get()), quint16(0));
            QVERIFY(header->flags & MidiHeaderFlag::InQueue);
            QCOMPARE(m_system->inAddBuffer(handle, header.get()), quint16(MidiResult::StillPlaying));
            QCOMPARE(m_system->inUnprepare(handle, header.get()), quint16(MidiResult::StillPlaying));
            headers.push_back(std::move(header));
        }
        // Nothing is delivered before start.
        inject(QByteArray("\x90\x3C\x40", 3));
        QTest::qWait(100);
        QCOMPARE(received.shortCount(), 0);

        QCOMPARE(m_system->inStart(handle), quint16(0));
        inject(QByteArray("\x90\x3C\x40", 3));
        inject(QByteArray("\xC1\x05", 2));
        QByteArray sysex(300, '\0');
        for (int i = 0; i < sysex.size(); ++i)
            sysex[i] = char(i == 0 ? 0xF0 : i == sysex.size() - 1 ? 0xF7 : i % 128);
        inject(sysex);
        QTRY_COMPARE_WITH_TIMEOUT(received.sysexSize(), 300, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(received.shortCount(), 2, 5000);
        {
            QMutexLocker locker(&received.lock);
            QCOMPARE(received.shorts, (QList<quint32>{0x403C90, 0x05C1}));
            QCOMPARE(received.sysex, sysex);
            QCOMPARE(received.chunkLengths, (QList<quint32>{128, 128, 44}));
            for (MidiHeader *header : received.returned) {
                QVERIFY(header->flags & MidiHeaderFlag::Done);
                QVERIFY(!(header->flags & MidiHeaderFlag::InQueue));
            }
            QVERIFY(std::is_sorted(received.stamps.begin(), received.stamps.end()));
        }
        // Closing with a buffer still queued is refused; reset gives it back.
        QCOMPARE(m_system->inClose(handle), quint16(MidiResult::StillPlaying));
        QCOMPARE(m_system->inReset(handle), quint16(0));
        QVERIFY(!(headers.back()->flags & MidiHeaderFlag::InQueue));
        QVERIFY(headers.back()->flags & MidiHeaderFlag::Done);
        inject(QByteArray("\x80\x3C\x00", 3));
        QTest::qWait(100);
        QCOMPARE(received.shortCount(), 2);
        for (auto &header : headers)
            QCOMPARE(m_system->inUnprepare(handle, header.get()), quint16(0));
        QCOMPARE(m_system->inClose(handle), quint16(0));
        QCOMPARE(m_system->inStart(handle), quint16(MidiResult::InvalidHandle));
    }
};

PW_TEST_MAIN(TestMidiContract)
#include "tst_midicontract.moc"
