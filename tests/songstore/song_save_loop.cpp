// Saves one file over and over, alternating between two contents, until it is killed.
// Usage: song_save_loop <data folder> <song|project|settings>
#include "SaveLoopSongs.h"
#include "SongWindow.h"

#include "platform/AppPaths.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    AppPaths::setDataDir(QString::fromLocal8Bit(argv[1]));
    const QString kind = QString::fromLocal8Bit(argv[2]);
    SongWindow window;
    for (unsigned long i = 0;; ++i) {
        SaveLoop::save(kind, window.controls, i % 2 != 0);
        if (i == 0) {
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    }
}
