#include "support/TestMain.h"
#include "widgets/Fader.h"
#include "widgets/NumberEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>

namespace
{
// A fader and a number field in one window, so focus can leave the field.
struct Bench {
    Bench()
    {
        window.resize(120, 300);
        fader = new Fader(&window);
        fader->setGeometry(10, 10, 40, 200);
        edit = new NumberEdit(0, 255, &window);
        edit->setGeometry(10, 220, 100, 24);
        other = new QPushButton(QStringLiteral("other"), &window);
        other->setGeometry(10, 250, 100, 24);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    void type(const QString &keys)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, keys);
    }
    QWidget window;
    Fader *fader;
    NumberEdit *edit;
    QPushButton *other;
};
} // namespace

class TestFaderWidgets : public QObject
{
    Q_OBJECT
private slots:
    void faderStartsAtBottomOfZeroToHundred();
    void draggingTheCapFollowsTheMouse();
    void clickBesideTheCapPagesTowardsIt();
    void keysMoveUpwardsForLouder();
    void colourPropertiesRepaint();
    void numberEditValue_data();
    void numberEditValue();
    void leavingClampsTheText();
    void pastedTextIsFiltered();
};

void TestFaderWidgets::faderStartsAtBottomOfZeroToHundred()
{
    Fader f;
    QCOMPARE(f.orientation(), Qt::Vertical);
    QCOMPARE(f.minimum(), 0);
    QCOMPARE(f.maximum(), 100);
    QCOMPARE(f.value(), 0);
    f.resize(40, 200);
    // Minimum at the bottom: the cap sits low at 0 and high at the maximum.
    const int low = f.handleRect().center().y();
    f.setValue(100);
    const int high = f.handleRect().center().y();
    QVERIFY(high < low);
    QVERIFY(f.rect().contains(f.handleRect()));
    f.setValue(0);
    QVERIFY(f.rect().contains(f.handleRect()));
}

void TestFaderWidgets::draggingTheCapFollowsTheMouse()
{
    Bench b;
    QSignalSpy moves(b.fader, &Fader::valueChanged);
    const QPoint start = b.fader->handleRect().center();
    QTest::mousePress(b.fader, Qt::LeftButton, {}, start);
    QVERIFY(b.fader->isSliderDown());
    for (int y = start.y(); y >= 0; y -= 20)
        QTest::mouseMove(b.fader, QPoint(start.x(), y));
    QTest::mouseRelease(b.fader, Qt::LeftButton, {}, QPoint(start.x(), 0));
    QVERIFY(!b.fader->isSliderDown());
    QCOMPARE(b.fader->value(), 100);
    QVERIFY(moves.size() > 2); // it sends on the way, not only at the end
}

void TestFaderWidgets::clickBesideTheCapPagesTowardsIt()
{
    Bench b;
    b.fader->setValue(50);
    const QPoint cap = b.fader->handleRect().center();
    QTest::mouseClick(b.fader, Qt::LeftButton, {}, QPoint(cap.x(), 2));
    QCOMPARE(b.fader->value(), 60);
    QTest::mouseClick(b.fader, Qt::LeftButton, {}, QPoint(cap.x(), b.fader->height() - 2));
    QCOMPARE(b.fader->value(), 50);
}

void TestFaderWidgets::keysMoveUpwardsForLouder()
{
    Bench b;
    b.fader->setFocus();
    QTest::keyClick(b.fader, Qt::Key_Up);
    QCOMPARE(b.fader->value(), 1);
    QTest::keyClick(b.fader, Qt::Key_PageUp);
    QCOMPARE(b.fader->value(), 11);
    QTest::keyClick(b.fader, Qt::Key_Down);
    QCOMPARE(b.fader->value(), 10);
}

void TestFaderWidgets::colourPropertiesRepaint()
{
    Fader f;
    f.resize(40, 200);
    f.setValue(50);
    // Set by name, as a skin does.
    QVERIFY(f.setProperty("faderTrack", QColor(Qt::red)));
    QVERIFY(f.setProperty("faderHandle", QColor(Qt::green)));
    QVERIFY(f.setProperty("faderGroove", QColor(Qt::blue)));
    QCOMPARE(f.property("faderTrack").value<QColor>(), QColor(Qt::red));
    QCOMPARE(f.faderHandle(), QColor(Qt::green));
    QCOMPARE(f.faderGroove(), QColor(Qt::blue));

    const QImage image = f.grab().toImage();
    const int cx = f.width() / 2;
    const QRect cap = f.handleRect();
    // Below the cap the lit track, above it the groove, and the cap in its own colour.
    const QColor below = image.pixelColor(cx, (cap.bottom() + f.height()) / 2);
    const QColor above = image.pixelColor(cx, cap.top() / 2);
    QVERIFY2(below.red() > 200 && below.blue() < 60, qPrintable(below.name()));
    QVERIFY2(above.blue() > 200 && above.red() < 60, qPrintable(above.name()));
    const QColor capColour = image.pixelColor(cap.left() + 4, cap.top() + cap.height() / 2 - 4);
    QVERIFY2(capColour.green() > 150 && capColour.red() < 100, qPrintable(capColour.name()));
}

void TestFaderWidgets::numberEditValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "42" << 42;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("negative clamps") << "-5" << 0;
    QTest::newRow("above range clamps") << "999" << 255;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("signs only") << "+-" << 0;
    QTest::newRow("sign after digits") << "5-" << 0;
    QTest::newRow("more digits than an int") << "99999999999999999999999" << 255;
}

void TestFaderWidgets::numberEditValue()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    NumberEdit edit(0, 255);
    edit.setText(text);
    QCOMPARE(edit.value(), value);
}

void TestFaderWidgets::leavingClampsTheText()
{
    Bench b;
    b.type(QStringLiteral("300"));
    QCOMPARE(b.edit->text(), QStringLiteral("300"));
    b.other->setFocus();
    QCOMPARE(b.edit->text(), QStringLiteral("255"));
    b.type(QStringLiteral("-"));
    b.other->setFocus();
    QCOMPARE(b.edit->text(), QStringLiteral("0"));
    b.edit->setValue(1200);
    QCOMPARE(b.edit->text(), QStringLiteral("255"));
}

void TestFaderWidgets::pastedTextIsFiltered()
{
    Bench b;
    b.edit->clear();
    QApplication::clipboard()->setText(QStringLiteral("12ab"));
    b.edit->paste();
    QCOMPARE(b.edit->text(), QString());
    QApplication::clipboard()->setText(QStringLiteral("17"));
    b.edit->paste();
    QCOMPARE(b.edit->text(), QStringLiteral("17"));
}

PW_TEST_MAIN(TestFaderWidgets)
#include "tst_faderwidgets.moc"
