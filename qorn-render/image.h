// 8-bit RGB images and PNG files through Debian's libpng.
#ifndef QORN_RENDER_IMAGE_H
#define QORN_RENDER_IMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

namespace qorn::render {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  ///< rows top to bottom, 3 bytes per pixel

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
    uint8_t* pixel(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

/// A linear colour component in [0, 1] as a byte, rounded to nearest; values outside
/// [0, 1] are clamped and NaN gives 0.
uint8_t to_byte(float c);

/// Writes `image` as a PNG file: into a temporary file beside `path`, then renamed
/// over it, so that a failure never leaves a partial or truncated file at `path`.
/// Throws std::runtime_error with a one-line message on failure.
void write_png(const Image& image, const std::string& path);

/// Reads an 8-bit RGB PNG (any PNG is converted). Throws std::runtime_error.
Image read_png(const std::string& path);

}  // namespace qorn::render

#endif
