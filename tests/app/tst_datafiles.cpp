// The program's files under everyday mistakes: a full disk, files it may not read, a
// "Last one" that points somewhere odd, and files written on Windows in its 8-bit code page.
#include "AppFixture.h"
#include "support/TestMain.h"

#include "app/MidiSetupPage.h"
#include "songs/SongsPage.h"
#include "widgets/SpinEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
// A 64 KB tmpfs mounted over a folder for the test's lifetime.
class SmallDisk
{
public:
    explicit SmallDisk(QString dir) : m_dir(std::move(dir))
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", m_dir});
        m_mounted = mount.waitForFinished(30000) && mount.exitStatus() == QProcess::NormalExit &&
                    mount.exitCode() == 0;
    }

    ~SmallDisk()
    {
        if (m_mounted) {
            QDir::setCurrent(QDir::tempPath());
            QProcess::execute(QStringLiteral("umount"), {"-l", m_dir});
        }
    }

    bool mounted() const { return m_mounted; }

    // Takes every block that is left.
    void fill() const
    {
        QFile filler(m_dir + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
    }

private:
    QString m_dir;
    bool m_mounted = false;
};

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The messages among `texts` that name `path`.
QStringList naming(const QStringList &texts, const QString &path)
{
    return texts.filter(native(path));
}

const QByteArray Settings("[Midi]\r\nMidi Out=0\r\n[Project]\r\nLast one=Live.txt\r\n");
const QByteArray Project("Intro\r\n");
} // namespace

