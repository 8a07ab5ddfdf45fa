// Any bytes as a project file: read as a list of names or refused; a list that was read
// is written and read back unchanged, so a load and a save at exit never lose a song. A
// write that is refused (the file is a song's) leaves the file as it was.
#include "FuzzSupport.h"

#include "platform/AppException.h"
#include "songs/ProjectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnvironment &env = FuzzEnvironment::get();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = env.write(QStringLiteral("Fuzz.txt"), bytes);
    const ProjectFile::Content content = ProjectFile::read(path);
    FUZZ_CHECK(content.state == TextFile::State::Read);
    try {
        ProjectFile::write(path, content.names);
    } catch (const FileError &) {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::ReadOnly) && file.readAll() == bytes);
        return 0;
    }
    const ProjectFile::Content again = ProjectFile::read(path);
    FUZZ_CHECK(again.state == TextFile::State::Read && again.names == content.names);
    return 0;
}
