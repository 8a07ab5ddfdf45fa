#include "CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

const QStringList &CommandLine::midiApis()
{
    static const QStringList apis{QStringLiteral("auto"), QStringLiteral("alsa"), QStringLiteral("jack"),
                                  QStringLiteral("virtual")};
    return apis;
}

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Recalls the programs and controller settings of your MIDI units, song by song."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Keep Midi.ini and the Projects folder in <dir>."),
                                     QStringLiteral("dir"));
    const QCommandLineOption midiApi(
        QStringLiteral("midi-api"),
        QStringLiteral("MIDI system to use: auto, alsa, jack or virtual (default auto)."),
        QStringLiteral("api"), QStringLiteral("auto"));
    const QCommandLineOption midiOut(QStringLiteral("midi-out"),
                                     QStringLiteral("Use the output device <name> for this run."),
                                     QStringLiteral("name"));
    const QCommandLineOption midiIn(QStringLiteral("midi-in"),
                                    QStringLiteral("Use the input device <name> for this run."),
                                    QStringLiteral("name"));
    const QCommandLineOption listDevices(QStringLiteral("list-devices"),
                                         QStringLiteral("Print the numbered MIDI devices and exit."));
    QCommandLineOption skinShots(
        QStringLiteral("skin-screenshots"),
        QStringLiteral("Write pictures of the windows under every skin to <dir> and exit."),
        QStringLiteral("dir"));
    skinShots.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({dataDir, midiApi, midiOut, midiIn, listDevices, skinShots});

    if (!parser.parse(arguments)) {
        result.outcome = Outcome::Error;
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.outcome = Outcome::ShowHelp;
        // Parsed before any application object exists, Qt cannot know the program's name.
        result.helpText = parser.helpText();
        result.helpText.replace(QStringLiteral("<executable_name>"),
                                QFileInfo(arguments.value(0, QStringLiteral("patchwarden"))).fileName());
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = Outcome::ShowVersion;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.outcome = Outcome::Error;
        result.error =
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return result;
    }

    result.midiApi = parser.value(midiApi).toLower();
    if (!midiApis().contains(result.midiApi)) {
        result.outcome = Outcome::Error;
        result.error = QStringLiteral("Unknown MIDI system \"%1\"; use one of: %2")
                           .arg(parser.value(midiApi), midiApis().join(QStringLiteral(", ")));
        return result;
    }
    for (const QCommandLineOption *option :
         {&midiOut, &midiIn, &dataDir, const_cast<const QCommandLineOption *>(&skinShots)}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
            result.outcome = Outcome::Error;
            result.error = QStringLiteral("--%1 needs a value").arg(option->names().constFirst());
            return result;
        }
    }
    result.dataDir = parser.value(dataDir);
    if (!result.dataDir.isEmpty()) {
        const QFileInfo info(result.dataDir);
        if (info.exists() && !info.isDir()) {
            result.outcome = Outcome::Error;
            result.error = QStringLiteral("--data-dir %1 is not a folder").arg(result.dataDir);
            return result;
        }
    }
    result.midiOut = parser.value(midiOut);
    result.midiIn = parser.value(midiIn);
    result.listDevices = parser.isSet(listDevices);
    result.skinScreenshots = parser.value(skinShots);
    return result;
}
