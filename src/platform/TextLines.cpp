#include "TextLines.h"

QStringList splitTextLines(const QString &text)
{
    QStringList lines;
    forEachTextLine(text, [&](QStringView line) { lines.append(line.toString()); });
    return lines;
}
