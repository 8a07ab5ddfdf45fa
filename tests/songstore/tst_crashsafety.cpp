#include "SaveLoopSongs.h"
#include "SongWindow.h"

#include "platform/AppPaths.h"
#include "songs/SongFile.h"
#include "support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

class TestCrashSafety : public QObject
{
    Q_OBJECT

private:
    QByteArray expectedSong(bool second)
    {
        QTemporaryDir dir;
        AppPaths::setDataDir(dir.path());
        SongWindow window;
        setLoopSong(window.controls, second);
        SongFile(window.controls).SaveSong("Loop");
        QFile file(SongFile::songPath("Loop"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void killedSaveLeavesAWholeSong()
    {
        const QByteArray first = expectedSong(false);
        const QByteArray second = expectedSong(true);
        QVERIFY(first.size() > 30000 && second.size() > 30000);
        QVERIFY(first != second);

        QTemporaryDir data;
        const QString path = data.path() + "/Projects/Loop.txt";
        QRandomGenerator random(QRandomGenerator::global()->generate());
        int seenFirst = 0;
        int seenSecond = 0;
        const int rounds = 40;
        for (int round = 0; round < rounds; ++round) {
            QProcess child;
            child.start(SONG_SAVE_LOOP, {data.path(), "Loop"});
            QVERIFY2(child.waitForStarted(10000), qPrintable(child.errorString()));
            // Kill only once a save has completed, so that there always is a song to read.
            QVERIFY(child.waitForReadyRead(20000));
            QCOMPARE(child.readLine(), QByteArray("saved\n"));
            // A random moment into the loop, waited for on a timer that the child cannot
            // influence; the file is checked only after the child is gone.
            QTest::qWait(int(random.bounded(1, 60)));
            child.kill();
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray content = file.readAll();
            QVERIFY2(content == first || content == second,
                     qPrintable(QString("round %1: %2 bytes, neither song").arg(round).arg(content.size())));
            (content == first ? seenFirst : seenSecond)++;
        }
        // Both songs turned up, so the kills did land at different points of the loop.
        qInfo("first song %d times, second song %d times", seenFirst, seenSecond);
        QVERIFY(seenFirst > 0 && seenSecond > 0);
    }
};

PW_TEST_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
