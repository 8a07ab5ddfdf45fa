// Any bytes as a song file, loaded into the real song controls: no crash, and what the
// controls then show is what a save keeps: load, save, load, save gives the same file twice.
#include "FuzzSupport.h"

#include "songs/SongFile.h"
#include "songstore/SongWindow.h"

#include <QDir>

namespace
{
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnvironment &env = FuzzEnvironment::get();
    static SongWindow window;
    static SongFile songs(window.controls);
    QDir(env.data.path()).mkpath(QStringLiteral("Projects"));
    env.write(QStringLiteral("Projects/Input.txt"),
              QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    QFile::remove(SongFile::songPath(QStringLiteral("First")));
    QFile::remove(SongFile::songPath(QStringLiteral("Second")));

    songs.LoadSong(QStringLiteral("Input"));
    songs.SaveSong(QStringLiteral("First"));
    songs.LoadSong(QStringLiteral("First"));
    songs.SaveSong(QStringLiteral("Second"));
    const QByteArray first = readAll(SongFile::songPath(QStringLiteral("First")));
    FUZZ_CHECK(!first.isEmpty());
    FUZZ_CHECK(first == readAll(SongFile::songPath(QStringLiteral("Second"))));
    FUZZ_CHECK(env.dialogs.messages.isEmpty());
    return 0;
}