class TestDataFiles : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskKeepsEveryFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("action");
        QTest::newRow("song file, Save Song") << "Projects/Intro.txt"
                                              << "song";
        QTest::newRow("Midi.ini, Save as Default") << "Midi.ini"
                                                   << "defaults";
        QTest::newRow("project, shut-down") << "Projects/Live.txt"
                                            << "exit";
        QTest::newRow("Midi.ini, shut-down") << "Midi.ini"
                                             << "exit";
    }

    void fullDiskKeepsEveryFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, action);
        AppFixture app;
        SmallDisk disk(app.dataDir.path());
        if (!disk.mounted()) {
            if (qEnvironmentVariable("PW_REQUIRE_TMPFS") == QStringLiteral("1"))
                QFAIL("a small tmpfs could not be mounted, and PW_REQUIRE_TMPFS=1");
            QSKIP("mounting a small tmpfs was refused (it needs root): the full disk is not tried");
        }
        const QByteArray song = AppFixture::songFile(2, 7);
        app.writeFile(app.settingsPath(), Settings);
        app.writeFile(app.projects() + QStringLiteral("/Live.txt"), Project);
        app.writeFile(app.projects() + QStringLiteral("/Intro.txt"), song);
        const QString path = app.dataDir.filePath(file);
        const QByteArray old = AppFixture::readFile(path);

        MainWindow &form = app.start();
        QCOMPARE(form.songsPage().lbSongList()->count(), 1);
        disk.fill();
        if (action == QStringLiteral("song"))
            QTest::mouseClick(form.songsPage().MMLabel6(), Qt::LeftButton);
        else if (action == QStringLiteral("defaults"))
            QTest::mouseClick(form.setupPage().ToolButton1(), Qt::LeftButton);
        else
            form.close();

        QCOMPARE(AppFixture::readFile(path), old);
        const QStringList shown = naming(app.dialogs.texts(), path);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].endsWith(QStringLiteral("The disk is full.")), qPrintable(shown[0]));
        QVERIFY(!app.dialogs.texts().join(u'\n').contains(QStringLiteral("Unknown error")));
        // No temporary file is left behind either.
        QCOMPARE(QDir(app.projects()).entryList(QDir::Files), (QStringList{"Intro.txt", "Live.txt"}));
    }

    void unreadableFileIsLeftAlone_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("readSaid"); // in a box; Midi.ini's in the status bar
        QTest::addColumn<bool>("saveSaid"); // a song not loaded is not the one Save Song saves
        QTest::newRow("song file") << "Projects/Intro.txt" << true << false;
        QTest::newRow("project") << "Projects/Live.txt" << true << true;
        QTest::newRow("Midi.ini") << "Midi.ini" << false << true;
    }

    void unreadableFileIsLeftAlone()
    {
        // Root reads every file, so the program runs as "nobody" for this; the folders are
        // open to it, so that it could replace the file if it tried.
        QFETCH(QString, file);
        QFETCH(bool, readSaid);
        QFETCH(bool, saveSaid);
        QTemporaryDir data;
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                          QFile::WriteOther | QFile::ExeOther;
        QVERIFY(QDir(data.path()).mkdir(QStringLiteral("Projects")));
        QVERIFY(QFile::setPermissions(data.path(), open));
        QVERIFY(QFile::setPermissions(data.filePath(QStringLiteral("Projects")), open));
        AppFixture::writeFile(data.filePath(QStringLiteral("Midi.ini")), Settings);
        AppFixture::writeFile(data.filePath(QStringLiteral("Projects/Live.txt")), Project);
        AppFixture::writeFile(data.filePath(QStringLiteral("Projects/Intro.txt")),
                              AppFixture::songFile(2, 7));
        for (const char *name : {"Midi.ini", "Projects/Live.txt", "Projects/Intro.txt"})
            QVERIFY(QFile::setPermissions(data.filePath(QLatin1String(name)),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                              QFile::WriteOther));
        const QString path = data.filePath(file);
        const QByteArray old = AppFixture::readFile(path);
        QVERIFY(QFile::setPermissions(path, {}));

        QProcess session;
        QStringList command{QStringLiteral(FILE_SESSION), data.path()};
        if (geteuid() == 0)
            command = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"} + command;
        session.start(geteuid() == 0 ? QStringLiteral("setpriv") : command.takeFirst(), command);
        QVERIFY(session.waitForFinished(60000));
        QCOMPARE(session.exitCode(), 0);
        const QStringList shown =
            naming(QString::fromUtf8(session.readAllStandardOutput()).split(u'\n'), path);

        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(AppFixture::readFile(path), old);
        QCOMPARE(shown.size(), int(readSaid) + int(saveSaid));
        QVERIFY(!readSaid || shown[0].contains(QStringLiteral(" could not be read: Permission denied.")));
        QVERIFY(!saveSaid || shown.last().endsWith(QStringLiteral(
                                 "It could not be read (Permission denied), so it is left as it is.")));
    }

    void lastOneStaysInTheProjectsFolder_data()
    {
        QTest::addColumn<QByteArray>("lastOne");
        QTest::addColumn<QString>("reason");
        QTest::newRow("parent folder") << QByteArray("../Gig.txt") << "is not in the projects folder";
        QTest::newRow("absolute path") << QByteArray("/dev/zero") << "is not in the projects folder";
        QTest::newRow("pipe") << QByteArray("Pipe.txt") << "It is not a regular file";
        QTest::newRow("over 64 MB") << QByteArray("Huge.txt") << "It is larger than 64 MB";
        QTest::newRow("empty: nothing to read") << QByteArray() << QString();
    }

    void lastOneStaysInTheProjectsFolder()
    {
        QFETCH(QByteArray, lastOne);
        QFETCH(QString, reason);
        AppFixture app;
        app.writeFile(app.settingsPath(), "[Project]\r\nLast one=" + lastOne + "\r\n");
        app.writeFile(app.dataDir.filePath(QStringLiteral("Gig.txt")), "Outside\r\n");
        QVERIFY(QDir().mkpath(app.projects()));
        QVERIFY(mkfifo(QFile::encodeName(app.projects() + QStringLiteral("/Pipe.txt")).constData(), 0600) ==
                0);
        QFile huge(app.projects() + QStringLiteral("/Huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(64 * 1024 * 1024 + 1)); // sparse: costs no disk
        huge.close();

        MainWindow &form = app.start();
        QCOMPARE(form.songsPage().lbSongList()->count(), 0);
        QCOMPARE(app.dialogs.messages.size(), reason.isEmpty() ? 0 : 1);
        if (!reason.isEmpty())
            QVERIFY2(app.dialogs.messages[0].text.contains(reason), qPrintable(app.dialogs.messages[0].text));
    }

    void windowsFilesKeepEveryLetter()
    {
        AppFixture app;
        // As an earlier version wrote them on Windows, in its 8-bit code page.
        app.writeFile(app.settingsPath(), "[Project]\r\nLast one=Soir\xe9"
                                          "e.txt\r\n");
        app.writeFile(app.projects() + QString::fromUtf8("/Soirée.txt"), "Caf\xe9\r\n");
        const QByteArray song("[TEdit]\r\nText47=B\xe4sse\r\n[TSpinEdit]\r\nSpin48=3\r\n");
        const QString songPath = app.projects() + QString::fromUtf8("/Café.txt");
        app.writeFile(songPath, song);

        MainWindow &form = app.start();
        QCOMPARE(form.songControls().cbProject->text(), QString::fromUtf8("Soirée"));
        QCOMPARE(form.songsPage().lbSongList()->item(0)->text(), QString::fromUtf8("Café"));
        QCOMPARE(form.songControls().strips[0].unitName->text(), QString::fromUtf8("Bässe"));
        QCOMPARE(form.songControls().strips[0].channel->value(), 3);

        // Saved back in the code page, its own lines as they were.
        QTest::mouseClick(form.songsPage().MMLabel6(), Qt::LeftButton);
        const QByteArray saved = AppFixture::readFile(songPath);
        QVERIFY(saved.startsWith("[TEdit]\r\nText47=B\xe4sse\r\n"));
        QVERIFY(saved.contains("[TSpinEdit]\r\nSpin48=3\r\n"));
        auto *notice = form.statusBar()->findChild<QLabel *>(QStringLiteral("lbFileStatus"));
        QVERIFY(notice->text().isEmpty());

        // A letter the code page lacks moves the file to UTF-8, said once in the status bar.
        form.songControls().strips[0].unitName->setText(QString::fromUtf8("Bässe ♪"));
        QTest::mouseClick(form.songsPage().MMLabel6(), Qt::LeftButton);
        QVERIFY(AppFixture::readFile(songPath).startsWith("[TEdit]\r\nText47=B\xc3\xa4sse \xe2\x99\xaa\r\n"));
        QVERIFY2(notice->text().contains(QString::fromUtf8("Café.txt")), qPrintable(notice->text()));
        notice->clear();
        QTest::mouseClick(form.songsPage().MMLabel6(), Qt::LeftButton);
        QVERIFY(notice->text().isEmpty());

        form.close();
        QVERIFY(app.dialogs.messages.isEmpty());
        QCOMPARE(AppFixture::readFile(app.projects() + QString::fromUtf8("/Soirée.txt")),
                 QByteArray("Caf\xe9\r\n"));
        QVERIFY(AppFixture::readFile(app.settingsPath())
                    .contains("Last one=Soir\xe9"
                              "e.txt\r\n"));
    }
};

PW_TEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
