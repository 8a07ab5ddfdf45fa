#include "MixerRig.h"
#include "mixer/FaderTab.h"
#include "support/TestMain.h"
#include "widgets/Fader.h"
#include "widgets/NumberEdit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

namespace
{
enum EventType { PolyAftertouch = 0, ControlChange = 1, ChannelAftertouch = 2, PitchWheel = 3 };

QString faderName(int n)
{
    return n == 1 ? QStringLiteral("Fader1") : QStringLiteral("fader%1").arg(n);
}
QString dataName(int n, int byte)
{
    return n == 1 ? QStringLiteral("edValue%1").arg(byte) : QStringLiteral("edv%1%2").arg(n).arg(byte);
}
QString minName(int n, int byte)
{
    return n == 1 ? QStringLiteral("spinMin1%1").arg(byte)
                  : QStringLiteral("sp%1%2").arg(n).arg(byte * 2 - 1);
}
QString maxName(int n, int byte)
{
    return n == 1 ? QStringLiteral("spinMax1%1").arg(byte) : QStringLiteral("sp%1%2").arg(n).arg(byte * 2);
}

QStringList outputRow(const MixerRig &rig)
{
    return {rig.text("eMessOut"), rig.text("edChOut"), rig.text("edData1Out"), rig.text("edData2Out")};
}
} // namespace

class TestFaders : public QObject
{
    Q_OBJECT

    void chooseEventType(MixerRig &rig, int n, EventType type)
    {
        rig.child<QComboBox>(QStringLiteral("cbUser%1").arg(n))->setCurrentIndex(type);
    }
    void drive(MixerRig &rig, int n, int byte)
    {
        const auto radios =
            rig.child<QGroupBox>(QStringLiteral("rg%1").arg(n))->findChildren<QRadioButton *>();
        for (QRadioButton *radio : radios)
            if (radio->text() == QStringLiteral("Value %1").arg(byte))
                radio->click();
    }
    void setBox(MixerRig &rig, const QString &name, int value) { rig.child<SpinEdit>(name)->setValue(value); }
    void move(MixerRig &rig, int n, int value) { rig.child<Fader>(faderName(n))->setValue(value); }

private slots:
    void windowAtStart();
    void everyControlIsThere_data();
    void everyControlIsThere();
    void closeHidesAndKeepsEverything();
    void workedExample();
    void everyFaderDrivesItsOwnTab_data();
    void everyFaderDrivesItsOwnTab();
    void firstMovementIsClampedIntoTheTabsRange();
    void rangeAppliesAtMovementNotWhenBoxesChange();
    void minAboveMaxGivesMax();
    void fixedValueGoesOutAsDataByte_data();
    void fixedValueGoesOutAsDataByte();
    void closedPortShowsDevicesAndChangesNothing();
    void sendChannelChangeTakesEffectAtNextMove();
    void sendChannelBoxesMirror();
    void neverChosenEventTypeSendsNothing();
    void typedEventTypeNameSetsTheBase();
    void refusedSendChangesNoField();
    void outputRowOnlyWhenAsked();
};

void TestFaders::windowAtStart()
{
    MixerRig rig;
    MixerWindow &w = *rig.mixer;
    QCOMPARE(w.objectName(), QStringLiteral("fMidiUnit"));
    QCOMPARE(w.windowTitle(), QStringLiteral("MIDI Mixer"));
    QCOMPARE(w.size(), QSize(608, 507));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!w.isVisible());

    auto *tabs = rig.child<QTabWidget>(QStringLiteral("PageControl1"));
    QCOMPARE(tabs->count(), 10);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(tabs->tabText(i), QStringLiteral("Ctr %1").arg(i + 1));
    QCOMPARE(tabs->currentIndex(), 9);

    QCOMPARE(rig.child<SpinEdit>(QStringLiteral("MidiSendCh"))->value(), 1);
    QCOMPARE(rig.child<QPushButton>(QStringLiteral("Button1"))->text(), QStringLiteral("Close"));

    // Opens centred; faders stand left to right in order, each over its label, the close
    // button below them.
    rig.showActive();
    const QPoint screenCentre = w.screen()->availableGeometry().center();
    QVERIFY(qAbs(w.geometry().center().x() - screenCentre.x()) <= 1);
    QVERIFY(qAbs(w.geometry().center().y() - screenCentre.y()) <= 1);
    int lastX = -1;
    for (int n = 1; n <= 10; ++n) {
        Fader *f = rig.child<Fader>(faderName(n));
        const QPoint at = f->mapTo(&w, QPoint(0, 0));
        QVERIFY2(at.x() > lastX, qPrintable(faderName(n)));
        lastX = at.x();
        QLabel *label = nullptr;
        for (QLabel *l : w.findChildren<QLabel *>())
            if (l->text() == QStringLiteral("ctr %1").arg(n))
                label = l;
        QVERIFY(label);
        QVERIFY(label->mapTo(&w, QPoint(0, 0)).y() > at.y());
        QVERIFY(w.rect().contains(QRect(at, f->size())));
    }
    auto *close = rig.child<QPushButton>(QStringLiteral("Button1"));
    const QRect closeRect(close->mapTo(&w, QPoint(0, 0)), close->size());
    QVERIFY(w.rect().contains(closeRect));
    QVERIFY(closeRect.left() > w.width() / 2);
    QVERIFY(closeRect.top() > rig.child<Fader>(faderName(1))->mapTo(&w, QPoint(0, 0)).y());
}

