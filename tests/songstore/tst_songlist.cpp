#include "SongWindow.h"
#include "support/ScratchData.h"

#include "platform/AppException.h"
#include "platform/AppPaths.h"
#include "songs/ProjectFile.h"
#include "songs/ShownNameDelegate.h"
#include "songs/SongFile.h"
#include "songs/SongListController.h"
#include "songs/SongName.h"
#include "support/RecordingDialogs.h"
#include "support/TestMain.h"
#include "widgets/LedDisplay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace
{
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write fixture %s", qPrintable(path));
    file.write(bytes);
}

// The window's song page with its behaviour, counting the songs it sends.
struct SongsFixture {
    SongWindow window;
    SongFile file{window.controls};
    SongListController list{*window.songsPage, file};
    int sends = 0;

    SongsFixture()
    {
        file.setSongSender([this] { ++sends; });
        window.root.show();
    }

    SongsPage &page() { return *window.songsPage; }
    SpinEdit *program(int strip) { return window.controls.strips[strip - 1].program; }
    bool marked(int row, int role) { return songs()->item(row)->data(role).toBool(); }
    QListWidget *songs() { return page().lbSongList(); }

    void add(const QString &name)
    {
        page().edNewSong()->setText(name);
        QTest::mouseClick(page().btAddSong(), Qt::LeftButton);
    }

    void clickSong(int row)
    {
        QTest::mouseClick(songs()->viewport(), Qt::LeftButton, {},
                          songs()->visualItemRect(songs()->item(row)).center());
    }

    void setProject(const QStringList &names)
    {
        songs()->clear();
        songs()->addItems(names);
        list.setItemIndex(-1);
    }
};
} // namespace

class TestSongList : public QObject
{
    Q_OBJECT

private:
    ScratchData m_scratch;

    QString projects() const { return m_scratch.data()->path() + "/Projects"; }
    QString songFile(const QString &name) const { return projects() + "/" + name + ".txt"; }

    // The error boxes the application showed, i.e. the exceptions that ended a handler.
    QStringList errors() const
    {
        QStringList texts;
        for (const RecordingDialogs::Message &m : m_scratch.dialogs()->messages) {
            if (m.icon == Dialogs::Icon::Error)
                texts.append(m.text);
        }
        return texts;
    }

private slots:
    void init() { m_scratch.init(); }

    void cleanup() { m_scratch.cleanup(); }

    void addIntroTwiceSharesOneFile()
    {
        SongsFixture f;
        f.page().edNewSong()->setText("Intro");
        QTest::keyClick(f.page().edNewSong(), Qt::Key_Return);
        QCOMPARE(f.list.songs(), QStringList{"Intro"});
        QCOMPARE(f.page().edNewSong()->text(), QString());
        QVERIFY(readAll(songFile("Intro")).contains("Spin49=1\r\n"));

        f.window.controls.strips[0].program->setValue(42);
        f.add("Intro");
        QCOMPARE(f.list.songs(), (QStringList{"Intro", "Intro"}));
        QVERIFY(readAll(songFile("Intro")).contains("Spin49=42\r\n"));
        // Adding selects the new song without loading or sending it; a project without a
        // name has no file to write.
        QCOMPARE(f.list.selectedIndex(), 1);
        QCOMPARE(f.sends, 0);
        QCOMPARE(QDir(projects()).entryList(QDir::Files), QStringList{"Intro.txt"});
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void addRefusesBadNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        QTest::newRow("empty") << "" << SongName::EmptyName;
        for (const char *bad : {"a\\b", "a/b", "c:x", "a*", "what?", "say \"hi\"", "<x", "x>", "a|b"})
            QTest::newRow(bad) << QString(bad) << SongName::BadCharacters;
        QTest::newRow("tab") << "a\tb" << SongName::BadCharacters;
        QTest::newRow("escape") << "a\x1b" << SongName::BadCharacters;
        QTest::newRow("dot") << "." << SongName::DotName;
        QTest::newRow("dot dot") << ".." << SongName::DotName;
        QTest::newRow("project name") << "Live" << SongName::projectNameText("Live");
        QTest::newRow("project name in other case") << "LIVE" << SongName::projectNameText("Live");
        QTest::newRow("a song file's section") << "[TEdit] Finale" << SongName::SectionName;
        QTest::newRow("one in other case") << " [combobox]" << SongName::SectionName;
    }

