#pragma once

#include "app/MainWindow.h"

#include <memory>

class MidiSystem;
class InfoWindow;
class MixerWindow;
class SkinDialog;

// The program's windows: the main window, and the MIDI mixer and the skin choice, made the
// first time they are asked for (from the menu or here), so that start-up does not wait
// for them. The information window comes first of all, as the splash, and is made by the
// caller.
class ProgramWindows
{
public:
    ProgramWindows(MidiSystem &midi, MainWindow::Options options, InfoWindow *info);
    ~ProgramWindows();

    MainWindow &mainWindow() { return *m_mainWindow; }
    MixerWindow &mixerWindow();
    SkinDialog &skinDialog();

private:
    MixerWindow *makeMixer();
    SkinDialog *makeSkinChoice();

    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<MixerWindow> m_mixer;
    std::unique_ptr<SkinDialog> m_skinChoice;
};
