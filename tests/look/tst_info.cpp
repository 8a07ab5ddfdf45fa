#include "look/InfoWindow.h"
#include "look/JpegDecoder.h"
#include "support/RecordingDialogs.h"
#include "support/TestMain.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace
{
QByteArray builtInJpeg()
{
    QFile file(QStringLiteral(":/look/InfoPicture.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QWidget *child(QWidget *window, const char *name)
{
    return window->findChild<QWidget *>(QLatin1String(name));
}

void click(QWidget *widget, QPoint at = QPoint())
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
}

// A point of the window that no child covers.
QPoint backgroundPoint(QWidget *window)
{
    for (int y = window->height() - 2; y > 0; y -= 3)
        for (int x = 2; x < window->width(); x += 3)
            if (!window->childAt(x, y))
                return {x, y};
    return {};
}
} // namespace

class TestInfo : public QObject
{
    Q_OBJECT
private slots:
    void windowLayout();
    void links();
    void closings_data();
    void closings();
    void splashThenAbout();
    void aboutIsModalAndEndsOnBackgroundClick();
    void damagedPicture_data();
    void damagedPicture();
    void builtInPictureDecodes();
};

void TestInfo::windowLayout()
{
    InfoWindow info;
    QCOMPARE(info.size(), QSize(536, 257));
    QCOMPARE(info.minimumSize(), info.maximumSize());
    QVERIFY(info.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(info.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(info.isWindow());
    QCOMPARE(info.palette().color(QPalette::Window), QColor(192, 192, 192));
    QVERIFY(!info.windowIcon().isNull());

    auto *name = qobject_cast<QLabel *>(child(&info, "MMLabel1"));
    auto *shadow = qobject_cast<QLabel *>(child(&info, "MMLabel2"));
    QVERIFY(name && shadow);
    QCOMPARE(name->text(), QStringLiteral("Patchwarden"));
    QCOMPARE(shadow->text(), QStringLiteral("Patchwarden"));
    QCOMPARE(shadow->pos(), name->pos() + QPoint(3, 3));
    info.ensurePolished();
    name->ensurePolished();
    QCOMPARE(QFontInfo(name->font()).pixelSize(), 35);
    QCOMPARE(name->palette().color(QPalette::WindowText), QColor(Qt::black));
    // The shadow lies under the name, not over it.
    QVERIFY(info.children().indexOf(shadow) < info.children().indexOf(name));

    QCOMPARE(qobject_cast<QLabel *>(child(&info, "MMLabel10"))->text(), QStringLiteral("Version 2011"));
    QCOMPARE(qobject_cast<QLabel *>(child(&info, "MMLabel8"))->text(),
             QStringLiteral("For more information contact:"));
    for (const char *credit : {"MMLabel4", "MMLabel5", "MMLabel6"})
        QVERIFY(!qobject_cast<QLabel *>(child(&info, credit))->text().isEmpty());
    QVERIFY(child(&info, "Bevel1"));

    auto *mail = qobject_cast<QLabel *>(child(&info, "MMLabel7"));
    auto *web = qobject_cast<QLabel *>(child(&info, "MMLabel3"));
    QCOMPARE(mail->toolTip(), QStringLiteral("eMail to Brindlecroft"));
    QCOMPARE(web->toolTip(), QStringLiteral("Check for updates our Internet page"));
    QCOMPARE(mail->text(), InfoWindow::mailAddress());
    QCOMPARE(web->text(), QStringLiteral("https://www.brindlecroft.example/patchwarden"));
    QCOMPARE(qobject_cast<QPushButton *>(child(&info, "Button1"))->text(), QStringLiteral("Close"));

    QVERIFY(info.hasPicture());
    auto *picture = qobject_cast<QLabel *>(child(&info, "Image1"));
    QCOMPARE(picture->geometry(), QRect(8, 8, 241, 121));
    QCOMPARE(picture->pixmap().size(), QSize(241, 121));
}

void TestInfo::links()
{
    RecordingDialogs dialogs;
    InfoWindow info;
    info.show();
    click(child(&info, "MMLabel7"));
    click(child(&info, "MMLabel3"));
    QCOMPARE(dialogs.urls,
             (QList<QUrl>{QUrl(QStringLiteral("mailto:patchwarden@brindlecroft.example")),
                          QUrl(QStringLiteral("https://www.brindlecroft.example/patchwarden"))}));
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(info.isVisible());
}

void TestInfo::closings_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("closes");
    QTest::newRow("background") << QString() << true;
    QTest::newRow("name") << "MMLabel1" << true;
    QTest::newRow("name shadow") << "MMLabel2" << true;
    QTest::newRow("version") << "MMLabel10" << true;
    QTest::newRow("Close") << "Button1" << true;
    QTest::newRow("credit 1") << "MMLabel4" << false;
    QTest::newRow("credit 2") << "MMLabel5" << false;
    QTest::newRow("credit 3") << "MMLabel6" << false;
    QTest::newRow("picture") << "Image1" << false;
    QTest::newRow("contact heading") << "MMLabel8" << false;
    QTest::newRow("separator") << "Bevel1" << false;
}

void TestInfo::closings()
{
    QFETCH(QString, target);
    QFETCH(bool, closes);
    RecordingDialogs dialogs;
    InfoWindow info;
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    if (target.isEmpty()) {
        const QPoint at = backgroundPoint(&info);
        QVERIFY(!at.isNull());
        click(&info, at);
    } else {
        QWidget *widget = child(&info, target.toLatin1().constData());
        QVERIFY(widget);
        click(widget);
    }
    QCOMPARE(info.isVisible(), !closes);
    QVERIFY(dialogs.urls.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
}

void TestInfo::splashThenAbout()
{
    InfoWindow info;
    info.showSplash();
    QVERIFY(info.isVisible());
    QVERIFY(!info.isModal());
    // What the screen holds, not a fresh rendering: start-up may only go on once the
    // splash stands there with its picture.
    const QImage onScreen =
        info.screen()->grabWindow(info.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = JpegDecoder::decode(builtInJpeg()).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(onScreen.size(), info.size());
    QCOMPARE(onScreen.copy(QRect(QPoint(8, 8), picture.size())), picture);
    info.closeSplash();
    QVERIFY(info.isHidden());

    // The About box is the same window; its Close ends the modal display.
    bool wasModal = false;
    QTimer::singleShot(0, &info, [&] {
        wasModal = info.isModalShowing() && info.isModal() && info.isVisible();
        click(child(&info, "Button1"));
    });
    info.showModal();
    QVERIFY(wasModal);
    QVERIFY(info.isHidden());
    QVERIFY(!info.isModal());
}

void TestInfo::aboutIsModalAndEndsOnBackgroundClick()
{
    InfoWindow info;
    bool seenModal = false;
    QTimer::singleShot(0, &info, [&] {
        seenModal = QApplication::activeModalWidget() == &info || info.isModal();
        click(&info, backgroundPoint(&info));
    });
    info.showModal();
    QVERIFY(seenModal);
    QVERIFY(info.isHidden());
    // A second About works like the first.
    QTimer::singleShot(0, &info, [&] { click(child(&info, "MMLabel10")); });
    info.showModal();
    QVERIFY(info.isHidden());
}

void TestInfo::damagedPicture_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray good = builtInJpeg();
    QVERIFY(good.size() > 1000);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x00\x13garbage that is not a picture\xff\xfe", 33).repeated(20);
    QTest::newRow("header only") << good.left(200);
    QTest::newRow("cut in the middle") << good.left(good.size() * 3 / 5);
    QTest::newRow("no end") << good.left(good.size() - 2);
    QByteArray badMarker = good;
    badMarker[2] = '\x00'; // the first marker after SOI is no longer a marker
    QTest::newRow("bad first marker") << badMarker;
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("png signature") << png + QByteArray(100, 'x');
}

void TestInfo::damagedPicture()
{
    QFETCH(QByteArray, data);
    QString error;
    QVERIFY(JpegDecoder::decode(data, &error).isNull());
    QVERIFY(!error.isEmpty());

    RecordingDialogs dialogs;
    InfoWindow info(data);
    QVERIFY(!info.hasPicture());
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    QVERIFY(!info.grab().isNull());
    QVERIFY(info.isVisible());
    QVERIFY(qobject_cast<QLabel *>(child(&info, "Image1"))->pixmap().isNull());
    QVERIFY(dialogs.messages.isEmpty());
}

void TestInfo::builtInPictureDecodes()
{
    const QByteArray data = builtInJpeg();
    QString error;
    const QImage ours = JpegDecoder::decode(data, &error);
    QVERIFY2(!ours.isNull(), qPrintable(error));
    QCOMPARE(ours.size(), QSize(241, 121));

    // Qt's own reader (also libjpeg underneath) must see the same picture.
    const QImage reference = QImage::fromData(data, "JPG").convertToFormat(QImage::Format_RGB888);
    QVERIFY(!reference.isNull());
    int worst = 0;
    for (int y = 0; y < ours.height(); y += 7) {
        for (int x = 0; x < ours.width(); x += 7) {
            const QColor a = ours.pixelColor(x, y), b = reference.pixelColor(x, y);
            worst = qMax(worst, qMax(qAbs(a.red() - b.red()),
                                     qMax(qAbs(a.green() - b.green()), qAbs(a.blue() - b.blue()))));
        }
    }
    QVERIFY2(worst <= 2, qPrintable(QStringLiteral("largest channel difference %1").arg(worst)));
}

PW_TEST_MAIN(TestInfo)
#include "tst_info.moc"
