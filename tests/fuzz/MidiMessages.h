#pragma once

#include <cstddef>
#include <cstdint>

// What a well-formed short message looks like, for the targets that check what the input
// side hands out.
inline size_t shortMessageLength(uint8_t status)
{
    if (status >= 0xF8 || status == 0xF6)
        return 1;
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        return status == 0xF2 ? 3 : 2; // F1 and F3
    default:
        return 3;
    }
}

// A status the stream may carry as a message of its own (not SysEx framing, not F4/F5),
// followed by exactly the data bytes it takes.
inline bool isWellFormedShort(const uint8_t *bytes, size_t length)
{
    const uint8_t status = bytes[0];
    if (status < 0x80 || status == 0xF0 || status == 0xF7 || status == 0xF4 || status == 0xF5)
        return false;
    if (length != shortMessageLength(status))
        return false;
    for (size_t i = 1; i < length; ++i)
        if (bytes[i] >= 0x80)
            return false;
    return true;
}
