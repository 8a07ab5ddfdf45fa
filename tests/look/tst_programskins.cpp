#include "app/ProgramWindows.h"
#include "look/InfoWindow.h"
#include "look/SkinDialog.h"
#include "look/SkinStore.h"
#include "look/SkinTable.h"
#include "mixer/MixerWindow.h"
#include "platform/AppPaths.h"
#include "platform/VirtualMidiSystem.h"
#include "support/RecordingDialogs.h"
#include "support/TestMain.h"
#include "widgets/Fader.h"
#include "widgets/SkinEngine.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
// Contrast ratio of two colours as seen, from their relative luminance.
double contrast(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto lin = [](int v) {
            const double f = v / 255.0;
            return f <= 0.03928 ? f / 12.92 : std::pow((f + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QImage shot(QWidget *window)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return window->grab().toImage();
}

// The whole program on an in-process MIDI device, its data and settings in folders of
// its own. Showing the main window runs the real start-up.
struct Program {
    explicit Program(const QString &dataDir, bool showMixer = true)
    {
        AppPaths::setDataDir(dataDir);
        midi.addOutput(QStringLiteral("Synth"));
        windows = std::make_unique<ProgramWindows>(midi, MainWindow::Options{}, &info);
        windows->mainWindow().show();
        if (showMixer)
            windows->mixerWindow().show();
    }

    VirtualMidiSystem midi;
    InfoWindow info;
    std::unique_ptr<ProgramWindows> windows;
};
} // namespace

class TestProgramSkins : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void choosingSkin7RepaintsTheProgram();
    void storedChoiceComesBackAtTheNextStart();
    void mixerFirstOpenedUnderASkinTakesItsColours();
    void faderStandsOutUnderEverySkin_data();
    void faderStandsOutUnderEverySkin();
    void focusShowsUnderEverySkin_data() { faderStandsOutUnderEverySkin_data(); }
    void focusShowsUnderEverySkin();

private:
    QTemporaryDir m_temp;
};

void TestProgramSkins::initTestCase()
{
    QVERIFY(m_temp.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       m_temp.filePath(QStringLiteral("settings")));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       m_temp.filePath(QStringLiteral("settings")));
}

void TestProgramSkins::cleanup()
{
    qApp->setStyleSheet(QString());
}

