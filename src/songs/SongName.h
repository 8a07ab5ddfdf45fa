#pragma once

#include <QString>

// Song and project names become file names in the projects folder. These rules keep a
// typed name from reaching outside that folder or landing on the project's own file.
class SongName
{
public:
    // Why `name` cannot be added as a new song to the project `projectName`, as the
    // warning shows it; empty when it can.
    static QString addProblem(const QString &name, const QString &projectName);

    // True when "<name>.txt" names a file directly inside the projects folder. Names that
    // came from a file are held to this, and only this, before a file is read, written or
    // deleted.
    static bool staysInFolder(const QString &name);

    // Why `name` cannot be the file name of a project; empty when it can.
    static QString projectProblem(const QString &name);

    // Whether two names address one file, as the file system compares names.
    static bool sameFile(const QString &a, const QString &b);

    // The name as the window shows it: whole when it can be a file name, else its start
    // and "…". A hand-made project can hold a line of megabytes, and laying all of it out
    // stalls the window for minutes.
    static QString shown(const QString &name);

    // The warning texts of addProblem.
    static const QString EmptyName;
    static const QString BadCharacters;
    static const QString DotName;
    static const QString SectionName;
    static QString projectNameText(const QString &projectName);
};
