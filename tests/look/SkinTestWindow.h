#pragma once

#include <QMainWindow>

class Fader;
class LedDisplay;

// A window with one of every kind of control the program's windows use, so that a skin
// can be seen at work on all of them. Nothing takes the focus: a blinking text cursor
// would make two pictures of the same look differ.
class SkinTestWindow : public QMainWindow
{
    Q_OBJECT
public:
    SkinTestWindow();

    LedDisplay *led = nullptr;
    Fader *fader = nullptr;

    // What the window looks like now, after pending layout and style work is done.
    QImage shot();
};
