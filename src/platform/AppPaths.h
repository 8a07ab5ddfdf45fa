#pragma once

#include <QString>

// Where the program keeps its files.
//
// The data folder holds Midi.ini and the Projects folder. It is, in this order of
// preference: the folder given with --data-dir; the executable's folder when it already
// holds Midi.ini or Projects (a portable copy); else the per-user application data
// folder, made on first use, so that a rebuilt program never loses a set list.
class AppPaths
{
public:
    // Chooses the data folder; an empty argument means "no --data-dir".
    static void init(const QString &dataDirOption);
    // Sets the data folder directly (tests).
    static void setDataDir(const QString &dir);

    // The data folder, without a trailing separator.
    static QString dataDir();
    // The executable's folder, without a trailing separator.
    static QString exeDir();
    // dataDir() + "/Midi.ini"
    static QString settingsFile();
    // dataDir() + "/Projects"
    static QString projectsDir();
    // The skins folder: beside the executable, else share/patchwarden/skins of the prefix
    // the executable is installed in, else of the system's data folders.
    static QString skinsDir();
};
