#include "songs/ShownNameDelegate.h"

#include "songs/SongName.h"

QString ShownNameDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    return QStyledItemDelegate::displayText(SongName::shown(value.toString()), locale);
}
