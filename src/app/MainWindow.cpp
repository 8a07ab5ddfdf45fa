#include "MainWindow.h"

#include "app/DeviceSelection.h"
#include "app/ExtraInputs.h"
#include "app/ExtraInputsBox.h"
#include "app/MidiSetupPage.h"
#include "app/ShutdownReport.h"
#include "app/WindowPlacement.h"
#include "look/HelpWindow.h"
#include "look/InfoWindow.h"
#include "look/SkinDialog.h"
#include "midi/EventRing.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "midi/OutputRig.h"
#include "mixer/MixerWindow.h"
#include "platform/AppException.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/GuardedApplication.h"
#include "platform/GuardedConnect.h"
#include "platform/IniFile.h"
#include "platform/MidiSystem.h"
#include "platform/TextFile.h"
#include "recall/IncomingMidi.h"
#include "recall/MidiCommands.h"
#include "recall/SongRecall.h"
#include "songs/ChannelStripsPage.h"
#include "songs/ControllerCommandPage.h"
#include "songs/ControllerDataPage.h"
#include "songs/SongFile.h"
#include "songs/SongListController.h"
#include "songs/SongName.h"
#include "songs/SongsPage.h"
#include "stage/FootBindings.h"
#include "stage/FootBindingsBox.h"
#include "stage/PerformanceView.h"
#include "units/RecallSequence.h"
#include "units/RigCheck.h"
#include "units/UnitsHub.h"
#include "widgets/ActivityLeds.h"
#include "widgets/FlatTabs.h"
#include "widgets/LampButton.h"
#include "widgets/LampSlot.h"
#include "widgets/Named.h"
#include "widgets/SkinEngine.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

MainWindow::MainWindow(MidiSystem &midiSystem, Options options, QWidget *parent)
    : QMainWindow(parent), m_midiSystem(midiSystem), m_options(std::move(options)),
      m_skin(std::make_unique<SkinEngine>())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Patchwarden"));
    m_skin->setObjectName(QStringLiteral("SkinData1"));

    buildToolBar();
    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    // Made inside the widget that holds them: moving the built pages there afterwards
    // had every control of the song rework its look a second time.
    // Extra room goes to both sides alike: the song list on the left, the strips' unit
    // names on the right.
    row->addWidget(buildLeftPages(central), LeftPagesWidth);
    row->addWidget(buildRightPages(central), RightPagesWidth);
    setCentralWidget(central);
    buildMenu();
    buildStatusBar();
    // The ports list the devices as they are made: a JACK client still opening is waited
    // for here, the controls above having been built meanwhile.
    m_midiOut = std::make_unique<MidiOutputPort>(midiSystem);
    m_midiIn = std::make_unique<MidiInputPort>(midiSystem);
    m_midiOut->setObjectName(QStringLiteral("MidiOut"));
    m_midiIn->setObjectName(QStringLiteral("MidiIn"));
    // A JACK cycle hands over all its messages at once: 1 333 of a 1 M msg/s stream at 64
    // frames, 1 600 of a 300 k/s one at 256, more than the port's default ring holds before
    // this thread can start reading. The largest ring holds three to four such cycles.
    m_midiIn->setCapacity(MaxRingSlots);
    wireSubsystems();

    // The classic size to begin with, on a screen that has room for it; the layouts
    // decide how small the window may get.
    resize(
        QSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height())
            .expandedTo(minimumSizeHint()));
    WindowPlacement::fitToScreen(*this);
}

MainWindow::~MainWindow()
{
    TextFile::setEncodingNotice({});
    // The performance view follows the song list's model, which tells of a reset while the
    // songs page is being torn down: the view goes first, so it never asks a page half gone.
    delete m_stage;
    m_stage = nullptr;
    // The extra inputs go while the device selection that follows them is still there.
    {
        const QSignalBlocker quiet(m_devices);
        delete m_extraInputs;
        m_extraInputs = nullptr;
    }
    // Ports go before the controls their handlers touch; an open port is closed first.
    try {
        if (m_midiOut->IsOpen())
            m_midiOut->Close();
        m_midiIn->Close();
    } catch (const AppException &) {
        // The device is going away with the window; nothing is left to report to.
    }
}

