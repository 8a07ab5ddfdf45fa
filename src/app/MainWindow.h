#pragma once

#include "app/SettingsFile.h"
#include "songs/SongControls.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class ActivityLeds;
class DeviceSelection;
class ExtraInputs;
class FootBindings;
class HelpWindow;
class PerformanceView;
class IncomingMidi;
class MidiCommands;
class MidiSetupPage;
class MidiSystem;
struct MidiInLosses;
class OutputRig;
class QLabel;
class QTabWidget;
class QToolButton;
class SkinEngine;
class SongFile;
class SongListController;
class SongRecall;
class UnitsHub;
class SongsPage;
class ControllerCommandPage;
class InfoWindow;
class MidiInputPort;
class MidiOutputPort;
class MixerWindow;
class SkinDialog;

// The main window: the hub that owns the MIDI ports, the song controls, the indicators
// and the skin engine. The behaviour of each subsystem lives in a class of its own; the
// slots here, named after what the menu items and controls they serve do, hand over to
// them. The controls and menu items keep their object names, which tests find them by.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    struct Options {
        QString midiOutName; // device names chosen for this run, over Midi.ini
        QString midiInName;
        // Set when the chosen MIDI system could not be opened: the whole message, shown
        // once the window is up, and its line for the status bar.
        QString midiSystemProblem;
        QString midiSystemStatus;
    };

    static constexpr int ClientWidth = 792;
    static constexpr int ClientHeight = 553;
    static constexpr int ToolBarHeight = 25;
    static constexpr int LeftPagesWidth = 417; // at the classic size; both grow alike
    static constexpr int RightPagesWidth = 377;

    explicit MainWindow(MidiSystem &midiSystem, Options options = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The other windows, which the main window shows from its menu. The mixer and the skin
    // choice are made when first asked for: nobody needs them before the first song is out.
    void attachWindows(std::function<MixerWindow *()> makeMixer, std::function<SkinDialog *()> makeSkinChoice,
                       InfoWindow *info);
    MixerWindow *mixer();
    SkinDialog *skinChoice();
    HelpWindow *helpWindow() const { return m_help; }

    MidiOutputPort &midiOut() { return *m_midiOut; }
    OutputRig &outputs() { return *m_outputs; }
    MidiInputPort &midiIn() { return *m_midiIn; }
    MidiSystem &midiSystem() { return m_midiSystem; }
    ActivityLeds &leds() { return *m_leds; }
    SkinEngine &skinEngine() { return *m_skin; }
    const SongControls &songControls() const { return m_song; }
    MidiSetupPage &setupPage() { return *m_setupPage; }
    SongsPage &songsPage() { return *m_songsPage; }
    SongListController &songList() { return *m_songList; }
    PerformanceView &performanceView() { return *m_stage; }
    FootBindings &footBindings() { return *m_footBindings; }
    ExtraInputs &extraInputs() { return *m_extraInputs; }
    QString outputState() const;
    QStringList outputDeviceNames() const;
    int remoteChannel() const { return m_remoteChannel; }

public slots:
    // Program start and end.
    void startUp();
    void shutDown();
    // Menu.
    void showSkinDialog();
    void loadProjectFromMenu();
    void saveProjectFromMenu();
    void saveSongFromMenu();
    void exitProgram();
    void showMixer();
    void sendSystemReset();
    void sendAllNotesOff();
    void sendPanic();
    void showHelp();
    void showAbout();
    void togglePerformanceView();
    // "Midi Setup".
    void updateRemoteChannel();
    void writeDefaultSettings();
    // Song recall.
    void recallSong();

signals:
    // The shut-down sequence has run: the application ends.
    void terminated();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolBar();
    QTabWidget *buildLeftPages(QWidget *parent);
    QTabWidget *buildRightPages(QWidget *parent);
    void buildMenu();
    void buildStatusBar();
    void wireSubsystems();
    template <typename Hooks> void wireExtraInputs(const Hooks &hooks);
    // The extra inputs' readers follow the ports and the loop state; their line for the status bar.
    QString followExtraInputs(bool loop);
    void addExtraInputLosses(quint64 &overflow, MidiInLosses &device) const;
    void wireUnitOutputs();
    void updateStatus();
    void showInputLosses();
    void showThruStatus();
    void publishThruRules();
    void publishInputShown();
    void showNotice(const QString &text);
    void showNotSent(const QString &text);
    void selectSongRemotely(int row);
    void readSettings();
    void writeSettings();
    // The performance view and the foot-controller bindings, in Midi.ini sections of their own.
    void writeStageSettings();
    SettingsFile::Values currentSettings() const;

    MidiSystem &m_midiSystem;
    Options m_options;
    SongControls m_song;
    std::unique_ptr<MidiOutputPort> m_midiOut;
    std::unique_ptr<MidiInputPort> m_midiIn;
    std::unique_ptr<SkinEngine> m_skin;

    QToolButton *m_inLed = nullptr;
    QToolButton *m_outLed = nullptr;
    ActivityLeds *m_leds = nullptr;
    SongsPage *m_songsPage = nullptr;
    ControllerCommandPage *m_commandPage = nullptr;
    MidiSetupPage *m_setupPage = nullptr;
    QLabel *m_midiStatus = nullptr;
    QLabel *m_overflowStatus = nullptr; // every input loss, overflow and malformed alike
    QLabel *m_thruStatus = nullptr;
    QLabel *m_midiNotice = nullptr;
    QLabel *m_fileStatus = nullptr;
    QLabel *m_lastExitStatus = nullptr; // what the last exit could not show

    std::unique_ptr<SongFile> m_songFile;
    SongRecall *m_recall = nullptr;
    SongListController *m_songList = nullptr;
    MidiCommands *m_commands = nullptr;
    IncomingMidi *m_incoming = nullptr;
    UnitsHub *m_units = nullptr;
    DeviceSelection *m_devices = nullptr;
    OutputRig *m_outputs = nullptr; // the main output and the units' own
    FootBindings *m_footBindings = nullptr;
    ExtraInputs *m_extraInputs = nullptr;
    PerformanceView *m_stage = nullptr;

    std::function<MixerWindow *()> m_makeMixer;
    std::function<SkinDialog *()> m_makeSkinChoice;
    MixerWindow *m_mixer = nullptr; // null until made
    SkinDialog *m_skinChoice = nullptr;
    InfoWindow *m_info = nullptr;
    HelpWindow *m_help = nullptr; // made when first asked for

    quint8 m_remoteChannel = 1;
    bool m_shown = false;
    bool m_closed = false;
};
