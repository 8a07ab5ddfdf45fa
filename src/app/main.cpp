#include "app/CommandLine.h"
#include "app/DeviceListing.h"
#include "app/DeviceSelection.h"
#include "app/MidiSystemAdvice.h"
#include "app/ProgramWindows.h"
#include "app/SettingsFile.h"
#include "app/ShutdownReport.h"
#include "app/SingleInstance.h"
#include "app/WindowPlacement.h"
#include "look/InfoWindow.h"
#include "look/LookResources.h"
#include "look/SkinDialog.h"
#include "look/SkinScreenshots.h"
#include "look/SkinStore.h"
#include "look/SkinTable.h"
#include "mixer/MixerWindow.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/GuardedApplication.h"
#include "platform/JackMidiSystem.h"
#include "platform/MidiSystem.h"
#include "platform/TerminationSignals.h"
#include "platform/VirtualMidiSystem.h"
#include "songs/SongListController.h"
#include "stage/PerformanceView.h"
#include "units/UnitProfiles.h"
#include "widgets/SkinEngine.h"

#include <QDir>
#include <QFontDatabase>
#include <QIcon>
#include <QSettings>
#include <QTabWidget>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <thread>

namespace
{
int fail(int status, const QString &message)
{
    QTextStream(stderr) << "patchwarden: " << message << '\n';
    return status;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("Brindlecroft"));
    QCoreApplication::setApplicationName(QStringLiteral("Patchwarden"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PW_VERSION));
    // Ties the windows to the installed desktop file, whose icon and name the desktop shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(PW_APP_ID));

    // What needs no window is answered before any display is asked for, so that --help
    // and --list-devices work on a machine without one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine options = CommandLine::parse(arguments);
    switch (options.outcome) {
    case CommandLine::Outcome::Error:
        return fail(2, options.error + QStringLiteral("\nTry --help."));
    case CommandLine::Outcome::ShowHelp:
        QTextStream(stdout) << options.helpText;
        return 0;
    case CommandLine::Outcome::ShowVersion:
        QTextStream(stdout) << "Patchwarden " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    case CommandLine::Outcome::Run:
        break;
    }

    if (options.listDevices) {
        QCoreApplication core(argc, argv);
        QString error;
        const std::unique_ptr<MidiSystem> midi = createMidiSystem(options.midiApi, &error);
        if (!midi)
            return fail(1, error + u'\n' + MidiSystemAdvice::nextStep(options.midiApi));
        AppPaths::init(options.dataDir);
        UnitProfiles units;
        units.load(UnitProfiles::defaultPath());
        QTextStream(stdout) << deviceListing(*midi, units, AppPaths::settingsFile());
        return 0;
    }

    // The JACK client opens while the application and its windows are made.
    if (options.midiApi == QLatin1String("jack"))
        JackMidiSystem::openEarly();
    GuardedApplication app(argc, argv);
    // The fonts are listed meanwhile on a thread of their own (fontconfig's configuration
    // and caches, an entry for every font), ahead of the splash's first text: Qt's font
    // database fills itself once, under its lock, and text drawn first waits for the rest.
    const std::jthread fontList([] { QFontDatabase::families(); });
    AppPaths::init(options.dataDir);
    // The output's connection settles while the windows are built, instead of holding
    // back the first song after they are.
    if (options.midiApi == QLatin1String("jack")) {
        const SettingsFile::Values stored = SettingsFile(AppPaths::settingsFile()).read();
        JackMidiSystem::prepareEarlyOutput(
            DeviceSelection::expectedOutput(options.midiOut, stored.midiOut, stored.midiOutName));
    }
    LookResources::init();
    app.setWindowIcon(
        QIcon::fromTheme(QStringLiteral(PW_APP_ID), QIcon(QStringLiteral(":/look/InfoIcon.png"))));
    // The information window covers the start as a splash, on screen before any start-up
    // work (opening the MIDI system can take a while); the main window closes it at the
    // end of its start-up.
    InfoWindow info;
    info.showSplash();

