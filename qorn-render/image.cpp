#include "image.h"

#include <errno.h>
#include <math.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace qorn::render {

uint8_t to_byte(float c) {
    if (!(c > 0.0f)) return 0;
    if (c >= 1.0f) return 255;
    return static_cast<uint8_t>(lrintf(c * 255.0f));
}

void write_png(const Image& image, const std::string& path) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) throw std::runtime_error("cannot write " + path + ": " + strerror(errno));
    fchmod(fd, 0644);
    FILE* file = fdopen(fd, "wb");
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    std::string why;
    if (!file) {
        why = strerror(errno);
        close(fd);
    } else {
        if (!png_image_write_to_stdio(&png, file, 0, image.rgb.data(), 0, nullptr)) why = png.message;
        if (fflush(file) != 0 && why.empty()) why = strerror(errno);
        if (fclose(file) != 0 && why.empty()) why = strerror(errno);
    }
    if (why.empty() && rename(temp.c_str(), path.c_str()) != 0) why = strerror(errno);
    if (!why.empty()) {
        unlink(temp.c_str());
        throw std::runtime_error("cannot write " + path + ": " + why);
    }
}

Image read_png(const std::string& path) {
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error("cannot read " + path + ": " + png.message);
    png.format = PNG_FORMAT_RGB;
    Image image(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr))
        throw std::runtime_error("cannot read " + path + ": " + png.message);
    return image;
}

}  // namespace qorn::render
