#pragma once

class QSettings;
class QWidget;

// Where the main window opens and how big: as the user left it, and always on a screen
// that can show it (a window taller than the screen hides its menu and its status bar).
namespace WindowPlacement
{
// Shrinks the window to the room its screen leaves, never below what its layouts need,
// and moves it back onto that screen when part of it is off.
void fitToScreen(QWidget &window);
// Takes the size and place kept by save(), then fits them to today's screen.
void restore(QWidget &window, const QSettings &settings);
void save(const QWidget &window, QSettings &settings);
} // namespace WindowPlacement
