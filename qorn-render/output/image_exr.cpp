// OpenEXR output: linear colour, half or float channels, premultiplied alpha as the
// format expects.
#include <ImathBox.h>
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <half.h>
#include <string.h>

#include <exception>
#include <stdexcept>

#include "output/image.h"

namespace qorn::render {

namespace {

/// The file is built in memory, so that write_output() decides where it goes.
class MemoryStream final : public Imf::OStream {
public:
    MemoryStream() : Imf::OStream("memory") {}
    void write(const char c[], int n) override {
        if (position_ + static_cast<size_t>(n) > bytes_.size()) bytes_.resize(position_ + static_cast<size_t>(n));
        memcpy(bytes_.data() + position_, c, static_cast<size_t>(n));
        position_ += static_cast<size_t>(n);
    }
    uint64_t tellp() override { return position_; }
    void seekp(uint64_t pos) override { position_ = static_cast<size_t>(pos); }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

}  // namespace

std::vector<uint8_t> encode_exr(const Image& image, const ImageOptions& options) {
    const int channels = options.alpha ? 4 : 3;
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    std::vector<float> floats(pixels * 4);
    for (size_t p = 0; p < pixels; ++p) {
        const float a = options.alpha ? image.rgba[4 * p + 3] : 1.0f;
        for (int c = 0; c < 3; ++c) floats[4 * p + c] = options.alpha ? image.rgba[4 * p + c] * a : image.rgba[4 * p + c];
        floats[4 * p + 3] = a;
    }
    std::vector<half> halves(options.half ? pixels * 4 : 0);
    for (size_t i = 0; i < halves.size(); ++i) halves[i] = half(floats[i]);

    try {
        Imf::Header header(image.width, image.height);
        header.compression() = Imf::ZIP_COMPRESSION;
        const Imf::PixelType type = options.half ? Imf::HALF : Imf::FLOAT;
        const char* names[] = {"R", "G", "B", "A"};
        Imf::FrameBuffer frame;
        const size_t size = options.half ? sizeof(half) : sizeof(float);
        char* base = options.half ? reinterpret_cast<char*>(halves.data()) : reinterpret_cast<char*>(floats.data());
        for (int c = 0; c < channels; ++c) {
            header.channels().insert(names[c], Imf::Channel(type));
            frame.insert(names[c], Imf::Slice(type, base + c * size, 4 * size, 4 * size * image.width));
        }
        MemoryStream stream;
        {
            Imf::OutputFile file(stream, header);
            file.setFrameBuffer(frame);
            file.writePixels(image.height);
        }
        return std::move(stream.bytes());
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("cannot encode the EXR: ") + e.what());
    }
}

Image read_exr(const std::string& path) {
    try {
        Imf::InputFile file(path.c_str());
        const Imath::Box2i window = file.header().dataWindow();
        Image image(window.max.x - window.min.x + 1, window.max.y - window.min.y + 1);
        Imf::FrameBuffer frame;
        const char* names[] = {"R", "G", "B", "A"};
        char* origin = reinterpret_cast<char*>(image.rgba.data()) -
                       (static_cast<ptrdiff_t>(window.min.y) * image.width + window.min.x) * 16;
        for (int c = 0; c < 4; ++c)
            frame.insert(names[c], Imf::Slice(Imf::FLOAT, origin + c * 4, 16, 16 * static_cast<size_t>(image.width), 1,
                                              1, c == 3 ? 1.0 : 0.0));
        file.setFrameBuffer(frame);
        file.readPixels(window.min.y, window.max.y);
        return image;
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot read " + path + ": " + e.what());
    }
}

}  // namespace qorn::render
