#include "JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace
{
// Everything libjpeg touches lives in this plain struct, so that a longjmp out of the
// library never skips a C++ destructor.
struct Decoder {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void errorExit(j_common_ptr common)
{
    auto *decoder = reinterpret_cast<Decoder *>(common->client_data);
    (*common->err->format_message)(common, decoder->message);
    std::longjmp(decoder->jump, 1);
}

extern "C" void silentMessage(j_common_ptr) {}

// Each step below is its own function holding only trivially destructible locals, so
// the longjmp from errorExit stays within what C++ allows.
bool start(Decoder *d, const unsigned char *bytes, unsigned long size)
{
    if (setjmp(d->jump))
        return false;
    jpeg_mem_src(&d->info, bytes, size);
    jpeg_read_header(&d->info, TRUE);
    d->info.out_color_space = JCS_RGB;
    if (d->info.image_width == 0 || d->info.image_height == 0 || d->info.image_width > JpegDecoder::MaxSide ||
        d->info.image_height > JpegDecoder::MaxSide) {
        std::snprintf(d->message, sizeof d->message, "picture size out of range");
        return false;
    }
    jpeg_start_decompress(&d->info);
    if (d->info.output_components != 3) {
        std::snprintf(d->message, sizeof d->message, "unexpected colour layout");
        return false;
    }
    return true;
}

bool readRows(Decoder *d, unsigned char *bits, qsizetype bytesPerLine)
{
    if (setjmp(d->jump))
        return false;
    while (d->info.output_scanline < d->info.output_height) {
        JSAMPROW row = bits + bytesPerLine * d->info.output_scanline;
        if (jpeg_read_scanlines(&d->info, &row, 1) != 1) {
            std::snprintf(d->message, sizeof d->message, "picture data ends early");
            return false;
        }
    }
    jpeg_finish_decompress(&d->info);
    return true;
}
} // namespace

QImage JpegDecoder::decode(const QByteArray &data, QString *error)
{
    auto fail = [error](const char *reason) {
        if (error)
            *error = QString::fromLocal8Bit(reason);
        return QImage();
    };
    if (data.isEmpty())
        return fail("no picture data");

    Decoder d{};
    d.info.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = errorExit;
    d.errors.output_message = silentMessage;
    d.info.client_data = &d;
    jpeg_create_decompress(&d.info);

    QImage image;
    bool ok = start(&d, reinterpret_cast<const unsigned char *>(data.constData()),
                    static_cast<unsigned long>(data.size()));
    if (ok) {
        image = QImage(int(d.info.output_width), int(d.info.output_height), QImage::Format_RGB888);
        ok = !image.isNull() && readRows(&d, image.bits(), image.bytesPerLine());
        if (ok && d.errors.num_warnings > 0) {
            ok = false;
            std::snprintf(d.message, sizeof d.message, "damaged picture data");
        }
    }
    jpeg_destroy_decompress(&d.info);
    if (!ok)
        return fail(d.message[0] ? d.message : "picture could not be decoded");
    return image;
}
