#include "output/image.h"

#include <math.h>
#include <png.h>
#include <stdio.h>
#include <strings.h>

#include <stdexcept>

namespace qorn::render {

Image::Image(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0.0f) {
    for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 1.0f;
}

FileFormat format_for(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        const std::string ext = path.substr(dot + 1);
        if (strcasecmp(ext.c_str(), "png") == 0) return FileFormat::Png;
        if (strcasecmp(ext.c_str(), "exr") == 0) return FileFormat::Exr;
    }
    throw std::runtime_error("cannot tell the picture format of " + path +
                             ": name a .png or .exr file, or give --format png|exr");
}

FileFormat format_named(const std::string& name) {
    if (name == "png") return FileFormat::Png;
    if (name == "exr") return FileFormat::Exr;
    throw std::runtime_error("unknown picture format '" + name + "' (png or exr)");
}

uint8_t to_byte(float c) {
    if (!(c > 0.0f)) return 0;
    if (c >= 1.0f) return 255;
    return static_cast<uint8_t>(lrintf(c * 255.0f));
}

uint8_t to_srgb_byte(float linear) {
    if (!(linear > 0.0f)) return 0;
    if (linear >= 1.0f) return 255;
    const double c = linear;
    const double encoded = c <= 0.0031308 ? 12.92 * c : 1.055 * pow(c, 1.0 / 2.4) - 0.055;
    return static_cast<uint8_t>(lrint(encoded * 255.0));
}

namespace {

void png_fail(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}
void png_ignore_warning(png_structp, png_const_charp) {}
void png_append(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void png_no_flush(png_structp) {}

}  // namespace

std::vector<uint8_t> encode_png(const Image& image, const ImageOptions& options) {
    const int channels = options.alpha ? 4 : 3;
    const size_t stride = static_cast<size_t>(image.width) * channels;
    std::vector<uint8_t> samples(stride * static_cast<size_t>(image.height));
    for (size_t p = 0, n = static_cast<size_t>(image.width) * image.height; p < n; ++p)
        for (int c = 0; c < channels; ++c) {
            const float v = image.rgba[4 * p + c];
            samples[p * channels + c] = (c == 3 || options.data) ? to_byte(v) : to_srgb_byte(v);
        }
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = samples.data() + y * stride;

    std::vector<uint8_t> out;
    std::string why;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, png_fail, png_ignore_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("cannot encode the PNG: out of memory");
    }
    // Everything with a destructor exists before this point: a libpng error jumps back here.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("cannot encode the PNG: " + why);
    }
    png_set_write_fn(png, &out, png_append, png_no_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 options.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The sRGB chunk, with the gAMA and cHRM values that readers without sRGB support use.
    if (!options.data) png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

void write_image(const Image& image, const std::string& path, const ImageOptions& options,
                 const std::vector<InputFile>& inputs) {
    check_output(path, inputs);
    std::vector<uint8_t> bytes;
    try {
        bytes = options.format == FileFormat::Png ? encode_png(image, options) : encode_exr(image, options);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    write_output(path, bytes, inputs);
}

void write_png(const Image& image, const std::string& path) { write_image(image, path, ImageOptions{}); }

PngFile read_png(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot read " + path);
    PngFile result;
    std::vector<png_bytep> rows;
    std::string why;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &why, png_fail, png_ignore_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(file);
        throw std::runtime_error("cannot read " + path + ": " + why);
    }
    png_init_io(png, file);
    png_read_info(png, info);
    if (png_get_bit_depth(png, info) != 8) png_error(png, "not an 8-bit PNG");
    const int type = png_get_color_type(png, info);
    if (type != PNG_COLOR_TYPE_RGB && type != PNG_COLOR_TYPE_RGB_ALPHA) png_error(png, "not an RGB or RGBA PNG");
    result.width = static_cast<int>(png_get_image_width(png, info));
    result.height = static_cast<int>(png_get_image_height(png, info));
    result.channels = type == PNG_COLOR_TYPE_RGB ? 3 : 4;
    result.srgb_chunk = png_get_valid(png, info, PNG_INFO_sRGB) != 0;
    result.samples.resize(static_cast<size_t>(result.width) * result.height * result.channels);
    rows.resize(static_cast<size_t>(result.height));
    for (size_t y = 0; y < rows.size(); ++y)
        rows[y] = result.samples.data() + y * static_cast<size_t>(result.width) * result.channels;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return result;
}

}  // namespace qorn::render
