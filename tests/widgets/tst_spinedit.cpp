#include "support/TestMain.h"
#include "widgets/SpinEdit.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QVBoxLayout>

namespace
{

QLineEdit *editOf(SpinEdit &spin)
{
    auto *edit = spin.findChild<QLineEdit *>();
    Q_ASSERT(edit);
    return edit;
}

void typeInto(SpinEdit &spin, const QString &keys)
{
    editOf(spin)->clear();
    QTest::keyClicks(&spin, keys);
}

QPoint upButtonCentre(SpinEdit &spin)
{
    QStyleOptionSpinBox option;
    option.initFrom(&spin);
    option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame;
    option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    option.frame = true;
    return spin.style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, &spin).center();
}

} // namespace

class TestSpinEdit : public QObject
{
    Q_OBJECT
private slots:
    void readsTextAsTyped_data();
    void readsTextAsTyped();
    void setValueClamps_data();
    void setValueClamps();
    void typingAcceptsOnlyNumberCharacters_data();
    void typingAcceptsOnlyNumberCharacters();
    void focusOutBringsTextIntoRange_data();
    void focusOutBringsTextIntoRange();
    void changedFollowsEveryTextChange();
    void spinButtonsAndKeysStepWithinRange();
    void setRangeKeepsValueInRange();
    void sizeHintShowsWidestNumber();
};

void TestSpinEdit::readsTextAsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("empty reads minimum") << QString() << 1;
    QTest::newRow("lone minus") << QStringLiteral("-") << 1;
    QTest::newRow("lone plus") << QStringLiteral("+") << 1;
    QTest::newRow("decimal") << QStringLiteral("1") + QLocale().decimalPoint() + QStringLiteral("5") << 1;
    QTest::newRow("double sign") << QStringLiteral("--3") << 1;
    QTest::newRow("plain") << QStringLiteral("42") << 42;
    QTest::newRow("explicit plus") << QStringLiteral("+7") << 7;
    QTest::newRow("above range unclamped") << QStringLiteral("200") << 200;
    QTest::newRow("below range unclamped") << QStringLiteral("-5") << -5;
    QTest::newRow("zero unclamped") << QStringLiteral("0") << 0;
    QTest::newRow("beyond int reads minimum") << QStringLiteral("99999999999") << 1;
}

void TestSpinEdit::readsTextAsTyped()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    SpinEdit spin(1, 128, 1);
    editOf(spin)->setText(text);
    QCOMPARE(spin.value(), value);
}

void TestSpinEdit::setValueClamps_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("set");
    QTest::addColumn<QString>("shown");
    QTest::newRow("program 200") << 1 << 128 << 200 << QStringLiteral("128");
    QTest::newRow("program -1") << 1 << 128 << -1 << QStringLiteral("1");
    QTest::newRow("program 128") << 1 << 128 << 128 << QStringLiteral("128");
    QTest::newRow("send value -1") << 0 << 127 << -1 << QStringLiteral("0");
    QTest::newRow("send value 128") << 0 << 127 << 128 << QStringLiteral("127");
    QTest::newRow("channel 16") << 1 << 16 << 16 << QStringLiteral("16");
    QTest::newRow("channel 17") << 1 << 16 << 17 << QStringLiteral("16");
}

void TestSpinEdit::setValueClamps()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, set);
    QFETCH(QString, shown);
    SpinEdit spin(minimum, maximum, minimum);
    spin.setValue(set);
    QCOMPARE(spin.text(), shown);
    QCOMPARE(spin.value(), shown.toInt());

    SpinEdit startedOutside(minimum, maximum, set);
    QCOMPARE(startedOutside.text(), shown);
}

void TestSpinEdit::typingAcceptsOnlyNumberCharacters_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    const QString point = QLocale().decimalPoint();
    QTest::newRow("digits") << QStringLiteral("127") << QStringLiteral("127");
    QTest::newRow("letters dropped") << QStringLiteral("1a2B") << QStringLiteral("12");
    QTest::newRow("signs kept") << QStringLiteral("-+5") << QStringLiteral("-+5");
    QTest::newRow("decimal separator kept") << QStringLiteral("1") + point + QStringLiteral("5")
                                            << QStringLiteral("1") + point + QStringLiteral("5");
    QTest::newRow("blank and punctuation dropped") << QStringLiteral(" 6;/x") << QStringLiteral("6");
    QTest::newRow("out of range stays as typed") << QStringLiteral("300") << QStringLiteral("300");
}

void TestSpinEdit::typingAcceptsOnlyNumberCharacters()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    SpinEdit spin(1, 128, 1);
    typeInto(spin, keys);
    QCOMPARE(spin.text(), shown);
}