    QString error;
    std::unique_ptr<MidiSystem> midi = createMidiSystem(options.midiApi, &error);
    MainWindow::Options formOptions{options.midiOut, options.midiIn, {}, {}};
    const auto withoutMidiSystem = [&](const QString &why) {
        // Started from a menu, a line on stderr reaches nobody: the window comes up with
        // no devices and says why and what to do.
        QTextStream(stderr) << "patchwarden: " << why << '\n';
        if (options.skinScreenshots.isEmpty()) // pictures are taken with nobody to answer a box
            formOptions.midiSystemProblem = MidiSystemAdvice::windowText(options.midiApi, why);
        formOptions.midiSystemStatus = MidiSystemAdvice::statusText(options.midiApi, why);
        midi = std::make_unique<VirtualMidiSystem>();
    };
    if (!midi) {
        withoutMidiSystem(error);
    } else if (options.midiApi == QLatin1String("auto") && midi->systemName() == QLatin1String("Virtual")) {
        // Empty device lists and nothing saying why would leave a newcomer guessing.
        formOptions.midiSystemStatus = MidiSystemAdvice::statusText(
            options.midiApi, QStringLiteral("neither the ALSA sequencer nor a JACK server is there."));
    }
    // A second program on the same data folder would write its settings and set list over
    // the first one's at exit: the first one comes forward instead.
    SingleInstance instance(AppPaths::dataDir());
    if (options.skinScreenshots.isEmpty() && !instance.claim()) {
        info.hide();
        if (instance.reachedOther())
            return fail(0, QStringLiteral("already running with the data folder %1: brought it forward.")
                               .arg(QDir::toNativeSeparators(AppPaths::dataDir())));
        Dialogs::warning(QStringLiteral("Patchwarden is already running with the data folder %1, or has "
                                        "just ended there. Switch to that window, or start this one with "
                                        "another folder (--data-dir).")
                             .arg(QDir::toNativeSeparators(AppPaths::dataDir())));
        return 1;
    }

    // The windows are built while a JACK client opened early may still be opening; the
    // first song waits for the client, not for them. One that could not be had after all
    // leaves windows made for it: they are made again for the stand-in.
    auto programWindows = std::make_unique<ProgramWindows>(*midi, formOptions, &info);
    if (!midi->waitUntilOpen(&error)) {
        programWindows.reset();
        withoutMidiSystem(error);
        programWindows = std::make_unique<ProgramWindows>(*midi, formOptions, &info);
    }
    ProgramWindows &windows = *programWindows;
    MainWindow &form = windows.mainWindow();
    SkinStore::applyStored(form.skinEngine());

    if (!options.skinScreenshots.isEmpty()) {
        form.show();
        windows.mixerWindow().show();
        const int written = SkinScreenshots::writeAll(&form, &windows.mixerWindow(), form.skinEngine(),
                                                      options.skinScreenshots);
        // And the set list as a player sees it: the songs page under the first skin, the
        // window larger than it opens, as on a full-HD desktop.
        form.skinEngine().setSkinFile(SkinTable::path(0));
        if (auto *pages = form.findChild<QTabWidget *>(QStringLiteral("PageControl1")))
            pages->setCurrentIndex(0);
        form.resize(1100, 700);
        QCoreApplication::processEvents();
        form.grab().save(options.skinScreenshots + QStringLiteral("/songs-page.png"), "PNG");
        // The skin choice with the skins' names.
        SkinDialog &skins = windows.skinDialog();
        skins.show();
        QCoreApplication::processEvents();
        skins.grab().save(options.skinScreenshots + QStringLiteral("/skin-choice.png"), "PNG");
        skins.hide();
        // And the performance view, a few songs into the set.
        PerformanceView &stage = form.performanceView();
        stage.resize(1024, 600);
        stage.show();
        form.songList().setItemIndex(std::min(2, form.songList().count() - 1));
        QCoreApplication::processEvents();
        stage.grab().save(options.skinScreenshots + QStringLiteral("/performance-view.png"), "PNG");
        QTextStream(stdout) << "Wrote pictures for " << written << " skins to " << options.skinScreenshots
                            << '\n';
        info.hide();
        return written > 0 ? 0 : 1;
    }

    QObject::connect(&form, &MainWindow::terminated, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&instance, &SingleInstance::activationRequested, &form, [&form] {
        form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
        form.show();
        form.raise();
        form.activateWindow();
    });
    // Asked to end from outside (log-out, Ctrl+C): end as "Exit" does, saving the project.
    // Nobody may be there to answer a message box then: the shut-down reports without them.
    std::optional<ShutdownReport> unattended;
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &form, [&] {
        if (!unattended)
            unattended.emplace();
        form.close();
    });
    QSettings userSettings;
    WindowPlacement::restore(form, userSettings);
    form.show();
    const int status = app.exec();
    WindowPlacement::save(form, userSettings);
    return status;
}