void MainWindow::buildToolBar()
{
    auto *bar = named(new QToolBar(this), "ToolBar1");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(ToolBarHeight);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    auto *holder = new QWidget(bar);
    auto *row = new QHBoxLayout(holder);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(4);
    m_inLed = named(new LampButton(holder), "InLed");
    m_inLed->setText(QStringLiteral("MIDI In"));
    m_outLed = named(new LampButton(holder), "OutLed");
    m_outLed->setText(QStringLiteral("  MIDI Out"));
    for (QToolButton *led : {m_inLed, m_outLed}) {
        led->setToolButtonStyle(Qt::ToolButtonTextOnly);
        led->setFocusPolicy(Qt::NoFocus);
        // A dark lamp keeps its place, so that "MIDI Out" never moves when "MIDI In" goes out.
        row->addWidget(new LampSlot(led, holder));
    }
    row->addStretch();
    bar->addWidget(holder);
    addToolBar(Qt::TopToolBarArea, bar);
    m_leds = new ActivityLeds(m_inLed, m_outLed, this);
}

QTabWidget *MainWindow::buildLeftPages(QWidget *parent)
{
    auto *pages = named(new QTabWidget(parent), "PageControl1");
    FlatTabs::follow(pages, *m_skin);
    m_songsPage = new SongsPage(m_song);
    m_commandPage = new ControllerCommandPage(m_song);
    m_setupPage = new MidiSetupPage;
    m_song.MidiSendCh = m_setupPage->MidiSendCh();
    m_song.MidiRecCh = m_setupPage->MidiRecCh();
    m_song.ckbRemote = m_setupPage->ckbRemote();
    pages->addTab(named(m_songsPage, "TabSheet1"), QStringLiteral("Sessions"));
    pages->addTab(named(m_commandPage, "TabSheet3"), QStringLiteral("MIDI Controller Data"));
    // A big rig (many inputs, many units on ports) scrolls on its page rather than raising
    // the window's smallest size past the screen.
    auto *setupScroll = new QScrollArea;
    setupScroll->setFrameShape(QFrame::NoFrame);
    setupScroll->setWidgetResizable(true);
    setupScroll->setWidget(m_setupPage);
    pages->addTab(named(setupScroll, "TabSheet4"), QStringLiteral("Midi Setup"));
    pages->setCurrentIndex(2);
    return pages;
}

QTabWidget *MainWindow::buildRightPages(QWidget *parent)
{
    auto *pages = named(new QTabWidget(parent), "PageControl2");
    FlatTabs::follow(pages, *m_skin);
    pages->addTab(named(new ChannelStripsPage(1, m_song), "TabSheet5"), QStringLiteral("Channel 1-8"));
    pages->addTab(named(new ChannelStripsPage(9, m_song), "TabSheet6"), QStringLiteral("Channel 9-16"));
    pages->addTab(named(new ControllerDataPage(m_song), "TabSheet2"), QStringLiteral("Controller Data"));
    pages->setCurrentIndex(0);
    return pages;
}

