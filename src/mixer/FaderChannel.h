#pragma once

#include "MixerLinks.h"

#include <optional>

class EventDisplay;
class Fader;
class FaderTab;

// What one mixer fader does: it sends its tab's channel message whenever it moves.
// Every fader works alike; only its controls and its status base differ.
class FaderChannel
{
public:
    FaderChannel(Fader *fader, FaderTab *tab, const MixerLinks &links, EventDisplay *display);

    // The fader moved. A refused send throws the port's error and leaves every field as it
    // was.
    void change();
    // The event-type box changed: an item's name (typed or picked) sets the status base;
    // any other text keeps it.
    void eventTypeChange();

    // Empty until an event type is chosen; such a fader sends nothing.
    std::optional<quint8> statusBase() const { return m_statusBase; }

private:
    Fader *m_fader;
    FaderTab *m_tab;
    const MixerLinks &m_links;
    EventDisplay *m_display;
    std::optional<quint8> m_statusBase;
};
