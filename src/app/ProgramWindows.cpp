#include "ProgramWindows.h"

#include "look/TfOutfitSpec.h"
#include "midi/MidiIn.h"
#include "mixer/MixerLinks.h"
#include "mixer/TfMidiUnit.h"
#include "widgets/SpinEdit.h"

ProgramWindows::ProgramWindows(MidiSystem &midi, tForm1::Options options, TFrmInfo *info)
{
    m_form1 = std::make_unique<tForm1>(midi, std::move(options));
    tForm1 &form = *m_form1;

    MixerLinks links;
    links.midiOut = &form.MidiOut();
    links.sendChannel = form.songControls().MidiSendCh;
    links.outputDevices = [&form] { return form.outputDeviceNames(); };
    links.leds = &form.leds();
    links.lastInputStatus = [&form] { return form.MidiIn().LastStatus(); };
    m_mixer = std::make_unique<TfMidiUnit>(links);
    m_mixer->setObjectName(QStringLiteral("fMidiUnit"));

    m_skinChoice = std::make_unique<TfOutfitSpec>(form.SkinData1());
    m_skinChoice->setObjectName(QStringLiteral("fOutfitSpec"));

    form.attachWindows(m_mixer.get(), m_skinChoice.get(), info);
}

ProgramWindows::~ProgramWindows()
{
    // The mixer and the skin choice read the main window; they go first.
    m_skinChoice.reset();
    m_mixer.reset();
    m_form1.reset();
}