void MainWindow::buildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto item = [this](QMenu *menu, const char *name, const QString &text, auto handler) {
        QAction *action = menu->addAction(text);
        named(action, name);
        connectGuarded(action, &QAction::triggered, this, handler);
        return action;
    };

    // Keys work with the menus closed too.
    const auto withKey = [this](QAction *action, const QKeySequence &key) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    };

    QMenu *file = named(bar->addMenu(QStringLiteral("&File")), "File1");
    item(file, "ChangeSkin1", QStringLiteral("Program S&kin..."), &MainWindow::showSkinDialog);
    withKey(item(file, "LoadProject1", QStringLiteral("&Load Project..."), &MainWindow::loadProjectFromMenu),
            QKeySequence(Qt::CTRL | Qt::Key_O));
    item(file, "SaveProject1", QStringLiteral("Save &Project"), &MainWindow::saveProjectFromMenu);
    withKey(item(file, "SaveSong1", QStringLiteral("&Save Song"), &MainWindow::saveSongFromMenu),
            QKeySequence(Qt::CTRL | Qt::Key_S));
    withKey(item(file, "PerformanceView1", QStringLiteral("Pe&rformance View"),
                 &MainWindow::togglePerformanceView),
            QKeySequence(Qt::Key_F11));
    withKey(item(file, "Exit1", QStringLiteral("E&xit"), &MainWindow::exitProgram),
            QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *mixer = named(bar->addMenu(QStringLiteral("&MIDI Mixer")), "MIDIMixer1");
    item(mixer, "UserDefinedController1", QStringLiteral("&User Defined Controller"), &MainWindow::showMixer);

    QMenu *messages = named(bar->addMenu(QStringLiteral("MIDI M&essages")), "MIDIMessesages1");
    item(messages, "SystemReset1", QStringLiteral("System &Reset"), &MainWindow::sendSystemReset);
    item(messages, "AllNotesoff1", QStringLiteral("&All Notes off"), &MainWindow::sendAllNotesOff);
    item(messages, "Panic1", QStringLiteral("&Panic"), &MainWindow::sendPanic)
        ->setToolTip(QStringLiteral("Sustain off, All Sound Off and All Notes Off on all 16 channels"));

    QMenu *help = named(bar->addMenu(QStringLiteral("&Help")), "Help1");
    withKey(item(help, "Helpfile1", QStringLiteral("Patchwarden &Help"), &MainWindow::showHelp),
            QKeySequence(Qt::Key_F1));
    help->addSeparator()->setObjectName(QStringLiteral("N1"));
    item(help, "About1", QStringLiteral("&About"), &MainWindow::showAbout);
}

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    m_midiStatus = named(new QLabel(bar), "lbMidiStatus");
    m_overflowStatus = named(new QLabel(bar), "lbOverflow");
    m_overflowStatus->hide();
    m_thruStatus = named(new QLabel(bar), "lbThru");
    m_thruStatus->hide();
    m_midiNotice = named(new QLabel(bar), "lbMidiNotice");
    m_fileStatus = named(new QLabel(bar), "lbFileStatus");
    m_fileStatus->hide();
    m_lastExitStatus = named(new QLabel(bar), "lbLastExit");
    m_lastExitStatus->hide();
    bar->addWidget(m_midiStatus, 1);
    bar->addWidget(m_midiNotice);
    bar->addPermanentWidget(m_thruStatus);
    bar->addWidget(m_lastExitStatus, 1);
    bar->addPermanentWidget(m_fileStatus);
    bar->addPermanentWidget(m_overflowStatus);
    // A file moves to UTF-8 once, when it first gets a character its code page lacks.
    TextFile::setEncodingNotice([this](const QString &path) {
        m_fileStatus->setText(tr("%1 is now saved as UTF-8: Windows-1252 cannot hold all of its text")
                                  .arg(QFileInfo(path).fileName()));
        m_fileStatus->show();
    });
}

