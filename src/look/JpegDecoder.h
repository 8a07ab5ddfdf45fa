#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG held in memory with libjpeg.
//
// libjpeg's stock error handler ends the process; ours jumps back out of the library and
// reports a null image instead, so a damaged picture can never take the program down.
// A picture that libjpeg could only decode with warnings (truncated data, bad markers)
// counts as damaged too: showing half a picture looks broken.
class JpegDecoder
{
public:
    // Pictures larger than this on either side are refused before memory is taken for them.
    static constexpr int MaxSide = 8192;

    // A null image when the data is not a complete, valid JPEG; the reason goes to *error.
    static QImage decode(const QByteArray &data, QString *error = nullptr);
};
