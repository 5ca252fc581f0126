// The generator steps of a cube's points folded into one multiply-add from the cube
// seed, and the range of queries whose offsets the fast searches form exactly.
#ifndef QORN_NOISE_POINT_DRAWS_H
#define QORN_NOISE_POINT_DRAWS_H

#include <math.h>
#include <stdint.h>

#include "cube_points.h"
#include "query.h"

namespace qorn::noise {

/// s -> mul·s + add (mod 2^32), the generator applied `steps` times.
struct Affine {
    uint32_t mul, add;
    constexpr uint32_t operator()(uint32_t s) const { return mul * s + add; }
};
constexpr Affine lcg_power(int steps) {
    Affine f{1u, 0u};
    for (int i = 0; i < steps; ++i) f = Affine{kLcgMul * f.mul, kLcgMul * f.add + kLcgAdd};
    return f;
}
static_assert(lcg_power(4).mul == 49518929u && lcg_power(4).add == 2381041692u,
              "four generator steps per point");

/// Point j of a cube has identifier lcg^(1+4j)(seed) and draws lcg^(2+4j+axis)(seed).
constexpr Affine point_id(int point) { return lcg_power(1 + 4 * point); }
constexpr Affine point_draw(int point, int axis) { return lcg_power(2 + 4 * point + axis); }

/// For scaled coordinates with 2^-10 <= |a| < 2^19 (or a == 0), every offset component
/// of every candidate, scaled by 2^32, is exactly D = (s - 2^31) + K on the half-integer
/// grid, with s the point's generator draw and K = 2^31 + 0.5 + (cube - a)·2^32 fixed per
/// cube and axis: the point's position (s + 0.5)·2^-32 + cube has at most 53 significant
/// bits there, and so has its difference from the query. Squares and sums of D are then
/// the double operations of the plain transcription scaled by 2^64, which is exact, so
/// measures and their comparisons are identical.
inline bool in_fast_domain(float a) {
    float m = fabsf(a);
    return m < 0x1p19f && (m >= 0x1p-10f || m == 0.0f);
}

/// A query the fast searches take: searchable, and every coordinate in the fast range.
inline bool fast_query(const Query& q) {
    return q.searchable && in_fast_domain(q.at.x) && in_fast_domain(q.at.y) && in_fast_domain(q.at.z);
}

/// K of one axis for the cube coordinate c: exact, as the difference has at most 53
/// significant bits, scaling by 2^32 is exact and the sum stays on the half-integer grid
/// below 2^52 (see in_fast_domain).
inline double offset_base(int32_t c, float a) {
    return (static_cast<double>(c) - a) * 0x1p32 + (0x1p31 + 0.5);
}

}  // namespace qorn::noise

#endif
