#include "SkinTestWindow.h"
#include "look/SkinDialog.h"
#include "look/SkinStore.h"
#include "look/SkinTable.h"
#include "platform/AppPaths.h"
#include "support/RecordingDialogs.h"
#include "support/TestMain.h"
#include "widgets/Fader.h"
#include "widgets/LedDisplay.h"
#include "widgets/SkinEngine.h"
#include "widgets/SkinFile.h"

#include <QButtonGroup>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>

namespace
{
const QByteArray MinimalSkin = "/* Patchwarden skin\n"
                               "   name: Test Red\n"
                               "   ledColor: #00ff00\n"
                               "   faderHandle: #123456\n"
                               "*/\n"
                               "QWidget { background-color: #800000; color: white; }\n";

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QColor headerColour(const SkinFile &skin, const QByteArray &property)
{
    for (const auto &[name, colour] : skin.colours)
        if (name == property)
            return colour;
    return {};
}

void setStoreFolder(const QString &dir)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
}
} // namespace

class TestSkins : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void parsesHeader();
    void refusesWhatIsNotASkin_data();
    void refusesWhatIsNotASkin();
    void skinTableFiles();
    void everySkinLoadsAndLooksItsOwn();
    void coloursReachLateWidgetsAndDefaultGivesThemBack();
    void engineKeepsLookOnBadFile_data();
    void engineKeepsLookOnBadFile();
    void choiceWindowLayout();
    void choosingSkin7AppliesAndStoresIt();
    void choosingUnloadableSkin_data();
    void choosingUnloadableSkin();
    void okayAndCloseBoxHide();
    void storedSkinAppliedAtNextStart();
    void storedSkinMissingGivesDefault();
    void unwritableStoreChangesNothingVisible();

private:
    QTemporaryDir m_temp;
    QString m_skinsDir;
    // A skin file a test replaced, with its own contents, put back by cleanup().
    QString m_replacedPath;
    QByteArray m_replacedBytes;
};

void TestSkins::initTestCase()
{
    QVERIFY(m_temp.isValid());
    setStoreFolder(m_temp.filePath(QStringLiteral("settings")));
    m_skinsDir = AppPaths::exeDir() + QStringLiteral("/skins");
    QVERIFY2(QFileInfo(m_skinsDir + QStringLiteral("/mxskin29.SKN")).isFile(),
             "the build copies the skins beside the test program");
}

void TestSkins::init()
{
    qApp->setStyleSheet(QString());
    setStoreFolder(m_temp.filePath(QStringLiteral("settings")));
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brindlecroft"),
              QStringLiteral("Patchwarden"))
        .remove(QStringLiteral("skin"));
}

void TestSkins::cleanup()
{
    if (!m_replacedPath.isEmpty()) {
        QFile::remove(m_replacedPath);
        writeFile(m_replacedPath, m_replacedBytes);
        m_replacedPath.clear();
    }
    qApp->setStyleSheet(QString());
}

void TestSkins::parsesHeader()
{
    QString error;
    const auto skin = SkinFile::parse(MinimalSkin, &error);
    QVERIFY2(skin, qPrintable(error));
    QCOMPARE(skin->name, QStringLiteral("Test Red"));
    QCOMPARE(headerColour(*skin, "ledColor"), QColor(0, 255, 0));
    QCOMPARE(headerColour(*skin, "faderHandle"), QColor(0x12, 0x34, 0x56));
    QVERIFY(!headerColour(*skin, "ledOffColor").isValid());
    QCOMPARE(skin->styleSheet, QString::fromUtf8(MinimalSkin));
}