void MainWindow::wireSubsystems()
{
    m_songFile = std::make_unique<SongFile>(m_song);
    m_recall = new SongRecall(m_song, *m_midiOut, *m_leds, this);
    m_songFile->setSongSender([this] { recallSong(); });
    m_songFile->setLoadingNotice([this](bool loading) { m_recall->setLoading(loading); });
    m_units = new UnitsHub(m_song, m_recall->sequence(), *m_midiOut, UnitProfiles::defaultPath(), this);
    m_recall->setUnits(&m_units->rig());
    m_songFile->setExtraValues([this](const IniFile &ini) { m_units->readSong(ini); },
                               [this](IniFile &ini) { m_units->writeSong(ini); });
    QMenu *units = named(new QMenu(QStringLiteral("&Units"), this), "Units1");
    menuBar()->insertMenu(menuBar()->findChild<QMenu *>(QStringLiteral("Help1"))->menuAction(), units);
    m_units->addMenuItems(units);
    m_songList = new SongListController(*m_songsPage, *m_songFile, this);
    m_units->setSongList(m_songsPage->lbSongList()->model());
    connect(m_songList, &SongListController::notice, this, &MainWindow::showNotice);
    connect(m_units, &UnitsHub::songEdited, &m_songFile->edits(), &SongEdits::markChanged);

    m_commands = new MidiCommands(
        *m_midiOut, *m_leds, {m_commandPage->lbControl(), m_commandPage->seSecond(), m_song.MidiSendCh},
        [this] { return outputState(); }, this);
    connectGuarded(m_commandPage->Button1(), &QPushButton::clicked, m_commands,
                   &MidiCommands::sendControllerData);

    IncomingMidi::Hooks hooks;
    hooks.remoteChannel = [this] { return int(m_remoteChannel); };
    hooks.showInput = [this](quint8 status, quint8 data1, quint8 data2) {
        if (m_mixer) // a mixer not yet made cannot have "Show MIDI Input" on
            m_mixer->showInput(status, data1, data2);
    };
    hooks.selectSong = [this](int row) { selectSongRemotely(row); };
    hooks.sysexReceived = [this](const QByteArray &sysex, const MidiInputPort &from) {
        // With the main input alone, where a reply came in says nothing.
        const bool severalInputs = m_extraInputs && m_extraInputs->count() > 0;
        m_units->rigCheck()->takeSysex(sysex, severalInputs ? from.ProductName() : QString());
    };
    m_footBindings = new FootBindings(
        [this](FootBindings::Action action) {
            if (action == FootBindings::Resend)
                m_songList->resend();
            else
                m_songList->stepSong(action == FootBindings::Next ? 1 : -1);
        },
        this);
    hooks.footSwitch = [this](quint8 status, quint8 data1, quint8 data2) {
        return m_footBindings->take(status, data1, data2);
    };
    connect(m_footBindings, &FootBindings::changed, this, &MainWindow::publishThruRules);
    connect(m_song.ckbRemote, &QCheckBox::toggled, this, &MainWindow::publishThruRules);
    publishThruRules();
    m_setupPage->addGroup(new FootBindingsBox(*m_footBindings));
    m_stage = new PerformanceView(*m_songList, m_songsPage->lbSongList(), m_songsPage->LabSong(), *m_skin,
                                  m_inLed, m_outLed, this);
    m_incoming = new IncomingMidi(m_midiSystem, *m_midiIn, *m_midiOut, *m_leds, m_songsPage->lbSongList(),
                                  m_song.ckbRemote, hooks, this);
    connectGuarded(m_midiIn.get(), &MidiInputPort::inputWaiting, m_incoming, &IncomingMidi::readInput);
    connect(m_midiIn.get(), &MidiInputPort::messageRead, m_incoming, &IncomingMidi::handleIncomingMessage);
    connect(m_midiIn.get(), &MidiInputPort::overflowed, this, &MainWindow::showInputLosses);
    connect(m_incoming, &IncomingMidi::thruStatusChanged, this, &MainWindow::showThruStatus);
    // Malformed input fills no ring slot and wakes nobody: its count is looked at now and then.
    auto *lossWatch = new QTimer(this);
    connect(lossWatch, &QTimer::timeout, this, &MainWindow::showInputLosses);
    connect(lossWatch, &QTimer::timeout, m_incoming, &IncomingMidi::takeThruReport);
    connect(m_incoming, &IncomingMidi::loopHeardChanged, this, &MainWindow::updateStatus);
    lossWatch->start(500);
    connect(m_midiOut.get(), &MidiOutputPort::sysexSent, m_incoming, &IncomingMidi::lightOutputLed);
    m_leds->setRecentInput([this](int ms) { return m_midiSystem.inputHeardWithin(ms); });
    connect(m_leds, &ActivityLeds::inLitChanged, this, &MainWindow::publishInputShown);
    publishInputShown();

    m_devices = new DeviceSelection(m_midiSystem, *m_midiOut, *m_midiIn,
                                    {m_setupPage->cmbOutput(), m_setupPage->cmbInput(),
                                     m_setupPage->ckbOwnOutput(), m_setupPage->ckbOwnInput()},
                                    this);
    connect(m_devices, &DeviceSelection::statusChanged, this, &MainWindow::updateStatus);
    wireExtraInputs(hooks);
    connect(m_devices, &DeviceSelection::notice, this, &MainWindow::showNotice);
    connect(m_recall, &SongRecall::outputGone, m_devices, &DeviceSelection::outputLost);
    connect(m_recall, &SongRecall::restDropped, this,
            [this] { showNotSent(tr("Not sent: the rest of %1 (%2)")); });
    connect(m_devices, &DeviceSelection::outputReturned, this, [this] {
        if (m_setupPage->ckbResendOnReturn()->isChecked())
            guarded([this] { recallSong(); });
    });
    connectGuarded(m_setupPage->refreshButton(), &QPushButton::clicked, m_devices, &DeviceSelection::refresh);
    connect(m_setupPage->MidiRecCh(), &SpinEdit::changed, this, &MainWindow::updateRemoteChannel);
    connectGuarded(m_setupPage->ToolButton1(), &QPushButton::clicked, this,
                   &MainWindow::writeDefaultSettings);
    wireUnitOutputs();
}

