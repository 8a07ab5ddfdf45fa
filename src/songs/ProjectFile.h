#pragma once

#include "platform/TextFile.h"

#include <QString>
#include <QStringList>

// A project file: one song name per line in list order, each line ended by CR LF. It is
// read in whatever encoding it is in and written back in the same one; a new one is UTF-8.
class ProjectFile
{
public:
    struct Content {
        TextFile::State state = TextFile::State::Missing;
        QStringList names;
        QString reason; // why it could not be read
    };

    // The names in the file. Lines may end in CR LF, a lone CR or a lone LF; an empty line
    // is an empty name; a final line end adds no name.
    static Content read(const QString &path);

    // Replaces the file with `names` in one piece. Throws FileError
    // "Cannot create file "<full path>". <reason>" when it cannot, when the file there
    // could not be read, or when it is a song file; the file is then as it was.
    static void write(const QString &path, const QStringList &names);
};
