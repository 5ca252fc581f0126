// Pictures: linear floating-point RGBA in memory, written as sRGB-encoded 8-bit PNG
// (libpng) or linear OpenEXR (Debian's OpenEXR).
#ifndef QORN_RENDER_IMAGE_H
#define QORN_RENDER_IMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "output/output_file.h"

namespace qorn::render {

/// Linear colour with straight (not premultiplied) alpha, 4 floats per pixel, rows top
/// to bottom. A new image is opaque black.
struct Image {
    int width = 0, height = 0;
    std::vector<float> rgba;

    Image() = default;
    Image(int w, int h);
    float* pixel(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const float* pixel(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

enum class FileFormat { Png, Exr };

struct ImageOptions {
    FileFormat format = FileFormat::Png;
    /// Write the alpha channel (PNG: RGBA; EXR: an A channel, colours premultiplied).
    bool alpha = false;
    /// PNG only. False: the picture's colours, sRGB-encoded, with the sRGB chunk.
    /// True: data (the noise slices): each value in [0, 1] stored as round(255 v),
    /// with no transfer function and no colour-space chunk.
    bool data = false;
    /// EXR only: 16-bit half channels instead of 32-bit float.
    bool half = false;
};

/// The format a file name asks for: `.png` or `.exr`, in any case. Throws
/// std::runtime_error with a one-line message for any other name.
FileFormat format_for(const std::string& path);
/// The format named by `png` or `exr`; throws std::runtime_error otherwise.
FileFormat format_named(const std::string& name);

/// A linear value in [0, 1] as a byte, unencoded, rounded to nearest; values outside
/// [0, 1] are clamped and NaN gives 0.
uint8_t to_byte(float c);
/// A linear colour component as its 8-bit sRGB encoding (IEC 61966-2-1), rounded to
/// nearest; values outside [0, 1] are clamped and NaN gives 0.
uint8_t to_srgb_byte(float linear);

/// The file's bytes. Throws std::runtime_error on failure.
std::vector<uint8_t> encode_png(const Image& image, const ImageOptions& options);
std::vector<uint8_t> encode_exr(const Image& image, const ImageOptions& options);

/// Encodes `image` by `options.format` and writes it with write_output(): never a
/// partial file, never an input overwritten. Throws std::runtime_error, one line.
void write_image(const Image& image, const std::string& path, const ImageOptions& options,
                 const std::vector<InputFile>& inputs = {});
/// An opaque sRGB PNG, the format the name asks for being PNG.
void write_png(const Image& image, const std::string& path);

/// A PNG file as stored: 8-bit samples without any conversion, 3 or 4 per pixel.
struct PngFile {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> samples;
    bool srgb_chunk = false;  ///< an sRGB chunk is present
};
/// Reads an 8-bit RGB or RGBA PNG. Throws std::runtime_error.
PngFile read_png(const std::string& path);

/// Reads an OpenEXR file's R, G, B and A channels (A is 1 when absent) as floats.
/// Throws std::runtime_error.
Image read_exr(const std::string& path);

}  // namespace qorn::render

#endif