void TestFaders::everyControlIsThere_data()
{
    QTest::addColumn<int>("n");
    for (int n = 1; n <= 10; ++n)
        QTest::addRow("fader %d", n) << n;
}

void TestFaders::everyControlIsThere()
{
    QFETCH(int, n);
    MixerRig rig;

    Fader *f = rig.child<Fader>(faderName(n));
    QCOMPARE(f->orientation(), Qt::Vertical);
    QCOMPARE(f->minimum(), 0);
    QCOMPARE(f->maximum(), 100);
    QCOMPARE(f->value(), 0);

    auto *box = rig.child<QComboBox>(QStringLiteral("cbUser%1").arg(n));
    QVERIFY(box->isEditable());
    QCOMPARE(box->currentIndex(), -1);
    QCOMPARE(box->currentText(), QString());
    const QStringList items = {QStringLiteral("Polyphonic Aftertouch"), QStringLiteral("Control Mode Change"),
                               QStringLiteral("Channel Aftertouch"), QStringLiteral("Pitch wheel control")};
    QCOMPARE(box->count(), items.size());
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(box->itemText(i), items[i]);

    auto *group = rig.child<QGroupBox>(QStringLiteral("rg%1").arg(n));
    QCOMPARE(group->title(), QStringLiteral(" Send Value to the Fader  "));
    const auto radios = group->findChildren<QRadioButton *>();
    QCOMPARE(radios.size(), 2);
    for (QRadioButton *radio : radios)
        QCOMPARE(radio->isChecked(), radio->text() == QStringLiteral("Value 2"));

    for (int byte = 1; byte <= 2; ++byte) {
        QCOMPARE(rig.child<NumberEdit>(dataName(n, byte))->text(), QStringLiteral("0"));
        auto *lo = rig.child<SpinEdit>(minName(n, byte));
        auto *hi = rig.child<SpinEdit>(maxName(n, byte));
        QCOMPARE(lo->value(), 0);
        QCOMPARE(hi->value(), 127);
        QCOMPARE(lo->minimum(), 0);
        QCOMPARE(hi->maximum(), 127);
    }
    // Each tab holds its own fader's settings.
    auto *tabs = rig.child<QTabWidget>(QStringLiteral("PageControl1"));
    QVERIFY(tabs->widget(n - 1)->isAncestorOf(box));
    QVERIFY(tabs->widget(n - 1)->isAncestorOf(rig.child<SpinEdit>(maxName(n, 2))));
}

