#include "MixerRig.h"
#include "mixer/IntToBin.h"
#include "support/TestMain.h"
#include "widgets/NumberEdit.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

namespace
{
QStringList inputRow(const MixerRig &rig)
{
    return {rig.text("edMessage"), rig.text("edChannel"), rig.text("edData1"), rig.text("edData2")};
}
QString eventLabel(const MixerRig &rig)
{
    return rig.child<QLabel>(QStringLiteral("lEvent"))->text();
}
} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void atStart();
    void nothingShownUntilAsked();
    void namesEachChannelMessage_data();
    void namesEachChannelMessage();
    void systemMessageKeepsNameAndChannel();
    void repeatedStatusLeavesTheText();
    void uncheckingFreezesTheRow();
    void converterAtStart();
    void converter_data();
    void converter();
    void IntToBinWritesTheLowBits_data();
    void IntToBinWritesTheLowBits();
};

void TestMonitor::atStart()
{
    MixerRig rig;
    QCOMPARE(inputRow(rig), (QStringList{"0", "0", "0", "0"}));
    QCOMPARE(eventLabel(rig), QStringLiteral("no event"));
    QVERIFY(!rig.child<QCheckBox>(QStringLiteral("ckbGetMidi"))->isChecked());
    QCOMPARE(rig.child<QCheckBox>(QStringLiteral("ckbGetMidi"))->text(), QStringLiteral("Show MIDI Input"));
    QVERIFY(!rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->isChecked());
    QCOMPARE(rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->text(), QStringLiteral("Show MIDI Output"));
    for (const char *name : {"edMessage", "edChannel", "edData1", "edData2", "eMessOut", "edChOut",
                             "edData1Out", "edData2Out", "edHex", "edBinar"})
        QVERIFY2(rig.child<QLineEdit>(QLatin1String(name))->isReadOnly(), name);

    // A status of 0 (nothing received yet) names nothing.
    rig.child<QCheckBox>(QStringLiteral("ckbGetMidi"))->setChecked(true);
    rig.mixer->showInput(0, 5, 6);
    QCOMPARE(inputRow(rig), (QStringList{"0", "0", "5", "6"}));
    QCOMPARE(eventLabel(rig), QStringLiteral("no event"));
}

void TestMonitor::nothingShownUntilAsked()
{
    MixerRig rig;
    rig.play(0x91, 60, 100);
    QCOMPARE(inputRow(rig), (QStringList{"0", "0", "0", "0"}));
    QCOMPARE(eventLabel(rig), QStringLiteral("no event"));
}

void TestMonitor::namesEachChannelMessage_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("channel");
    QTest::newRow("80") << 0x80 << "Note off"
                        << "1";
    QTest::newRow("9F") << 0x9F << "Note on"
                        << "16";
    QTest::newRow("A3") << 0xA3 << "Polyphonic Aftertouch"
                        << "4";
    QTest::newRow("B0") << 0xB0 << "Contol Mode change"
                        << "1";
    QTest::newRow("C5") << 0xC5 << "Program change"
                        << "6";
    QTest::newRow("DA") << 0xDA << "Channel Aftertouch"
                        << "11";
    QTest::newRow("EF") << 0xEF << "Pitch wheel control"
                        << "16";
}

void TestMonitor::namesEachChannelMessage()
{
    QFETCH(int, status);
    QFETCH(QString, name);
    QFETCH(QString, channel);
    MixerRig rig;
    rig.child<QCheckBox>(QStringLiteral("ckbGetMidi"))->setChecked(true);

    rig.play(quint8(status), 12, 34);

    // A program change or channel pressure carries one data byte: the second is never read.
    const QString data2 = (status & 0xE0) == 0xC0 ? QStringLiteral("0") : QStringLiteral("34");
    QCOMPARE(inputRow(rig), (QStringList{QString::number(status), channel, "12", data2}));
    QCOMPARE(eventLabel(rig), name);
}

void TestMonitor::systemMessageKeepsNameAndChannel()
{
    MixerRig rig;
    rig.child<QCheckBox>(QStringLiteral("ckbGetMidi"))->setChecked(true);
    rig.play(0xC5, 3, 0);
    rig.play(0xF8, 0, 0);
    QCOMPARE(inputRow(rig), (QStringList{"248", "6", "0", "0"}));
    QCOMPARE(eventLabel(rig), QStringLiteral("Program change"));
}