// Units bound to devices of their own: their ports follow the profiles, open and reopen
// as the main output does, and the setup page says what each unit is bound to.
void MainWindow::wireUnitOutputs()
{
    m_outputs = new OutputRig(m_midiSystem, *m_midiOut, this);
    m_units->setOutputs(*m_outputs, [this] { return outputDeviceNames(); });
    m_devices->followUnitOutputs(*m_outputs, [this] { return m_units->unitPorts(); });
    m_recall->setOutputs(m_outputs);
    m_commands->setOutputs(m_outputs);
    connect(m_recall, &SongRecall::unitOutputGone, m_devices, &DeviceSelection::unitOutputLost);

    auto *box = new QGroupBox(tr("Units on ports"), m_setupPage);
    box->setObjectName(QStringLiteral("gbUnitPorts"));
    auto *bindings = new QLabel;
    bindings->setObjectName(QStringLiteral("lbUnitPorts"));
    bindings->setWordWrap(true);
    // A large rig scrolls here rather than pushing the window's smallest size off the screen.
    auto *lines = new QScrollArea;
    lines->setFrameShape(QFrame::NoFrame);
    lines->setWidgetResizable(true);
    lines->setWidget(bindings);
    lines->setMaximumHeight(bindings->fontMetrics().lineSpacing() * 4 + 4);
    (new QVBoxLayout(box))->addWidget(lines);
    const auto show = [this, box, bindings] {
        const QString text = m_devices->unitBindings(m_units->unitPorts());
        bindings->setText(text);
        box->setVisible(!text.isEmpty());
    };
    connect(m_devices, &DeviceSelection::statusChanged, bindings, show);
    connect(m_units, &UnitsHub::profilesChanged, bindings, show);
    show();
    m_setupPage->addGroup(box);
}

// Each extra input is read as the main input is, by a reader of its own: the same hooks, so
// that its remote messages, foot switches and SysEx replies (the rig check's) act alike.
template <typename Hooks> void MainWindow::wireExtraInputs(const Hooks &hooks)
{
    m_extraInputs = new ExtraInputs(
        m_midiSystem, *m_devices,
        [this, hooks](MidiInputPort &port) {
            auto *reader = new IncomingMidi(m_midiSystem, port, *m_midiOut, *m_leds,
                                            m_songsPage->lbSongList(), m_song.ckbRemote, hooks, this);
            connectGuarded(&port, &MidiInputPort::inputWaiting, reader, &IncomingMidi::readInput);
            connect(&port, &MidiInputPort::messageRead, reader, &IncomingMidi::handleIncomingMessage);
            connect(&port, &MidiInputPort::overflowed, this, &MainWindow::showInputLosses);
            return reader;
        },
        this);
    connect(m_extraInputs, &ExtraInputs::changed, this, &MainWindow::publishThruRules);
    connect(m_extraInputs, &ExtraInputs::listChanged, this, &MainWindow::updateStatus);
    auto *box = new ExtraInputsBox(
        *m_extraInputs, [this] { return m_devices->inputNames(); },
        [this] { return m_devices->savedInput().name; });
    connect(m_devices, &DeviceSelection::statusChanged, box, &ExtraInputsBox::followDevices);
    // Its rows fit the page's width; a few of them show even when the page itself scrolls.
    auto *scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(box);
    scroll->setMinimumHeight(box->fontMetrics().lineSpacing() * 12);
    m_setupPage->addGroup(scroll);
}

// Every input's losses count in the one line: which input lost them matters less than that
// something was lost.
void MainWindow::addExtraInputLosses(quint64 &overflow, MidiInLosses &device) const
{
    for (int i = 0; m_extraInputs && i < m_extraInputs->count(); ++i) {
        const MidiInputPort &port = m_extraInputs->port(i);
        const MidiInLosses losses = port.DeviceLosses();
        overflow += port.OverflowCount();
        device.malformed += losses.malformed;
        device.bytesWithoutBuffer += losses.bytesWithoutBuffer;
    }
}

