#include "WindowCaption.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>

int WindowCaption::minimumWidth(const QString &caption)
{
    QFont title = QGuiApplication::font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.2);
    constexpr int IconAndButtons = 130;
    return QFontMetrics(title).horizontalAdvance(caption) + IconAndButtons;
}
