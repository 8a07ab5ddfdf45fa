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
    QByteArray expected(const QString &kind, bool second)
    {
        QTemporaryDir dir;
        AppPaths::setDataDir(dir.path());
        SongWindow window;
        SaveLoop::save(kind, window.controls, second);
        QFile file(SaveLoop::path(kind));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void killedSaveLeavesAWholeFile_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &kind : SaveLoop::kinds)
            QTest::newRow(qPrintable(kind)) << kind;
    }

    void killedSaveLeavesAWholeFile()
    {
        QFETCH(QString, kind);
        const QByteArray first = expected(kind, false);
        const QByteArray second = expected(kind, true);
        QVERIFY(first.size() > 30000 && second.size() > 30000);
        QVERIFY(first != second);

        QTemporaryDir data;
        AppPaths::setDataDir(data.path());
        const QString path = SaveLoop::path(kind);
        QRandomGenerator random(QRandomGenerator::global()->generate());
        int seenFirst = 0;
        int seenSecond = 0;
        const int rounds = 40;
        for (int round = 0; round < rounds; ++round) {
            QProcess child;
            child.start(SONG_SAVE_LOOP, {data.path(), kind});
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
            QVERIFY2(
                content == first || content == second,
                qPrintable(QString("round %1: %2 bytes, neither version").arg(round).arg(content.size())));
            (content == first ? seenFirst : seenSecond)++;
        }
        // Both songs turned up, so the kills did land at different points of the loop.
        qInfo("%s: first version %d times, second %d times", qPrintable(kind), seenFirst, seenSecond);
        QVERIFY(seenFirst > 0 && seenSecond > 0);
    }
};

PW_TEST_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
