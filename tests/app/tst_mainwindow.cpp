// The main window as the user meets it: its pages, menus and indicators, the general
// error display and the closing paths.
#include "AppFixture.h"
#include "app/WindowPlacement.h"
#include "support/TestMain.h"

#include "look/HelpWindow.h"
#include "look/InfoWindow.h"
#include "look/SkinDialog.h"
#include "mixer/MixerWindow.h"
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
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
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
        MainWindow &form = app.start();
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
        MainWindow &form = app.start();
        QCOMPARE(form.windowTitle(), QStringLiteral("Patchwarden"));
        QCOMPARE(form.objectName(), QStringLiteral("Form1"));
        auto *bar = form.findChild<QToolBar *>(QStringLiteral("ToolBar1"));
        QVERIFY(bar);
        QCOMPARE(bar->height(), 25);

        auto *left = form.findChild<QTabWidget *>(QStringLiteral("PageControl1"));
        auto *right = form.findChild<QTabWidget *>(QStringLiteral("PageControl2"));
        QVERIFY(left && right);
        QCOMPARE(tabTexts(left), (QStringList{"Sessions", "MIDI Controller Data", "Midi Setup"}));
        QCOMPARE(tabTexts(right), (QStringList{"Channel 1-8", "Channel 9-16", "Controller Data"}));
        QCOMPARE(left->currentWidget()->objectName(), QStringLiteral("TabSheet4"));
        QCOMPARE(right->currentWidget()->objectName(), QStringLiteral("TabSheet5"));
        QCOMPARE(left->widget(0)->objectName(), QStringLiteral("TabSheet1"));
        QCOMPARE(left->widget(1)->objectName(), QStringLiteral("TabSheet3"));
        QCOMPARE(right->widget(2)->objectName(), QStringLiteral("TabSheet2"));
    }

    // Sizes in the window's own pixels: the screen divided by the desktop's scale, less a
    // panel and a title bar.
    void fitsTheScreenAndGivesTheRoomToSongsAndStrips_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("bigRig"); // 16 units on ports of their own, 4 extra inputs
        QTest::newRow("1366x768 at 100 %") << QSize(1366, 768) << 1.0 << false;
        QTest::newRow("1920x1080 at 150 %") << QSize(1920, 1080) << 1.5 << false;
        QTest::newRow("1920x1080 at 100 %") << QSize(1920, 1080) << 1.0 << false;
        QTest::newRow("1366x768, a big rig") << QSize(1366, 768) << 1.0 << true;
        QTest::newRow("the classic width, a big rig") << QSize(792, 768) << 1.0 << true;
    }

    void fitsTheScreenAndGivesTheRoomToSongsAndStrips()
    {
        QFETCH(QSize, screen);
        QFETCH(double, scale);
        QFETCH(bool, bigRig);
        const QSize room = (QSizeF(screen) / scale).toSize() - QSize(0, 2 * 32);
        AppFixture app;
        if (bigRig) {
            QByteArray units = "[Units]\r\nCount=16\r\n";
            for (int n = 1; n <= 16; ++n)
                units += QStringLiteral("[Unit %1]\r\nName=U%1\r\nPort=Port %1\r\n").arg(n).toLatin1();
            AppFixture::writeFile(app.dataDir.filePath("Units.ini"), units);
            AppFixture::writeFile(app.settingsPath(), "[Extra Inputs]\r\nCount=4\r\nInput 1=Pads\r\n"
                                                      "Input 2=P2\r\nInput 3=P3\r\nInput 4=P4\r\n");
        }
        MainWindow &form = app.start();
        form.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->setCurrentIndex(0);
        const QSize least = form.minimumSizeHint();
        qInfo() << "least" << least;
        QVERIFY2(least.width() <= room.width() && least.height() <= room.height(),
                 qPrintable(QStringLiteral("needs %1x%2").arg(least.width()).arg(least.height())));
        const auto *songs = form.findChild<QListWidget *>(QStringLiteral("lbSongList"));
        const auto *unitName = form.findChild<QLineEdit *>(QStringLiteral("Edit18"));
        form.resize(least);
        QTRY_COMPARE(form.size(), least);
        const QSize songsAtLeast = songs->size();
        const int unitNameAtLeast = unitName->width();
        form.resize(room);
        QTRY_COMPARE(form.size(), room);
        const QSize more = room - least;
        QVERIFY(songs->height() - songsAtLeast.height() >= more.height() * 3 / 4);
        QVERIFY(songs->width() - songsAtLeast.width() >= more.width() / 3);
        QVERIFY(unitName->width() - unitNameAtLeast >= more.width() / 3);
        // No button of the Midi Setup page is cut, by its own width or by a scrolling view's.
        form.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->setCurrentIndex(2);
        const auto firstCut = [&form]() -> QString {
            for (const QPushButton *button :
                 form.findChild<QWidget *>("TabSheet4")->findChildren<QPushButton *>()) {
                // A row just rebuilt shows its buttons only once the events are handled.
                bool cut = !button->isVisible() || button->width() < button->sizeHint().width();
                for (const QWidget *view = button->parentWidget(); view; view = view->parentWidget())
                    cut |= view->objectName() == "qt_scrollarea_viewport" &&
                           button->mapTo(view, QPoint(button->width(), 0)).x() > view->width();
                if (cut)
                    return button->text();
            }
            return QString();
        };
        QTRY_COMPARE(firstCut(), QString());
    }

    void placeIsKeptAndFitToTheScreen()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("user.conf")), QSettings::IniFormat);
        QSize left;
        {
            AppFixture app;
            MainWindow &form = app.start();
            left = form.minimumSizeHint() + QSize(3, 2);
            form.resize(left);
            QTRY_COMPARE(form.size(), left);
            WindowPlacement::save(form, settings);
        }
        {
            AppFixture app;
            app.windows = std::make_unique<ProgramWindows>(app.midi, MainWindow::Options{}, nullptr);
            WindowPlacement::restore(app.form(), settings);
            app.form().show();
            QTRY_COMPARE(app.form().size(), left);
            // Kept on a larger screen, or at a larger scale: shrunk to this one.
            app.form().resize(3000, 2000);
            WindowPlacement::fitToScreen(app.form());
            const QRect room = app.form().screen()->availableGeometry();
            QTRY_VERIFY(room.contains(app.form().frameGeometry()));
        }
    }

    void splashCoversTheStartAndAboutShowsItAgain()
    {
        AppFixture app;
        InfoWindow info;
        info.showSplash();
        QVERIFY(info.isVisible());
        app.windows = std::make_unique<ProgramWindows>(app.midi, MainWindow::Options{}, &info);
        QVERIFY(info.isVisible()); // still up while the windows are made
        QCOMPARE(app.windows->mixerWindow().windowTitle(), QStringLiteral("MIDI Mixer"));
        QCOMPARE(app.windows->skinDialog().windowTitle(), QStringLiteral("Program Skin"));
        app.windows->mainWindow().show();
        QVERIFY(!info.isVisible()); // closed as the last step of start-up

        bool shownModally = false;
        QTimer::singleShot(0, &info, [&] {
            shownModally = info.isVisible() && info.isModalShowing();
            info.dismissFromCloseButton();
        });
        app.windows->mainWindow().findChild<QAction *>(QStringLiteral("About1"))->trigger();
        QVERIFY(shownModally);
        QVERIFY(!info.isVisible());
    }

    void mixerAndSkinChoiceFromTheMenu()
    {
        AppFixture app;
        MainWindow &form = app.start();
        QVERIFY(!app.windows->mixerWindow().isVisible());
        form.findChild<QAction *>(QStringLiteral("UserDefinedController1"))->trigger();
        QVERIFY(app.windows->mixerWindow().isVisible());
        QVERIFY(!app.windows->mixerWindow().isModal());
        QTest::keyClick(&app.windows->mixerWindow(), Qt::Key_Escape);
        QVERIFY(!app.windows->mixerWindow().isVisible());
        form.findChild<QAction *>(QStringLiteral("ChangeSkin1"))->trigger();
        QVERIFY(app.windows->skinDialog().isVisible());
    }

    void menus()
    {
        AppFixture app;
        MainWindow &form = app.start();
        QStringList titles;
        QStringList items;
        // One Alt key per menu title, and per item within its menu.
        const auto mnemonic = [](const QAction *action) {
            return action->text().section(u'&', 1).left(1).toLower();
        };
        QSet<QString> titleKeys;
        for (QAction *menuAction : form.menuBar()->actions()) {
            titles.append(menuAction->text());
            QVERIFY2(!titleKeys.contains(mnemonic(menuAction)), qPrintable(menuAction->text()));
            titleKeys.insert(mnemonic(menuAction));
            QSet<QString> itemKeys;
            for (QAction *item : menuAction->menu()->actions()) {
                items.append(item->isSeparator() ? QStringLiteral("-")
                                                 : item->objectName() + u'=' + item->text());
                QVERIFY2(item->isSeparator() || !itemKeys.contains(mnemonic(item)), qPrintable(item->text()));
                itemKeys.insert(mnemonic(item));
            }
        }
        QCOMPARE(titles, (QStringList{"&File", "&MIDI Mixer", "MIDI M&essages", "&Units", "&Help"}));
        QCOMPARE(items,
                 (QStringList{"ChangeSkin1=Program S&kin...", "LoadProject1=&Load Project...",
                              "SaveProject1=Save &Project", "SaveSong1=&Save Song",
                              "PerformanceView1=Pe&rformance View", "Exit1=E&xit",
                              "UserDefinedController1=&User Defined Controller", "SystemReset1=System &Reset",
                              "AllNotesoff1=&All Notes off", "Panic1=&Panic",
                              "UnitProfiles1=Unit &Profiles...", "SendPreview1=Send Pre&view",
                              "RigCheck1=Rig &Check", "Helpfile1=Patchwarden &Help", "-", "About1=&About"}));
        for (auto [name, key] : {std::pair{"Helpfile1", QKeySequence(Qt::Key_F1)},
                                 std::pair{"SaveSong1", QKeySequence(Qt::CTRL | Qt::Key_S)},
                                 std::pair{"LoadProject1", QKeySequence(Qt::CTRL | Qt::Key_O)},
                                 std::pair{"Exit1", QKeySequence(Qt::CTRL | Qt::Key_Q)}})
            QCOMPARE(form.findChild<QAction *>(QLatin1String(name))->shortcut(), key);
    }

    void f1ShowsTheHelp()
    {
        AppFixture app;
        MainWindow &form = app.start();
        app.dialogs.clear();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        QTest::keyClick(&form, Qt::Key_F1);
        QVERIFY(app.dialogs.messages.isEmpty());
        QVERIFY(form.helpWindow() && form.helpWindow()->isVisible());
        // The help names every page the player can see, so a renamed page cannot leave it behind.
        const QString help = form.helpWindow()->browser()->toPlainText();
        for (const char *name : {"PageControl1", "PageControl2"}) {
            const auto *pages = form.findChild<QTabWidget *>(QLatin1String(name));
            for (const QString &page : tabTexts(pages))
                QVERIFY2(help.contains(page), qPrintable(page));
        }
        QVERIFY(QTest::qWaitForWindowActive(form.helpWindow()));
        QTest::keyClick(form.helpWindow()->browser(), Qt::Key_Escape);
        QVERIFY(!form.helpWindow()->isVisible());
    }

    void indicatorsLightOnceForABurst()
    {
        AppFixture app;
        MainWindow &form = app.start();
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

        // Input heard just before the tick keeps the input lamp lit, also input the window
        // was not handed; the other lamp still goes dark. Once none came, it goes too.
        bool heard = true;
        form.leds().setRecentInput([&heard](int) { return heard; });
        form.leds().lightOut();
        QTRY_VERIFY_WITH_TIMEOUT(!outLed->isVisible(), 5000);
        QVERIFY(inLed->isVisible() && timer->isActive() && form.leds().inLit());
        heard = false;
        QTRY_VERIFY_WITH_TIMEOUT(!inLed->isVisible(), 5000);
        QVERIFY(!timer->isActive());
    }

    void errorTextRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Invalid device ID"
                                << "Invalid device ID.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation") << "<- is not running !"
                                     << "<- is not running !";
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
        MainWindow &form = app.start();
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
        MainWindow &form = app.start();
        form.songControls().cbProject->setText(QStringLiteral("Gig"));
        QSignalSpy terminated(&form, &MainWindow::terminated);
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
