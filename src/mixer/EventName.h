#pragma once

#include <QString>
#include <optional>

// The event monitor's name for a channel message and the channel it addresses (1..16).
struct EventName {
    QString text;
    int channel = 0;
};

// Nothing for data bytes and system messages: the monitor then keeps what it shows.
std::optional<EventName> eventNameOf(quint8 status);