void TestFaders::closeHidesAndKeepsEverything()
{
    MixerRig rig;
    QPointer<MixerWindow> window = rig.mixer.get();
    chooseEventType(rig, 4, ChannelAftertouch);
    rig.child<NumberEdit>(dataName(4, 1))->setValue(12);
    move(rig, 4, 33);
    rig.child<QTabWidget>(QStringLiteral("PageControl1"))->setCurrentIndex(3);

    rig.showActive();
    QTest::mouseClick(rig.child<QPushButton>(QStringLiteral("Button1")), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    rig.mixer->show();
    QVERIFY(rig.mixer->close()); // the close box
    QVERIFY(window);
    QVERIFY(!window->isVisible());
    rig.mixer->show();

    QCOMPARE(rig.child<QComboBox>(QStringLiteral("cbUser4"))->currentIndex(), int(ChannelAftertouch));
    QCOMPARE(rig.text(dataName(4, 1)), QStringLiteral("12"));
    QCOMPARE(rig.child<Fader>(faderName(4))->value(), 33);
    QCOMPARE(rig.child<QTabWidget>(QStringLiteral("PageControl1"))->currentIndex(), 3);
    rig.synthA->clearLog();
    move(rig, 4, 34); // the status base survived as well
    QCOMPARE(rig.synthA->log(), QStringList{QStringLiteral("D0 0C 22")});
}

void TestFaders::workedExample()
{
    MixerRig rig;
    chooseEventType(rig, 1, ControlChange);
    drive(rig, 1, 2);
    rig.typeInto(rig.child<NumberEdit>(QStringLiteral("edValue1")), QStringLiteral("7"));
    rig.sendChannel.setValue(3);
    rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->setChecked(true);
    QVERIFY(!rig.outLed.isVisible());

    move(rig, 1, 100);

    QCOMPARE(rig.synthA->log(), QStringList{QStringLiteral("B2 07 64")});
    QCOMPARE(rig.text(QStringLiteral("edValue2")), QStringLiteral("100"));
    QCOMPARE(rig.text(QStringLiteral("edValue1")), QStringLiteral("7"));
    QCOMPARE(outputRow(rig), (QStringList{"178", "3", "7", "100"}));
    QVERIFY(rig.outLed.isVisible());
    QVERIFY(rig.leds.timer()->isActive());
}

void TestFaders::everyFaderDrivesItsOwnTab_data()
{
    everyControlIsThere_data();
}

void TestFaders::everyFaderDrivesItsOwnTab()
{
    QFETCH(int, n);
    MixerRig rig;
    // Set up every tab differently, so a fader wired to another tab's controls shows.
    for (int k = 1; k <= 10; ++k) {
        chooseEventType(rig, k, k == n ? PitchWheel : PolyAftertouch);
        drive(rig, k, k == n ? 1 : 2);
        rig.child<NumberEdit>(dataName(k, 2))->setValue(k == n ? 5 : 99);
        setBox(rig, maxName(k, 1), k == n ? 70 : 127);
    }
    rig.sendChannel.setValue(2);

    move(rig, n, 90);

    QCOMPARE(rig.synthA->log(), QStringList{QStringLiteral("E1 46 05")});
    QCOMPARE(rig.text(dataName(n, 1)), QStringLiteral("70"));
    QCOMPARE(rig.text(dataName(n, 2)), QStringLiteral("5"));
    for (int k = 1; k <= 10; ++k) {
        if (k != n) {
            QCOMPARE(rig.text(dataName(k, 1)), QStringLiteral("0"));
            QCOMPARE(rig.child<Fader>(faderName(k))->value(), 0);
        }
    }
}

void TestFaders::firstMovementIsClampedIntoTheTabsRange()
{
    MixerRig rig;
    chooseEventType(rig, 3, ControlChange);
    setBox(rig, minName(3, 2), 20);
    setBox(rig, maxName(3, 2), 60);
    Fader *f = rig.child<Fader>(faderName(3));
    QCOMPARE(f->maximum(), 100); // boxes alone do not touch the fader

    move(rig, 3, 90);
    QCOMPARE(f->value(), 60);
    QCOMPARE(f->minimum(), 20);
    QCOMPARE(f->maximum(), 60);
    move(rig, 3, 0);
    QCOMPARE(f->value(), 20);

    QCOMPARE(rig.synthA->log(), (QStringList{"B0 00 3C", "B0 00 14"}));
    QCOMPARE(rig.text(dataName(3, 2)), QStringLiteral("20"));
}

void TestFaders::rangeAppliesAtMovementNotWhenBoxesChange()
{
    MixerRig rig;
    chooseEventType(rig, 1, ControlChange);
    move(rig, 1, 100);
    Fader *f = rig.child<Fader>(faderName(1));
    QCOMPARE(f->maximum(), 127);

    setBox(rig, QStringLiteral("spinMax12"), 50);
    QCOMPARE(f->maximum(), 127);
    QCOMPARE(f->value(), 100);
    QCOMPARE(rig.synthA->log().size(), 1);

    move(rig, 1, 110);
    QCOMPARE(f->value(), 50);
    QCOMPARE(rig.synthA->log(), (QStringList{"B0 00 64", "B0 00 32"}));
    QCOMPARE(rig.text(QStringLiteral("edValue2")), QStringLiteral("50"));

    // A Max still being typed is held to the box's range before it limits the fader.
    SpinEdit *max = rig.child<SpinEdit>(QStringLiteral("spinMax12"));
    rig.showActive();
    max->setFocus();
    max->findChild<QLineEdit *>()->selectAll();
    QTest::keyClicks(max, QStringLiteral("300"));
    QCOMPARE(max->value(), 300);
    move(rig, 1, 10);
    QCOMPARE(f->maximum(), 127);
}

void TestFaders::minAboveMaxGivesMax()
{
    MixerRig rig;
    chooseEventType(rig, 6, ChannelAftertouch);
    drive(rig, 6, 1);
    setBox(rig, minName(6, 1), 90);
    setBox(rig, maxName(6, 1), 30);

    move(rig, 6, 80);

    Fader *f = rig.child<Fader>(faderName(6));
    QCOMPARE(f->minimum(), 30);
    QCOMPARE(f->maximum(), 30);
    QCOMPARE(f->value(), 30);
    QCOMPARE(rig.synthA->log(), QStringList{QStringLiteral("D0 1E 00")});
    QCOMPARE(rig.text(dataName(6, 1)), QStringLiteral("30"));
}

void TestFaders::fixedValueGoesOutAsDataByte_data()
{
    QTest::addColumn<int>("driven");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("sent");
    // Only the low byte goes out; what would still read as a status byte is held at 127.
    QTest::newRow("300 in Data 1") << 2 << "300"
                                   << "300"
                                   << "B0 2C 40";
    QTest::newRow("200 in Data 1") << 2 << "200"
                                   << "200"
                                   << "B0 7F 40";
    QTest::newRow("256 in Data 1") << 2 << "256"
                                   << "256"
                                   << "B0 00 40";
    QTest::newRow("typed 5000 is clamped to 1000") << 2 << "5000"
                                                   << "1000"
                                                   << "B0 7F 40";
    QTest::newRow("not a number counts as 0") << 2 << "-+"
                                              << "0"
                                              << "B0 00 40";
    QTest::newRow("300 in Data 2") << 1 << "300"
                                   << "300"
                                   << "B0 40 2C";
    QTest::newRow("127 in Data 2") << 1 << "127"
                                   << "127"
                                   << "B0 40 7F";
}

void TestFaders::fixedValueGoesOutAsDataByte()
{
    QFETCH(int, driven);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, sent);
    MixerRig rig;
    const int fixed = driven == 1 ? 2 : 1;
    chooseEventType(rig, 2, ControlChange);
    drive(rig, 2, driven);
    rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->setChecked(true);
    rig.typeInto(rig.child<NumberEdit>(dataName(2, fixed)), typed);
    QCOMPARE(rig.text(dataName(2, fixed)), shown);

    move(rig, 2, 64);

    QCOMPARE(rig.synthA->log(), QStringList{sent});
    QCOMPARE(outputRow(rig)[fixed + 1], shown);
    QCOMPARE(outputRow(rig)[driven + 1], QStringLiteral("64"));
}

