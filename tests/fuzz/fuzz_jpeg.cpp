// Any bytes offered as the information window's picture: a picture or a null image with a
// reason, never a crash, never an image larger than the decoder allows.
#include "FuzzSupport.h"

#include "look/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnvironment::get();
    QString error;
    const QImage image =
        JpegDecoder::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &error);
    if (image.isNull()) {
        FUZZ_CHECK(!error.isEmpty());
    } else {
        FUZZ_CHECK(image.width() <= JpegDecoder::MaxSide && image.height() <= JpegDecoder::MaxSide);
    }
    return 0;
}
