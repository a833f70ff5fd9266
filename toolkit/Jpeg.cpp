#include "toolkit/Jpeg.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

namespace toolkit {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

extern "C" void onFatal(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->text);
    std::longjmp(manager->jump, 1);
}

// Warnings (a truncated or damaged stream) are counted, never printed.
extern "C" void onMessage(j_common_ptr info, int level) {
    if (level < 0)
        ++info->err->num_warnings;
}

} // namespace

// Decodes into image, which lives in the caller's frame so that it is still
// valid after the error handler jumps back. Returns false with text set.
static bool decodeInto(const QByteArray& data, QImage& image, char* text) {
    jpeg_decompress_struct info{};
    ErrorManager manager{};
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = onFatal;
    manager.base.emit_message = onMessage;
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&info);
        std::snprintf(text, JMSG_LENGTH_MAX, "%s", manager.text);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_RGBX; // 4 bytes a pixel, ready for QImage
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGBX8888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        std::snprintf(text, JMSG_LENGTH_MAX, "image trop grande");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    // A truncated or damaged stream is only a warning to the decoder.
    const bool damaged = manager.base.num_warnings > 0;
    jpeg_destroy_decompress(&info);
    if (damaged) {
        std::snprintf(text, JMSG_LENGTH_MAX, "image tronquée ou abîmée");
        return false;
    }
    return true;
}

QImage decodeJpeg(const QByteArray& data, QString* error) {
    char text[JMSG_LENGTH_MAX] = "image vide";
    QImage image;
    if (data.isEmpty() || !decodeInto(data, image, text)) {
        if (error)
            *error = QString::fromUtf8(text);
        return QImage();
    }
    if (error)
        error->clear();
    return image;
}

QImage loadJpeg(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return QImage();
    }
    return decodeJpeg(file.readAll(), error);
}

} // namespace toolkit