void TestSkins::refusesWhatIsNotASkin_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray header = "/* Patchwarden skin\n name: X\n*/\n";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blank") << QByteArray("  \r\n\t\n");
    QByteArray binary;
    for (int i = 0; i < 600; ++i)
        binary.append(char((i * 7919 + 13) % 256));
    QTest::newRow("binary garbage") << binary;
    QTest::newRow("binary after header") << header + QByteArray("QWidget { color: red; }\0\x01\x02", 27);
    QTest::newRow("no header") << QByteArray("QWidget { color: red; }");
    QTest::newRow("other comment") << QByteArray("/* my sheet\n name: X */ QWidget { color: red; }");
    QTest::newRow("no name") << QByteArray("/* Patchwarden skin\n ledColor: red\n*/ QWidget { color: red; }");
    QTest::newRow("bad colour") << QByteArray(
        "/* Patchwarden skin\n name: X\n ledColor: #zz0000\n*/ QWidget { }");
    QTest::newRow("header line without colon")
        << QByteArray("/* Patchwarden skin\n name: X\n junk\n*/ QWidget { }");
    QTest::newRow("header not closed") << QByteArray("/* Patchwarden skin\n name: X\n QWidget { }");
    QTest::newRow("no rules") << header;
    QTest::newRow("rule not closed") << header + "QWidget { color: red;";
    QTest::newRow("stray brace") << header + "QWidget { color: red; } }";
    QTest::newRow("nested block") << header + "QWidget { QLabel { color: red; } }";
    QTest::newRow("no selector") << header + "{ color: red; }";
    QTest::newRow("declaration without colon") << header + "QWidget { color red; }";
    QTest::newRow("declaration without value") << header + "QWidget { color: ; }";
    QTest::newRow("text after last rule") << header + "QWidget { color: red; } QLabel";
    QTest::newRow("comment not closed") << header + "QWidget { color: red; } /* ";
    QTest::newRow("string not closed") << header + "QWidget { font-family: \"DejaVu Sans; }";
    QTest::newRow("not UTF-8") << header + "QLabel { color: red; } /* \xff\xfe */";
    QTest::newRow("too large") << header + "QWidget { color: red; }\n" + QByteArray(SkinFile::MaxBytes, ' ');
}

void TestSkins::refusesWhatIsNotASkin()
{
    QFETCH(QByteArray, bytes);
    QString error;
    QVERIFY(!SkinFile::parse(bytes, &error));
    QVERIFY(!error.isEmpty());
}

void TestSkins::skinTableFiles()
{
    const QStringList expected = {
        "mxskin11.SKN", "mxskin20.skn", "mxskin15.skn", "mxskin60.skn", "mxskin24.skn",
        "mxskin28.skn", "mxskin29.SKN", "mxskin30.skn", "mxskin35.skn", "mxskin40.skn",
        "mxskin47.skn", "mxskin56.skn", "mxskin59.skn", "mxskin67.skn",
    };
    QCOMPARE(SkinTable::Count, 14);
    for (int i = 0; i < SkinTable::Count; ++i) {
        QCOMPARE(SkinTable::item(i), QStringLiteral("Skin%1").arg(i + 1));
        QCOMPARE(SkinTable::fileName(i), expected.at(i));
        QCOMPARE(SkinTable::path(i), m_skinsDir + QLatin1Char('/') + expected.at(i));
    }
}

void TestSkins::everySkinLoadsAndLooksItsOwn()
{
    RecordingDialogs dialogs;
    SkinEngine engine;
    SkinTestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage plain = window.shot();

    QList<QImage> looks;
    QStringList names;
    for (int i = 0; i < SkinTable::Count; ++i) {
        const QString path = SkinTable::path(i);
        QString error;
        const auto skin = SkinFile::load(path, &error);
        QVERIFY2(skin, qPrintable(path + QStringLiteral(": ") + error));
        QVERIFY2(engine.setSkinFile(path), qPrintable(path));
        QCOMPARE(engine.skinFile(), path);
        QCOMPARE(engine.skinName(), skin->name);
        QVERIFY(qApp->styleSheet().startsWith(skin->styleSheet));
        // Every skin sets all the colours that the style sheet cannot reach.
        for (const char *property :
             {"ledColor", "ledOffColor", "ledBackground", "faderTrack", "faderHandle", "faderGroove"}) {
            const QColor wanted = headerColour(*skin, property);
            QVERIFY2(wanted.isValid(), qPrintable(path + QLatin1Char(' ') + QLatin1String(property)));
            QWidget *owner = QByteArray(property).startsWith("led") ? static_cast<QWidget *>(window.led)
                                                                    : static_cast<QWidget *>(window.fader);
            QCOMPARE(owner->property(property).value<QColor>(), wanted);
        }
        const QImage look = window.shot();
        QVERIFY2(look != plain, qPrintable(path));
        for (int j = 0; j < looks.size(); ++j)
            QVERIFY2(look != looks.at(j),
                     qPrintable(QStringLiteral("%1 looks like skin %2").arg(path).arg(j + 1)));
        QVERIFY2(!names.contains(skin->name), qPrintable(skin->name));
        looks.append(look);
        names.append(skin->name);
    }
    QVERIFY(dialogs.messages.isEmpty());
}