void TestProgramSkins::choosingSkin7RepaintsTheProgram()
{
    RecordingDialogs dialogs;
    Program program(m_temp.filePath(QStringLiteral("data1")));
    MainWindow &form = program.windows->mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage mainBefore = shot(&form);
    const QImage mixerBefore = shot(&program.windows->mixerWindow());
    const QImage infoBefore = shot(&program.info);
    // Inside the input lamp's border, clear of its text.
    auto *inLed = form.findChild<QToolButton *>(QStringLiteral("InLed"));
    QVERIFY(inLed && inLed->isVisible());
    const QPoint lampInside = inLed->mapTo(&form, QPoint(2, 2));
    QVERIFY(mainBefore.pixelColor(lampInside) != QColor(0xffcf3a));

    SkinDialog &choice = program.windows->skinDialog();
    choice.show();
    QTest::mouseClick(choice.buttonGroup()->button(6), Qt::LeftButton);

    const QString expected = AppPaths::exeDir() + QStringLiteral("/skins/mxskin29.SKN");
    QCOMPARE(form.skinEngine().skinFile(), expected);
    QCOMPARE(SkinStore::stored(), expected);
    const QImage mainAfter = shot(&form);
    QVERIFY(mainAfter != mainBefore);
    // The lamp, drawn before, takes the skin's colour.
    QCOMPARE(mainAfter.pixelColor(lampInside), QColor(0xffcf3a));
    QVERIFY(shot(&program.windows->mixerWindow()) != mixerBefore);
    // The information window keeps its silver look under every skin.
    QCOMPARE(shot(&program.info), infoBefore);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestProgramSkins::storedChoiceComesBackAtTheNextStart()
{
    QImage chosen;
    {
        Program first(m_temp.filePath(QStringLiteral("data2")));
        QVERIFY(QTest::qWaitForWindowExposed(&first.windows->mainWindow()));
        first.windows->skinDialog().buttonGroup()->button(2)->click();
        chosen = shot(&first.windows->mainWindow());
    }
    qApp->setStyleSheet(QString());

    Program second(m_temp.filePath(QStringLiteral("data2")));
    MainWindow &form = second.windows->mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage plain = shot(&form);
    QVERIFY(SkinStore::applyStored(form.skinEngine()));
    QCOMPARE(form.skinEngine().skinFile(), SkinTable::path(2));
    const QImage restored = shot(&form);
    QVERIFY(restored != plain);
    QCOMPARE(restored, chosen);
}

void TestProgramSkins::mixerFirstOpenedUnderASkinTakesItsColours()
{
    // The mixer is made when first opened: made after the choice of skin, it must come up
    // as one that was open when the skin was chosen.
    const auto colours = [](QWidget &mixer) {
        QStringList names;
        for (Fader *fader : mixer.findChildren<Fader *>())
            names << fader->faderTrack().name() << fader->faderHandle().name() << fader->faderGroove().name();
        return names;
    };
    RecordingDialogs dialogs;
    QStringList plain;
    QStringList skinned;
    {
        Program open(m_temp.filePath(QStringLiteral("data4")));
        plain = colours(open.windows->mixerWindow());
        open.windows->skinDialog().buttonGroup()->button(6)->click();
        skinned = colours(open.windows->mixerWindow());
    }
    QVERIFY(!plain.isEmpty());
    QVERIFY(skinned != plain);
    qApp->setStyleSheet(QString());

    Program closed(m_temp.filePath(QStringLiteral("data5")), false);
    closed.windows->skinDialog().buttonGroup()->button(6)->click();
    closed.windows->mainWindow().findChild<QAction *>(QStringLiteral("UserDefinedController1"))->trigger();
    QCOMPARE(colours(closed.windows->mixerWindow()), skinned);
}

void TestProgramSkins::faderStandsOutUnderEverySkin_data()
{
    QTest::addColumn<int>("skin");
    for (int i = 0; i < SkinTable::Count; ++i)
        QTest::newRow(qPrintable(SkinTable::item(i))) << i;
}

void TestProgramSkins::faderStandsOutUnderEverySkin()
{
    QFETCH(int, skin);
    RecordingDialogs dialogs;
    Program program(m_temp.filePath(QStringLiteral("data3")));
    QWidget &mixer = program.windows->mixerWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&mixer));
    program.windows->skinDialog().buttonGroup()->button(skin)->click();
    QCOMPARE(program.windows->mainWindow().skinEngine().skinFile(), SkinTable::path(skin));

    // Measured on the picture of the whole mixer, as a player sees it.
    const QImage picture = shot(&mixer);
    const QList<Fader *> faders = mixer.findChildren<Fader *>();
    QVERIFY(!faders.isEmpty());
    for (Fader *fader : faders) {
        const QRect cap = fader->handleRect();
        QVERIFY2(cap.top() > fader->height() / 2, "the cap is expected low, with the groove open above it");
        const QPoint origin = fader->mapTo(&mixer, QPoint(0, 0));
        const int cx = fader->width() / 2;
        const int y = cap.top() / 2;
        const QRgb background = picture.pixel(origin + QPoint(1, y));
        const QRgb groove = picture.pixel(origin + QPoint(cx, y));
        // A cap shows by its face or by its rim.
        const QRgb face = picture.pixel(origin + QPoint(cx - 6, cap.top() + cap.height() / 4));
        const QRgb rim = picture.pixel(origin + QPoint(cap.left(), cap.center().y() + 4));
        const QString at = QStringLiteral("%1: background %2 groove %3 cap %4 rim %5")
                               .arg(fader->objectName(), QColor(background).name(), QColor(groove).name(),
                                    QColor(face).name(), QColor(rim).name());
        QVERIFY2(contrast(groove, background) >= 1.8, qPrintable(at));
        QVERIFY2(std::max(contrast(face, background), contrast(rim, background)) >= 1.8, qPrintable(at));
    }
}

// Whoever works from the keyboard sees where the next key goes, whatever the skin.
void TestProgramSkins::focusShowsUnderEverySkin()
{
    QFETCH(int, skin);
    SkinEngine engine;
    QVERIFY(engine.setSkinFile(SkinTable::path(skin)));
    QWidget window;
    auto *row = new QHBoxLayout(&window);
    auto *button = new QPushButton(QStringLiteral("Save Song"));
    auto *box = new QCheckBox(QStringLiteral("Remote on"));
    auto *elsewhere = new QLineEdit;
    for (QWidget *widget : std::initializer_list<QWidget *>{button, box, elsewhere})
        row->addWidget(widget);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (QWidget *widget : std::initializer_list<QWidget *>{button, box}) {
        elsewhere->setFocus();
        QTRY_VERIFY(elsewhere->hasFocus());
        const QImage without = widget->grab().toImage();
        widget->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(widget->hasFocus());
        QVERIFY2(widget->grab().toImage() != without, widget->metaObject()->className());
    }
    engine.applyDefault();
}

PW_TEST_MAIN(TestProgramSkins)
#include "tst_programskins.moc"
