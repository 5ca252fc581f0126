#include "output/image.h"

#include <glob.h>
#include <math.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace qorn::render {
namespace {

std::string temp_path(const char* name) {
    return ::testing::TempDir() + "image_test_" + std::to_string(getpid()) + "_" + name;
}

/// The sRGB transfer function, written out from its definition.
double srgb_encode(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * pow(linear, 1 / 2.4) - 0.055;
}

TEST(Image, PngHoldsTheSrgbEncodingOfLinearColoursAndSaysSo) {
    const float linear[] = {0.0f, 0.001f, 0.0031308f, 0.01f, 0.18f, 0.214f, 0.5f, 0.73f, 0.99f, 1.0f, 2.0f, -1.0f};
    const int n = static_cast<int>(std::size(linear));
    Image image(n, 2);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < 2; ++y) {
            float* p = image.pixel(x, y);
            p[0] = linear[x];
            p[1] = linear[n - 1 - x];
            p[2] = y ? 0.5f : 0.25f;
        }
    const std::string path = temp_path("srgb.png");
    write_png(image, path);
    const PngFile png = read_png(path);
    unlink(path.c_str());
    ASSERT_EQ(png.width, n);
    ASSERT_EQ(png.height, 2);
    ASSERT_EQ(png.channels, 3);
    EXPECT_TRUE(png.srgb_chunk);
    auto expected = [](float c) {
        const double clamped = c < 0 ? 0 : c > 1 ? 1 : c;
        return static_cast<int>(lround(srgb_encode(clamped) * 255));
    };
    for (int x = 0; x < n; ++x) {
        EXPECT_EQ(png.samples[3 * x], expected(linear[x])) << linear[x];
        EXPECT_EQ(png.samples[3 * x + 1], expected(linear[n - 1 - x])) << linear[n - 1 - x];
        EXPECT_EQ(png.samples[3 * x + 2], 137);  // 0.25 linear
        EXPECT_EQ(png.samples[3 * (n + x) + 2], 188);  // 0.5 linear
    }
}

TEST(Image, AlphaIsStoredStraightAndLinear) {
    Image image(2, 1);
    image.pixel(0, 0)[3] = 0.0f;
    float* p = image.pixel(1, 0);
    p[0] = 0.5f;
    p[3] = 0.5f;
    ImageOptions options;
    options.alpha = true;
    const std::string path = temp_path("alpha.png");
    write_image(image, path, options);
    const PngFile png = read_png(path);
    unlink(path.c_str());
    ASSERT_EQ(png.channels, 4);
    EXPECT_EQ(png.samples[3], 0);
    EXPECT_EQ(png.samples[4], 188);  // the colour is not premultiplied
    EXPECT_EQ(png.samples[7], 128);
}

TEST(Image, DataPngsStoreValuesUnencodedWithoutAColourSpace) {
    Image image(3, 1);
    for (int x = 0; x < 3; ++x) image.pixel(x, 0)[0] = image.pixel(x, 0)[1] = image.pixel(x, 0)[2] = x * 0.5f;
    ImageOptions options;
    options.data = true;
    const std::string path = temp_path("data.png");
    write_image(image, path, options);
    const PngFile png = read_png(path);
    unlink(path.c_str());
    EXPECT_FALSE(png.srgb_chunk);
    EXPECT_EQ(png.samples[0], 0);
    EXPECT_EQ(png.samples[3], 128);
    EXPECT_EQ(png.samples[6], 255);
}

TEST(Image, ExrRoundTripsFloatsExactlyAndHalvesToHalfPrecision) {
    Image image(4, 3);
    for (size_t i = 0; i < image.rgba.size(); ++i) image.rgba[i] = static_cast<float>(i) * 0.1234567f - 1.5f;
    for (size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = 1.0f;
    image.rgba[0] = 1e-40f;  // subnormal
    image.rgba[1] = 65504.0f * 4;
    ImageOptions options;
    options.format = FileFormat::Exr;
    const std::string path = temp_path("round.exr");
    write_image(image, path, options);
    Image back = read_exr(path);
    ASSERT_EQ(back.width, 4);
    ASSERT_EQ(back.height, 3);
    EXPECT_EQ(back.rgba, image.rgba);

    options.half = true;
    write_image(image, path, options);
    back = read_exr(path);
    unlink(path.c_str());
    for (size_t i = 2; i < image.rgba.size(); ++i) EXPECT_NEAR(back.rgba[i], image.rgba[i], fabs(image.rgba[i]) / 1024) << i;
}

TEST(Image, ExrAlphaPremultipliesTheColour) {
    Image image(1, 1);
    float* p = image.pixel(0, 0);
    p[0] = 0.5f;
    p[1] = 1.0f;
    p[2] = 2.0f;
    p[3] = 0.25f;
    ImageOptions options;
    options.format = FileFormat::Exr;
    options.alpha = true;
    const std::string path = temp_path("alpha.exr");
    write_image(image, path, options);
    const Image back = read_exr(path);
    unlink(path.c_str());
    EXPECT_EQ(back.rgba, (std::vector<float>{0.125f, 0.25f, 0.5f, 0.25f}));
}

TEST(Image, TheFileNameChoosesTheFormat) {
    EXPECT_EQ(format_for("a/b.png"), FileFormat::Png);
    EXPECT_EQ(format_for("B.PNG"), FileFormat::Png);
    EXPECT_EQ(format_for("x.exr"), FileFormat::Exr);
    for (const char* bad : {"x.jpg", "x", "png", "dir.png/x", "x.png.tmp", ""})
        EXPECT_THROW(format_for(bad), std::runtime_error) << bad;
}

TEST(Image, AFailedWriteLeavesNoFileBehind) {
    const std::string dir = temp_path("dir");
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    EXPECT_THROW(write_png(Image(2, 2), dir), std::runtime_error);
    EXPECT_THROW(write_png(Image(2, 2), dir + "/missing/x.png"), std::runtime_error);
    glob_t left;
    EXPECT_EQ(glob((dir + ".*").c_str(), 0, nullptr, &left), GLOB_NOMATCH) << "a temporary file was left beside " << dir;
    globfree(&left);
    EXPECT_EQ(rmdir(dir.c_str()), 0);
}

TEST(Image, BytesRoundAndClamp) {
    EXPECT_EQ(to_byte(0.0f), 0);
    EXPECT_EQ(to_byte(1.0f), 255);
    EXPECT_EQ(to_byte(0.5f), 128);
    EXPECT_EQ(to_byte(-3.0f), 0);
    EXPECT_EQ(to_byte(7.0f), 255);
    EXPECT_EQ(to_byte(NAN), 0);
    EXPECT_EQ(to_srgb_byte(NAN), 0);
    EXPECT_EQ(to_srgb_byte(-1.0f), 0);
    EXPECT_EQ(to_srgb_byte(INFINITY), 255);
    EXPECT_EQ(to_srgb_byte(0.5f), 188);
    for (int b = 1; b < 256; ++b) EXPECT_GE(to_srgb_byte(b / 255.0f), to_srgb_byte((b - 1) / 255.0f)) << b;
}

}  // namespace
}  // namespace qorn::render
