// The draws of a cube's points laid out for SSE2 lanes, and the byte offsets by which the
// searches find a cube's entries in their per-query tables.
#ifndef QORN_NOISE_LANE_DRAWS_H
#define QORN_NOISE_LANE_DRAWS_H

#include <emmintrin.h>
#include <stdint.h>

#include "point_draws.h"

#define QORN_INLINE inline __attribute__((always_inline))

namespace qorn::noise {

inline constexpr double kScaleDown = 0x1p-64;   // D² units -> measure
inline constexpr double kOffsetUnit = 0x1p-32;  // D -> offset component

/// The draws of a cube's points as multiply-adds of its seed. The addends carry 2^31, so
/// that a draw read as a signed integer is s - 2^31.
struct DrawTable {
    // Points 0 to 3 per axis, for the rough measure: multipliers of points 0 and 1 (and 2
    // and 3) in the even lanes, as the SSE2 unsigned multiply takes them.
    alignas(16) uint32_t mul01[3][4];
    alignas(16) uint32_t mul23[3][4];
    alignas(16) uint32_t add[3][4];
    // One point's x and y draws in the even lanes, and its z draw, for the exact measure.
    struct Point {
        alignas(16) uint32_t mul_xy[4];
        alignas(16) uint32_t add_xy[4];
        uint32_t mul_z, add_z;
        Affine id;
    } point[5];
};
constexpr DrawTable make_draws() {
    DrawTable t{};
    for (int a = 0; a < 3; ++a) {
        t.mul01[a][0] = point_draw(0, a).mul;
        t.mul01[a][2] = point_draw(1, a).mul;
        t.mul23[a][0] = point_draw(2, a).mul;
        t.mul23[a][2] = point_draw(3, a).mul;
        for (int j = 0; j < 4; ++j) t.add[a][j] = point_draw(j, a).add + 0x80000000u;
    }
    for (int j = 0; j < 5; ++j) {
        DrawTable::Point& p = t.point[j];
        p.mul_xy[0] = point_draw(j, 0).mul;
        p.mul_xy[2] = point_draw(j, 1).mul;
        p.add_xy[0] = point_draw(j, 0).add + 0x80000000u;
        p.add_xy[2] = point_draw(j, 1).add + 0x80000000u;
        p.mul_z = point_draw(j, 2).mul;
        p.add_z = point_draw(j, 2).add + 0x80000000u;
        p.id = point_id(j);
    }
    return t;
}
inline constexpr DrawTable kDraws = make_draws();

/// Per axis, three slots of 16 bytes in every per-query table: the hash terms, K and its
/// single-precision copy of the cube coordinates in a frame's slot order. A cube is the
/// byte offsets 16·(3·axis + slot) of its slot on each axis, so one offset finds an
/// axis's entry in every table.
inline constexpr int kSlot = 16;
struct Cell {
    uint8_t at[3];
};
constexpr uint8_t slot_at(int axis, int slot) { return static_cast<uint8_t>(kSlot * (3 * axis + slot)); }
constexpr Cell cell(int sx, int sy, int sz) { return Cell{{slot_at(0, sx), slot_at(1, sy), slot_at(2, sz)}}; }


/// The entry of a per-query table at a cell's byte offset.
template <class T, class Table>
QORN_INLINE const T& entry_at(const Table& table, uint8_t offset) {
    return *reinterpret_cast<const T*>(reinterpret_cast<const char*>(table) + offset);
}

/// The draws of points 0 to 3 of the cube with this seed (in every lane) along one axis:
/// the multipliers of points 0 and 1 (2 and 3) in one register's even lanes, the low
/// words of both products gathered, and the addends' 2^31 making each draw read as
/// s - 2^31 when signed.
QORN_INLINE __m128i first_four_draws(__m128i seed, int axis) {
    const __m128i p01 = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(kDraws.mul01[axis])));
    const __m128i p23 = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(kDraws.mul23[axis])));
    return _mm_add_epi32(
        _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(p01), _mm_castsi128_ps(p23), _MM_SHUFFLE(2, 0, 2, 0))),
        _mm_load_si128(reinterpret_cast<const __m128i*>(kDraws.add[axis])));
}

/// One axis's part of the rough measure of four points, (draw + K)² in single precision,
/// with the axis's rough K in every lane of the entry of `rough_k` at the cube's offset.
QORN_INLINE __m128 rough_square(__m128i draws, const __m128* rough_k, uint8_t at) {
    const __m128 d = _mm_add_ps(_mm_cvtepi32_ps(draws), entry_at<__m128>(rough_k, at));
    return _mm_mul_ps(d, d);
}

/// Rough squared D of four points from their draws along each axis (first_four_draws),
/// added x, then y, then z.
QORN_INLINE __m128 rough_of_draws(const __m128i (&draws)[3], const __m128* rough_k, const uint8_t (&at)[3]) {
    return _mm_add_ps(_mm_add_ps(rough_square(draws[0], rough_k, at[0]), rough_square(draws[1], rough_k, at[1])),
                      rough_square(draws[2], rough_k, at[2]));
}

/// The same for points 0 to 3 of the cube with this seed (in every lane), drawn an axis
/// at a time.
QORN_INLINE __m128 rough_first_four(__m128i seed, const __m128* rough_k, const uint8_t (&at)[3]) {
    __m128 sum = rough_square(first_four_draws(seed, 0), rough_k, at[0]);
    sum = _mm_add_ps(sum, rough_square(first_four_draws(seed, 1), rough_k, at[1]));
    return _mm_add_ps(sum, rough_square(first_four_draws(seed, 2), rough_k, at[2]));
}

/// The same for point 4.
QORN_INLINE float rough_fifth(uint32_t seed, const __m128* rough_k, const uint8_t (&at)[3]) {
    float sum = 0.0f;
    const DrawTable::Point& p = kDraws.point[4];
    const uint32_t mul[3] = {p.mul_xy[0], p.mul_xy[2], p.mul_z}, add[3] = {p.add_xy[0], p.add_xy[2], p.add_z};
#pragma GCC unroll 3
    for (int a = 0; a < 3; ++a) {
        const int32_t s = static_cast<int32_t>(mul[a] * seed + add[a]);
        const float d = static_cast<float>(s) + _mm_cvtss_f32(entry_at<__m128>(rough_k, at[a]));
        sum = a == 0 ? d * d : sum + d * d;
    }
    return sum;
}

}  // namespace qorn::noise

#endif
