// The plain transcription: against the brute force, and which cubes it visits in what
// order.
#include "plain_search.h"

#include <gtest/gtest.h>

#include "search_oracle.h"

namespace qorn::noise {
namespace {

using namespace oracle;

TEST(PlainSearch, EqualsBruteForceOverAll27Cubes) {
    // The transcription every fast search is held to, against the formulas themselves.
    const unsigned long orders[] = {1, 2, 5, 16, 136};
    int n = 0;
    for (const Query& q : random_queries()) {
        const unsigned long order = orders[n++ % 5];
        SCOPED_TRACE(testing::Message() << "at " << q.at.x << " " << q.at.y << " " << q.at.z
                                        << " order " << order);
        Outputs got = caller_lists(order);
        start_search(order, got.d.data());
        search_euclidean_reference(q, order, got.d.data(), got.o.data(), got.ids.data());
        finish_search(order, got.d.data(), got.o.data());
        const OracleResult want = oracle_search(q.at, q.cube, order, caller_start(order), OracleMeasure{}, true);
        expect_same(got, want.list, true, true);
        if (HasFatalFailure()) return;
    }
}

// ---------------------------------------------------------------------------------------
// Which cubes a search visits, and in what order.

std::vector<std::array<int32_t, 3>> visited_cubes(float x, float y, float z, unsigned long order,
                                                  int* points = nullptr) {
    const Query q = locate(x, y, z);
    std::vector<float> d(order);
    start_search(order, d.data());
    std::vector<std::array<int32_t, 3>> cubes;
    visit_cubes(q, order, d.data(), [&](int32_t cx, int32_t cy, int32_t cz) {
        cubes.push_back({cx, cy, cz});
        if (points) *points += Poisson_count[cube_seed(cx, cy, cz) >> 24];
        add_cube_points(cx, cy, cz, order, q.at, d.data(), nullptr, nullptr, EuclideanMeasure{});
    });
    return cubes;
}

TEST(VisitCubes, CornerQueryVisitsTheLowerCubesInTableOrder) {
    const std::vector<std::array<int32_t, 3>> want = {
        {0, 0, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {-1, -1, 0}, {-1, 0, -1}, {0, -1, -1}, {-1, -1, -1}};
    EXPECT_EQ(visited_cubes(0.0f, 0.0f, 0.0f, 1), want);
}

TEST(VisitCubes, CountsOfTheDocumentedQueries) {
    EXPECT_EQ(visited_cubes(1.25f, 1.25f, 1.25f, 3).size(), 1u);
    EXPECT_EQ(visited_cubes(1.25f, -2.5f, 3.75f, 2).size(), 18u);
    EXPECT_EQ(visited_cubes(10.0f, 20.0f, 30.0f, 4).size(), 11u);
    int points = 0;
    EXPECT_EQ(visited_cubes(0.3f, 0.3f, 0.3f, 200, &points).size(), 27u);
    EXPECT_EQ(points, 70);
}

TEST(Locate, ScalesAndFloorsTheQuery) {
    const Query q = locate(1.25f, -2.5f, 3.75f);
    EXPECT_TRUE(test::bits(q.at.x) == test::bits(1.25f * 0.39815f));
    EXPECT_EQ(q.cube[0], 0);
    EXPECT_EQ(q.cube[1], -1);
    EXPECT_EQ(q.cube[2], 1);
    const Query neg = locate(-0.1f, 10.0f, 30.0f);
    EXPECT_EQ(neg.cube[0], -1);
    EXPECT_EQ(static_cast<float>(static_cast<double>(neg.at.x) - neg.cube[0]), 0.960185f);
    EXPECT_EQ(neg.cube[1], 3);
    EXPECT_EQ(neg.cube[2], 11);
    // The threshold after the central cube of (1.25, 1.25, 1.25), order 3.
    float d[3];
    start_search(3, d);
    const Query inside = locate(1.25f, 1.25f, 1.25f);
    add_cube_points(0, 0, 0, 3, inside.at, d, nullptr, nullptr, EuclideanMeasure{});
    EXPECT_FLOAT_EQ(d[2], 0.1780519f);
    EXPECT_EQ(face_terms(inside).lower[0], static_cast<double>(inside.at.x) * inside.at.x);
}

TEST(Locate, FloorsExactlyAcrossTheRange) {
    const float values[] = {-0.0f, 0.0f, -0x1p-149f, 0.999999f, -1.0f, -1.5f, 8388607.5f,
                            -8388607.5f, 0x1p30f, -0x1p31f + 128.0f, 0x1p31f - 128.0f};
    for (float v : values) EXPECT_EQ(floor_to_int(v), static_cast<int32_t>(floorf(v))) << v;
}

}  // namespace
}  // namespace qorn::noise
