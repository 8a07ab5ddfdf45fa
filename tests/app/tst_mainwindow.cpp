// The main window as the user meets it: its pages, menus and indicators, the general
// error display and the closing paths.
#include "AppFixture.h"
#include "support/TestMain.h"

#include "look/TFrmInfo.h"
#include "look/TfOutfitSpec.h"
#include "mixer/TfMidiUnit.h"
#include "platform/GuardedApplication.h"
#include "songs/SongListController.h"
#include "songs/SongsPage.h"
#include "units/UnitProfiles.h"
#include "units/UnitsWindow.h"
#include "widgets/ActivityLeds.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    static QStringList tabTexts(const QTabWidget *tabs)
    {
        QStringList texts;
        for (int i = 0; i < tabs->count(); ++i)
            texts.append(tabs->tabText(i));
        return texts;
    }

private slots:
    // A bank typed for the song is the song's: marked, sent as typed, kept by Save Song.
    void bankTypedInTheUnitsWindowBelongsToTheSong()
    {
        AppFixture app;
        app.writeFile(app.settingsPath(), "[Project]\r\nLast one=Gig.txt\r\n");
        app.writeFile(app.projects() + "/Gig.txt", "Intro\r\n");
        app.writeFile(app.projects() + "/Intro.txt",
                      AppFixture::songFile(2, 10) + "[TEdit]\r\nText47=Rack\r\n");
        tForm1 &form = app.start();
        form.findChild<QAction *>(QStringLiteral("UnitProfiles1"))->trigger();
        auto *units = form.findChild<UnitsWindow *>(QStringLiteral("UnitsWindow"));
        units->editUnit(QStringLiteral("Rack"));
        units->bankMode()->setCurrentIndex(int(BankMode::Msb));
        units->msb(0)->setValue(5);
        QVERIFY(!form.songsPage().labSongChanged()->isHidden());
        app.outs[0]->clearLog();
        form.songList().resend();
        QCOMPARE(units->msb(0)->value(), 5);
        QCOMPARE(app.outs[0]->log().mid(0, 2), (QStringList{"B1 00 05", "C1 09 00"}));
        QTest::mouseClick(form.songsPage().MMLabel6(), Qt::LeftButton);
        QVERIFY(AppFixture::readFile(app.projects() + "/Intro.txt").contains("Msb1=5\r\n"));
        QVERIFY(form.songsPage().labSongChanged()->isHidden());
    }

    void windowAndPages()
    {
        AppFixture app;
        tForm1 &form = app.start();
        QCOMPARE(form.windowTitle(), QStringLiteral("Patchwarden"));
        QCOMPARE(form.objectName(), QStringLiteral("Form1"));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.centralWidget()->width(), tForm1::ClientWidth);
        auto *bar = form.findChild<QToolBar *>(QStringLiteral("ToolBar1"));
        QVERIFY(bar);
        QCOMPARE(bar->height(), 25);
        QCOMPARE(form.centralWidget()->height() + bar->height(), tForm1::ClientHeight);

        auto *left = form.findChild<QTabWidget *>(QStringLiteral("PageControl1"));
        auto *right = form.findChild<QTabWidget *>(QStringLiteral("PageControl2"));
        QVERIFY(left && right);
        QCOMPARE(left->width(), 417);
        QCOMPARE(right->width(), 377);
        QCOMPARE(tabTexts(left), (QStringList{"Sesions", "MIDI Controler Data", "Midi Setup"}));
        QCOMPARE(tabTexts(right), (QStringList{"Channel 1-8", "Channel 9-16", "Controller Data"}));
        QCOMPARE(left->currentWidget()->objectName(), QStringLiteral("TabSheet4"));
        QCOMPARE(right->currentWidget()->objectName(), QStringLiteral("TabSheet5"));
        QCOMPARE(left->widget(0)->objectName(), QStringLiteral("TabSheet1"));
        QCOMPARE(left->widget(1)->objectName(), QStringLiteral("TabSheet3"));
        QCOMPARE(right->widget(2)->objectName(), QStringLiteral("TabSheet2"));
    }

    void splashCoversTheStartAndAboutShowsItAgain()
    {
        AppFixture app;
        TFrmInfo info;
        info.showSplash();
        QVERIFY(info.isVisible());
        app.windows = std::make_unique<ProgramWindows>(app.midi, tForm1::Options{}, &info);
        QVERIFY(info.isVisible()); // still up while the windows are made
        QCOMPARE(app.windows->fMidiUnit().windowTitle(), QStringLiteral("MIDI Mixer"));
        QCOMPARE(app.windows->fOutfitSpec().windowTitle(), QStringLiteral("Bars preference"));
        app.windows->Form1().show();
        QVERIFY(!info.isVisible()); // closed as the last step of start-up

        bool shownModally = false;
        QTimer::singleShot(0, &info, [&] {
            shownModally = info.isVisible() && info.isModalShowing();
            info.Button1Click();
        });
        app.windows->Form1().findChild<QAction *>(QStringLiteral("About1"))->trigger();
        QVERIFY(shownModally);
        QVERIFY(!info.isVisible());
    }

    void mixerAndSkinChoiceFromTheMenu()
    {
        AppFixture app;
        tForm1 &form = app.start();
        QVERIFY(!app.windows->fMidiUnit().isVisible());
        form.findChild<QAction *>(QStringLiteral("UserDifendController1"))->trigger();
        QVERIFY(app.windows->fMidiUnit().isVisible());
        QVERIFY(!app.windows->fMidiUnit().isModal());
        form.findChild<QAction *>(QStringLiteral("ChangeSkin1"))->trigger();
        QVERIFY(app.windows->fOutfitSpec().isVisible());
    }

    void menus()
    {
        AppFixture app;
        tForm1 &form = app.start();
        QStringList titles;
        QStringList items;
        for (QAction *menuAction : form.menuBar()->actions()) {
            titles.append(menuAction->text());
            for (QAction *item : menuAction->menu()->actions())
                items.append(item->isSeparator() ? QStringLiteral("-")
                                                 : item->objectName() + u'=' + item->text());
        }
        QCOMPARE(titles, (QStringList{"&File", "&MIDI Mixer", "MIDI &Messesages", "&Units", "&Help"}));
        QCOMPARE(
            items,
            (QStringList{"ChangeSkin1=Program Skin", "LoadProject1=Load Project", "SaveProject1=Save Project",
                         "SaveSong1=Save Song", "PerformanceView1=Performance View", "Exit1=Exit",
                         "UserDifendController1=User Defined Controller", "SystemReset1=System Reset",
                         "AllNotesoff1=All Notes off", "Panic1=Panic", "UnitProfiles1=Unit Profiles",
                         "SendPreview1=Send Preview", "RigCheck1=Rig Check", "Helpfile1=Help file", "-",
                         "About1=About"}));
        auto *help = form.findChild<QAction *>(QStringLiteral("Helpfile1"));
        QCOMPARE(help->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void f1ShowsTheHelpNotice()
    {
        AppFixture app;
        tForm1 &form = app.start();
        app.dialogs.clear();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        QTest::keyClick(&form, Qt::Key_F1);
        QCOMPARE(app.dialogs.messages.size(), 1);
        QCOMPARE(app.dialogs.messages[0].text, QStringLiteral("Comming soon"));
        QCOMPARE(app.dialogs.messages[0].icon, Dialogs::Icon::Information);
    }

    void indicatorsLightOnceForABurst()
    {
        AppFixture app;
        tForm1 &form = app.start();
        auto *inLed = form.findChild<QToolButton *>(QStringLiteral("InLed"));
        auto *outLed = form.findChild<QToolButton *>(QStringLiteral("OutLed"));
        QCOMPARE(inLed->text(), QStringLiteral("MIDI In"));
        QCOMPARE(outLed->text(), QStringLiteral("  MIDI Out"));
        const QRect outPlace = outLed->geometry();
        // Both stand lit until the first activity has come and gone.
        QVERIFY(inLed->isVisible());
        QVERIFY(outLed->isVisible());
        QTimer *timer = form.leds().timer();
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), 1000);

        form.leds().lightOut();
        QVERIFY(timer->isActive());
        QTest::qWait(200);
        form.leds().lightOut(); // a later lighting in the burst must not restart the timer
        QVERIFY2(timer->remainingTime() <= 850, qPrintable(QString::number(timer->remainingTime())));
        QTRY_VERIFY_WITH_TIMEOUT(!outLed->isVisible(), 5000);
        QVERIFY(!inLed->isVisible());
        QVERIFY(!timer->isActive());

        // A lamp keeps its place: "MIDI Out" does not move while "MIDI In" is dark.
        form.leds().lightOut();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(outLed->geometry(), outPlace);
        QTRY_VERIFY_WITH_TIMEOUT(!outLed->isVisible(), 5000);

        form.leds().lightIn();
        QVERIFY(inLed->isVisible());
        QVERIFY(!outLed->isVisible());
        QVERIFY(timer->isActive());
    }

    void errorTextRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Invalid device ID"
                                << "Invalid device ID.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation") << "<- is not runing !"
                                     << "<- is not runing !";
        QTest::newRow("bracket") << "Not sent (2 units)"
                                 << "Not sent (2 units)";
        QTest::newRow("digit") << "Code 5"
                               << "Code 5.";
        QTest::newRow("empty") << ""
                               << "";
    }

    void errorTextRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(GuardedApplication::errorText(message), shown);
    }

    void anEscapedErrorEndsOnlyItsEvent()
    {
        AppFixture app;
        tForm1 &form = app.start();
        form.songControls().edNewSong->setText(QStringLiteral("A"));
        QTest::mouseClick(form.songsPage().btAddSong(), Qt::LeftButton);
        app.dialogs.clear();
        // "Save Song" fails where a folder stands in the song file's place.
        QVERIFY(QFile::remove(app.projects() + "/A.txt"));
        QVERIFY(QDir().mkpath(app.projects() + "/A.txt"));
        auto *saveSong = form.findChild<QPushButton *>(QStringLiteral("MMLabel6"));
        QVERIFY(saveSong);
        form.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->setCurrentIndex(0);
        QTest::mouseClick(saveSong, Qt::LeftButton);
        QCOMPARE(app.dialogs.messages.size(), 1);
        QCOMPARE(app.dialogs.messages[0].icon, Dialogs::Icon::Error);
        QCOMPARE(app.dialogs.messages[0].caption, QStringLiteral("Patchwarden"));
        QVERIFY2(app.dialogs.messages[0].text.startsWith(QStringLiteral("Unable to write to ")),
                 qPrintable(app.dialogs.messages[0].text));
        // The program goes on: the next event is handled as usual.
        QTest::mouseClick(saveSong, Qt::LeftButton);
        QCOMPARE(app.dialogs.messages.size(), 2);
    }

    void exitAndCloseBoxBothShutDown_data()
    {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("Exit") << true;
        QTest::newRow("close box") << false;
    }

    void exitAndCloseBoxBothShutDown()
    {
        QFETCH(bool, byMenu);
        AppFixture app;
        tForm1 &form = app.start();
        form.songControls().cbProject->setText(QStringLiteral("Gig"));
        QSignalSpy terminated(&form, &tForm1::terminated);
        if (byMenu)
            form.findChild<QAction *>(QStringLiteral("Exit1"))->trigger();
        else
            form.close();
        QCOMPARE(terminated.size(), 1);
        QVERIFY(!form.isVisible());
        QVERIFY(QFile::exists(app.settingsPath()));
        QVERIFY(QFile::exists(app.projects() + QStringLiteral("/Gig.txt")));
    }
};

PW_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
