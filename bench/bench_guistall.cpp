// Keeps the program's window busy while a stream flows through its thru: song loads of a
// large song file, or a window being resized, for a given time. The probe at the ports
// measures the largest gap the stream shows meanwhile.
//   bench_guistall DATA_DIR API OUTPUT_PORT INPUT_PORT SECONDS load|resize|idle
// DATA_DIR holds a project whose songs alternate between a large song file and a small one.
// API is "jack" (thru through the program) or "virtual" (the same work with no thru, beside
// a forwarder of another process). Prints "ready" once the ports are open.

#include "app/ProgramWindows.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/AppPaths.h"
#include "platform/MidiSystem.h"
#include "songs/SongsPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 7) {
        QTextStream(stderr)
            << "usage: bench_guistall DATA_DIR API OUTPUT_PORT INPUT_PORT SECONDS load|resize|idle\n";
        return 2;
    }
    const QString api = QString::fromLocal8Bit(argv[2]);
    const int ms = int(QString::fromLocal8Bit(argv[5]).toDouble() * 1000);
    const QString what = QString::fromLocal8Bit(argv[6]);
    QString error;
    const auto midi = createMidiSystem(api, &error);
    if (!midi) {
        QTextStream(stderr) << error << '\n';
        return 1;
    }
    AppPaths::init(QString::fromLocal8Bit(argv[1]));
    const bool jack = api == QLatin1String("jack");
    ProgramWindows windows(*midi,
                           {jack ? QString::fromLocal8Bit(argv[3]) : QString(),
                            jack ? QString::fromLocal8Bit(argv[4]) : QString()},
                           nullptr);
    MainWindow &form = windows.mainWindow();
    form.show();
    QListWidget *list = form.songsPage().lbSongList();
    if (!QTest::qWaitFor(
            [&] {
                return list->currentRow() == 0 &&
                       (!jack || (form.midiOut().IsOpen() && form.midiIn().IsOpen()));
            },
            60000)) {
        QTextStream(stderr) << "bench_guistall: the ports did not open\n";
        return 1;
    }
    QTest::qWait(500);
    QTextStream(stdout) << "ready" << Qt::endl;
    list->setFocus();
    QElapsedTimer timer;
    timer.start();
    qint64 longestBusyMs = 0;
    int steps = 0;
    while (timer.elapsed() < ms) {
        QElapsedTimer busy;
        busy.start();
        if (what == QLatin1String("load")) {
            // Space: the next song is loaded and sent, as on stage.
            QTest::keyClick(list, Qt::Key_Space);
            longestBusyMs = std::max(longestBusyMs, busy.elapsed());
            QTest::qWait(300);
        } else if (what == QLatin1String("resize")) {
            form.resize(800 + (steps % 2) * 300, 600 + (steps % 2) * 200);
            QCoreApplication::processEvents();
            longestBusyMs = std::max(longestBusyMs, busy.elapsed());
        } else {
            QTest::qWait(50);
        }
        ++steps;
    }
    QTextStream(stdout) << "{\"steps\":" << steps << ",\"longest_busy_ms\":" << longestBusyMs << "}"
                        << Qt::endl;
    return 0;
}