void TestSkins::coloursReachLateWidgetsAndDefaultGivesThemBack()
{
    LedDisplay early;
    const QColor ownColour = early.ledColor();
    const QColor ownHandle = Fader().faderHandle();
    early.show();

    SkinEngine engine;
    const QString path = m_temp.filePath(QStringLiteral("red.skn"));
    writeFile(path, MinimalSkin);
    QVERIFY(engine.setSkinFile(path));
    QCOMPARE(early.ledColor(), QColor(0, 255, 0));

    LedDisplay late;
    Fader lateFader;
    late.show();
    lateFader.show();
    QCOMPARE(late.ledColor(), QColor(0, 255, 0));
    QCOMPARE(lateFader.faderHandle(), QColor(0x12, 0x34, 0x56));
    // A colour the skin does not name stays the widget's own.
    QCOMPARE(late.ledOffColor(), LedDisplay().ledOffColor());

    engine.applyDefault();
    QCOMPARE(engine.skinFile(), path);
    QCOMPARE(engine.skinName(), QStringLiteral("Default"));
    QVERIFY(qApp->styleSheet().isEmpty());
    QCOMPARE(early.ledColor(), ownColour);
    QCOMPARE(late.ledColor(), ownColour);
    QCOMPARE(lateFader.faderHandle(), ownHandle);
}

void TestSkins::engineKeepsLookOnBadFile_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no file at all
    QTest::newRow("missing") << QByteArray();
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 2654435761u) >> 13));
    QTest::newRow("binary garbage") << binary;
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("style sheet with errors") << QByteArray(
        "/* Patchwarden skin\n name: Broken\n*/\nQWidget { background: red;\nQLabel { color }\n");
}