QString MainWindow::followExtraInputs(bool loop)
{
    if (!m_extraInputs) // gone first at the end
        return {};
    for (int i = 0; i < m_extraInputs->count(); ++i) {
        IncomingMidi &reader = m_extraInputs->reader(i);
        reader.routeThru();
        reader.setThruSuspended(loop);
    }
    const QString inputs = m_devices->inputsStatus();
    return inputs.isEmpty() ? inputs : QStringLiteral("  |  ") + inputs;
}

void MainWindow::attachWindows(std::function<MixerWindow *()> makeMixer,
                               std::function<SkinDialog *()> makeSkinChoice, InfoWindow *info)
{
    m_makeMixer = std::move(makeMixer);
    m_makeSkinChoice = std::move(makeSkinChoice);
    m_info = info;
}

MixerWindow *MainWindow::mixer()
{
    if (!m_mixer && m_makeMixer) {
        m_mixer = m_makeMixer();
        connect(m_mixer, &MixerWindow::showsInputChanged, this, &MainWindow::publishInputShown);
    }
    return m_mixer;
}

SkinDialog *MainWindow::skinChoice()
{
    if (!m_skinChoice && m_makeSkinChoice)
        m_skinChoice = m_makeSkinChoice();
    return m_skinChoice;
}

QString MainWindow::outputState() const
{
    return m_devices->outputStatus();
}

QStringList MainWindow::outputDeviceNames() const
{
    return m_devices->outputNames();
}

void MainWindow::updateStatus()
{
    m_incoming->routeThru();
    // Thru with the output wired to the input would send every event round for ever.
    const bool loop = m_midiSystem.isRunning() && m_midiSystem.loopedBack();
    m_incoming->setThruSuspended(loop);
    QString text = m_options.midiSystemStatus.isEmpty()
                       ? tr("MIDI: %1  |  %2").arg(m_midiSystem.systemName(), m_devices->status())
                       : m_options.midiSystemStatus;
    text += followExtraInputs(loop);
    if (loop)
        text += QStringLiteral("  |  ") + tr("MIDI loop: output connected to input");
    else if (m_incoming->loopHeard())
        text += QStringLiteral("  |  ") +
                tr("MIDI loop: the output comes back at the input; thru keeps its echoes back");
    m_midiStatus->setText(text);
    if (m_stage) // gone first at the end
        m_stage->setStatus(text);
}

void MainWindow::showNotice(const QString &text)
{
    m_midiNotice->setText(text);
}

void MainWindow::showInputLosses()
{
    quint64 overflow = m_midiIn->OverflowCount();
    MidiInLosses device = m_midiIn->DeviceLosses();
    addExtraInputLosses(overflow, device);
    QStringList kinds;
    if (overflow)
        kinds << tr("overflow %1").arg(overflow);
    if (device.malformed)
        kinds << tr("malformed %1").arg(device.malformed);
    QStringList parts;
    if (!kinds.isEmpty())
        parts << tr("%1 lost (%2)").arg(overflow + device.malformed).arg(kinds.join(QStringLiteral(", ")));
    if (device.bytesWithoutBuffer)
        parts << tr("%1 SysEx bytes without buffer").arg(device.bytesWithoutBuffer);
    QStringList sections;
    if (!parts.isEmpty())
        sections << QStringLiteral("MIDI in: ") + parts.join(QStringLiteral("; "));
    // What the system's thru lost because its output refused it, since the start: the thru
    // status shows only the latest run of them.
    if (const quint64 dropped = m_midiSystem.thruReport().notSent)
        sections << tr("MIDI thru: %1 dropped at output").arg(dropped);
    if (sections.isEmpty())
        return;
    const QString text = sections.join(QStringLiteral("; "));
    if (m_overflowStatus->text() != text)
        m_overflowStatus->setText(text);
    m_overflowStatus->show();
}

void MainWindow::showThruStatus()
{
    const QString text = m_incoming->thruStatus();
    m_thruStatus->setText(text);
    m_thruStatus->setVisible(!text.isEmpty());
}

void MainWindow::selectSongRemotely(int row)
{
    m_songList->setItemIndex(row);
}

// ---- start and end --------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        startUp();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    bool mayEnd = true;
    if (!m_closed)
        guarded([&] { mayEnd = m_songList->mayEnd(); });
    if (!mayEnd) {
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        shutDown();
    }
    event->accept();
}

