#include "image.h"

#include <glob.h>
#include <math.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace qorn::render {
namespace {

TEST(Image, PngRoundTripsExactly) {
    Image image(5, 3);
    for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = static_cast<uint8_t>(i * 17);
    const std::string path = ::testing::TempDir() + "image_test_" + std::to_string(getpid()) + ".png";
    write_png(image, path);
    const Image back = read_png(path);
    unlink(path.c_str());
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.height, 3);
    EXPECT_EQ(back.rgb, image.rgb);
}

TEST(Image, AFailedWriteLeavesNoFileBehind) {
    const std::string dir = ::testing::TempDir() + "image_test_dir_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    // The target is a folder: the rename fails after the PNG was written.
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
}

}  // namespace
}  // namespace qorn::render