void TestSkins::engineKeepsLookOnBadFile()
{
    QFETCH(QByteArray, bytes);
    RecordingDialogs dialogs;
    SkinEngine engine;
    SkinTestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(engine.setSkinFile(SkinTable::path(2)));
    const QString sheet = qApp->styleSheet();
    const QColor led = window.led->ledColor();
    const QImage before = window.shot();

    const QString path = m_temp.filePath(QStringLiteral("bad.skn"));
    QFile::remove(path);
    if (!bytes.isNull())
        writeFile(path, bytes);
    QVERIFY(!engine.setSkinFile(path));
    QCOMPARE(engine.skinFile(), path);
    QVERIFY(!engine.lastError().isEmpty());
    QCOMPARE(qApp->styleSheet(), sheet);
    QCOMPARE(window.led->ledColor(), led);
    QCOMPARE(window.shot(), before);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestSkins::choiceWindowLayout()
{
    SkinEngine engine;
    SkinDialog choice(engine);
    QCOMPARE(choice.objectName(), QStringLiteral("fOutfitSpec"));
    QCOMPARE(choice.windowTitle(), QStringLiteral("Program Skin"));
    QCOMPARE(choice.windowType(), Qt::Tool);
    QVERIFY(choice.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(choice.windowFlags() & Qt::WindowCloseButtonHint);
    auto *panel = choice.statusBar()->findChild<QLabel *>();
    QVERIFY(panel);
    QCOMPARE(panel->text(), QStringLiteral("Program Skins "));
    QVERIFY(panel->alignment() & Qt::AlignHCenter);

    auto *group = choice.findChild<QGroupBox *>(QStringLiteral("rg_skin"));
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral(" Program Skins "));
    choice.show();
    QVERIFY(QTest::qWaitForWindowExposed(&choice));
    const QList<QAbstractButton *> buttons = choice.buttonGroup()->buttons();
    QCOMPARE(buttons.size(), 14);
    QVERIFY(choice.buttonGroup()->exclusive());
    QVERIFY(!choice.buttonGroup()->checkedButton());
    QSet<int> columns;
    QSet<QString> names; // each skin by the name its file gives it
    for (int i = 0; i < 14; ++i) {
        QAbstractButton *radio = choice.buttonGroup()->button(i);
        QVERIFY(qobject_cast<QRadioButton *>(radio));
        QCOMPARE(radio->text(), SkinFile::load(SkinTable::path(i))->name);
        names.insert(radio->text());
        QVERIFY(group->isAncestorOf(radio));
        columns.insert(radio->x());
    }
    QCOMPARE(columns.size(), 2);
    QCOMPARE(names.size(), 14);
    QVERIFY(choice.buttonGroup()->button(0)->x() < choice.buttonGroup()->button(7)->x());
    QCOMPARE(choice.buttonGroup()->button(0)->x(), choice.buttonGroup()->button(6)->x());
    auto *okay = choice.findChild<QPushButton *>(QStringLiteral("Button2"));
    QVERIFY(okay);
    QCOMPARE(okay->text(), QStringLiteral("OK"));
    // From top to bottom: status bar, choices, button.
    const auto top = [&](QWidget *w) { return w->mapTo(&choice, QPoint(0, 0)).y(); };
    QVERIFY(top(choice.statusBar()) < top(group));
    QVERIFY(top(group) + group->height() <= top(okay));
}

void TestSkins::choosingSkin7AppliesAndStoresIt()
{
    RecordingDialogs dialogs;
    SkinEngine engine;
    SkinTestWindow window;
    SkinDialog choice(engine);
    window.show();
    choice.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage before = window.shot();

    QTest::mouseClick(choice.buttonGroup()->button(6), Qt::LeftButton);

    const QString expected = AppPaths::exeDir() + QStringLiteral("/skins/mxskin29.SKN");
    QVERIFY(engine.skinFile().endsWith(QStringLiteral("skins/mxskin29.SKN")));
    QCOMPARE(engine.skinFile(), expected);
    QCOMPARE(SkinStore::stored(), expected);
    QSettings file(m_temp.filePath(QStringLiteral("settings/Brindlecroft/Patchwarden.conf")),
                   QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("skin")).toString(), expected);
    QCOMPARE(engine.skinName(), QStringLiteral("Sunset Gig"));
    QVERIFY(window.shot() != before);
    QVERIFY(choice.buttonGroup()->button(6)->isChecked());
    QVERIFY(dialogs.messages.isEmpty());
}

void TestSkins::choosingUnloadableSkin_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: the file is gone
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\x02\xff\xfe PK\x03\x04\x00\x00", 12).repeated(50);
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("style sheet with errors")
        << QByteArray("/* Patchwarden skin\n name: Broken\n*/\nQPushButton { color: red; \n");
}

