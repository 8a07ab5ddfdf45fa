#pragma once

#include <QString>

// Archives made on Windows store file names in its 8-bit code page, and unpacked here
// such a name is bytes that are not UTF-8: no Qt path can address that file, and a
// program looking for "Café.txt" never finds it. A file found under the Windows-1252
// bytes of the name it is looked for by takes that name's own bytes, contents untouched,
// just as a file's text is read in whichever of the two encodings it is in.
class LegacyFileName
{
public:
    // When nothing is at `path` but its folder holds a file whose name, read as
    // Windows-1252, is the file name of `path`, renames that file to `path`. Returns
    // whether it did.
    static bool adopt(const QString &path);
};
