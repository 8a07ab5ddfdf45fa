#include "ProgramWindows.h"

#include "look/TfOutfitSpec.h"
#include "midi/MidiIn.h"
#include "mixer/MixerLinks.h"
#include "mixer/TfMidiUnit.h"
#include "widgets/SpinEdit.h"

ProgramWindows::ProgramWindows(MidiSystem &midi, tForm1::Options options, TFrmInfo *info)
{
    m_form1 = std::make_unique<tForm1>(midi, std::move(options));
    m_form1->attachWindows([this] { return makeMixer(); }, [this] { return makeSkinChoice(); }, info);
}

ProgramWindows::~ProgramWindows()
{
    // The mixer and the skin choice read the main window; they go first.
    m_skinChoice.reset();
    m_mixer.reset();
    m_form1.reset();
}

TfMidiUnit &ProgramWindows::fMidiUnit()
{
    return *m_form1->mixer();
}

TfOutfitSpec &ProgramWindows::fOutfitSpec()
{
    return *m_form1->skinChoice();
}

TfMidiUnit *ProgramWindows::makeMixer()
{
    tForm1 &form = *m_form1;
    MixerLinks links;
    links.midiOut = &form.MidiOut();
    links.sendChannel = form.songControls().MidiSendCh;
    links.outputState = [&form] { return form.outputState(); };
    links.leds = &form.leds();
    links.lastInputStatus = [&form] { return form.MidiIn().LastStatus(); };
    m_mixer = std::make_unique<TfMidiUnit>(links);
    m_mixer->setObjectName(QStringLiteral("fMidiUnit"));
    return m_mixer.get();
}

TfOutfitSpec *ProgramWindows::makeSkinChoice()
{
    m_skinChoice = std::make_unique<TfOutfitSpec>(m_form1->SkinData1());
    m_skinChoice->setObjectName(QStringLiteral("fOutfitSpec"));
    return m_skinChoice.get();
}