void TestMonitor::repeatedStatusLeavesTheText()
{
    MixerRig rig;
    rig.child<QCheckBox>(QStringLiteral("ckbGetMidi"))->setChecked(true);
    QSignalSpy changes(rig.child<QLineEdit>(QStringLiteral("edMessage")), &QLineEdit::textChanged);
    rig.play(0x90, 60, 100);
    rig.play(0x90, 62, 0);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(inputRow(rig), (QStringList{"144", "1", "62", "0"}));
    QCOMPARE(eventLabel(rig), QStringLiteral("Note on"));
}

void TestMonitor::uncheckingFreezesTheRow()
{
    MixerRig rig;
    auto *getMidi = rig.child<QCheckBox>(QStringLiteral("ckbGetMidi"));
    getMidi->setChecked(true);
    rig.play(0xB2, 7, 90);
    getMidi->setChecked(false);
    rig.play(0xE5, 0, 64);
    QCOMPARE(inputRow(rig), (QStringList{"178", "3", "7", "90"}));
    QCOMPARE(eventLabel(rig), QStringLiteral("Contol Mode change"));
}

void TestMonitor::converterAtStart()
{
    MixerRig rig;
    QCOMPARE(rig.text(QStringLiteral("edDec")), QStringLiteral("255"));
    QCOMPARE(rig.child<NumberEdit>(QStringLiteral("edDec"))->maxLength(), 3);
    QCOMPARE(rig.text(QStringLiteral("edHex")), QStringLiteral("FF"));
    QCOMPARE(rig.text(QStringLiteral("edBinar")), QStringLiteral("11111111"));
    QCOMPARE(rig.child<QPushButton>(QStringLiteral("Button2"))->text(), QStringLiteral("Calculate"));
}

void TestMonitor::converter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("binary");
    QTest::newRow("0") << "0"
                       << "0"
                       << "00 "
                       << "00000000";
    QTest::newRow("10") << "10"
                        << "10"
                        << "0A "
                        << "00001010";
    QTest::newRow("255") << "255"
                         << "255"
                         << "FF "
                         << "11111111";
    QTest::newRow("999 is clamped") << "999"
                                    << "255"
                                    << "FF "
                                    << "11111111";
    QTest::newRow("-5 becomes 0") << "-5"
                                  << "0"
                                  << "00 "
                                  << "00000000";
    QTest::newRow("letters do not get in") << "1x7"
                                           << "17"
                                           << "11 "
                                           << "00010001";
    QTest::newRow("not a number") << "+-"
                                  << "0"
                                  << "00 "
                                  << "00000000";
    QTest::newRow("at most three characters") << "12345"
                                              << "123"
                                              << "7B "
                                              << "01111011";
}

void TestMonitor::converter()
{
    QFETCH(QString, typed);
    QFETCH(QString, field);
    QFETCH(QString, hex);
    QFETCH(QString, binary);
    MixerRig rig;
    auto *dec = rig.child<NumberEdit>(QStringLiteral("edDec"));
    rig.showActive();
    dec->setFocus();
    dec->selectAll();
    QTest::keyClicks(dec, typed);

    QTest::mouseClick(rig.child<QPushButton>(QStringLiteral("Button2")), Qt::LeftButton);

    QCOMPARE(dec->text(), field);
    QCOMPARE(rig.text(QStringLiteral("edHex")), hex);
    QCOMPARE(rig.text(QStringLiteral("edBinar")), binary);
}

void TestMonitor::IntToBinWritesTheLowBits_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("10 in 8") << 10 << 8 << "00001010";
    QTest::newRow("high bits dropped") << 0x105 << 8 << "00000101";
    QTest::newRow("3 digits") << 5 << 3 << "101";
    QTest::newRow("16 digits") << 0x8001 << 16 << "1000000000000001";
    QTest::newRow("none") << 7 << 0 << "";
}

void TestMonitor::IntToBinWritesTheLowBits()
{
    QFETCH(int, value);
    QFETCH(int, digits);
    QFETCH(QString, text);
    QCOMPARE(IntToBin(value, digits), text);
}

PW_TEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
