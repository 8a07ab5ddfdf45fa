#pragma once

#include <QString>

class QWidget;
class SkinEngine;

// Pictures of two windows under every skin of the table, for checking the skins by eye:
// <dir>/<skin file base name>-main.png and -mixer.png, and all of them on one page,
// <dir>/skins.png. The engine is left with the last skin applied.
class SkinScreenshots
{
public:
    // Number of skins for which both pictures were written; a skin that does not load is
    // skipped. Either window may be null.
    static int writeAll(QWidget *main, QWidget *mixer, SkinEngine &engine, const QString &dir);
};
