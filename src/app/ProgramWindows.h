#pragma once

#include "app/tForm1.h"

#include <memory>

class MidiSystem;
class TFrmInfo;
class TfMidiUnit;
class TfOutfitSpec;

// The program's windows: the main window, and the MIDI mixer and the skin choice, made the
// first time they are asked for (from the menu or here), so that start-up does not wait
// for them. The information window comes first of all, as the splash, and is made by the
// caller.
class ProgramWindows
{
public:
    ProgramWindows(MidiSystem &midi, tForm1::Options options, TFrmInfo *info);
    ~ProgramWindows();

    tForm1 &Form1() { return *m_form1; }
    TfMidiUnit &fMidiUnit();
    TfOutfitSpec &fOutfitSpec();

private:
    TfMidiUnit *makeMixer();
    TfOutfitSpec *makeSkinChoice();

    std::unique_ptr<tForm1> m_form1;
    std::unique_ptr<TfMidiUnit> m_mixer;
    std::unique_ptr<TfOutfitSpec> m_skinChoice;
};
