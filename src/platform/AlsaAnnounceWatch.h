#pragma once

#include <functional>
#include <memory>

// Hears the ALSA sequencer's announcements (a client or a port that starts, ends or
// changes: an interface plugged in or out, a program that opened or closed its ports)
// through a sequencer client of its own subscribed to the system's announce port, and
// says so on the GUI thread. Many announcements read at once are said once.
//
// Threading: GUI thread only; it reads the sequencer when the event loop finds it ready.
class AlsaAnnounceWatch
{
public:
    // Null when the sequencer cannot be opened or will not announce to us.
    static std::unique_ptr<AlsaAnnounceWatch> open(std::function<void()> changed);
    ~AlsaAnnounceWatch();
    AlsaAnnounceWatch(const AlsaAnnounceWatch &) = delete;
    AlsaAnnounceWatch &operator=(const AlsaAnnounceWatch &) = delete;

private:
    AlsaAnnounceWatch() = default;
    void read();

    struct Private;
    std::unique_ptr<Private> d;
};
