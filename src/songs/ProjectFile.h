#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A project file: one song name per line in list order, each line ended by CR LF, in
// the local 8-bit encoding.
class ProjectFile
{
public:
    // The names in the file; nothing when it cannot be read. Lines may end in CR LF, a
    // lone CR or a lone LF; an empty line is an empty name; a final line end adds no name.
    static std::optional<QStringList> read(const QString &path);

    // Replaces the file with `names` in one piece. Throws EFileError
    // "Cannot create file "<full path>". <reason>" when it cannot; the file is then as it was.
    static void write(const QString &path, const QStringList &names);
};
