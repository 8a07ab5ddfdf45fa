#pragma once

#include "app/SettingsFile.h"
#include "songs/SongControls.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class ActivityLeds;
class DeviceSelection;
class FootBindings;
class HelpWindow;
class PerformanceView;
class IncomingMidi;
class MidiCommands;
class MidiSetupPage;
class MidiSystem;
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
class TFrmInfo;
class TMidiInput;
class TMidiOutput;
class TfMidiUnit;
class TfOutfitSpec;

// The main window: the hub that owns the MIDI ports, the song controls, the indicators
// and the skin engine. The behaviour of each subsystem lives in a class of its own; the
// handlers here, named after the controls and menu items they serve, hand over to them.
class tForm1 : public QMainWindow
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

    explicit tForm1(MidiSystem &midiSystem, Options options = {}, QWidget *parent = nullptr);
    ~tForm1() override;

    // The other windows, which the main window shows from its menu. The mixer and the skin
    // choice are made when first asked for: nobody needs them before the first song is out.
    void attachWindows(std::function<TfMidiUnit *()> makeMixer,
                       std::function<TfOutfitSpec *()> makeSkinChoice, TFrmInfo *info);
    TfMidiUnit *mixer();
    TfOutfitSpec *skinChoice();
    HelpWindow *helpWindow() const { return m_help; }

    TMidiOutput &MidiOut() { return *m_midiOut; }
    TMidiInput &MidiIn() { return *m_midiIn; }
    MidiSystem &midiSystem() { return m_midiSystem; }
    ActivityLeds &leds() { return *m_leds; }
    SkinEngine &SkinData1() { return *m_skin; }
    const SongControls &songControls() const { return m_song; }
    MidiSetupPage &setupPage() { return *m_setupPage; }
    SongsPage &songsPage() { return *m_songsPage; }
    SongListController &songList() { return *m_songList; }
    PerformanceView &performanceView() { return *m_stage; }
    FootBindings &footBindings() { return *m_footBindings; }
    QString outputState() const;
    QStringList outputDeviceNames() const;
    int remoteChannel() const { return m_remoteChannel; }

public slots:
    // Program start and end.
    void FormShow();
    void FormClose();
    // Menu.
    void ChangeSkin1Click();
    void LoadProject1Click();
    void SaveProject1Click();
    void SaveSong1Click();
    void Exit1Click();
    void UserDifendController1Click();
    void SystemReset1Click();
    void AllNotesoff1Click();
    void Panic1Click();
    void Helpfile1Click();
    void About1Click();
    void PerformanceView1Click();
    // "Midi Setup".
    void MidiRecChChange();
    void ToolButton1Click();
    // Song recall.
    void MyPrgChange();

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
    void updateStatus();
    void showInputLosses();
    void showThruStatus();
    void publishThruRules();
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
    std::unique_ptr<TMidiOutput> m_midiOut;
    std::unique_ptr<TMidiInput> m_midiIn;
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
    FootBindings *m_footBindings = nullptr;
    PerformanceView *m_stage = nullptr;

    std::function<TfMidiUnit *()> m_makeMixer;
    std::function<TfOutfitSpec *()> m_makeSkinChoice;
    TfMidiUnit *m_mixer = nullptr; // null until made
    TfOutfitSpec *m_skinChoice = nullptr;
    TFrmInfo *m_info = nullptr;
    HelpWindow *m_help = nullptr; // made when first asked for

    quint8 m_remoteChannel = 1;
    bool m_shown = false;
    bool m_closed = false;
};
