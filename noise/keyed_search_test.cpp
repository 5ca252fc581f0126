// The keyed search where its keys come closest to each other: queries halfway between two
// feature points, and equally far from three.
#include "keyed_search.h"

#include <gtest/gtest.h>

#include <vector>

#include "cube_points.h"
#include "float_bits.h"
#include "plain_search.h"
#include "noise_corpus.h"

namespace qorn::noise {
namespace {

using test::bits;

struct Point {
    double x, y, z;
};

/// The feature points of a cube, in cell units.
std::vector<Point> cube_points(int32_t cx, int32_t cy, int32_t cz) {
    const uint32_t seed = cube_seed(cx, cy, cz);
    std::vector<Point> points;
    uint32_t s = lcg(seed);
    for (int32_t n = 0; n < cube_point_count(seed); ++n) {
        const PointDraw p = draw_point(s);
        s = lcg(p.sz);
        points.push_back({unit_position(p.sx) + cx, unit_position(p.sy) + cy, unit_position(p.sz) + cz});
    }
    return points;
}

/// Caller units for a point in cell units (the noise scales them back).
miVector caller(double x, double y, double z) {
    return miVector{static_cast<float>(x / kCellDensity), static_cast<float>(y / kCellDensity),
                    static_cast<float>(z / kCellDensity)};
}

/// Points halfway between two feature points of a cube and its face neighbours, and the
/// centres of circles through three (the point of their plane equally far from each).
/// Half of them lie within two cells of the origin, where single precision is fine
/// enough for two measures to round to the same float, so that the order of arrival
/// decides.
std::vector<miVector> near_ties() {
    test::CorpusRandom rnd(7);
    std::vector<miVector> queries;
    while (queries.size() < 20000) {
        const int32_t span = queries.size() < 2000 ? 200 : 4;
        const int32_t c[3] = {static_cast<int32_t>(rnd.next() % span) - span / 2,
                              static_cast<int32_t>(rnd.next() % span) - span / 2,
                              static_cast<int32_t>(rnd.next() % span) - span / 2};
        std::vector<Point> pts;
        for (int step = 0; step < 7; ++step) {
            const int sign = step > 3 ? -1 : 1, axis = step > 3 ? step - 3 : step;
            const std::vector<Point> more = cube_points(c[0] + sign * (axis == 1), c[1] + sign * (axis == 2),
                                                        c[2] + sign * (axis == 3));
            pts.insert(pts.end(), more.begin(), more.end());
        }
        if (pts.size() < 3) continue;
        const Point& a = pts[rnd.next() % pts.size()];
        const Point& b = pts[rnd.next() % pts.size()];
        const Point& e = pts[rnd.next() % pts.size()];
        if (&a == &b || &a == &e || &b == &e) continue;
        queries.push_back(caller((a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2));
        // The centre of the circle through a, b, e: a + s·u + t·v with u = b - a, v = e - a.
        const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = e.x - a.x, vy = e.y - a.y, vz = e.z - a.z;
        const double uu = ux * ux + uy * uy + uz * uz, vv = vx * vx + vy * vy + vz * vz, uv = ux * vx + uy * vy + uz * vz;
        const double det = 2 * (uu * vv - uv * uv);
        if (det < 1e-6) continue;
        const double s = vv * (uu - uv) / det, t = uu * (vv - uv) / det;
        queries.push_back(caller(a.x + s * ux + t * vx, a.y + s * uy + t * vy, a.z + s * uz + t * vz));
    }
    return queries;
}

TEST(KeyedSearch, DeclinesNearTiesAndOtherwiseSettlesAsTheReference) {
    int declined = 0;
    for (const miVector& p : near_ties()) {
        for (unsigned long order : {1ul, 2ul, 3ul, 4ul}) {
            for (int lists = 0; lists < 4; ++lists) {
                float d[4], ref_d[4];
                miVector o[4], ref_o[4];
                unsigned long ids[4], ref_ids[4];
                miVector* offsets = (lists & 1) ? o : nullptr;
                unsigned long* id_list = (lists & 2) ? ids : nullptr;
                noise_reference(p.x, p.y, p.z, order, ref_d, (lists & 1) ? ref_o : nullptr,
                                (lists & 2) ? ref_ids : nullptr);
                // As FWorley::noise hands it over.
                const __m128 at = _mm_mul_ps(_mm_setr_ps(p.x, p.y, p.z, __builtin_inff()), _mm_set1_ps(kCellDensity));
                const Query q = locate(p.x, p.y, p.z);
                const __m128i cube = _mm_setr_epi32(q.cube[0], q.cube[1], q.cube[2], 0);
                if (!keyed_search(at, cube, order, d, offsets, id_list, nullptr)) {
                    ++declined;
                    continue;
                }
                for (unsigned long i = 0; i < order; ++i) {
                    ASSERT_EQ(bits(d[i]), bits(ref_d[i])) << p.x << " " << p.y << " " << p.z << " order " << order;
                    if (offsets) {
                        ASSERT_EQ(bits(o[i].x), bits(ref_o[i].x));
                        ASSERT_EQ(bits(o[i].y), bits(ref_o[i].y));
                        ASSERT_EQ(bits(o[i].z), bits(ref_o[i].z));
                    }
                    if (id_list) {
                        ASSERT_EQ(ids[i], ref_ids[i]);
                    }
                }
            }
        }
    }
    // The fixture reaches the declining path, which the entry point then hands on.
    EXPECT_GT(declined, 100);
}

TEST(KeyedSearch, TheEntryPointEqualsTheReferenceAtNearTies) {
    for (const miVector& p : near_ties()) {
        for (unsigned long order : {1ul, 2ul, 3ul, 4ul}) {
            float d[4], ref_d[4];
            miVector o[4], ref_o[4];
            unsigned long ids[4], ref_ids[4];
            FWorley::noise(p.x, p.y, p.z, order, d, o, ids);
            noise_reference(p.x, p.y, p.z, order, ref_d, ref_o, ref_ids);
            for (unsigned long i = 0; i < order; ++i) {
                ASSERT_EQ(bits(d[i]), bits(ref_d[i])) << p.x << " " << p.y << " " << p.z << " order " << order;
                ASSERT_EQ(ids[i], ref_ids[i]);
                ASSERT_EQ(bits(o[i].x), bits(ref_o[i].x));
                ASSERT_EQ(bits(o[i].y), bits(ref_o[i].y));
                ASSERT_EQ(bits(o[i].z), bits(ref_o[i].z));
            }
        }
    }
}

}  // namespace
}  // namespace qorn::noise
