#include "ProgramWindows.h"

#include "look/SkinDialog.h"
#include "midi/MidiIn.h"
#include "mixer/MixerLinks.h"
#include "mixer/MixerWindow.h"
#include "widgets/SpinEdit.h"

ProgramWindows::ProgramWindows(MidiSystem &midi, MainWindow::Options options, InfoWindow *info)
{
    m_mainWindow = std::make_unique<MainWindow>(midi, std::move(options));
    m_mainWindow->attachWindows([this] { return makeMixer(); }, [this] { return makeSkinChoice(); }, info);
}

ProgramWindows::~ProgramWindows()
{
    // The mixer and the skin choice read the main window; they go first.
    m_skinChoice.reset();
    m_mixer.reset();
    m_mainWindow.reset();
}

MixerWindow &ProgramWindows::mixerWindow()
{
    return *m_mainWindow->mixer();
}

SkinDialog &ProgramWindows::skinDialog()
{
    return *m_mainWindow->skinChoice();
}

MixerWindow *ProgramWindows::makeMixer()
{
    MainWindow &form = *m_mainWindow;
    MixerLinks links;
    links.midiOut = &form.midiOut();
    links.sendChannel = form.songControls().MidiSendCh;
    links.outputState = [&form] { return form.outputState(); };
    links.leds = &form.leds();
    links.lastInputStatus = [&form] { return form.midiIn().LastStatus(); };
    m_mixer = std::make_unique<MixerWindow>(links);
    m_mixer->setObjectName(QStringLiteral("fMidiUnit"));
    return m_mixer.get();
}

SkinDialog *ProgramWindows::makeSkinChoice()
{
    m_skinChoice = std::make_unique<SkinDialog>(m_mainWindow->skinEngine());
    m_skinChoice->setObjectName(QStringLiteral("fOutfitSpec"));
    return m_skinChoice.get();
}