void MainWindow::readSettings()
{
    const SettingsFile file(AppPaths::settingsFile());
    const SettingsFile::Values v = file.read();
    // Said in the window, not in a box: a box at start-up opens behind the splash and holds
    // the start (and an end asked for meanwhile) until someone finds it.
    if (const QString why = file.readError(); !why.isEmpty()) {
        m_fileStatus->setText(tr("Midi.ini could not be read (%1): defaults in use").arg(why));
        m_fileStatus->setToolTip(
            tr("%1 is left as it is.").arg(QDir::toNativeSeparators(AppPaths::settingsFile())));
        m_fileStatus->show();
    }
    // A device named on the command line must be that device: no falling back to the
    // stored number.
    // -1 is the program's own port; a stored name decides over the number.
    const auto stored = [](int number, const QString &name) {
        using Choice = DeviceSelection::Choice;
        return number == -1 ? Choice{Choice::Own, -1, QString()} : Choice{Choice::Device, number, name};
    };
    m_devices->chooseOutput(stored(v.midiOut, v.midiOutName), m_options.midiOutName);
    m_devices->chooseInput(stored(v.midiIn, v.midiInName), m_options.midiInName);
    m_setupPage->ckbResendOnReturn()->setChecked(v.resendOnReturn);
    m_song.ckbRemote->setChecked(v.remoteOn);
    m_song.MidiRecCh->setValue(v.remoteChannel);
    m_song.MidiSendCh->setValue(v.sendChannel);
    m_songList->loadLastProject(v.lastProject, file.storedProjectFile());
    const IniFile ini(AppPaths::settingsFile());
    m_footBindings->read(ini);
    m_extraInputs->read(ini);
    m_stage->read(ini);
}

void MainWindow::writeStageSettings()
{
    IniFile ini(AppPaths::settingsFile());
    const QString before = ini.toText();
    m_footBindings->write(ini);
    m_extraInputs->write(ini);
    m_stage->write(ini);
    if (ini.toText() != before)
        ini.save();
}

void MainWindow::startUp()
{
    // A device that misbehaves must not keep the program from coming up: each step's
    // error is shown and the next step still runs, up to closing the splash.
    guarded([this] { m_devices->fillDeviceLists(); });
    guarded([this] { readSettings(); });
    m_devices->showChoice();
    updateRemoteChannel();
    QListWidget *songs = m_songsPage->lbSongList();
    if (songs->count() > 0)
        m_songList->setItemIndex(0);
    // The first song goes out as soon as the outputs are open; the inputs, thru and the
    // status (which asks the system about its connections) follow.
    guarded([this] { m_devices->openOutputs(); });
    guarded([&] {
        if (songs->count() > 0)
            m_songList->loadSelectedSong();
    });
    guarded([this] { m_devices->openPorts(); });
    updateStatus();
    // Windows that only show things; the first song did not wait for them.
    guarded([this] { m_units->makeWindows(); });
    const QString lastExit = ShutdownReport::takeNote();
    if (!lastExit.isEmpty()) {
        m_lastExitStatus->setText(tr("At the last exit: %1").arg(lastExit));
        m_lastExitStatus->show();
    }
    if (m_info)
        m_info->closeSplash();
    // Said once the window stands, so that the box is not left under the splash.
    if (!m_options.midiSystemProblem.isEmpty())
        QTimer::singleShot(0, this, [this] { Dialogs::warning(m_options.midiSystemProblem); });
}

SettingsFile::Values MainWindow::currentSettings() const
{
    SettingsFile::Values v;
    const DeviceSelection::Choice out = m_devices->savedOutput();
    const DeviceSelection::Choice in = m_devices->savedInput();
    v.midiOut = out.number;
    v.midiIn = in.number;
    v.midiOutName = out.name;
    v.midiInName = in.name;
    v.resendOnReturn = m_setupPage->ckbResendOnReturn()->isChecked();
    v.lastProject = m_song.cbProject->text() + QStringLiteral(".txt");
    v.remoteChannel = m_song.MidiRecCh->value();
    v.sendChannel = m_song.MidiSendCh->value();
    v.remoteOn = m_song.ckbRemote->isChecked();
    return v;
}