void TestSkins::choosingUnloadableSkin()
{
    QFETCH(QByteArray, bytes);
    RecordingDialogs dialogs;
    SkinEngine engine;
    SkinTestWindow window;
    SkinDialog choice(engine);
    window.show();
    choice.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(choice.buttonGroup()->button(0), Qt::LeftButton);
    QCOMPARE(engine.skinName(), QStringLiteral("Steel Blue"));
    const QImage before = window.shot();

    // Skin10's file is spoilt for this test only; cleanup() puts it back.
    const QString path = SkinTable::path(9);
    QFile original(path);
    QVERIFY(original.open(QIODevice::ReadOnly));
    m_replacedBytes = original.readAll();
    original.close();
    m_replacedPath = path;
    QVERIFY(QFile::remove(path));
    if (!bytes.isNull())
        writeFile(path, bytes);

    QTest::mouseClick(choice.buttonGroup()->button(9), Qt::LeftButton);
    QCOMPARE(engine.skinFile(), path);
    QVERIFY(path.endsWith(QStringLiteral("skins/mxskin40.skn")));
    QCOMPARE(SkinStore::stored(), path);
    QCOMPARE(engine.skinName(), QStringLiteral("Steel Blue"));
    QCOMPARE(window.shot(), before);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestSkins::okayAndCloseBoxHide()
{
    SkinEngine engine;
    SkinDialog choice(engine);
    choice.show();
    QVERIFY(choice.isVisible());
    QTest::mouseClick(choice.findChild<QPushButton *>(QStringLiteral("Button2")), Qt::LeftButton);
    QVERIFY(choice.isHidden());
    choice.show();
    QTest::mouseClick(choice.buttonGroup()->button(3), Qt::LeftButton);
    QVERIFY(choice.close());
    QVERIFY(choice.isHidden());
    // Shown again it still holds its choice; the window was not destroyed.
    choice.show();
    QVERIFY(choice.buttonGroup()->button(3)->isChecked());
    // A skin tried and cancelled leaves the look and the stored choice as they were.
    const QString before = engine.skinFile();
    QTest::mouseClick(choice.buttonGroup()->button(5), Qt::LeftButton);
    QCOMPARE(SkinStore::stored(), SkinTable::path(5));
    QTest::mouseClick(choice.findChild<QPushButton *>(QStringLiteral("btCancel")), Qt::LeftButton);
    QVERIFY(choice.isHidden());
    QCOMPARE(engine.skinFile(), before);
    QCOMPARE(SkinStore::stored(), before);
    QVERIFY(choice.buttonGroup()->button(3)->isChecked());
}

void TestSkins::storedSkinAppliedAtNextStart()
{
    QImage chosenLook;
    {
        SkinEngine engine;
        SkinDialog choice(engine);
        SkinTestWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        choice.buttonGroup()->button(11)->click();
        QCOMPARE(engine.skinName(), QStringLiteral("Royal Velvet"));
        chosenLook = window.shot();
    }
    // The next run starts with the built-in look until the stored choice is applied.
    qApp->setStyleSheet(QString());
    SkinEngine engine;
    SkinTestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage plain = window.shot();
    QVERIFY(SkinStore::applyStored(engine));
    QCOMPARE(engine.skinFile(), SkinTable::path(11));
    QCOMPARE(window.shot(), chosenLook);
    QVERIFY(chosenLook != plain);
}

void TestSkins::storedSkinMissingGivesDefault()
{
    const QString gone = m_temp.filePath(QStringLiteral("gone/mxskin11.SKN"));
    QVERIFY(SkinStore::store(gone));
    QCOMPARE(SkinStore::stored(), gone);
    qApp->setStyleSheet(QStringLiteral("QWidget { background: red; }"));
    SkinEngine engine;
    QVERIFY(!SkinStore::applyStored(engine));
    QVERIFY(qApp->styleSheet().isEmpty());
    QCOMPARE(engine.skinName(), QStringLiteral("Default"));
}

void TestSkins::unwritableStoreChangesNothingVisible()
{
    QImage expectedLook;
    {
        SkinEngine engine;
        SkinTestWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(engine.setSkinFile(SkinTable::path(4)));
        expectedLook = window.shot();
    }
    qApp->setStyleSheet(QString());

    // A settings folder below a plain file can never be made, not even by root.
    const QString blocker = m_temp.filePath(QStringLiteral("blocker"));
    writeFile(blocker, "not a folder");
    setStoreFolder(blocker + QStringLiteral("/settings"));

    RecordingDialogs dialogs;
    SkinEngine engine;
    SkinDialog choice(engine);
    SkinTestWindow window;
    window.show();
    choice.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(choice.buttonGroup()->button(4), Qt::LeftButton);
    QVERIFY(!SkinStore::store(engine.skinFile()));
    QCOMPARE(engine.skinFile(), SkinTable::path(4));
    QCOMPARE(engine.skinName(), QStringLiteral("Mint Paper"));
    QCOMPARE(window.shot(), expectedLook);
    QVERIFY(SkinStore::stored().isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(choice.isVisible());
}

PW_TEST_MAIN(TestSkins)
#include "tst_skins.moc"
