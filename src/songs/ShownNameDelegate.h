#pragma once

#include <QStyledItemDelegate>

// Draws and measures a list entry by the name as the window shows it (SongName::shown),
// while the entry keeps the whole name: measuring a line of megabytes for the list's
// layout would stall the window, and the project must still be written back as it was.
// An entry whose song has unsaved edits, or has no song file, says so after its name.
class ShownNameDelegate : public QStyledItemDelegate
{
public:
    // Item data roles of the marks, each a bool.
    static constexpr int ChangedRole = Qt::UserRole + 1;
    static constexpr int MissingRole = Qt::UserRole + 2;

    using QStyledItemDelegate::QStyledItemDelegate;

    // Cut before the base class copies the text to turn its line breaks into line
    // separators, which alone takes a long name's length each time the list is laid out.
    QString displayText(const QVariant &value, const QLocale &locale) const override;

    // The text an entry shows: its name as shown, and its marks.
    static QString entryText(const QModelIndex &index);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
