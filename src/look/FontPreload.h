#pragma once

#include <thread>

// Reads the system's list of fonts on a thread of its own while the program starts. The
// first text the program measures or draws would otherwise do it on the GUI thread
// (fontconfig's configuration and caches, then an entry for every font), ahead of the
// first song. Qt's font database lets one thread fill it at a time: text that comes
// first waits for the rest of the reading, never reads twice.
class FontPreload
{
public:
    // Needs the application object; made right after it.
    FontPreload();
    // Waits for the reading to end.
    ~FontPreload();
    FontPreload(const FontPreload &) = delete;
    FontPreload &operator=(const FontPreload &) = delete;

private:
    std::thread m_reader;
};
