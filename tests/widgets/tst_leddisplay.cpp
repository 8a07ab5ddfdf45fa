#include "support/TestMain.h"
#include "widgets/LedDisplay.h"

#include <QImage>

namespace
{

QImage picture(LedDisplay &display)
{
    return display.grab().toImage();
}

// Cells that light at least one dot.
QList<int> litCells(const LedDisplay &display)
{
    QList<int> cells;
    for (int cell = 0; cell < LedDisplay::CellCount; ++cell) {
        bool lit = false;
        for (int x = 0; x < LedDisplay::DotsPerCellX && !lit; ++x)
            for (int y = 0; y < LedDisplay::DotsPerCellY && !lit; ++y)
                lit = display.isDotLit(cell * LedDisplay::DotsPerCellX + x, y);
        if (lit)
            cells << cell;
    }
    return cells;
}

} // namespace

class TestLedDisplay : public QObject
{
    Q_OBJECT
private slots:
    void differentTextPaintsDifferently();
    void textIsCentredInSixteenCells_data();
    void textIsCentredInSixteenCells();
    void coloursAreSkinProperties();
};

void TestLedDisplay::differentTextPaintsDifferently()
{
    LedDisplay display;
    display.resize(display.sizeHint());
    const QImage empty = picture(display);
    display.setText(QStringLiteral("INTRO"));
    QCOMPARE(display.text(), QStringLiteral("INTRO"));
    const QImage intro = picture(display);
    display.setText(QStringLiteral("OUTRO"));
    const QImage outro = picture(display);
    QVERIFY(empty != intro);
    QVERIFY(intro != outro);
    display.setText(QStringLiteral("INTRO"));
    QCOMPARE(picture(display), intro);
}

void TestLedDisplay::textIsCentredInSixteenCells_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("cells");
    QTest::newRow("empty") << QString() << QList<int>{};
    QTest::newRow("one") << QStringLiteral("A") << QList<int>{7};
    QTest::newRow("two") << QStringLiteral("AB") << QList<int>{7, 8};
    QTest::newRow("blank inside") << QStringLiteral("A B") << QList<int>{6, 8};
    QTest::newRow("full") << QStringLiteral("ABCDEFGHIJKLMNOP")
                          << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
}

void TestLedDisplay::textIsCentredInSixteenCells()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, cells);
    LedDisplay display;
    display.setText(text);
    QCOMPARE(litCells(display), cells);
}

void TestLedDisplay::coloursAreSkinProperties()
{
    LedDisplay display;
    display.resize(display.sizeHint());
    display.setText(QStringLiteral("SONG"));
    const QImage before = picture(display);

    QVERIFY(display.setProperty("ledColor", QColor(Qt::green)));
    QCOMPARE(display.ledColor(), QColor(Qt::green));
    const QImage green = picture(display);
    QVERIFY(green != before);

    QVERIFY(display.setProperty("ledOffColor", QColor(Qt::darkGreen)));
    QVERIFY(display.setProperty("ledBackground", QColor(Qt::black)));
    QCOMPARE(display.ledBackground(), QColor(Qt::black));
    QVERIFY(picture(display) != green);
    QCOMPARE(picture(display).pixelColor(0, 0), QColor(Qt::black));
}

PW_TEST_MAIN(TestLedDisplay)
#include "tst_leddisplay.moc"
