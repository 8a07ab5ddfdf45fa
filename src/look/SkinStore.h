#pragma once

#include <QString>

class SkinEngine;

// The remembered skin choice: the string value "skin" under the user's
// "Brindlecroft\Patchwarden" key (the registry on Windows, the user's settings file
// elsewhere). Failures to write are the caller's to ignore; nothing here throws.
class SkinStore
{
public:
    // True when the value reached the store.
    static bool store(const QString &path);
    // Empty when nothing was stored.
    static QString stored();
    // At start: the stored skin when its file exists and loads, else the default skin.
    // True when the stored skin is in force.
    static bool applyStored(SkinEngine &engine);
};
