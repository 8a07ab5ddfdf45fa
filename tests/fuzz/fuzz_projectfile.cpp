// Any bytes as a project file: read as a list of names or refused; a list that was read
// is written and read back unchanged, so a load and a save at exit never lose a song.
#include "FuzzSupport.h"

#include "songs/ProjectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnvironment &env = FuzzEnvironment::get();
    const QString path = env.write(QStringLiteral("Fuzz.txt"),
                                   QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const std::optional<QStringList> names = ProjectFile::read(path);
    FUZZ_CHECK(names.has_value());
    ProjectFile::write(path, *names);
    const std::optional<QStringList> again = ProjectFile::read(path);
    FUZZ_CHECK(again.has_value() && *again == *names);
    return 0;
}
