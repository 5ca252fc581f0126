#include "mrmax.h"

#include <gtest/gtest.h>
#include <math.h>

#include "float_bits.h"

namespace {

using qorn::test::bits;
using qorn::test::from_bits;

const float kNaN = from_bits(0x7fc00123u);  // a quiet NaN with a payload to keep

struct MaxCase {
    const char* what;
    float a, b, c, d;
    uint32_t max2_ab, max3_abc, maxmax4_abcd;
};

// Each row: arguments and the exact bits of mrmax2(a, b), mrmax3(a, b, c) and
// mrmaxmax4(a, b, c, d).
const MaxCase kCases[] = {
    {"ordered", 1.0f, 4.0f, 2.0f, 3.0f, bits(4.0f), bits(4.0f), bits(4.0f)},
    {"first wins", 5.0f, 4.0f, 2.0f, 3.0f, bits(5.0f), bits(5.0f), bits(5.0f)},
    {"signed zeros tie to the last", 0.0f, -0.0f, -0.0f, 0.0f, bits(-0.0f), bits(-0.0f), bits(0.0f)},
    {"zeros other way", -0.0f, 0.0f, 0.0f, -0.0f, bits(0.0f), bits(0.0f), bits(-0.0f)},
    {"NaN first is passed over", kNaN, 1.0f, 2.0f, 0.5f, bits(1.0f), bits(2.0f), bits(2.0f)},
    {"NaN second", 1.0f, kNaN, 2.0f, 3.0f, bits(kNaN), bits(2.0f), bits(3.0f)},
    {"NaN last reaches the result", 1.0f, 2.0f, kNaN, kNaN, bits(2.0f), bits(kNaN), bits(kNaN)},
    {"infinities", -INFINITY, INFINITY, -1.0f, -2.0f, bits(INFINITY), bits(INFINITY), bits(INFINITY)},
};

TEST(Maxima, ReturnOneArgumentBitForBit) {
    for (const MaxCase& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(bits(mrmax2(c.a, c.b)), c.max2_ab);
        EXPECT_EQ(bits(mrmax3(c.a, c.b, c.c)), c.max3_abc);
        EXPECT_EQ(bits(mrmaxmax4(c.a, c.b, c.c, c.d)), c.maxmax4_abcd);
    }
}

TEST(Maxima, DocumentedExamples) {
    EXPECT_EQ(bits(mrmax2(0.0f, -0.0f)), bits(-0.0f));
    EXPECT_EQ(bits(mrmax2(-0.0f, 0.0f)), bits(0.0f));
    EXPECT_EQ(mrmax2(kNaN, 1.0f), 1.0f);
    EXPECT_EQ(bits(mrmax2(1.0f, kNaN)), bits(kNaN));
    EXPECT_EQ(bits(mrmax3(1.0f, 2.0f, kNaN)), bits(kNaN));
    EXPECT_EQ(mrmax3(kNaN, 1.0f, 2.0f), 2.0f);
    EXPECT_EQ(mrmax3(1.0f, kNaN, 2.0f), 2.0f);
    EXPECT_EQ(mrmaxmax4(1.0f, 4.0f, 2.0f, 3.0f), 4.0f);
    EXPECT_EQ(bits(mrmax3(0.0f, 0.0f, -0.0f)), bits(-0.0f));
}

}  // namespace
