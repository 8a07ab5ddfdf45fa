#pragma once

#include <QByteArray>
#include <QList>

// The lines of a text file written on any system: split at CR LF, at a lone CR and at a
// lone LF. A final line break does not add an empty line; empty lines in between stay.
QList<QByteArray> splitTextLines(const QByteArray &bytes);
