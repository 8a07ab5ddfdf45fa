#pragma once

// The pictures of this folder (information window, the arrows the skins draw) are
// compiled into a static library; the linker keeps them only when something asks.
class LookResources
{
public:
    static void init();
};
