// A data folder and projects folder that cannot be written (a read-only share, a copy on
// a locked stick): every save and delete says why it failed, nothing on disk changes,
// and the program goes on. Root ignores file permissions, so this test runs itself again
// as an unprivileged user.
#include "AppFixture.h"
#include "support/TestMain.h"

#include "songs/SongsPage.h"

#include <QDirIterator>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QSignalSpy>

#include <unistd.h>

#include <cstdio>
#include <vector>

namespace
{
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, AppFixture::readFile(path));
    }
    return files;
}

void setWritable(const QString &data, bool writable)
{
    const auto dirMode = writable ? QFile::Permissions(0x7755) : QFile::Permissions(0x5555);
    const auto fileMode = writable ? QFile::Permissions(0x6644) : QFile::Permissions(0x4444);
    for (const QString &path :
         {data + QStringLiteral("/Midi.ini"), data + QStringLiteral("/Projects/Gig.txt"),
          data + QStringLiteral("/Projects/Intro.txt"), data + QStringLiteral("/Projects/Outro.txt")})
        QFile::setPermissions(path, fileMode);
    QFile::setPermissions(data + QStringLiteral("/Projects"), dirMode);
    QFile::setPermissions(data, dirMode);
}
} // namespace

class TestUnwritable : public QObject
{
    Q_OBJECT

private slots:
    void failedWritesChangeNothing_data()
    {
        QTest::addColumn<QString>("button");       // empty: close the window
        QTest::addColumn<QStringList>("messages"); // how each message starts; %1 is the data folder
        QTest::addColumn<bool>("listShrinks");
        const QString project = QStringLiteral("Cannot create file \"%1/Projects/Gig.txt\".");
        QTest::newRow("Save Song") << "MMLabel6" << QStringList{"Unable to write to %1/Projects/Intro.txt."}
                                   << false;
        QTest::newRow("Save Project") << "btSavePrj" << QStringList{project} << false;
        // The list changed: its project file is written at once, and cannot be.
        QTest::newRow("Delete Song")
            << "btDeleteSong"
            << QStringList{"Can't delete the song file \"Intro.txt\"; it stays in the projects folder.",
                           project}
            << true;
        QTest::newRow("exit") << "" << QStringList{project, "Unable to write to %1/Midi.ini."} << false;
    }

    void failedWritesChangeNothing()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, messages);
        QFETCH(bool, listShrinks);
        QVERIFY2(geteuid() != 0, "must run unprivileged");

        AppFixture app;
        const QString data = app.dataDir.path();
        AppFixture::writeFile(app.settingsPath(), "[Project]\r\nLast one=Gig.txt\r\n");
        AppFixture::writeFile(app.projects() + "/Gig.txt", "Intro\r\nOutro\r\n");
        AppFixture::writeFile(app.projects() + "/Intro.txt", AppFixture::songFile(2, 10));
        AppFixture::writeFile(app.projects() + "/Outro.txt", AppFixture::songFile(2, 20));
        setWritable(data, false);
        const auto before = snapshot(data);

        MainWindow &form = app.start();
        QListWidget *list = form.songsPage().lbSongList();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentRow(), 0);
        app.dialogs.fileAnswers << app.projects() + "/Gig.txt";
        QSignalSpy ended(&form, &MainWindow::terminated);
        if (button.isEmpty())
            form.close();
        else
            form.findChild<QPushButton *>(button)->click();

        const QStringList texts = app.dialogs.texts();
        QCOMPARE(texts.size(), messages.size());
        for (int i = 0; i < texts.size(); ++i) {
            const QString expected = messages[i].contains(u"%1") ? messages[i].arg(data) : messages[i];
            QVERIFY2(texts[i].startsWith(expected), qPrintable(texts[i]));
        }
        QCOMPARE(snapshot(data), before);
        if (button.isEmpty()) {
            QCOMPARE(ended.count(), 1);
        } else {
            // The program goes on: the list answers and the next song loads.
            QCOMPARE(list->count(), listShrinks ? 1 : 2);
            list->setCurrentRow(list->count() - 1);
            QCOMPARE(form.songsPage().labDeleteSong()->text(), QStringLiteral("Outro"));
        }
        setWritable(data, true);
    }
};

int main(int argc, char *argv[])
{
    if (geteuid() == 0) {
        // The nobody account: no home, no groups, no way around the permissions.
        std::vector<char *> args{const_cast<char *>("setpriv"), const_cast<char *>("--reuid=65534"),
                                 const_cast<char *>("--regid=65534"), const_cast<char *>("--clear-groups"),
                                 const_cast<char *>("--")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        setenv("HOME", "/tmp", 1);
        unsetenv("XDG_RUNTIME_DIR");
        execvp("setpriv", args.data());
        std::perror("setpriv");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    GuardedApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Patchwarden"));
    TestUnwritable tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_unwritable.moc"