void TestSpinEdit::focusOutBringsTextIntoRange_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("readBefore");
    QTest::newRow("above") << QStringLiteral("300") << QStringLiteral("128") << 300;
    QTest::newRow("below") << QStringLiteral("0") << QStringLiteral("1") << 0;
    QTest::newRow("empty") << QString() << QStringLiteral("1") << 1;
    QTest::newRow("lone sign") << QStringLiteral("-") << QStringLiteral("1") << 1;
    QTest::newRow("leading zero") << QStringLiteral("007") << QStringLiteral("7") << 7;
    QTest::newRow("in range") << QStringLiteral("64") << QStringLiteral("64") << 64;
}

void TestSpinEdit::focusOutBringsTextIntoRange()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, readBefore);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *spin = new SpinEdit(1, 128, 1, &window);
    auto *other = new QLineEdit(&window);
    layout->addWidget(spin);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    spin->setFocus();
    QTRY_VERIFY(spin->hasFocus());
    typeInto(*spin, keys);
    QCOMPARE(spin->value(), readBefore);

    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(spin->text(), shown);
}

void TestSpinEdit::changedFollowsEveryTextChange()
{
    SpinEdit spin(1, 128, 1);
    editOf(spin)->clear();
    QSignalSpy changed(&spin, &SpinEdit::changed);

    QTest::keyClicks(&spin, QStringLiteral("12"));
    QCOMPARE(changed.count(), 2);
    QTest::keyClicks(&spin, QStringLiteral("x"));
    QCOMPARE(changed.count(), 2); // a refused key changes nothing
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(spin.text(), QStringLiteral("1"));

    spin.setValue(1);
    QCOMPARE(changed.count(), 3); // same text: nothing to tell
    spin.setValue(5);
    QCOMPARE(changed.count(), 4);
    spin.setValue(500);
    QCOMPARE(changed.count(), 5);
    spin.setValue(900); // still shows 128
    QCOMPARE(changed.count(), 5);

    QTest::keyClick(&spin, Qt::Key_Down);
    QCOMPARE(spin.text(), QStringLiteral("127"));
    QCOMPARE(changed.count(), 6);

    spin.resize(spin.sizeHint());
    spin.show();
    QVERIFY(QTest::qWaitForWindowExposed(&spin));
    QTest::mouseClick(&spin, Qt::LeftButton, {}, upButtonCentre(spin));
    QCOMPARE(spin.text(), QStringLiteral("128"));
    QCOMPARE(changed.count(), 7);
}

void TestSpinEdit::spinButtonsAndKeysStepWithinRange()
{
    SpinEdit spin(1, 16, 16);
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.text(), QStringLiteral("16"));
    spin.stepBy(-20);
    QCOMPARE(spin.text(), QStringLiteral("1"));
    QTest::keyClick(&spin, Qt::Key_Down);
    QCOMPARE(spin.text(), QStringLiteral("1"));

    // A number typed beyond the range steps from the range's end, not from itself.
    typeInto(spin, QStringLiteral("40"));
    QTest::keyClick(&spin, Qt::Key_Down);
    QCOMPARE(spin.text(), QStringLiteral("15"));
    typeInto(spin, QString());
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.text(), QStringLiteral("2"));

    spin.setReadOnly(true);
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.text(), QStringLiteral("2"));
}

void TestSpinEdit::setRangeKeepsValueInRange()
{
    SpinEdit spin(1, 128, 100);
    spin.setRange(1, 16);
    QCOMPARE(spin.minimum(), 1);
    QCOMPARE(spin.maximum(), 16);
    QCOMPARE(spin.text(), QStringLiteral("16"));
    spin.setRange(20, 10); // a reversed range collapses to its minimum
    QCOMPARE(spin.maximum(), 20);
    QCOMPARE(spin.text(), QStringLiteral("20"));
}

void TestSpinEdit::sizeHintShowsWidestNumber()
{
    SpinEdit spin(1, 128, 128);
    spin.resize(spin.sizeHint());
    spin.show();
    QVERIFY(QTest::qWaitForWindowExposed(&spin));
    const QLineEdit *edit = editOf(spin);
    QVERIFY2(edit->width() >= edit->fontMetrics().horizontalAdvance(QStringLiteral("128")),
             qPrintable(QStringLiteral("edit %1 px").arg(edit->width())));
    QVERIFY(spin.sizeHint().width() < 120); // a number field, not a text field
}

PW_TEST_MAIN(TestSpinEdit)
#include "tst_spinedit.moc"
