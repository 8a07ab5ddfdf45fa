#pragma once

#include "app/tForm1.h"

#include <memory>

class MidiSystem;
class TFrmInfo;
class TfMidiUnit;
class TfOutfitSpec;

// The program's windows, made in the order the program has always made them: the main
// window, the MIDI mixer, the skin choice. The information window comes first of all, as
// the splash, and is made by the caller.
class ProgramWindows
{
public:
    ProgramWindows(MidiSystem &midi, tForm1::Options options, TFrmInfo *info);
    ~ProgramWindows();

    tForm1 &Form1() { return *m_form1; }
    TfMidiUnit &fMidiUnit() { return *m_mixer; }
    TfOutfitSpec &fOutfitSpec() { return *m_skinChoice; }

private:
    std::unique_ptr<tForm1> m_form1;
    std::unique_ptr<TfMidiUnit> m_mixer;
    std::unique_ptr<TfOutfitSpec> m_skinChoice;
};