void TestFaders::closedPortShowsDevicesAndChangesNothing()
{
    MixerRig rig;
    chooseEventType(rig, 1, ControlChange);
    rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->setChecked(true);
    rig.child<NumberEdit>(QStringLiteral("edValue1"))->setValue(7);
    rig.midiOut->Close();

    move(rig, 1, 55);

    QCOMPARE(rig.dialogs.messages.size(), 1);
    const auto &box = rig.dialogs.messages.first();
    QCOMPARE(box.icon, Dialogs::Icon::Information);
    QCOMPARE(box.caption, QCoreApplication::applicationName());
    QVERIFY2(box.text.contains(QStringLiteral("(MIDI Out: Synth A (closed))")), qPrintable(box.text));
    QCOMPARE(rig.text(QStringLiteral("edValue2")), QStringLiteral("0"));
    QCOMPARE(rig.text(QStringLiteral("edValue1")), QStringLiteral("7"));
    QCOMPARE(outputRow(rig), (QStringList{"0", "0", "0", "0"}));
    QVERIFY(!rig.outLed.isVisible());
    QVERIFY(rig.synthA->log().isEmpty());
}

void TestFaders::sendChannelChangeTakesEffectAtNextMove()
{
    MixerRig rig;
    chooseEventType(rig, 5, PitchWheel);
    rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->setChecked(true);
    move(rig, 5, 10);
    rig.sendChannel.setValue(16);
    QCOMPARE(rig.synthA->log().size(), 1); // nothing goes out until the fader moves
    move(rig, 5, 11);
    QCOMPARE(rig.synthA->log(), (QStringList{"E0 00 0A", "EF 00 0B"}));
    QCOMPARE(outputRow(rig), (QStringList{"239", "16", "0", "11"}));
}

