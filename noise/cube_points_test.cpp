#include "cube_points.h"

#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "float_bits.h"

namespace qorn::noise {
namespace {

using test::bits;

TEST(PoissonCount, HasTheDocumentedHistogram) {
    int histogram[6] = {};
    int sum = 0;
    for (int32_t n : Poisson_count) {
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 5);
        ++histogram[n];
        sum += n;
    }
    EXPECT_EQ(sum, 665);
    const int expected[6] = {6, 41, 92, 55, 35, 27};
    for (int n = 0; n < 6; ++n) EXPECT_EQ(histogram[n], expected[n]) << n;
}

struct CubeCase {
    int32_t x, y, z;
    uint32_t seed;
    int index;
    std::vector<uint32_t> ids;  // all of them, or the first only
};

const CubeCase kCubes[] = {
    {0, 0, 0, 0u, 0, {586950981u, 182328305u, 615034973u, 452604553u}},
    {0, 0, -2, 53027910u, 3, {23147507u}},
    {1, -3, -3, 182954343u, 10, {1811103184u, 1648602860u, 4209325256u, 2530544484u, 856633024u}},
    {-1, 1, 0, 213093672u, 12, {}},
    {1, 0, 0, 702395077u, 41, {2895935286u}},
    {-1, 0, 0, 3592572219u, 214, {2572933972u}},
    {0, -1, 0, 3379478547u, 201, {1223069900u}},
    {-1, -1, -1, 556113777u, 33, {779667506u, 3711896046u, 2226598506u}},
};

TEST(CubeSeed, HashesAndCountsKnownCubes) {
    for (const CubeCase& c : kCubes) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << "," << c.z);
        const uint32_t seed = cube_seed(c.x, c.y, c.z);
        EXPECT_EQ(seed, c.seed);
        EXPECT_EQ(static_cast<int>(seed >> 24), c.index);
        uint32_t id = lcg(seed);
        const int32_t count = cube_point_count(seed);
        if (c.ids.size() != 1) {
            EXPECT_EQ(count, static_cast<int32_t>(c.ids.size()));
        }
        for (size_t n = 0; n < c.ids.size(); ++n) {
            EXPECT_EQ(id, c.ids[n]) << "point " << n;
            id = lcg(draw_point(id).sz);
        }
    }
}

TEST(CubeSeed, WrapsTheWholeCoordinateRange) {
    EXPECT_EQ(cube_seed(INT32_MIN, 0, 0), kHashX * 0x80000000u);
    EXPECT_EQ(cube_seed(-1, -1, -1), 0u - (kHashX + kHashY + kHashZ));
    EXPECT_EQ(cube_coordinate(-1L), -1);
    EXPECT_EQ(cube_coordinate(static_cast<long>(INT32_MAX)), INT32_MAX);
}

TEST(PointDraw, GivesTheDocumentedPosition) {
    const PointDraw p = draw_point(586950981u);
    EXPECT_TRUE(test::Printed(static_cast<float>(unit_position(p.sx)), "0.4845764"));
    EXPECT_TRUE(test::Printed(static_cast<float>(unit_position(p.sy)), "0.5199786"));
    EXPECT_TRUE(test::Printed(static_cast<float>(unit_position(p.sz)), "0.5543795"));
    // Positions keep all 33 bits and never touch a face.
    EXPECT_EQ(bits(unit_position(0u)), bits(0x1p-33));
    EXPECT_EQ(bits(unit_position(0xffffffffu)), bits(1.0 - 0x1p-33));
}

TEST(Admit, IsStrictAndPlacesTiesAfterTheirEquals) {
    float d[4] = {1.0f, 2.0f, 2.0f, 3.0f};
    unsigned long ids[4] = {10, 20, 21, 30};
    miVector o[4] = {};
    EXPECT_EQ(admit(3.0, 4, d, o, ids), -1) << "equal to the threshold is not admitted";
    EXPECT_EQ(admit(2.0, 4, d, o, ids), 3) << "placed after both 2s";
    EXPECT_EQ(ids[3], 30ul) << "the caller stores the new entry's id";
    ids[3] = 55;
    EXPECT_EQ(admit(0.5f, 4, d, o, ids), 0);
    const float after[4] = {0.5f, 1.0f, 2.0f, 2.0f};
    const unsigned long moved[4] = {10, 10, 20, 21};  // 55 dropped out
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d[i], after[i]) << i;
        EXPECT_EQ(ids[i], moved[i]) << i;
    }
    EXPECT_EQ(admit(NAN, 4, d, o, ids), -1);
}

// A list with guard entries around it, to see exactly what a call touches.
struct GuardedList {
    static constexpr int kGuard = 2;
    float d[10];
    miVector o[10];
    unsigned long ids[10];
    explicit GuardedList(float fill) {
        for (int i = 0; i < 10; ++i) {
            d[i] = fill;
            o[i] = miVector{-7.0f, -7.0f, -7.0f};
            ids[i] = 99;
        }
    }
    float* distances() { return d + kGuard; }
    miVector* offsets() { return o + kGuard; }
    unsigned long* id_list() { return ids + kGuard; }
    bool guards_intact(int order) const {
        for (int i = 0; i < 10; ++i) {
            if (i >= kGuard && i < kGuard + order) continue;
            if (bits(d[i]) != bits(-1.0f) || ids[i] != 99 || o[i].x != -7.0f) return false;
        }
        return true;
    }
};

TEST(AddCubePoints, TouchesOnlyTheListAndSkipsEmptyCubes) {
    const miVector at{0.5f, 0.5f, 0.5f};
    GuardedList list(-1.0f);
    for (int i = 0; i < 3; ++i) list.distances()[i] = 1e6f;
    add_cube_points(-1, 1, 0, 3, at, list.distances(), list.offsets(), list.id_list(),
                    EuclideanMeasure{});
    EXPECT_EQ(list.distances()[0], 1e6f) << "an empty cube changes nothing";
    EXPECT_EQ(list.id_list()[0], 99ul);

    add_cube_points(0, 0, 0, 3, at, list.distances(), list.offsets(), list.id_list(),
                    EuclideanMeasure{});
    EXPECT_TRUE(list.guards_intact(3));
    EXPECT_LT(list.distances()[0], list.distances()[1]);
    EXPECT_LE(list.distances()[1], list.distances()[2]);

    add_cube_points(0, 0, 0, 0, at, list.distances(), list.offsets(), list.id_list(),
                    EuclideanMeasure{});
    EXPECT_TRUE(list.guards_intact(3)) << "order 0 writes nothing";
}

TEST(AddCubePoints, WithoutOptionalListsChangesOnlyDistances) {
    const miVector at{0.25f, 0.75f, 0.5f};
    float d[2] = {1e6f, 1e6f};
    add_cube_points(0, 0, 0, 2, at, d, nullptr, nullptr, EuclideanMeasure{});
    EXPECT_LT(d[1], 1e6f);
}

}  // namespace
}  // namespace qorn::noise
