// Numbers from the command line: finite, in range, read in full.
#include "plugins/numbers.h"

#include <float.h>
#include <gtest/gtest.h>
#include <math.h>

#include <stdexcept>

namespace qorn::render {
namespace {

TEST(Numbers, FloatsAreFiniteSinglePrecisionSubnormalsIncluded) {
    float f = 0;
    EXPECT_TRUE(parse_float("1e-40", f));
    EXPECT_EQ(f, 1e-40f);
    EXPECT_TRUE(parse_float("-0.02", f));
    EXPECT_EQ(f, -0.02f);
    EXPECT_TRUE(parse_float("3.4028234e38", f));
    EXPECT_EQ(f, FLT_MAX);
    EXPECT_TRUE(parse_float("1e-50", f));  // rounds to zero, as any decimal rounds
    EXPECT_EQ(f, 0.0f);
    for (const char* bad : {"", " 1", "1 ", "nan", "NaN", "inf", "-inf", "infinity", "1e39", "-3.5e38", "1,", "0.5x",
                            "thin", "--1", "+"})
        EXPECT_FALSE(parse_float(bad, f)) << bad;
}

TEST(Numbers, DoublesAreFinite) {
    double d = 0;
    EXPECT_TRUE(parse_double("1e300", d));
    EXPECT_TRUE(parse_double("0x1p-3", d));
    EXPECT_EQ(d, 0.125);
    for (const char* bad : {"nan", "inf", "1e400", "-1e400", "", "1e", "e5"}) EXPECT_FALSE(parse_double(bad, d)) << bad;
}

TEST(Numbers, WholeNumbersAreDigitsInTheSigned32BitRange) {
    int32_t i = 0;
    EXPECT_TRUE(parse_int32("-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_TRUE(parse_int32("+2147483647", i));
    EXPECT_EQ(i, INT32_MAX);
    for (const char* bad : {"2147483648", "-2147483649", "4.9", "4.0", "1e3", "nan", "", "-", "0x10", " 1",
                            "99999999999999999999999999"})
        EXPECT_FALSE(parse_int32(bad, i)) << bad;
}

TEST(Numbers, RangesNameTheFlag) {
    EXPECT_EQ(number_in("40", "--fov", 1, 170), 40);
    const std::pair<const char*, bool> cases[] = {{"nan", false}, {"0.5", false}, {"170.0001", false}, {"1", true},
                                                  {"170", true}};
    for (const auto& [text, ok] : cases) {
        if (ok) {
            EXPECT_NO_THROW(number_in(text, "--fov", 1, 170)) << text;
            continue;
        }
        try {
            number_in(text, "--fov", 1, 170);
            ADD_FAILURE() << text;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("--fov wants a number from 1 to 170", 0), 0u) << e.what();
        }
    }
    EXPECT_THROW(number_in("0", "--scale", 0, 1, true), std::runtime_error);
    EXPECT_EQ(number_in("1e-300", "--scale", 0, 1, true), 1e-300);
}

TEST(Numbers, VectorsAreThreeBoundedNumbers) {
    const Vec3 v = vec3_in("1,-2.5,1e12", "--eye", 1e12);
    EXPECT_EQ(v.x, 1);
    EXPECT_EQ(v.y, -2.5);
    EXPECT_EQ(v.z, 1e12);
    for (const char* bad : {"1,2", "1,2,3,4", "1,2,nan", "inf,0,0", "1e19,0,0", "1,,2", ",1,2,3", "1,2,3,", ""})
        EXPECT_THROW(vec3_in(bad, "--eye", 1e12), std::runtime_error) << bad;
    EXPECT_EQ(floats_in("0.1,1e-40,2", "--background", 3)[1], 1e-40f);
    for (const char* bad : {"1,2", "1,2,3,4", "1,nan,1", "1,1e39,1", ""})
        EXPECT_THROW(floats_in(bad, "--background", 3), std::runtime_error) << bad;
}

}  // namespace
}  // namespace qorn::render
