#pragma once

#include <QStyledItemDelegate>

// Draws and measures a list entry by the name as the window shows it (SongName::shown),
// while the entry keeps the whole name: measuring a line of megabytes for the list's
// layout would stall the window, and the project must still be written back as it was.
class ShownNameDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Cut before the base class copies the text to turn its line breaks into line
    // separators, which alone takes a long name's length each time the list is laid out.
    QString displayText(const QVariant &value, const QLocale &locale) const override;
};
