#include "SkinScreenshots.h"

#include "LookResources.h"
#include "SkinTable.h"
#include "widgets/SkinEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>

namespace
{
bool shoot(QWidget *window, const QString &file)
{
    if (!window)
        return true;
    window->ensurePolished();
    return window->grab().save(file, "PNG");
}
} // namespace

int SkinScreenshots::writeAll(QWidget *main, QWidget *mixer, SkinEngine &engine, const QString &dir)
{
    LookResources::init();
    if (!QDir().mkpath(dir))
        return 0;
    int written = 0;
    for (int i = 0; i < SkinTable::Count; ++i) {
        if (!engine.setSkinFile(SkinTable::path(i)))
            continue;
        // Style-sheet changes re-polish and re-lay-out through posted events.
        QCoreApplication::processEvents();
        const QString base = dir + QLatin1Char('/') + QFileInfo(SkinTable::fileName(i)).completeBaseName();
        if (shoot(main, base + QStringLiteral("-main.png")) &&
            shoot(mixer, base + QStringLiteral("-mixer.png")))
            ++written;
    }
    return written;
}
