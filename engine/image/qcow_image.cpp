#include "engine/image/qcow_image.h"

#include <libqcow.h>

#include <cstdio>
#include <cstddef>
#include <cstdint>

namespace streamscan {
namespace {

// The library's image comes first, so the library's pointer is this one.
struct QcowImage {
    TSK_IMG_INFO info;
    libqcow_file_t* file = nullptr;
    std::uint32_t version = 0;
};
static_assert(offsetof(QcowImage, info) == 0);

// libqcow's message as the image library's error, which the callers report.
void setLibraryError(std::uint32_t kind, libqcow_error_t* error) {
    char text[512] = "unknown error";
    if (error != nullptr && libqcow_error_sprint(error, text, sizeof text) <= 0)
        std::snprintf(text, sizeof text, "unknown error");
    libqcow_error_free(&error);
    tsk_error_reset();
    tsk_error_set_errno(kind);
    tsk_error_set_errstr("qcow image: %s", text);
}

ssize_t readQcow(TSK_IMG_INFO* img, TSK_OFF_T offset, char* buffer, size_t length) {
    auto* image = reinterpret_cast<QcowImage*>(img);
    libqcow_error_t* error = nullptr;
    const ssize_t got =
        libqcow_file_read_buffer_at_offset(image->file, buffer, length, offset, &error);
    if (got < 0)
        setLibraryError(TSK_ERR_IMG_READ, error);
    return got;
}

void closeQcow(TSK_IMG_INFO* img) {
    auto* image = reinterpret_cast<QcowImage*>(img);
    libqcow_file_close(image->file, nullptr);
    libqcow_file_free(&image->file, nullptr);
    delete image;
}

void describeQcow(TSK_IMG_INFO* img, FILE* out) {
    std::fprintf(out, "qcow image, version %u\n", reinterpret_cast<QcowImage*>(img)->version);
}

}  // namespace

TSK_IMG_INFO* openQcowImage(const std::string& path) {
    auto* image = new QcowImage{};
    libqcow_error_t* failure = nullptr;
    size64_t size = 0;
    if (libqcow_file_initialize(&image->file, &failure) != 1 ||
        libqcow_file_open(image->file, path.c_str(), LIBQCOW_OPEN_READ, &failure) != 1 ||
        libqcow_file_get_media_size(image->file, &size, &failure) != 1 ||
        libqcow_file_get_format_version(image->file, &image->version, &failure) != 1) {
        setLibraryError(TSK_ERR_IMG_OPEN, failure);
        if (image->file != nullptr) {
            libqcow_file_close(image->file, nullptr);
            libqcow_file_free(&image->file, nullptr);
        }
        delete image;
        return nullptr;
    }
    TSK_IMG_INFO* img = tsk_img_open_external(image, static_cast<TSK_OFF_T>(size), 512, readQcow,
                                              closeQcow, describeQcow);
    if (img == nullptr)
        closeQcow(&image->info);
    return img;
}

std::u16string qcowContainerName(TSK_IMG_INFO* img) {
    if (img == nullptr || img->itype != TSK_IMG_TYPE_EXTERNAL || img->close != closeQcow)
        return {};
    return reinterpret_cast<QcowImage*>(img)->version >= 2 ? u"qcow2" : u"qcow";
}

}  // namespace streamscan
