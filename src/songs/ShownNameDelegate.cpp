#include "songs/ShownNameDelegate.h"

#include "songs/SongName.h"

QString ShownNameDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    return QStyledItemDelegate::displayText(SongName::shown(value.toString()), locale);
}

QString ShownNameDelegate::entryText(const QModelIndex &index)
{
    QString text = SongName::shown(index.data(Qt::DisplayRole).toString());
    if (index.data(ChangedRole).toBool())
        text += QStringLiteral("  * changed");
    if (index.data(MissingRole).toBool())
        text += QStringLiteral("  (song file missing)");
    return text;
}

void ShownNameDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(ChangedRole).toBool() || index.data(MissingRole).toBool())
        option->text = entryText(index);
}
