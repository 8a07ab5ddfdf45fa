#pragma once

#include <QString>
#include <QWidget>

// Gives a widget its own sheet. Setting one polishes every widget under it again, even
// when it is the same sheet: an unchanged sheet is left alone.
inline void setStyleSheetIfChanged(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}
