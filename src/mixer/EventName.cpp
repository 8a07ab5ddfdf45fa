#include "EventName.h"

#include <array>

std::optional<EventName> eventNameOf(quint8 status)
{
    // Indexed by the high nibble minus 8; "Contol" is how users of the monitor know it.
    static const std::array<const char *, 7> names = {
        "Note off",
        "Note on",
        "Polyphonic Aftertouch",
        "Contol Mode change",
        "Program change",
        "Channel Aftertouch",
        "Pitch wheel control",
    };
    if (status < 0x80 || status >= 0xF0)
        return std::nullopt;
    return EventName{QString::fromLatin1(names[(status >> 4) - 8]), (status & 0x0F) + 1};
}
