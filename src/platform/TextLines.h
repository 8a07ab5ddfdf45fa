#pragma once

#include <QString>
#include <QStringList>

// The lines of a text file written on any system: split at CR LF, at a lone CR and at a
// lone LF. A final line break does not add an empty line; empty lines in between stay.
QStringList splitTextLines(const QString &text);
