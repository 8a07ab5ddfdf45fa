// The command line, parsed in-process and run through the real program.
#include "AppFixture.h"
#include "support/TestMain.h"

#include "app/CommandLine.h"

#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    static CommandLine parse(const QStringList &args)
    {
        return CommandLine::parse(QStringList{QStringLiteral("patchwarden")} + args);
    }

    struct Run {
        int status;
        QString out;
        QString err;
    };

    static Run run(const QStringList &args)
    {
        QProcess process;
        process.setProgram(QStringLiteral(PW_BINARY));
        process.setArguments(args);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start();
        if (!process.waitForFinished(60000)) {
            process.kill();
            return {-1, {}, QStringLiteral("did not finish")};
        }
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void defaults()
    {
        const CommandLine c = parse({});
        QCOMPARE(c.outcome, CommandLine::Outcome::Run);
        QCOMPARE(c.midiApi, QStringLiteral("auto"));
        QVERIFY(c.dataDir.isEmpty() && c.midiOut.isEmpty() && c.midiIn.isEmpty());
        QVERIFY(!c.listDevices);
    }

    void values()
    {
        // A folder not made yet: whatever else lies about in /tmp cannot get in the way.
        const QTemporaryDir scratch;
        const QString dir = scratch.filePath(QStringLiteral("data"));
        const CommandLine c = parse({"--data-dir", dir, "--midi-api", "JACK", "--midi-out", "Synth A",
                                     "--midi-in", "Keys", "--list-devices"});
        QCOMPARE(c.outcome, CommandLine::Outcome::Run);
        QCOMPARE(c.dataDir, dir);
        QCOMPARE(c.midiApi, QStringLiteral("jack"));
        QCOMPARE(c.midiOut, QStringLiteral("Synth A"));
        QCOMPARE(c.midiIn, QStringLiteral("Keys"));
        QVERIFY(c.listDevices);
    }

    void badValues_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("unknown api") << QStringList{"--midi-api", "winmm"} << "winmm";
        QTest::newRow("missing value") << QStringList{"--midi-out"} << "midi-out";
        QTest::newRow("empty name") << QStringList{"--midi-in", ""} << "midi-in";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "frobnicate";
        QTest::newRow("stray argument") << QStringList{"song.txt"} << "song.txt";
        QTest::newRow("data dir is a file")
            << QStringList{"--data-dir", QStringLiteral(PW_BINARY)} << "not a folder";
    }

    void badValues()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, mentions);
        const CommandLine c = parse(args);
        QCOMPARE(c.outcome, CommandLine::Outcome::Error);
        QVERIFY2(c.error.contains(mentions), qPrintable(c.error));
    }

    void programExitsWithStatus2OnABadValue()
    {
        const Run r = run({"--midi-api", "winmm"});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("winmm")), qPrintable(r.err));
    }

    void helpAndVersion()
    {
        const Run help = run({"--help"});
        QCOMPARE(help.status, 0);
        for (const char *option : {"--data-dir", "--midi-api", "--midi-out", "--midi-in", "--list-devices"})
            QVERIFY2(help.out.contains(QLatin1String(option)), option);
        QVERIFY(!help.out.contains(QStringLiteral("skin-screenshots")));
        QVERIFY2(help.out.startsWith(QStringLiteral("Usage: patchwarden ")), qPrintable(help.out.left(60)));
        const Run version = run({"--version"});
        QCOMPARE(version.status, 0);
        // The same text as the About box's version label.
        QCOMPARE(version.out, QStringLiteral("Patchwarden 2011\n"));
    }

    void terminationSignalEndsThroughTheShutDown_data()
    {
        QTest::addColumn<bool>("projectWritable");
        QTest::newRow("clean") << true;
        // A folder where the project file should go: the shut-down has an error to report.
        QTest::newRow("error at shut-down") << false;
    }

    void terminationSignalEndsThroughTheShutDown()
    {
        QFETCH(bool, projectWritable);
        QTemporaryDir data;
        const QString settings = data.path() + QStringLiteral("/Midi.ini");
        // A project with a name: a nameless list is never written at exit.
        const QString project = data.path() + QStringLiteral("/Projects/Gig.txt");
        QFile stored(settings);
        QVERIFY(stored.open(QIODevice::WriteOnly) && stored.write("[Project]\r\nLast one=Gig.txt\r\n") > 0);
        stored.close();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(PW_BINARY), {"--midi-api", "virtual", "--data-dir", data.path()});
        // Start-up makes the projects folder when it looks for the last project.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(data.path() + QStringLiteral("/Projects")), 30000);
        // Made now, so that only the shut-down meets it.
        if (!projectWritable)
            QVERIFY(QDir().mkpath(project + QStringLiteral("/inside")));
        program.terminate(); // SIGTERM, as a log-out sends it
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QFileInfo(settings).isFile());
        const QString cannotCreate = QStringLiteral("Cannot create file \"%1\"").arg(project);
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        if (projectWritable) {
            QVERIFY(QFileInfo(project).isFile());
            QVERIFY2(!err.contains(cannotCreate), qPrintable(err));
            return;
        }
        QVERIFY2(err.contains(cannotCreate), qPrintable(err));
        QVERIFY(QDir(project).removeRecursively());

        // The next start shows what the last exit could not.
        AppFixture next;
        AppPaths::setDataDir(data.path());
        MainWindow &form = next.start();
        const QLabel *lastExit = form.statusBar()->findChild<QLabel *>(QStringLiteral("lbLastExit"));
        QVERIFY2(lastExit->text().contains(cannotCreate), qPrintable(lastExit->text()));
        QVERIFY(next.dialogs.messages.isEmpty());
    }

    void listDevicesOfTheVirtualSystem()
    {
        const Run r = run({"--midi-api", "virtual", "--list-devices"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("MIDI system: Virtual\nOutput devices:\n")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Input devices:\n")));
    }

    void autoSaysInOneLineWhichSystemItTook()
    {
        // Whatever this machine has, the systems that are not there stay silent.
        const Run r = run({"--list-devices"});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.err.trimmed().split(u'\n');
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith(QStringLiteral("patchwarden: MIDI system ")), qPrintable(r.err));
        QVERIFY2(r.out.startsWith(QStringLiteral("MIDI system: ")), qPrintable(r.out));
    }
};

PW_TEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
