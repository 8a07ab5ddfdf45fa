#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The lines of a text file written on any system: split at CR LF, at a lone CR and at a
// lone LF. A final line break does not add an empty line; empty lines in between stay.
QStringList splitTextLines(const QString &text);

// The same lines as views into `text`, handed to `take` one by one, for readers that
// keep the text and would otherwise copy every line out of it.
template <typename Take> void forEachTextLine(QStringView text, Take &&take)
{
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        take(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        take(text.sliced(start));
}
