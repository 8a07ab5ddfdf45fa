#include "app/ProgramWindows.h"
#include "look/SkinStore.h"
#include "look/SkinTable.h"
#include "look/TFrmInfo.h"
#include "look/TfOutfitSpec.h"
#include "mixer/TfMidiUnit.h"
#include "platform/AppPaths.h"
#include "platform/VirtualMidiSystem.h"
#include "support/RecordingDialogs.h"
#include "support/TestMain.h"
#include "widgets/SkinEngine.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace
{
QImage shot(QWidget *window)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return window->grab().toImage();
}

// The whole program on an in-process MIDI device, its data and settings in folders of
// its own. Showing the main window runs the real start-up.
struct Program {
    explicit Program(const QString &dataDir)
    {
        AppPaths::setDataDir(dataDir);
        midi.addOutput(QStringLiteral("Synth"));
        windows = std::make_unique<ProgramWindows>(midi, tForm1::Options{}, &info);
        windows->Form1().show();
        windows->fMidiUnit().show();
    }

    VirtualMidiSystem midi;
    TFrmInfo info;
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
    tForm1 &form = program.windows->Form1();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage mainBefore = shot(&form);
    const QImage mixerBefore = shot(&program.windows->fMidiUnit());
    const QImage infoBefore = shot(&program.info);

    TfOutfitSpec &choice = program.windows->fOutfitSpec();
    choice.show();
    QTest::mouseClick(choice.buttonGroup()->button(6), Qt::LeftButton);

    const QString expected = AppPaths::exeDir() + QStringLiteral("/skins/mxskin29.SKN");
    QCOMPARE(form.SkinData1().skinFile(), expected);
    QCOMPARE(SkinStore::stored(), expected);
    QVERIFY(shot(&form) != mainBefore);
    QVERIFY(shot(&program.windows->fMidiUnit()) != mixerBefore);
    QVERIFY(shot(&program.info) != infoBefore);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestProgramSkins::storedChoiceComesBackAtTheNextStart()
{
    QImage chosen;
    {
        Program first(m_temp.filePath(QStringLiteral("data2")));
        QVERIFY(QTest::qWaitForWindowExposed(&first.windows->Form1()));
        first.windows->fOutfitSpec().buttonGroup()->button(2)->click();
        chosen = shot(&first.windows->Form1());
    }
    qApp->setStyleSheet(QString());

    Program second(m_temp.filePath(QStringLiteral("data2")));
    tForm1 &form = second.windows->Form1();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage plain = shot(&form);
    QVERIFY(SkinStore::applyStored(form.SkinData1()));
    QCOMPARE(form.SkinData1().skinFile(), SkinTable::path(2));
    const QImage restored = shot(&form);
    QVERIFY(restored != plain);
    QCOMPARE(restored, chosen);
}

PW_TEST_MAIN(TestProgramSkins)
#include "tst_programskins.moc"
