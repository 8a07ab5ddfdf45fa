#pragma once

// What "Help file" (F1) does: there is no help file yet, so it says so.
class HelpNotice
{
public:
    static constexpr const char *Text = "Comming soon";
    // An information box with one "OK" button, captioned with the application's title.
    static void show();
};
