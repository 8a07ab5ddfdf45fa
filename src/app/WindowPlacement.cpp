#include "WindowPlacement.h"

#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace
{
const QString GeometryKey = QStringLiteral("Main window/geometry");
}

void WindowPlacement::fitToScreen(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    // The title bar and borders are not known before the window is first shown.
    const QSize frame = window.isVisible() ? window.frameGeometry().size() - window.size() : QSize(0, 32);
    const QSize fits = (room.size() - frame).boundedTo(window.size()).expandedTo(window.minimumSizeHint());
    if (fits != window.size())
        window.resize(fits);
    QRect placed(window.pos(), window.size() + frame);
    if (!room.contains(placed)) {
        placed.moveCenter(room.center());
        // Too big even so: the title bar and menu stay reachable, the bottom goes off.
        placed.moveTopLeft(QPoint(std::max(placed.left(), room.left()), std::max(placed.top(), room.top())));
        window.move(placed.topLeft());
    }
}

void WindowPlacement::restore(QWidget &window, const QSettings &settings)
{
    const QByteArray geometry = settings.value(GeometryKey).toByteArray();
    if (!geometry.isEmpty())
        window.restoreGeometry(geometry);
    fitToScreen(window);
}

void WindowPlacement::save(const QWidget &window, QSettings &settings)
{
    settings.setValue(GeometryKey, window.saveGeometry());
}
