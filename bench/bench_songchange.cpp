// Song change through the program's own classes on a real JACK output: Space on the song
// list (load and send, as on stage), the recall alone, and a plain loop of the same sends
// through the same port, and Qt's INI reader on the same song file. Prints the caller time of each, in
// microseconds, as JSON; the probe at the output port sees whether each recall left in one cycle.
//   bench_songchange DATA_DIR OUTPUT_PORT COUNT
// DATA_DIR holds a project whose songs all name one song file, COUNT + 1 entries long.

#include "app/ProgramWindows.h"
#include "midi/MidiOut.h"
#include "platform/AppPaths.h"
#include "platform/MidiSystem.h"
#include "recall/SongRecall.h"
#include "songs/SongsPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSettings>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace
{
// Recalls are spaced well apart so that each is its own burst at the probe.
constexpr int PauseMs = 30;

QString timed(int count, const std::function<void()> &what)
{
    QStringList values;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        what();
        values.append(QString::number(double(timer.nsecsElapsed()) / 1000.0, 'f', 1));
        QTest::qWait(PauseMs);
    }
    return u'[' + values.join(u',') + u']';
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        QTextStream(stderr) << "usage: bench_songchange DATA_DIR OUTPUT_PORT COUNT\n";
        return 2;
    }
    const int count = QString::fromLocal8Bit(argv[3]).toInt();
    QString error;
    const auto midi = createMidiSystem(QStringLiteral("jack"), &error);
    if (!midi) {
        QTextStream(stderr) << error << '\n';
        return 1;
    }
    AppPaths::init(QString::fromLocal8Bit(argv[1]));
    ProgramWindows windows(*midi, {QString::fromLocal8Bit(argv[2]), QString()}, nullptr);
    MainWindow &form = windows.mainWindow();
    form.show();
    MidiOutputPort &out = form.midiOut();
    QListWidget *list = form.songsPage().lbSongList();
    // Start-up opens the port and sends the first song, maybe after the window is up: a
    // press before it ends would be lost.
    if (!QTest::qWaitFor([&] { return out.IsOpen() && list->currentRow() == 0; }, 30000)) {
        QTextStream(stderr)
            << "bench_songchange: start-up did not open the output and select the first song\n";
        return 1;
    }
    // A harness that wires more ports to the probe first asks for longer.
    QTest::qWait(qEnvironmentVariableIsSet("PW_BENCH_SETTLE_MS")
                     ? qEnvironmentVariableIntValue("PW_BENCH_SETTLE_MS")
                     : 500);
    list->setFocus();
    const QString space = timed(count, [&] { QTest::keyClick(list, Qt::Key_Space); });
    QTest::qWait(300);

    auto *recall = form.findChild<SongRecall *>();
    const QString recallOnly = recall ? timed(count, [&] { recall->recallSong(); }) : QStringLiteral("[]");
    QTest::qWait(300);

    // The same 144 messages a full song sends, straight into the port.
    const QString raw = timed(count, [&] {
        for (int channel = 0; channel < 16; ++channel) {
            const quint8 cc = 0xB0 + channel;
            out.SendShort(cc, 32, 1);
            out.SendShort(0xC0 + channel, 5, 0);
            for (quint8 controller : {7, 10, 1, 11, 71, 74, 91})
                out.SendShort(cc, controller, 64);
        }
    });
    QTest::qWait(300);
    // The floor for loading: Qt's own INI reader taking every key of the same song file.
    const QString songFile = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/Projects/Song.txt");
    int keys = 0;
    const QString qsettings = timed(count, [&] {
        QSettings ini(songFile, QSettings::IniFormat);
        for (const QString &key : ini.allKeys())
            keys += ini.value(key).toString().size() > 0;
    });
    QTextStream(stdout) << "{\"qsettings_us\":" << qsettings
                        << ",\"qsettings_keys\":" << keys / std::max(count, 1) << ",\"space_us\":" << space
                        << ",\"recall_us\":" << recallOnly << ",\"raw_us\":" << raw
                        << ",\"songs\":" << list->count() << "}\n";
    return 0;
}