void MainWindow::shutDown()
{
    // Nothing here may stop the program from ending: each failure is reported and the
    // next step still runs, so the set list and the settings get their chance to be saved.
    const auto step = [](auto &&action) { guarded(action); };
    bool projectSaved = false;
    step([&] {
        projectSaved = m_songList->saveCurrentProject();
        if (!projectSaved && m_songList->count() > 0)
            Dialogs::warning(tr("The song list was not saved as a project: it has no project name. Its "
                                "songs are kept in their song files."));
    });
    step([this] { m_midiOut->Close(); });
    step([this] { m_midiIn->Close(); });
    step([] { SongFile::enterDataFolder(); });
    step([&] {
        SettingsFile::Values values = currentSettings();
        // Never a name that is not a project: a project not written keeps the last one.
        if (!projectSaved)
            values.lastProject = QString();
        SettingsFile(AppPaths::settingsFile()).writeAll(values);
        writeStageSettings();
    });
    emit terminated();
}

// ---- menu -----------------------------------------------------------------------------

void MainWindow::showSkinDialog()
{
    if (SkinDialog *window = skinChoice()) {
        window->show();
        window->raise();
    }
}

void MainWindow::loadProjectFromMenu()
{
    m_songList->loadProject();
}

void MainWindow::saveProjectFromMenu()
{
    m_songList->saveProject();
}

void MainWindow::saveSongFromMenu()
{
    m_songList->saveSong();
}

void MainWindow::exitProgram()
{
    close();
}

void MainWindow::showMixer()
{
    if (MixerWindow *window = mixer()) {
        window->show();
        window->raise();
    }
}

void MainWindow::sendSystemReset()
{
    m_commands->sendSystemReset();
}

void MainWindow::sendAllNotesOff()
{
    m_commands->sendAllNotesOff();
}

void MainWindow::sendPanic()
{
    m_commands->sendPanic();
}

void MainWindow::showHelp()
{
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->showHelp();
}

void MainWindow::showAbout()
{
    if (m_info)
        m_info->showModal();
}

void MainWindow::togglePerformanceView()
{
    m_stage->toggle();
}

// ---- "Midi Setup" ---------------------------------------------------------------------

void MainWindow::updateRemoteChannel()
{
    // While a number is being typed the box may briefly show one outside 1..16.
    m_remoteChannel = quint8(std::clamp(m_song.MidiRecCh->value(), 1, 16));
    publishThruRules();
}

// The system's thru reads these on its own thread: they are handed over whole, each time
// one of them changes.
void MainWindow::publishThruRules()
{
    ThruRules rules;
    m_footBindings->fillThruRules(rules);
    if (m_extraInputs) // made after the first publication
        m_extraInputs->fillThruRules(rules);
    rules.remoteOn = m_song.ckbRemote->isChecked();
    rules.remoteChannel = m_remoteChannel;
    m_midiSystem.thruGate().publish(rules);
}

// Of the messages thru passes on that the window only shows, it needs the latest while
// the mixer's input row is on screen, the next one while the input lamp is dark, and
// none otherwise: each copy handed over costs the window a wake-up.
void MainWindow::publishInputShown()
{
    using Shown = MidiSystem::InputShown;
    if (m_mixer && m_mixer->showsInput())
        m_midiSystem.setInputShown(Shown::Latest);
    else
        m_midiSystem.setInputShown(m_leds->inLit() ? Shown::Nothing : Shown::Next);
}

void MainWindow::writeDefaultSettings()
{
    SongFile::enterDataFolder();
    SettingsFile(AppPaths::settingsFile()).writeDefaults(currentSettings());
    writeStageSettings();
}

void MainWindow::recallSong()
{
    m_recall->recallSong();
    // A unit that is gone, or went during the send, costs one line, not a box per message.
    if (!m_midiOut->IsOpen() && m_devices->outputMissing())
        showNotSent(tr("Not sent: %1 (%2)"));
    else if (const QStringList missed = m_recall->sequence().notReached(); !missed.isEmpty())
        if (const QListWidgetItem *song = m_songsPage->lbSongList()->currentItem())
            showNotice(tr("Not sent to %1: %2 (%3)")
                           .arg(missed.join(QStringLiteral(", ")), SongName::shown(song->text()),
                                m_devices->outputsSummary()));
}

// `text` takes the current song's name as shown and what became of the output.
void MainWindow::showNotSent(const QString &text)
{
    if (const QListWidgetItem *song = m_songsPage->lbSongList()->currentItem())
        showNotice(text.arg(SongName::shown(song->text()), m_devices->outputStatus()));
}
