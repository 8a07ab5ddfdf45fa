#pragma once

#include <QString>

// How wide a window must be for the desktop to show its caption whole, with the
// application's name that Qt adds to it. The title bar
// belongs to the window manager, so its font and buttons are not ours to measure: this
// allows for a bold title somewhat larger than our own font, and for an icon and three
// buttons beside it.
class WindowCaption
{
public:
    static int minimumWidth(const QString &caption);
};
