#include "support/TestMain.h"

#include "platform/MidiStreamParser.h"

#include <QStringList>

namespace
{

QString hex(const uint8_t *bytes, size_t length)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(length)).toHex(' ').toUpper();
}

// Collects what the parser hands out the way a port uses it: a SysEx counts once it ends,
// and a broken one is forgotten.
struct Collector final : MidiStreamParser::Sink {
    QStringList out;
    QByteArray sysexSoFar;

    void message(const uint8_t *bytes, size_t length) override { out << hex(bytes, length); }
    void sysex(const uint8_t *bytes, size_t length, bool ends) override
    {
        sysexSoFar.append(reinterpret_cast<const char *>(bytes), qsizetype(length));
        if (!ends)
            return;
        out << QString::fromLatin1(sysexSoFar.toHex(' ').toUpper());
        sysexSoFar.clear();
    }
    void sysexBroken() override { sysexSoFar.clear(); }
};

QString dropsText(const MidiStreamParser::Drops &d)
{
    return QStringLiteral("stray %1 incomplete %2 broken %3 end %4 undefined %5")
        .arg(d.strayData)
        .arg(d.incomplete)
        .arg(d.brokenSysex)
        .arg(d.strayEnd)
        .arg(d.undefined);
}

} // namespace

class TestMidiStreamParser : public QObject
{
    Q_OBJECT

private slots:
    // Each row: the events as the driver gives them, what comes out, what was dropped.
    void stream_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("drops");
        const QString none = QStringLiteral("stray 0 incomplete 0 broken 0 end 0 undefined 0");
        QTest::newRow("running status in the next event")
            << QStringList{"90 3C 40", "3D 40"} << QStringList{"90 3C 40", "90 3D 40"} << none;
        QTest::newRow("running status, one data byte")
            << QStringList{"C0 05 06 07"} << QStringList{"C0 05", "C0 06", "C0 07"} << none;
        QTest::newRow("data with no status") << QStringList{"3D 40", "90 3C 40"} << QStringList{"90 3C 40"}
                                             << "stray 1 incomplete 0 broken 0 end 0 undefined 0";
        QTest::newRow("lone end of SysEx") << QStringList{"F7", "B0 07 64"} << QStringList{"B0 07 64"}
                                           << "stray 0 incomplete 0 broken 0 end 1 undefined 0";
        QTest::newRow("incomplete dropped at the next status")
            << QStringList{"90 3C", "80 3C 00"} << QStringList{"80 3C 00"}
            << "stray 0 incomplete 1 broken 0 end 0 undefined 0";
        QTest::newRow("status alone dropped at the next status")
            << QStringList{"90", "C0 01"} << QStringList{"C0 01"}
            << "stray 0 incomplete 1 broken 0 end 0 undefined 0";
        QTest::newRow("message split over events")
            << QStringList{"90 3C", "40"} << QStringList{"90 3C 40"} << none;
        QTest::newRow("two messages in one event")
            << QStringList{"B0 07 64 B0 0A 20"} << QStringList{"B0 07 64", "B0 0A 20"} << none;
        QTest::newRow("real-time inside a message")
            << QStringList{"90 F8 3C FE 40 3D 40"} << QStringList{"F8", "FE", "90 3C 40", "90 3D 40"} << none;
        QTest::newRow("real-time inside a SysEx")
            << QStringList{"F0 7E F8 01", "FE 02 F7"} << QStringList{"F8", "FE", "F0 7E 01 02 F7"} << none;
        QTest::newRow("SysEx over many events") << QStringList{"F0", "01 02", "03", "04 05", "06 F7 C0 02"}
                                                << QStringList{"F0 01 02 03 04 05 06 F7", "C0 02"} << none;
        QTest::newRow("status ends an unfinished SysEx")
            << QStringList{"F0 43 10 01", "90 3C 40", "80 3C 00"} << QStringList{"90 3C 40", "80 3C 00"}
            << "stray 0 incomplete 0 broken 1 end 0 undefined 0";
        QTest::newRow("SysEx starts another") << QStringList{"F0 01 F0 02 F7"} << QStringList{"F0 02 F7"}
                                              << "stray 0 incomplete 0 broken 1 end 0 undefined 0";
        QTest::newRow("SysEx ends running status")
            << QStringList{"90 3C 40 F0 01 F7 3D 40"} << QStringList{"90 3C 40", "F0 01 F7"}
            << "stray 1 incomplete 0 broken 0 end 0 undefined 0";
        QTest::newRow("system common, no running status")
            << QStringList{"F2 01 02 03 F1 10 F6 F3 05"} << QStringList{"F2 01 02", "F1 10", "F6", "F3 05"}
            << "stray 1 incomplete 0 broken 0 end 0 undefined 0";
        QTest::newRow("undefined system common")
            << QStringList{"F4 01 F5 90 3C 40"} << QStringList{"90 3C 40"}
            << "stray 1 incomplete 0 broken 0 end 0 undefined 2";
        // Two sources joined on one port: one's SysEx is cut by the other's note; its rest is
        // dropped, not read as running status of the note, which holds again from the next status.
        QTest::newRow("two sources merged")
            << QStringList{"F0 7D 10 11 12", "90 3C 40", "13 14 15 16 F7", "80 3C 00", "3D 00"}
            << QStringList{"90 3C 40", "80 3C 00", "80 3D 00"}
            << "stray 1 incomplete 0 broken 1 end 1 undefined 0";
    }
    void stream()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, messages);
        QFETCH(QString, drops);
        MidiStreamParser parser;
        Collector collector;
        for (const QString &event : events) {
            const QByteArray bytes = QByteArray::fromHex(event.toLatin1());
            parser.parse(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()),
                         collector);
        }
        QCOMPARE(collector.out, messages);
        QCOMPARE(dropsText(parser.drops()), drops);
    }

    // reset() starts over as a port just opened does, keeping the counts.
    void resetForgetsTheStream()
    {
        MidiStreamParser parser;
        Collector collector;
        const uint8_t before[] = {0x3D, 0x90, 0x3C};
        parser.parse(before, sizeof before, collector);
        parser.reset();
        const uint8_t after[] = {0x40, 0x80, 0x3C, 0x00};
        parser.parse(after, sizeof after, collector);
        QCOMPARE(collector.out, QStringList{"80 3C 00"});
        QCOMPARE(parser.drops().strayData, 2u);
        QCOMPARE(parser.drops().incomplete, 0u);
    }
};

PW_TEST_MAIN(TestMidiStreamParser)
#include "tst_midistreamparser.moc"