void TestFaders::sendChannelBoxesMirror()
{
    MixerRig rig;
    auto *own = rig.child<SpinEdit>(QStringLiteral("MidiSendCh"));
    rig.sendChannel.setValue(9);
    QCOMPARE(own->value(), 9);
    own->setValue(4);
    QCOMPARE(rig.sendChannel.value(), 4);

    chooseEventType(rig, 1, ControlChange);
    move(rig, 1, 1);
    QCOMPARE(rig.synthA->log(), QStringList{QStringLiteral("B3 00 01")});

    // Clearing the box to type a new channel leaves the text being typed alone.
    rig.showActive();
    own->setFocus();
    own->findChild<QLineEdit *>()->selectAll();
    QTest::keyClick(own, Qt::Key_Backspace);
    QCOMPARE(own->findChild<QLineEdit *>()->text(), QString());
    QTest::keyClicks(own, QStringLiteral("12"));
    QCOMPARE(own->findChild<QLineEdit *>()->text(), QStringLiteral("12"));
    QCOMPARE(rig.sendChannel.value(), 12);
}

void TestFaders::neverChosenEventTypeSendsNothing()
{
    MixerRig rig;
    rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->setChecked(true);
    move(rig, 7, 40);
    rig.midiOut->Close();
    move(rig, 7, 41);

    QVERIFY(rig.synthA->log().isEmpty());
    QVERIFY(rig.dialogs.messages.isEmpty());
    QCOMPARE(rig.text(dataName(7, 2)), QStringLiteral("0"));
    QCOMPARE(outputRow(rig), (QStringList{"0", "0", "0", "0"}));
    QVERIFY(!rig.outLed.isVisible());
}

void TestFaders::typedEventTypeNameSetsTheBase()
{
    MixerRig rig;
    auto *box = rig.child<QComboBox>(QStringLiteral("cbUser8"));
    rig.typeInto(box, QStringLiteral("pitch wheel control"));
    move(rig, 8, 1);
    // A text naming no item keeps the last event type; nothing is added to the box.
    rig.typeInto(box, QStringLiteral("Note on"));
    move(rig, 8, 2);
    chooseEventType(rig, 8, PolyAftertouch);
    move(rig, 8, 3);
    QCOMPARE(rig.synthA->log(), (QStringList{"E0 00 01", "E0 00 02", "A0 00 03"}));
    QCOMPARE(box->count(), 4);
}

void TestFaders::refusedSendChangesNoField()
{
    MixerRig rig;
    chooseEventType(rig, 1, ControlChange);
    rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->setChecked(true);
    rig.showActive();
    Fader *f = rig.child<Fader>(faderName(1));
    f->setFocus();
    rig.synthA->refuseSend(7);

    QTest::keyClick(f, Qt::Key_Up);

    QCOMPARE(f->value(), 1);
    QString refusal;
    try {
        rig.midiOut->SendShort(0xB0, 0, 1);
    } catch (const MidiOutputError &e) {
        refusal = e.message();
    }
    QVERIFY(!refusal.isEmpty());
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QCOMPARE(rig.dialogs.messages.first().icon, Dialogs::Icon::Error);
    QCOMPARE(rig.dialogs.messages.first().caption, QCoreApplication::applicationName());
    QCOMPARE(rig.dialogs.messages.first().text, GuardedApplication::errorText(refusal));
    QCOMPARE(rig.text(QStringLiteral("edValue2")), QStringLiteral("0"));
    QCOMPARE(outputRow(rig), (QStringList{"0", "0", "0", "0"}));
    QVERIFY(!rig.outLed.isVisible());

    // The window stays usable.
    rig.synthA->refuseSend(0);
    QTest::keyClick(f, Qt::Key_Up);
    QCOMPARE(rig.synthA->log(), QStringList{QStringLiteral("B0 00 02")});
    QCOMPARE(rig.text(QStringLiteral("edValue2")), QStringLiteral("2"));
}

void TestFaders::outputRowOnlyWhenAsked()
{
    MixerRig rig;
    rig.play(0x93, 60, 1); // the output row never names the last input
    chooseEventType(rig, 9, ControlChange);
    move(rig, 9, 20);
    QCOMPARE(outputRow(rig), (QStringList{"0", "0", "0", "0"}));
    rig.child<QCheckBox>(QStringLiteral("ckbShowOut"))->setChecked(true);
    move(rig, 9, 21);
    QCOMPARE(outputRow(rig), (QStringList{"176", "1", "0", "21"}));
    QCOMPARE(rig.child<QLabel>(QStringLiteral("lEvent"))->text(), QStringLiteral("no event"));
    QCOMPARE(rig.text(QStringLiteral("edChannel")), QStringLiteral("0"));
}

PW_TEST_MAIN(TestFaders)
#include "tst_faders.moc"
