#pragma once

#include <QString>

// The skins on offer, in the order of the choice window. File names are relative to the
// skins folder and are used exactly as written: two of them end in upper case.
class SkinTable
{
public:
    static constexpr int Count = 14;

    // "Skin1" .. "Skin14"
    static QString item(int index);
    // "mxskin11.SKN", ...
    static QString fileName(int index);
    // Full path of the skin of that row: the skins folder beside the executable (or the
    // installed one when the program runs from an installation) plus its file name.
    static QString path(int index);
};