    void addRefusesBadNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, warning);
        SongsFixture f;
        f.page().cbProject()->setText("Live");
        f.add("Kept");
        const QByteArray keptFile = readAll(songFile("Kept"));

        f.add(name);
        QCOMPARE(m_scratch.dialogs()->texts(), QStringList{warning});
        QCOMPARE(m_scratch.dialogs()->messages.first().icon, Dialogs::Icon::Warning);
        QCOMPARE(f.list.songs(), QStringList{"Kept"});
        QCOMPARE(f.page().edNewSong()->text(), name);
        QCOMPARE(QDir(projects()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"Kept.txt", "Live.txt"}));
        QCOMPARE(readAll(songFile("Kept")), keptFile);
        QVERIFY(!QFile::exists(m_scratch.data()->path() + "/b.txt"));
    }

    void selectingLoadsShowsAndSends()
    {
        SongsFixture f;
        f.window.controls.strips[2].program->setValue(77);
        f.add("Intro b-ä");
        f.window.controls.strips[2].program->setValue(5);
        f.add("Second");
        f.page().edNewSong()->setText("half typed");

        f.clickSong(0);
        QCOMPARE(f.list.selectedIndex(), 0);
        QCOMPARE(f.page().LabSong()->text(), QString("INTRO B-ä"));
        QCOMPARE(f.page().labDeleteSong()->text(), QString("Intro b-ä"));
        QCOMPARE(f.window.controls.strips[2].program->value(), 77);
        QCOMPARE(f.page().edNewSong()->text(), QString());
        QCOMPARE(f.sends, 1);

        // The keyboard selects like a click does.
        f.songs()->setFocus();
        QTest::keyClick(f.songs(), Qt::Key_Down);
        QCOMPARE(f.list.selectedIndex(), 1);
        QCOMPARE(f.page().LabSong()->text(), QString("SECOND"));
        QCOMPARE(f.window.controls.strips[2].program->value(), 5);
        QCOMPARE(f.sends, 2);

        // Selection made by the program itself loads nothing.
        f.list.setItemIndex(0);
        QCOMPARE(f.list.selectedIndex(), 0);
        QCOMPARE(f.sends, 2);
        QCOMPARE(f.page().LabSong()->text(), QString("SECOND"));
    }

    void spaceSelectsTheNextSong()
    {
        SongsFixture f;
        f.window.controls.strips[0].program->setValue(10);
        f.add("A");
        f.window.controls.strips[0].program->setValue(20);
        f.add("B");
        f.clickSong(0);
        QCOMPARE(f.sends, 1);

        f.songs()->setFocus();
        QTest::keyClick(f.songs(), Qt::Key_Space);
        QCOMPARE(f.list.selectedIndex(), 1);
        QCOMPARE(f.page().LabSong()->text(), QString("B"));
        QCOMPARE(f.window.controls.strips[0].program->value(), 20);
        QCOMPARE(f.sends, 2);

        // On the last song space does nothing: no move, no load, no send.
        f.window.controls.strips[0].program->setValue(99);
        QTest::keyClick(f.songs(), Qt::Key_Space);
        QCOMPARE(f.list.selectedIndex(), 1);
        QCOMPARE(f.window.controls.strips[0].program->value(), 99);
        QCOMPARE(f.sends, 2);
    }

    void deletingTheOnlySong()
    {
        SongsFixture f;
        f.add("Only");
        f.clickSong(0);
        QVERIFY(QFile::exists(songFile("Only")));
        QTest::mouseClick(f.page().btDeleteSong(), Qt::LeftButton);
        QCOMPARE(f.songs()->count(), 0);
        QCOMPARE(f.list.selectedIndex(), -1);
        QCOMPARE(f.page().LabSong()->text(), QString());
        QCOMPARE(f.page().labDeleteSong()->text(), QString());
        QVERIFY(!QFile::exists(songFile("Only")));
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void deleteKeepsAFileAnotherEntryUses()
    {
        SongsFixture f;
        f.add("Intro");
        f.add("Other");
        f.add("Intro");
        f.clickSong(2);
        QTest::mouseClick(f.page().btDeleteSong(), Qt::LeftButton);
        QCOMPARE(f.list.songs(), (QStringList{"Intro", "Other"}));
        QCOMPARE(f.list.selectedIndex(), -1);
        QVERIFY(QFile::exists(songFile("Intro")));

        f.clickSong(0);
        QTest::mouseClick(f.page().btDeleteSong(), Qt::LeftButton);
        QCOMPARE(f.list.songs(), QStringList{"Other"});
        QVERIFY(!QFile::exists(songFile("Intro")));
        QVERIFY(QFile::exists(songFile("Other")));
    }

    void nothingChosenIsSaidPlainly()
    {
        SongsFixture f;
        f.setProject({"A"});
        writeAll(songFile("A"), "[TSpinEdit]\r\nSpin49=5\r\n");
        f.program(1)->setValue(64);
        for (QPushButton *button : {f.page().MMLabel6(), f.page().btDeleteSong(), f.page().btRename()})
            QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_scratch.dialogs()->texts(),
                 (QStringList{"Choose a song in the list, or add one, first: Save Song saves the song the "
                              "controls show.",
                              "Choose a song in the list first.", "Choose a song in the list first."}));
        QCOMPARE(f.list.songs(), QStringList{"A"});
        QCOMPARE(readAll(songFile("A")), QByteArray("[TSpinEdit]\r\nSpin49=5\r\n"));
    }

    // A newcomer's first song: a name, Add Song, the strips, Save Song.
    void theSongJustAddedIsTheOneSaved()
    {
        SongsFixture f;
        f.add("First");
        f.program(1)->setValue(20);
        QVERIFY(f.page().labSongChanged()->isVisible() && f.marked(0, ShownNameDelegate::ChangedRole));
        QTest::mouseClick(f.page().MMLabel6(), Qt::LeftButton);
        QVERIFY(readAll(songFile("First")).contains("Spin49=20\r\n"));
        QVERIFY(f.page().labSongChanged()->isHidden() && !f.marked(0, ShownNameDelegate::ChangedRole));
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void editsAreLeftOnlyWithTheUsersSay_data()
    {
        QTest::addColumn<QString>("way"); // how the next song is chosen
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("saved");    // strip 1's program in the first song's file afterwards
        QTest::addColumn<int>("selected"); // and the song on view
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("marked"); // the first song as changed
        using A = Dialogs::SaveAnswer;
        QTest::newRow("click, Save") << "click" << int(A::Save) << 64 << 1 << 2 << false;
        QTest::newRow("click, Discard") << "click" << int(A::Discard) << 1 << 1 << 2 << false;
        QTest::newRow("click, Cancel") << "click" << int(A::Cancel) << 1 << 0 << 64 << true;
        QTest::newRow("arrow key, Cancel") << "key" << int(A::Cancel) << 1 << 0 << 64 << true;
        // On stage nobody is asked: the edits wait, marked, for the song's return.
        QTest::newRow("pedal") << "next" << int(A::Cancel) << 1 << 1 << 2 << true;
    }

    void editsAreLeftOnlyWithTheUsersSay()
    {
        QFETCH(QString, way);
        QFETCH(int, answer);
        QFETCH(int, saved);
        QFETCH(int, selected);
        QFETCH(int, shown);
        QFETCH(bool, marked);
        SongsFixture f;
        f.add("A");
        f.program(1)->setValue(2);
        f.add("B");
        f.clickSong(0);
        f.program(1)->setValue(64);
        m_scratch.dialogs()->saveAnswers = {Dialogs::SaveAnswer(answer)};
        f.songs()->setFocus();
        if (way == "click")
            f.clickSong(1);
        else if (way == "key")
            QTest::keyClick(f.songs(), Qt::Key_Down);
        else
            f.list.stepSong(1);

        QCOMPARE(m_scratch.dialogs()->questions.size(), way == "next" ? 0 : 1);
        QVERIFY(readAll(songFile("A")).contains("Spin49=" + QByteArray::number(saved) + "\r\n"));
        QCOMPARE(f.list.selectedIndex(), selected);
        QCOMPARE(f.program(1)->value(), shown);
        QCOMPARE(f.marked(0, ShownNameDelegate::ChangedRole), marked);
        QCOMPARE(f.page().labSongChanged()->isVisible(), selected == 0);
        // Back on A: its edits, saved or kept, else its file.
        f.list.stepSong(-1);
        QCOMPARE(f.program(1)->value(), marked || saved == 64 ? 64 : 1);
    }

    // An archive made on Windows unpacks "Café.txt" under its Windows-1252 bytes.
    void songFileNamedInWindowsBytesIsFound()
    {
        QDir().mkpath(projects());
        writeAll(projects() + "/Set.txt", "Caf\xe9\r\n");
        std::FILE *legacy = std::fopen((QFile::encodeName(projects()) + "/Caf\xe9.txt").constData(), "wb");
        QVERIFY(legacy && std::fputs("[TSpinEdit]\r\nSpin49=16\r\n", legacy) >= 0 &&
                std::fclose(legacy) == 0);
        SongsFixture f;
        f.list.LoadProject("Set.txt");
        QCOMPARE(f.list.songs(), QStringList{QString::fromUtf8("Café")});
        f.clickSong(0);
        QCOMPARE(f.program(1)->value(), 16);
        f.program(1)->setValue(17);
        QTest::mouseClick(f.page().MMLabel6(), Qt::LeftButton);
        QCOMPARE(QDir(projects()).entryList(QDir::Files).size(), 2);
        QVERIFY(readAll(songFile(QString::fromUtf8("Café"))).contains("Spin49=17\r\n"));
    }

    void noLimitOnTheNumberOfSongs()
    {
        SongsFixture f;
        QStringList names;
        for (int i = 0; i < 1200; ++i)
            names.append(QString("Song %1").arg(i));
        f.setProject(names);
        writeAll(songFile("Song 1100"), "[TSpinEdit]\r\nSpin49=33\r\n");
        f.list.setItemIndex(1100);
        QCOMPARE(f.list.selectedIndex(), 1100);
        f.list.loadSelectedSong();
        QCOMPARE(f.window.controls.strips[0].program->value(), 33);
        QCOMPARE(f.page().LabSong()->text(), QString("SONG 1100"));
        f.window.controls.strips[0].program->setValue(34);
        f.list.saveSongFromMenu();
        QVERIFY(readAll(songFile("Song 1100")).contains("Spin49=34\r\n"));
    }

    void absurdlyLongNameIsShownCut_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("1 MB") << (1 << 20);
        QTest::newRow("50 MB") << (50 << 20);
    }
    void absurdlyLongNameIsShownCut()
    {
        QFETCH(int, length);
        SongsFixture f;
        const QString longName(length, u'x');
        writeAll(projects() + "/Set.txt", longName.toLatin1() + "\r\nB\r\n");
        f.list.LoadProject("Set.txt");
        QSignalSpy notices(&f.list, &SongListController::notice);
        f.clickSong(0);
        QCOMPARE(f.sends, 0);
        // No file can have that name: the song is missing, and says so with the name cut.
        const QString shown = longName.left(254) + QChar(0x2026);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0][0].toString(), "\"" + shown + "\" was not sent: its song file is missing");
        // The list is laid out by the name as shown, too.
        const QString entry = ShownNameDelegate::entryText(f.songs()->model()->index(0, 0));
        QCOMPARE(entry, shown + "  (song file missing)");
        QVERIFY(f.songs()->sizeHintForColumn(0) <= f.songs()->fontMetrics().horizontalAdvance(entry) + 64);
        // The list keeps the whole name, so a save at exit writes the line back as it was.
        QCOMPARE(f.list.songs(), (QStringList{longName, "B"}));
    }

    void projectFileLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("songs");
        QTest::newRow("CR LF with empty line") << QByteArray("A\r\n\r\nB\r\n") << QStringList{"A", "", "B"};
        QTest::newRow("lone CR") << QByteArray("A\r\rB\r") << QStringList{"A", "", "B"};
        QTest::newRow("lone LF") << QByteArray("A\n\nB\n") << QStringList{"A", "", "B"};
        QTest::newRow("no final line end") << QByteArray("A\r\nB") << QStringList{"A", "B"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("one empty line") << QByteArray("\r\n") << QStringList{""};
        QTest::newRow("Windows-1252") << QByteArray("Caf\xe9\r\n") << QStringList{"Café"};
        QTest::newRow("UTF-8 with mark") << QByteArray("\xef\xbb\xbf"
                                                       "Caf\xc3\xa9\r\n")
                                         << QStringList{"Café"};
        QTest::newRow("UTF-16 with mark") << QByteArray("\xff\xfe"
                                                        "C\0\xe9\0\r\0\n\0",
                                                        10)
                                          << QStringList{"Cé"};
        QTest::newRow("U+FEFF starting a line") << QByteArray("A\r\n\xef\xbb\xbf"
                                                              "B\r\n")
                                                << QStringList{"A", QChar(0xFEFF) + QString("B")};
    }

    void projectFileLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, songs);
        SongsFixture f;
        f.setProject({"old"});
        writeAll(projects() + "/Set.txt", content);
        f.list.LoadProject("Set.txt");
        QCOMPARE(f.list.songs(), songs);
        QCOMPARE(f.list.selectedIndex(), -1);
        QCOMPARE(f.sends, 0);
    }

    void loadProjectReadsTheChosenFile()
    {
        SongsFixture f;
        f.add("Current");
        f.clickSong(0);
        QTemporaryDir elsewhere;
        writeAll(elsewhere.filePath("live.text"), "One\r\nTwo\r\n");
        writeAll(projects() + "/live.txt", "Decoy\r\n");
        writeAll(projects() + "/live..txt", "Decoy\r\n");

        m_scratch.dialogs()->fileAnswers = QStringList{elsewhere.filePath("live.text")};
        m_scratch.dialogs()->questionAnswers = {true};
        QTest::mouseClick(f.page().btLoadPrj(), Qt::LeftButton);
        QCOMPARE(m_scratch.dialogs()->fileRequests.size(), 1);
        QCOMPARE(m_scratch.dialogs()->fileRequests[0].title, QString("Load Patchwarden project file"));
        QCOMPARE(m_scratch.dialogs()->fileRequests[0].filter, QString("Project file (*.txt)"));
        QCOMPARE(m_scratch.dialogs()->fileRequests[0].defaultSuffix, QString("txt"));
        QCOMPARE(f.page().cbProject()->text(), QString("live"));
        QCOMPARE(f.list.songs(), (QStringList{"One", "Two"}));
        QCOMPARE(f.list.selectedIndex(), -1);
        // The previous song stays shown.
        QCOMPARE(f.page().LabSong()->text(), QString("CURRENT"));
        // The dialog opened in the projects folder.
        QCOMPARE(QDir::current().canonicalPath(), QDir(projects()).canonicalPath());

        // A song file chosen in a dialog that lists every file is refused, saying why.
        m_scratch.dialogs()->fileAnswers = QStringList{songFile("Current")};
        f.list.loadProjectFromMenu();
        QCOMPARE(m_scratch.dialogs()->texts(),
                 QStringList{"\"Current.txt\" is a song file, not a project. Choose a "
                             "project file: a list of song names, as \"Save Project\" "
                             "writes it."});
        m_scratch.dialogs()->clear();
        // Cancel, and a file that cannot be read, change nothing.
        f.list.loadProjectFromMenu();
        QCOMPARE(f.page().cbProject()->text(), QString("live"));
        f.list.LoadProject(elsewhere.filePath("gone.txt"));
        QCOMPARE(f.list.songs(), (QStringList{"One", "Two"}));
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void projectDialogListsProjectsOnly()
    {
        SongsFixture f;
        f.add("Opening");
        writeAll(projects() + "/Friday Gig.txt", "Opening\r\n[Encore] Finale\r\n");
        writeAll(projects() + "/Old.txt", QByteArray("\xff\xfe[\0T\0E\0d\0i\0t\0]\0", 16)); // UTF-16
        Dialogs::install(nullptr);
        const auto recordAgain = qScopeGuard([this] { Dialogs::install(m_scratch.dialogs()); });
        QStringList listed;
        QTimer::singleShot(0, [&listed] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            const auto closed = qScopeGuard([dialog] {
                if (dialog->isVisible())
                    dialog->reject();
            });
            auto *view = dialog->findChild<QTreeView *>("treeView");
            const QModelIndex folder = view->rootIndex();
            QTRY_VERIFY_WITH_TIMEOUT(view->model()->rowCount(folder) > 0, 10000);
            for (int row = 0; row < view->model()->rowCount(folder); ++row)
                listed << view->model()->index(row, 0, folder).data().toString();
            view->setCurrentIndex(view->model()->index(0, 0, folder));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTest::mouseClick(f.page().btLoadPrj(), Qt::LeftButton);
        QCOMPARE(listed, QStringList{"Friday Gig.txt"});
        QCOMPARE(f.list.songs(), (QStringList{"Opening", "[Encore] Finale"}));
    }

    void projectFromElsewhereAsksBeforeReplacing_data()
    {
        QTest::addColumn<QByteArray>("there"); // the project of that name in the projects folder
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QStringList>("songs");
        const QStringList loaded{"One", "Two"}, kept{"Kept"};
        QTest::newRow("none there") << QByteArray() << false << false << loaded;
        QTest::newRow("same list there") << QByteArray("One\nTwo") << false << false << loaded;
        QTest::newRow("another, Yes") << QByteArray("Old\r\n") << true << true << loaded;
        QTest::newRow("another, No") << QByteArray("Old\r\n") << false << true << kept;
    }

    void projectFromElsewhereAsksBeforeReplacing()
    {
        QFETCH(QByteArray, there);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        QFETCH(QStringList, songs);
        SongsFixture f;
        f.setProject({"Kept"});
        f.page().cbProject()->setText("Mine");
        QTemporaryDir elsewhere;
        writeAll(elsewhere.filePath("Q2.txt"), "One\r\nTwo\r\n");
        if (!there.isEmpty())
            writeAll(projects() + "/Q2.txt", there);
        m_scratch.dialogs()->fileAnswers = QStringList{elsewhere.filePath("Q2.txt")};
        m_scratch.dialogs()->questionAnswers = {answer};
        QTest::mouseClick(f.page().btLoadPrj(), Qt::LeftButton);

        const QStringList question{"Replace the project Q2 in the projects folder with the one loaded from " +
                                   QDir::toNativeSeparators(elsewhere.filePath("Q2.txt")) + "?"};
        QCOMPARE(m_scratch.dialogs()->questions, asked ? question : QStringList());
        QCOMPARE(f.list.songs(), songs);
        QCOMPARE(f.page().cbProject()->text(), QString(songs.size() == 2 ? "Q2" : "Mine"));
        f.list.saveCurrentProject();
        QCOMPARE(readAll(projects() + "/Q2.txt"), songs.size() == 1 ? there : QByteArray("One\r\nTwo\r\n"));
    }

    void oneFileOneKind()
    {
        SongsFixture f;
        writeAll(projects() + "/Friday.txt", "Intro\r\n");
        f.add("Intro");
        const QByteArray song = readAll(songFile("Intro"));

        // A song named like a project.
        f.add("Friday");
        QCOMPARE(
            m_scratch.dialogs()->texts(),
            QStringList{
                "\"Friday\" cannot be a song name: Friday.txt in the projects folder is a project file."});
        QCOMPARE(f.list.songs(), QStringList{"Intro"});
        QCOMPARE(readAll(projects() + "/Friday.txt"), QByteArray("Intro\r\n"));
        f.setProject({"Friday"});
        f.list.setItemIndex(0);
        f.list.loadSelectedSong();
        QVERIFY_THROWS_EXCEPTION(FileError, f.list.saveSong());
        f.list.deleteSong();
        QCOMPARE(f.list.songs(), QStringList{});
        QCOMPARE(readAll(projects() + "/Friday.txt"), QByteArray("Intro\r\n"));

        // A project saved under a song's name, by the dialog and at shut-down.
        m_scratch.dialogs()->clear();
        m_scratch.dialogs()->fileAnswers = QStringList{songFile("Intro")};
        QTest::mouseClick(f.page().btSavePrj(), Qt::LeftButton);
        f.page().cbProject()->setText("Intro");
        QVERIFY_THROWS_EXCEPTION(FileError, f.list.saveCurrentProject());
        const QString refusal =
            "Cannot create file \"" + QDir::toNativeSeparators(songFile("Intro")) +
            "\". It is the song file of the song \"Intro\"; a project cannot be saved over it.";
        QCOMPARE(errors(), QStringList{refusal});
        QCOMPARE(readAll(songFile("Intro")), song);
    }

    void namesFromFilesAreUsedAsTheyStand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quotes") << "\"Best\"";
        QTest::newRow("U+FEFF first") << QChar(0xFEFF) + QString("Intro");
        QTest::newRow("star and colon") << "a*b:c";
        QTest::newRow("in brackets") << "[Encore] Finale";
    }

    void namesFromFilesAreUsedAsTheyStand()
    {
        QFETCH(QString, name);
        writeAll(songFile(name), "[TSpinEdit]\r\nSpin49=16\r\n");
        // Not on the first line, where a U+FEFF is the file's encoding mark.
        const QByteArray list = QString("First\r\n" + name + "\r\n").toUtf8();
        writeAll(projects() + "/Set " + name + ".txt", list);
        SongsFixture f;
        f.list.LoadProject("Set " + name + ".txt");
        QCOMPARE(f.list.songs(), (QStringList{"First", name}));
        f.clickSong(1);
        QCOMPARE(f.window.controls.strips[0].program->value(), 16);

        // A project may carry such a name too; only leaving the folder is refused, as a project.
        f.page().cbProject()->setText(name);
        QFile::remove(songFile(name));
        f.list.saveCurrentProject();
        // And again, over the file it wrote.
        f.list.saveCurrentProject();
        QCOMPARE(readAll(projects() + "/" + name + ".txt"), list);
        QCOMPARE(ProjectFile::read(projects() + "/" + name + ".txt").names, (QStringList{"First", name}));
        f.page().cbProject()->setText("../" + name);
        try {
            f.list.saveCurrentProject();
            QFAIL("a project name leading out of the folder was saved");
        } catch (const FileError &e) {
            QVERIFY2(e.message().contains("A project name cannot contain"), qPrintable(e.message()));
        }
    }

    void selectedSongIsSentAgain()
    {
        SongsFixture f;
        f.add("A");
        f.add("B");
        f.clickSong(0);
        QCOMPARE(f.sends, 1);
        // A unit switched on late: the same song once more, by a click or by Enter, as edited.
        f.window.controls.strips[0].program->setValue(90);
        f.clickSong(0);
        QCOMPARE(f.sends, 2);
        QCOMPARE(f.window.controls.strips[0].program->value(), 90);
        f.songs()->setFocus();
        QTest::keyClick(f.songs(), Qt::Key_Return);
        QTest::keyClick(f.songs(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(f.sends, 4);
        QCOMPARE(f.list.selectedIndex(), 0);
        // The arrows keep moving the selection, each move one send; the edit is let go.
        m_scratch.dialogs()->saveAnswers = {Dialogs::SaveAnswer::Discard};
        QTest::keyClick(f.songs(), Qt::Key_Down);
        QCOMPARE(f.list.selectedIndex(), 1);
        QCOMPARE(f.sends, 5);
        // A click on another song sends that song once.
        f.clickSong(0);
        QCOMPARE(f.sends, 6);
    }

    void saveProject()
    {
        SongsFixture f;
        f.setProject({"A", "", "B"});
        f.page().cbProject()->setText("Live");
        QTemporaryDir elsewhere;
        m_scratch.dialogs()->fileAnswers = QStringList{elsewhere.filePath("Other.txt")};
        QTest::mouseClick(f.page().btSavePrj(), Qt::LeftButton);
        QCOMPARE(m_scratch.dialogs()->fileRequests.size(), 1);
        const Dialogs::FileRequest &request = m_scratch.dialogs()->fileRequests[0];
        QCOMPARE(request.title, QString("Save Patchwarden project file"));
        QCOMPARE(request.filter, QString("Project file (*.txt)"));
        QCOMPARE(request.defaultSuffix, QString("txt"));
        QCOMPARE(request.presetName, QString("Live"));
        QCOMPARE(readAll(elsewhere.filePath("Other.txt")), QByteArray("A\r\n\r\nB\r\n"));
        QCOMPARE(f.page().cbProject()->text(), QString("Live"));

        // Cancel writes nothing; the menu item does what the button does.
        f.list.saveProjectFromMenu();
        QCOMPARE(m_scratch.dialogs()->fileRequests.size(), 2);

        f.list.saveCurrentProject();
        QCOMPARE(readAll(projects() + "/Live.txt"), QByteArray("A\r\n\r\nB\r\n"));
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void unwritableProjectKeepsTheOldFile()
    {
        SongsFixture f;
        f.setProject({"A"});
        // A folder stands where the file should go: it cannot be replaced by a file.
        QDir().mkpath(projects() + "/Live.txt/inside");
        m_scratch.dialogs()->fileAnswers = QStringList{projects() + "/Live.txt"};
        QTest::mouseClick(f.page().btSavePrj(), Qt::LeftButton);
        const QStringList shown = errors();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("Cannot create file \"" +
                                     QDir::toNativeSeparators(projects() + "/Live.txt") + "\". "),
                 qPrintable(shown[0]));
        QVERIFY(QFileInfo(projects() + "/Live.txt/inside").isDir());

        f.page().cbProject()->setText("../escape");
        QVERIFY_THROWS_EXCEPTION(FileError, f.list.saveCurrentProject());
        QVERIFY(!QFile::exists(m_scratch.data()->path() + "/escape.txt"));
    }

    void namesFromAProjectFileStayInTheFolder()
    {
        writeAll(m_scratch.data()->path() + "/outside.txt", "precious");
        SongsFixture f;
        f.setProject({"../outside"});
        f.list.setItemIndex(0);
        f.list.loadSelectedSong();
        f.list.saveSong();
        QCOMPARE(f.sends, 0);
        f.list.deleteSong();
        QCOMPARE(f.songs()->count(), 0);
        QCOMPARE(readAll(m_scratch.data()->path() + "/outside.txt"), QByteArray("precious"));
    }

    void fileNameDropsFourCharacters()
    {
        QCOMPARE(SongListController::fileName("Live.txt"), QString("Live"));
        QCOMPARE(SongListController::fileName("live.text"), QString("live."));
        QCOMPARE(SongListController::fileName(".txt"), QString(""));
        QCOMPARE(SongListController::fileName("abc"), QString("abc"));
    }

    void editingTheSet_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("songs");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("files"); // name=content of every file in the folder
        QTest::addColumn<int>("warnings");
        QTest::addColumn<QByteArray>("other"); // another project of the folder afterwards
        const QStringList before{"Intro", "Blues", "Intro", "Coda"};
        const QStringList files{"Blues=b", "Coda=c", "Intro=i"};
        QTest::newRow("Up") << 1 << "up"
                            << "" << QStringList{"Blues", "Intro", "Intro", "Coda"} << 0 << files << 0
                            << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("drag") << 1 << "drag"
                              << "" << QStringList{"Blues", "Intro", "Intro", "Coda"} << 0 << files << 0
                              << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("Ctrl+Down") << 1 << "ctrl+down"
                                   << "" << QStringList{"Intro", "Intro", "Blues", "Coda"} << 2 << files << 0
                                   << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("Ctrl+Up on the first song")
            << 0 << "ctrl+up"
            << "" << before << 0 << files << 0 << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("Down on the last song")
            << 3 << "down"
            << "" << before << 3 << files << 0 << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("rename a song two entries play")
            << 0 << "rename"
            << "Opener" << QStringList{"Opener", "Blues", "Opener", "Coda"} << 0
            << QStringList{"Blues=b", "Coda=c", "Opener=i"} << 0 << QByteArray("Opener\r\nCoda\r\n");
        QTest::newRow("rename onto another song's file")
            << 1 << "rename"
            << "Coda" << before << 1 << files << 1 << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("rename to a bad name")
            << 1 << "rename"
            << "a/b" << before << 1 << files << 1 << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("duplicate") << 1 << "duplicate"
                                   << "Blues 2" << QStringList{"Intro", "Blues", "Blues 2", "Intro", "Coda"}
                                   << 1 << QStringList{"Blues 2=b", "Blues=b", "Coda=c", "Intro=i"} << 0
                                   << QByteArray("Intro\r\nCoda\r\n");
        // The files here hold no song's sections, so they are not taken for songs and kept.
        QTest::newRow("delete") << 1 << "delete"
                                << "" << QStringList{"Intro", "Intro", "Coda"} << -1 << files << 0
                                << QByteArray("Intro\r\nCoda\r\n");
        QTest::newRow("duplicate onto another song's file")
            << 1 << "duplicate"
            << "Intro" << before << 1 << files << 1 << QByteArray("Intro\r\nCoda\r\n");
    }

    void editingTheSet()
    {
        QFETCH(int, row);
        QFETCH(QString, action);
        QFETCH(QString, typed);
        QFETCH(QStringList, songs);
        QFETCH(int, selected);
        QFETCH(QStringList, files);
        QFETCH(int, warnings);
        QFETCH(QByteArray, other);
        SongsFixture f;
        writeAll(projects() + "/Other.txt", "Intro\r\nCoda\r\n");
        f.page().cbProject()->setText("Set");
        for (const char *name : {"Intro", "Blues", "Intro", "Coda"})
            f.add(name);
        for (const char *name : {"Intro", "Blues", "Coda"})
            writeAll(songFile(name), QByteArray(1, char(QChar(QLatin1Char(name[0])).toLower().toLatin1())));
        f.list.setItemIndex(row);
        f.page().edNewSong()->setText(typed);
        m_scratch.dialogs()->clear();

        if (action == "up" || action == "down")
            QTest::mouseClick(action == "up" ? f.page().btMoveUp() : f.page().btMoveDown(), Qt::LeftButton);
        else if (action.startsWith("ctrl+"))
            QTest::keyClick(f.songs(), action == "ctrl+up" ? Qt::Key_Up : Qt::Key_Down, Qt::ControlModifier);
        else if (action == "drag")
            QVERIFY(f.songs()->model()->moveRow({}, row, {}, 0));
        else if (action == "delete")
            QTest::mouseClick(f.page().btDeleteSong(), Qt::LeftButton);
        else
            QTest::mouseClick(action == "rename" ? f.page().btRename() : f.page().btDuplicate(),
                              Qt::LeftButton);

        QCOMPARE(f.list.songs(), songs);
        QCOMPARE(f.list.selectedIndex(), selected);
        QCOMPARE(f.sends, 0);
        QCOMPARE(m_scratch.dialogs()->messages.size(), warnings);
        // Every song file is still there, under the names the list uses; the project file
        // holds the list as it is now, and the other project follows a renamed song.
        QStringList found;
        for (const QFileInfo &file : QDir(projects()).entryInfoList(QDir::Files, QDir::Name)) {
            if (file.fileName() != "Set.txt" && file.fileName() != "Other.txt")
                found.append(file.completeBaseName() + "=" + readAll(file.filePath()));
        }
        QCOMPARE(found, files);
        QCOMPARE(ProjectFile::read(projects() + "/Set.txt").names, songs);
        QCOMPARE(readAll(projects() + "/Other.txt"), other);
    }
};

PW_TEST_MAIN(TestSongList)
#include "tst_songlist.moc"
