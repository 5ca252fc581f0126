#include "wire_geometry.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <math.h>

#include <random>

namespace qorn::shader {
namespace {

TEST(EdgeIndex, NamesEdgesOneToThreeAndAllForAnythingElse) {
    const struct {
        miInteger number;
        int index;
    } cases[] = {{1, 0},         {2, 1},        {3, 2},         {0, kAllEdges},
                 {-1, kAllEdges}, {4, kAllEdges}, {INT_MAX, kAllEdges}, {INT_MIN, kAllEdges}};
    for (const auto& c : cases) EXPECT_EQ(edge_index(c.number), c.index) << c.number;
}

// The triangle (0,0,0) (4,0,0) (0,3,0): edge 1 lies on y = 0, edge 2 on 3x + 4y = 12,
// edge 3 on x = 0.
constexpr miVector kRight[3] = {{0, 0, 0}, {4, 0, 0}, {0, 3, 0}};

struct HitCase {
    const char* what;
    miVector v[3];
    miVector p;
    int edge;
    float width;
    bool hit;
};

const float kNaN = NAN;
const float kJustBelowHalf = nextafterf(0.5f, 0.0f);

const HitCase kHits[] = {
    {"d² equal to w² is on the wire", {kRight[0], kRight[1], kRight[2]}, {1, 0.5f, 0}, 0, 0.5f, true},
    {"d² just above w² is not", {kRight[0], kRight[1], kRight[2]}, {1, 0.5f, 0}, 0, kJustBelowHalf, false},
    {"the line, not the segment: beyond V1 near edge 1's line",
     {kRight[0], kRight[1], kRight[2]}, {6, 0.1f, 0}, kAllEdges, 0.2f, true},
    {"before V0 on edge 1's line", {kRight[0], kRight[1], kRight[2]}, {-5, -0.1f, 0}, 0, 0.2f, true},
    {"the width is the full distance, not half of it",
     {kRight[0], kRight[1], kRight[2]}, {1, 0.4f, 0}, 0, 0.5f, true},
    {"beyond the full width", {kRight[0], kRight[1], kRight[2]}, {1, 0.6f, 0}, 0, 0.5f, false},
    {"width 0 at the start vertex", {kRight[0], kRight[1], kRight[2]}, {0, 0, 0}, 0, 0.0f, true},
    {"width 0 on an axis-aligned edge", {kRight[0], kRight[1], kRight[2]}, {1, 0, 0}, 0, 0.0f, true},
    {"width 0 just off the line", {kRight[0], kRight[1], kRight[2]}, {1, 1e-3f, 0}, 0, 0.0f, false},
    {"a negative width is its absolute value", {kRight[0], kRight[1], kRight[2]}, {1, 0.5f, 0}, 0, -0.5f, true},
    {"a negative width, outside", {kRight[0], kRight[1], kRight[2]}, {1, 0.6f, 0}, 0, -0.5f, false},
    {"all edges: the interior is fill", {kRight[0], kRight[1], kRight[2]}, {1, 1, 0}, kAllEdges, 0.5f, false},
    {"all edges: near edge 3 only", {kRight[0], kRight[1], kRight[2]}, {0.3f, 1, 0}, kAllEdges, 0.5f, true},
    {"edge 2 alone, on its line", {kRight[0], kRight[1], kRight[2]}, {2, 1.5f, 0}, 1, 0.1f, true},
    {"edge 1 alone misses a point on edge 2", {kRight[0], kRight[1], kRight[2]}, {2, 1.5f, 0}, 0, 0.1f, false},
    {"edge 3 runs from V2 back to V0", {kRight[0], kRight[1], kRight[2]}, {0.05f, 9, 0}, 2, 0.1f, true},
    {"any other edge value tests all", {kRight[0], kRight[1], kRight[2]}, {2, 1.5f, 0}, 7, 0.1f, true},
    {"a degenerate edge (shorter than 1e-9) is hit everywhere",
     {{0, 0, 0}, {1e-10f, 0, 0}, {0, 3, 0}}, {50, 50, 50}, kAllEdges, 0.0f, true},
    {"a degenerate edge chosen alone", {{0, 0, 0}, {1e-10f, 0, 0}, {0, 3, 0}}, {50, 50, 50}, 0, 0.0f, true},
    {"another edge of a degenerate triangle is measured",
     {{0, 0, 0}, {1e-10f, 0, 0}, {0, 3, 0}}, {50, 50, 50}, 1, 0.0f, false},
    {"an edge of exactly zero length", {{1, 2, 3}, {1, 2, 3}, {0, 3, 0}}, {-7, 8, 9}, 0, 0.0f, true},
    {"an edge just longer than 1e-9 is measured",
     {{0, 0, 0}, {2e-9f, 0, 0}, {0, 3, 0}}, {50, 50, 50}, 0, 0.0f, false},
    {"collinear long edges: near the common line", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {5, 0.05f, 0}, kAllEdges, 0.1f, true},
    {"collinear long edges: off the line", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {0.5f, 1, 0}, kAllEdges, 0.1f, false},
    {"a NaN point is never on the wire", {kRight[0], kRight[1], kRight[2]}, {kNaN, 0, 0}, kAllEdges, 1e30f, false},
    {"a NaN vertex: its edges are not hit", {{kNaN, 0, 0}, {4, 0, 0}, {0, 3, 0}}, {4, 0, 0}, 0, 1e30f, false},
    {"a NaN width hits nothing", {kRight[0], kRight[1], kRight[2]}, {0, 0, 0}, kAllEdges, kNaN, false},
    {"an infinite width hits every measurable point", {kRight[0], kRight[1], kRight[2]}, {1e30f, 1e30f, 1e30f}, 0, INFINITY, true},
    {"an infinite vertex gives a NaN distance", {{0, 0, 0}, {INFINITY, 0, 0}, {0, 3, 0}}, {1, 0, 0}, 0, 1e30f, false},
};

TEST(WireHit, Cases) {
    for (const auto& c : kHits) {
        EXPECT_EQ(wire_hit(c.v, c.p, c.edge, c.width * c.width), c.hit) << c.what;
    }
}

// The squared distance from p to the line through a and b by another road: |E × D|² / |E|²
// in long double.
long double line_distance_squared(const miVector& a, const miVector& b, const miVector& p) {
    const long double e[3] = {(long double)b.x - a.x, (long double)b.y - a.y, (long double)b.z - a.z};
    const long double d[3] = {(long double)p.x - a.x, (long double)p.y - a.y, (long double)p.z - a.z};
    const long double c[3] = {e[1] * d[2] - e[2] * d[1], e[2] * d[0] - e[0] * d[2], e[0] * d[1] - e[1] * d[0]};
    return (c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) / (e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
}

TEST(WireHit, AgreesWithCrossProductDistanceOnRandomTriangles) {
    std::mt19937 rng(20240611u);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    std::uniform_real_distribution<float> weight(-0.5f, 1.5f);
    std::uniform_real_distribution<float> jitter(-1.0f, 1.0f);
    std::uniform_real_distribution<float> width(0.0f, 2.0f);
    std::uniform_int_distribution<int> edge_choice(-1, 2);
    int compared = 0, hits = 0;
    for (int n = 0; n < 20000; ++n) {
        miVector v[3], p;
        for (auto& vertex : v) vertex = {coordinate(rng), coordinate(rng), coordinate(rng)};
        // Points around the triangle, inside and out, so both outcomes are common.
        const float s = weight(rng), t = weight(rng);
        p = {v[0].x + s * (v[1].x - v[0].x) + t * (v[2].x - v[0].x) + jitter(rng),
             v[0].y + s * (v[1].y - v[0].y) + t * (v[2].y - v[0].y) + jitter(rng),
             v[0].z + s * (v[1].z - v[0].z) + t * (v[2].z - v[0].z) + jitter(rng)};
        const float w = width(rng);
        const float w2 = w * w;
        const int edge = edge_choice(rng);

        bool expected = false, near_boundary = false;
        for (int i = 0; i < 3; ++i) {
            if (edge != kAllEdges && edge != i) continue;
            const long double d2 = line_distance_squared(v[i], v[(i + 1) % 3], p);
            near_boundary |= fabsl(d2 - w2) < 1e-9L * (1 + d2);
            expected |= d2 <= w2;
        }
        if (near_boundary) continue;
        ++compared;
        hits += expected;
        ASSERT_EQ(wire_hit(v, p, edge, w2), expected) << "case " << n;
    }
    // The sample must exercise both outcomes, or it proves little.
    EXPECT_GT(compared, 19000);
    EXPECT_GT(hits, 2000);
    EXPECT_LT(hits, compared - 2000);
}

}  // namespace
}  // namespace qorn::shader
