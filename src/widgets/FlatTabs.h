#pragma once

class QTabWidget;
class SkinEngine;

// Page tabs drawn as a row of flat buttons over a borderless page, under every skin.
//
// Under a skin only the shape is set here; the colours stay the skin's, because a
// widget's own sheet is merged with the application's rule by rule. The built-in look
// has no sheet to merge with, so there the tabs also get colours from the palette.
class FlatTabs
{
public:
    // Shapes the tabs now and again whenever the engine changes skin. GUI thread only.
    static void follow(QTabWidget *pages, SkinEngine &engine);
};
