#pragma once

#include <QString>
#include <QStringList>

// The program's command line. Parsing never exits the process itself, so that it can be
// tested; main() decides what to print and which status to end with.
struct CommandLine {
    enum class Outcome { Run, ShowHelp, ShowVersion, Error };

    Outcome outcome = Outcome::Run;
    QString error;    // for Outcome::Error: what was wrong, for stderr
    QString helpText; // for ShowHelp

    QString dataDir;                          // --data-dir
    QString midiApi = QStringLiteral("auto"); // --midi-api
    QString midiOut;                          // --midi-out: device name for this run
    QString midiIn;                           // --midi-in
    bool listDevices = false;                 // --list-devices
    QString skinScreenshots;                  // --skin-screenshots DIR (documentation pictures)

    static CommandLine parse(const QStringList &arguments);
    static const QStringList &midiApis();
};
