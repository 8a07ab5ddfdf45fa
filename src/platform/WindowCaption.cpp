#include "WindowCaption.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>

int WindowCaption::minimumWidth(const QString &caption)
{
    // Qt hands the window system the caption followed by the application's name.
    QString shown = caption;
    const QString application = QGuiApplication::applicationDisplayName();
    if (!application.isEmpty() && caption != application && !caption.endsWith(application))
        shown += QStringLiteral(" \u2014 ") + application;
    QFont title = QGuiApplication::font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.2);
    constexpr int IconAndButtons = 130;
    return QFontMetrics(title).horizontalAdvance(shown) + IconAndButtons;
}
