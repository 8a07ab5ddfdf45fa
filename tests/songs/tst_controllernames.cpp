#include "songs/ControllerNames.h"
#include "support/TestMain.h"

#include <QSet>

class TestControllerNames : public QObject
{
    Q_OBJECT
private slots:
    void hasOneNamePerController();
    void namesAsUsersKnowThem_data();
    void namesAsUsersKnowThem();
    void secondHalfRepeatsFirstExceptDataEntry();
    void onlyTheKnownEntriesCarryTabs();
};

void TestControllerNames::hasOneNamePerController()
{
    QCOMPARE(controllerNames().size(), 128);
    QCOMPARE(&controllerNames(), &controllerNames());
}

void TestControllerNames::namesAsUsersKnowThem_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");
    const QString undefined = QStringLiteral("Undefined");
    const QString gp = QStringLiteral("General Purpose Controller");
    QTest::newRow("0") << 0 << QStringLiteral("Bank Select");
    QTest::newRow("1") << 1 << QStringLiteral("Modulation wheel");
    QTest::newRow("3") << 3 << undefined;
    QTest::newRow("6") << 6 << QStringLiteral("Data Entry");
    QTest::newRow("7") << 7 << QStringLiteral("Channel Volume (formerly Main Volume)");
    QTest::newRow("10") << 10 << QStringLiteral("Pan");
    QTest::newRow("13") << 13 << QStringLiteral("Effect control 2");
    QTest::newRow("15") << 15 << undefined;
    QTest::newRow("16") << 16 << gp;
    QTest::newRow("19") << 19 << gp;
    QTest::newRow("20") << 20 << undefined;
    QTest::newRow("31") << 31 << undefined;
    QTest::newRow("32") << 32 << QStringLiteral("Bank Select");
    QTest::newRow("35") << 35 << undefined;
    QTest::newRow("38") << 38 << QStringLiteral("Data entry");
    QTest::newRow("39") << 39 << QStringLiteral("Channel Volume (formerly Main Volume)");
    QTest::newRow("63") << 63 << undefined;
    QTest::newRow("64") << 64 << QStringLiteral("Damper pedal on/off (Sustain)");
    QTest::newRow("66") << 66 << QStringLiteral("Sostenuto on/off");
    QTest::newRow("69") << 69 << QStringLiteral("Hold 2");
    QTest::newRow("70") << 70 << QStringLiteral("Sound Controller 1 (Sound Variation )");
    QTest::newRow("74") << 74 << QStringLiteral("Sound Controller 5 (Brightness)");
    QTest::newRow("75") << 75 << QStringLiteral("Sound Controller 6");
    QTest::newRow("79") << 79 << QStringLiteral("Sound Controller 10");
    QTest::newRow("80") << 80 << gp;
    QTest::newRow("83") << 83 << gp;
    QTest::newRow("84") << 84 << QStringLiteral("Portamento Control");
    QTest::newRow("85") << 85 << undefined;
    QTest::newRow("90") << 90 << undefined;
    QTest::newRow("91") << 91 << QStringLiteral("Effects 1 Depth");
    QTest::newRow("92") << 92 << QStringLiteral("Effects 2 Depth\t");
    QTest::newRow("95") << 95 << QStringLiteral("Effects 5 Depth");
    QTest::newRow("96") << 96 << QStringLiteral("Data entry +1");
    QTest::newRow("97") << 97 << QStringLiteral("Data entry -1");
    QTest::newRow("98") << 98 << QStringLiteral("Non-Registered Parameter Number LSB");
    QTest::newRow("99") << 99 << QStringLiteral("Non-Registered Parameter Number MSB");
    QTest::newRow("100") << 100 << QStringLiteral("Registered Parameter Number LSB");
    QTest::newRow("101") << 101 << QStringLiteral("Registered Parameter Number MSB");
    QTest::newRow("102") << 102 << undefined;
    QTest::newRow("104") << 104 << QStringLiteral("Undefined\t");
    QTest::newRow("119") << 119 << undefined;
    QTest::newRow("120") << 120 << QStringLiteral("All Sound Off");
    QTest::newRow("121") << 121 << QStringLiteral("Reset All Controllers");
    QTest::newRow("122") << 122 << QStringLiteral("Local control on/off");
    QTest::newRow("123") << 123 << QStringLiteral("All notes off");
    QTest::newRow("124") << 124 << QStringLiteral("Omni mode off (+ all notes off)");
    QTest::newRow("125") << 125 << QStringLiteral("Omni mode on (+ all notes  off)");
    QTest::newRow("126") << 126 << QStringLiteral("Poly mode on/off (+ all no  off)");
    QTest::newRow("127") << 127 << QStringLiteral("Poly mode on");
}

void TestControllerNames::namesAsUsersKnowThem()
{
    QFETCH(int, number);
    QFETCH(QString, name);
    QCOMPARE(controllerNames().at(number), name);
}

void TestControllerNames::secondHalfRepeatsFirstExceptDataEntry()
{
    const QStringList &names = controllerNames();
    for (int i = 0; i < 32; ++i) {
        if (i == 6)
            QVERIFY(names.at(i) != names.at(i + 32));
        else
            QCOMPARE(names.at(i + 32), names.at(i));
    }
}

void TestControllerNames::onlyTheKnownEntriesCarryTabs()
{
    const QSet<int> withTab{92, 104, 111, 115, 117};
    const QStringList &names = controllerNames();
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        QCOMPARE(name.count(u'\t'), withTab.contains(i) ? 1 : 0);
        if (withTab.contains(i))
            QVERIFY2(name.endsWith(u'\t'), qPrintable(QString::number(i)));
        QVERIFY2(!name.startsWith(u' ') && !name.endsWith(u' '), qPrintable(QString::number(i)));
    }
    for (int i = 102; i <= 119; ++i)
        QCOMPARE(names.at(i).trimmed(), QStringLiteral("Undefined"));
}

PW_TEST_MAIN(TestControllerNames)
#include "tst_controllernames.moc"
