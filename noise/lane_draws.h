// What the fast searches share: the draws of a cube's points laid out for SSE2 lanes,
// the byte offsets by which they find a cube's entries in their per-query tables, the
// exact measure of one point, and the choice of optional lists made once per query.
#ifndef QORN_NOISE_LANE_DRAWS_H
#define QORN_NOISE_LANE_DRAWS_H

#include <emmintrin.h>
#include <stdint.h>

#include <type_traits>

#include "mi_interface.h"
#include "point_draws.h"

#define QORN_INLINE inline __attribute__((always_inline))
#define QORN_INLINE_LAMBDA __attribute__((always_inline))

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

/// The draws of points 2p and 2p+1 along one axis, for a search that forms every point's
/// offset a pair at a time: multipliers in the even lanes, addends with 2^31.
struct PairDraws {
    alignas(16) uint32_t mul[4];
    alignas(16) uint32_t add[4];
};
struct PairDrawTable {
    PairDraws pair[3][3];  // [point pair][axis]
};
constexpr PairDrawTable make_pair_draws() {
    PairDrawTable t{};
    for (int p = 0; p < 3; ++p)
        for (int a = 0; a < 3; ++a) {
            const Affine first = point_draw(2 * p, a), second = point_draw(2 * p + 1, a);
            t.pair[p][a] = PairDraws{{first.mul, 0u, second.mul, 0u},
                                     {first.add + 0x80000000u, 0u, second.add + 0x80000000u, 0u}};
        }
    return t;
}
inline constexpr PairDrawTable kPairDraws = make_pair_draws();

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

/// The lanes of single-precision bounds below the limit, as bits.
QORN_INLINE unsigned below(__m128 bounds, __m128 limit) {
    return static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(bounds, limit)));
}

/// visit(i) for every bit i of `mask`, lowest first.
template <class Visit>
QORN_INLINE void for_each_bit(unsigned mask, Visit&& visit) {
    while (mask) {
        const int i = __builtin_ctz(mask);
        mask &= mask - 1;
        visit(i);
    }
}

/// One point's offset from the query, scaled by 2^32 (exact, see in_fast_domain): x and
/// y in lanes, then z.
struct ExactOffset {
    __m128d dxy;
    double dz;
};
/// Point j of the cube with this seed, whose K is k_xy (axes x and y) and k_z.
QORN_INLINE ExactOffset exact_offset(uint32_t seed, int j, __m128d k_xy, double k_z) {
    const DrawTable::Point& p = kDraws.point[j];
    __m128i sxy = _mm_mul_epu32(_mm_set1_epi32(static_cast<int32_t>(seed)), _mm_load_si128(reinterpret_cast<const __m128i*>(p.mul_xy)));
    sxy = _mm_add_epi32(sxy, _mm_load_si128(reinterpret_cast<const __m128i*>(p.add_xy)));
    return ExactOffset{_mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(sxy, 0x08)), k_xy),
                       static_cast<double>(static_cast<int32_t>(p.mul_z * seed + p.add_z)) + k_z};
}
/// Its measure as the plain transcription forms it: (x² + y²) + z², in cell units².
QORN_INLINE double exact_measure(const ExactOffset& o) {
    const __m128d sq = _mm_mul_pd(o.dxy, o.dxy);
    return ((_mm_cvtsd_f64(sq) + _mm_cvtsd_f64(_mm_unpackhi_pd(sq, sq))) + o.dz * o.dz) * kScaleDown;
}
/// Its stored offset: cell units, rounded to single precision.
QORN_INLINE miVector offset_vector(const ExactOffset& o) {
    const __m128 v = _mm_cvtpd_ps(_mm_mul_pd(o.dxy, _mm_set1_pd(kOffsetUnit)));
    return miVector{_mm_cvtss_f32(v), _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1)), static_cast<float>(o.dz * kOffsetUnit)};
}

/// Calls run(std::bool_constant<offsets wanted>, std::bool_constant<ids wanted>), so that
/// a search is instantiated once per choice of optional lists and its hot code never
/// tests for them.
template <class Run>
QORN_INLINE auto with_lists(const miVector* offsets, const unsigned long* ids, Run&& run) {
    if (offsets) {
        if (ids) return run(std::true_type{}, std::true_type{});
        return run(std::true_type{}, std::false_type{});
    }
    if (ids) return run(std::false_type{}, std::true_type{});
    return run(std::false_type{}, std::false_type{});
}

}  // namespace qorn::noise

#endif
