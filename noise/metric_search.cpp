// The searches of both overloads, arranged for speed without changing a bit of their
// results (or, for a caller's measure, a call of it).
//
// For queries whose scaled coordinates satisfy 2^-10 <= |a| < 2^19 (or a == 0), every
// offset component of every candidate, scaled by 2^32, is exactly D = (s - 2^31) + K on
// the half-integer grid, with s the point's generator draw and K = 2^31 + 0.5 +
// (cube - a)·2^32 fixed per cube and axis: the point's position (s + 0.5)·2^-32 + cube
// has at most 53 significant bits there, and so has its difference from the query.
// Squares and sums of D are then the double operations of the plain transcription
// scaled by 2^64, which is exact, so measures and their comparisons are identical.
// Further savings, none of which changes a result:
//  - every draw is one multiply-add from the cube seed (the generator steps folded), and
//    SSE2 forms two points' draws and measures at once; all points of a cube are measured
//    and the count only masks them, so the count costs no branch; the fifth point, in
//    one cube of nine, is measured only when it exists;
//  - at orders 1 and 2 without ids only the entries' values matter, and a cube's points
//    merge into them by minimum and maximum, which leaves the values an insertion leaves;
//  - cube hashes and K are formed once per query and axis for the three steps;
//  - neighbours are visited in the documented order, but faces are chosen once, by
//    which of them are open after the central cube, and edges and corners only among
//    the faces still open after the faces. Every point of a neighbour measures at least
//    its bound (rounding is monotonic) and the threshold only falls, so a neighbour whose
//    bound fails holds no point that could enter the list at its place in the order:
//    visiting it anyway leaves every entry, and every tie, exactly as the documented
//    search leaves them.
// A caller's measure may be shorter than the bounds, so its search visits exactly the
// documented neighbours, each tested when its turn comes, and asks the measure about every
// point of them in order; only the points' offsets are formed the fast way.
// Other queries take the plain transcription.
#include <emmintrin.h>
#include <math.h>
#include <string.h>

#include "nearest_search.h"

#define QORN_INLINE inline __attribute__((always_inline))
#define QORN_INLINE_LAMBDA __attribute__((always_inline))

namespace qorn::noise {
namespace {

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

inline bool in_fast_domain(float a) {
    float m = fabsf(a);
    return m < 0x1p19f && (m >= 0x1p-10f || m == 0.0f);
}

constexpr double kScaleUp = 0x1p64;      // measure -> D units
constexpr double kScaleDown = 0x1p-64;   // D units -> measure
constexpr double kOffsetUnit = 0x1p-32;  // D -> offset component

/// Multipliers and addends of the draws of points 2p and 2p+1 along one axis, in the
/// even 32-bit lanes as the SSE2 unsigned multiply takes them. The addends carry 2^31,
/// so the draws read as signed integers are s - 2^31.
struct DrawPair {
    alignas(16) uint32_t mul[4];
    alignas(16) uint32_t add[4];
};
struct DrawTable {
    DrawPair pair[3][3];  // [point pair][axis]
    alignas(16) uint32_t add4[3][4];  // [axis][point]: the addends of points 0 to 3
    Affine id[5];
};
constexpr DrawTable make_draws() {
    DrawTable t{};
    for (int p = 0; p < 3; ++p)
        for (int a = 0; a < 3; ++a) {
            const Affine first = point_draw(2 * p, a), second = point_draw(2 * p + 1, a);
            t.pair[p][a] = DrawPair{{first.mul, 0u, second.mul, 0u},
                                    {first.add + 0x80000000u, 0u, second.add + 0x80000000u, 0u}};
        }
    for (int a = 0; a < 3; ++a)
        for (int j = 0; j < 4; ++j) t.add4[a][j] = point_draw(j, a).add + 0x80000000u;
    for (int j = 0; j < 5; ++j) t.id[j] = point_id(j);
    return t;
}
constexpr DrawTable kDraws = make_draws();

/// Added to the measures of points 0 to 3 by the cube's count: zero for a point that
/// exists, infinity for one that does not.
alignas(16) constexpr double kBeyondCount[6][2][2] = {
    {{__builtin_inf(), __builtin_inf()}, {__builtin_inf(), __builtin_inf()}},
    {{0.0, __builtin_inf()}, {__builtin_inf(), __builtin_inf()}},
    {{0.0, 0.0}, {__builtin_inf(), __builtin_inf()}},
    {{0.0, 0.0}, {0.0, __builtin_inf()}},
    {{0.0, 0.0}, {0.0, 0.0}},
    {{0.0, 0.0}, {0.0, 0.0}},
};

/// Bytes between entries of the per-axis tables.
constexpr int kSlot = 16;

/// Added to the measures of points 0 to 4 by a set of them (bit j for point j): zero for
/// a point in the set, infinity for one outside it.
struct OutsideTable {
    alignas(16) double add[32][3][2];
};
constexpr OutsideTable make_outside() {
    OutsideTable t{};
    for (int set = 0; set < 32; ++set)
        for (int j = 0; j < 6; ++j) t.add[set][j / 2][j % 2] = (set >> j & 1) ? 0.0 : __builtin_inf();
    return t;
}
constexpr OutsideTable kOutsideTable = make_outside();
constexpr const double (&kOutside)[32][3][2] = kOutsideTable.add;

/// Faces in visiting order; bit i of an open-face set stands for face i:
/// lower x, lower y, lower z, upper x, upper y, upper z.
constexpr unsigned face_bit(int axis, int step) { return 1u << (step < 0 ? axis : 3 + axis); }

/// The neighbours of one group (faces, edges or corners) whose faces are all in an open
/// set, in visiting order, as byte offsets 16·(3·axis + step + 1) into the per-axis
/// tables (both have a 16-byte stride, so a visit loads each entry at one offset).
template <int Max>
struct Group {
    uint8_t count;
    uint8_t at[Max][3];    // byte offsets into the per-axis tables
    uint8_t term[Max][3];  // the face terms of the bound, in the order added; 6 is zero
};
template <int Max>
struct GroupTable {
    Group<Max> open[64];
};
template <int Max>
constexpr GroupTable<Max> make_group(int first, int end) {
    GroupTable<Max> t{};
    for (unsigned open = 0; open < 64; ++open) {
        Group<Max>& g = t.open[open];
        for (int n = first; n < end; ++n) {
            const int8_t step[3] = {kNeighbours[n].x, kNeighbours[n].y, kNeighbours[n].z};
            unsigned need = 0;
            for (int a = 0; a < 3; ++a)
                if (step[a] != 0) need |= face_bit(a, step[a]);
            if ((need & ~open) != 0) continue;
            int used = 0;
            for (int a = 0; a < 3; ++a) {
                g.at[g.count][a] = static_cast<uint8_t>(kSlot * (3 * a + step[a] + 1));
                g.term[g.count][a] = 6;
                if (step[a] != 0) g.term[g.count][used++] = static_cast<uint8_t>(step[a] < 0 ? a : 3 + a);
            }
            ++g.count;
        }
    }
    return t;
}
constexpr GroupTable<6> kFaces = make_group<6>(0, 6);
constexpr GroupTable<20> kEdgesAndCorners = make_group<20>(6, 26);

/// The caller's measure of the pluggable overload, or none for the Euclidean one.
struct Metric {
    const DistType* metric;
    const miVector* dist_param;
};

/// Moves entry 0 of a two-entry list to entry 1 when `before`, without a branch.
template <class T>
QORN_INLINE void move_down_if(bool before, T* list) {
    static_assert(sizeof(T) % sizeof(uint32_t) == 0, "moved as 32-bit words");
    uint32_t from[sizeof(T) / 4], to[sizeof(T) / 4];
    memcpy(from, &list[0], sizeof(T));
    memcpy(to, &list[1], sizeof(T));
    for (size_t w = 0; w < sizeof(T) / 4; ++w) to[w] = before ? from[w] : to[w];
    memcpy(&list[1], to, sizeof(T));
}

/// The search state. The measure (Euclidean or the caller's), the order when it is 1 or 2
/// (0 for any other) and which optional lists are written are fixed per instance, so the
/// hot code never tests for them.
template <bool kMetric, int kOrder, bool kOffsets, bool kIds>
class FastSearch {
public:
    FastSearch(const Query& q, unsigned long order, float* distances, miVector* offsets,
               unsigned long* ids, Metric metric)
        : last_(kOrder > 0 ? kOrder - 1 : order - 1), distances_(distances), offsets_(offsets), ids_(ids), metric_(metric) {
        set_axis(0, q.cube[0], q.at.x, kHashX);
        set_axis(1, q.cube[1], q.at.y, kHashY);
        set_axis(2, q.cube[2], q.at.z, kHashZ);
        follow_threshold();
    }

    void run(const Query& q) {
        static constexpr uint8_t kCentre[3] = {kSlot * 1, kSlot * 4, kSlot * 7};
        if (!kMetric && kOrder > 0)
            visit_centre_short(kCentre);
        else
            visit(kCentre);
        const FaceTerms t = face_terms(q);
        // Face terms in D units, like the threshold they meet (scaling by 2^64 is exact).
        const __m128d up = _mm_set1_pd(kScaleUp);
        const __m128d terms[3] = {_mm_mul_pd(_mm_set_pd(t.lower[1], t.lower[0]), up),
                                  _mm_mul_pd(_mm_set_pd(t.upper[0], t.lower[2]), up),
                                  _mm_mul_pd(_mm_set_pd(t.upper[2], t.upper[1]), up)};
        alignas(16) double term[8];
        _mm_store_pd(term, terms[0]);
        _mm_store_pd(term + 2, terms[1]);
        _mm_store_pd(term + 4, terms[2]);
        term[6] = 0.0;
        // Euclidean: faces open after the central cube are all visited (a mispredicted test
        // costs more than a visit); edges and corners come from the faces still open, and
        // each is tested with its own bound, which prunes enough to pay for the test.
        // A caller's measure may be shorter than the bound, so it gets exactly the
        // documented visits: every neighbour tested when its turn comes.
        visit_group<kMetric>(kFaces.open[open_faces(terms)], term);
        visit_group<true>(kEdgesAndCorners.open[open_faces(terms)], term);
    }

private:
    /// The faces whose squared distance is below the current threshold.
    QORN_INLINE unsigned open_faces(const __m128d terms[3]) const {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(terms[0], limit_pair_))) |
               static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(terms[1], limit_pair_))) << 2 |
               static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(terms[2], limit_pair_))) << 4;
    }

    template <bool kRetest, int Max>
    QORN_INLINE void visit_group(const Group<Max>& g, const double term[8]) {
        for (int n = 0; n < g.count; ++n) {
            if (kRetest) {
                const double bound = (term[g.term[n][0]] + term[g.term[n][1]]) + term[g.term[n][2]];
                if (!(bound < limit_scaled_)) continue;
            }
            visit(g.at[n]);
        }
    }

    /// The hash terms and K of one axis, for the cube coordinates c-1, c and c+1.
    void set_axis(int axis, int32_t c, float at, uint32_t hash_mul) {
        const uint32_t h = hash_mul * static_cast<uint32_t>(c);
        hash_[3 * axis][0] = h - hash_mul;
        hash_[3 * axis + 1][0] = h;
        hash_[3 * axis + 2][0] = h + hash_mul;
        // Exact: the difference has at most 53 significant bits, scaling by 2^32 is exact
        // and the sum stays on the half-integer grid below 2^52.
        const __m128d k = _mm_set1_pd((static_cast<double>(c) - at) * 0x1p32 + (0x1p31 + 0.5));
        const __m128d step = _mm_set1_pd(0x1p32);
        _mm_store_pd(k_[3 * axis], _mm_sub_pd(k, step));
        _mm_store_pd(k_[3 * axis + 1], k);
        _mm_store_pd(k_[3 * axis + 2], _mm_add_pd(k, step));
    }

    /// The per-axis entries at a byte offset of the group tables.
    QORN_INLINE uint32_t hash_at(uint8_t slot) const {
        uint32_t h;
        memcpy(&h, reinterpret_cast<const char*>(hash_) + slot, sizeof h);
        return h;
    }
    QORN_INLINE __m128d k_at(uint8_t slot) const {
        return _mm_load_pd(reinterpret_cast<const double*>(reinterpret_cast<const char*>(k_) + slot));
    }

    /// D of points 2p and 2p+1 along one axis.
    QORN_INLINE static __m128d offsets_of(__m128i seed, const DrawPair& c, __m128d k) {
        __m128i s = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(c.mul)));
        s = _mm_add_epi64(s, _mm_load_si128(reinterpret_cast<const __m128i*>(c.add)));
        return _mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(s, 0x08)), k);
    }

    /// Measures (in D units) of points 0 and 1, and of points 2 and 3: the low words of
    /// both pairs' products gathered into one register, so that one addition and one
    /// shuffle serve four draws.
    QORN_INLINE static void measure_quad(__m128i seed, const __m128d k[3], __m128d* m01, __m128d* m23) {
        __m128d sq01 = _mm_setzero_pd(), sq23 = _mm_setzero_pd();
#pragma GCC unroll 3
        for (int a = 0; a < 3; ++a) {
            const __m128i p01 = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(kDraws.pair[0][a].mul)));
            const __m128i p23 = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(kDraws.pair[1][a].mul)));
            __m128i s = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(p01), _mm_castsi128_ps(p23),
                                                        _MM_SHUFFLE(2, 0, 2, 0)));
            s = _mm_add_epi32(s, _mm_load_si128(reinterpret_cast<const __m128i*>(kDraws.add4[a])));
            const __m128d d01 = _mm_add_pd(_mm_cvtepi32_pd(s), k[a]);
            const __m128d d23 = _mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(s, 0xee)), k[a]);
            // The same order of additions as the plain measure: (x² + y²) + z².
            sq01 = a == 0 ? _mm_mul_pd(d01, d01) : _mm_add_pd(sq01, _mm_mul_pd(d01, d01));
            sq23 = a == 0 ? _mm_mul_pd(d23, d23) : _mm_add_pd(sq23, _mm_mul_pd(d23, d23));
        }
        *m01 = sq01;
        *m23 = sq23;
    }

    /// Measures (in D units) of points 2p and 2p+1.
    QORN_INLINE static __m128d measure_pair(__m128i seed, int p, const __m128d k[3]) {
        const __m128d dx = offsets_of(seed, kDraws.pair[p][0], k[0]);
        const __m128d dy = offsets_of(seed, kDraws.pair[p][1], k[1]);
        const __m128d dz = offsets_of(seed, kDraws.pair[p][2], k[2]);
        return _mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)), _mm_mul_pd(dz, dz));
    }

    QORN_INLINE unsigned below_limit(__m128d m) const {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(m, limit_pair_)));
    }

    /// Merges the points of the cube whose per-axis table indices are `at`.
    QORN_INLINE void visit(const uint8_t at[3]) {
        if (kMetric)
            visit_metric(at);
        else
            visit_euclidean(at);
    }

    /// The caller's measure of each point's single-precision offset, point by point, the
    /// offsets formed two at a time.
    QORN_INLINE void visit_metric(const uint8_t at[3]) {
        const uint32_t seed = hash_at(at[0]) + hash_at(at[1]) + hash_at(at[2]);
        const int32_t count = cube_point_count(seed);
        if (count <= 0) return;
        const __m128i sv = _mm_set1_epi32(static_cast<int32_t>(seed));
        const __m128d k[3] = {k_at(at[0]), k_at(at[1]), k_at(at[2])};
        const __m128d unit = _mm_set1_pd(kOffsetUnit);
        miVector v[6];
        const auto offsets_of_pair = [&](int p) QORN_INLINE_LAMBDA {
            const __m128 x = _mm_cvtpd_ps(_mm_mul_pd(offsets_of(sv, kDraws.pair[p][0], k[0]), unit));
            const __m128 y = _mm_cvtpd_ps(_mm_mul_pd(offsets_of(sv, kDraws.pair[p][1], k[1]), unit));
            const __m128 z = _mm_cvtpd_ps(_mm_mul_pd(offsets_of(sv, kDraws.pair[p][2], k[2]), unit));
            const __m128 xy = _mm_unpacklo_ps(x, y);  // x0 y0 x1 y1
            _mm_storel_pi(reinterpret_cast<__m64*>(&v[2 * p].x), xy);
            _mm_storeh_pi(reinterpret_cast<__m64*>(&v[2 * p + 1].x), xy);
            _mm_store_ss(&v[2 * p].z, z);
            _mm_store_ss(&v[2 * p + 1].z, _mm_shuffle_ps(z, z, 1));
        };
        offsets_of_pair(0);
        offsets_of_pair(1);
        if (count == 5) offsets_of_pair(2);
        for (int j = 0; j < count; ++j) {
            const float m = metric_.metric->distance(v[j], *metric_.dist_param);
            if (!(m < distances_[last_])) continue;
            const unsigned long i = make_room(m);
            distances_[i] = m;
            if (kIds) ids_[i] = kDraws.id[j](seed);
            if (kOffsets) offsets_[i] = v[j];
            follow_threshold();
        }
    }

    /// The central cube at orders 1 and 2, where every point is below the starting
    /// threshold: the list is merged point by point in registers, by selects, so that
    /// neither the count nor the ranking costs a branch. Entries stay what they were
    /// (the caller's ids included) until a point takes their place.
    QORN_INLINE void visit_centre_short(const uint8_t at[3]) {
        const uint32_t seed = hash_at(at[0]) + hash_at(at[1]) + hash_at(at[2]);
        const int32_t count = cube_point_count(seed);
        const __m128i sv = _mm_set1_epi32(static_cast<int32_t>(seed));
        const __m128d k[3] = {k_at(at[0]), k_at(at[1]), k_at(at[2])};
        alignas(16) double m[6];
        // Points beyond the count measure infinity, which never enters.
        __m128d m01, m23;
        measure_quad(sv, k, &m01, &m23);
        _mm_store_pd(m, _mm_add_pd(m01, _mm_load_pd(kBeyondCount[count][0])));
        _mm_store_pd(m + 2, _mm_add_pd(m23, _mm_load_pd(kBeyondCount[count][1])));
        m[4] = __builtin_inf();
        if (__builtin_expect(count == 5, 0)) _mm_store_pd(m + 4, measure_pair(sv, 2, k));
        if (!kIds) {
            merge_values(_mm_load_pd(m), _mm_load_pd(m + 2), _mm_load_sd(m + 4));
            return;
        }
        // The list in D units, as the stored single-precision values.
        __m128d d0 = _mm_set_sd(static_cast<double>(distances_[0]) * kScaleUp);
        __m128d d1 = kOrder == 2 ? _mm_set_sd(static_cast<double>(distances_[1]) * kScaleUp) : d0;
        uint32_t id0 = kIds ? static_cast<uint32_t>(ids_[0]) : 0u;
        uint32_t id1 = kIds && kOrder == 2 ? static_cast<uint32_t>(ids_[1]) : 0u;
        const __m128d up = _mm_set_sd(kScaleUp);
#pragma GCC unroll 5
        for (int j = 0; j < 5; ++j) {
            const __m128d mj = _mm_set_sd(m[j]);
            // The measure as it would be stored, back in D units.
            const __m128d stored = _mm_mul_sd(
                _mm_cvtss_sd(up, _mm_cvtsd_ss(_mm_setzero_ps(), _mm_mul_sd(mj, _mm_set_sd(kScaleDown)))), up);
            const __m128d before0 = _mm_cmplt_sd(mj, d0);
            const uint32_t id = kIds ? kDraws.id[j](seed) : 0u;
            const bool take0 = _mm_cvtsi128_si32(_mm_castpd_si128(before0)) != 0;
            if (kOrder == 2) {
                const __m128d before1 = _mm_cmplt_sd(mj, d1);
                const bool take1 = _mm_cvtsi128_si32(_mm_castpd_si128(before1)) != 0;
                d1 = select(before0, d0, select(before1, stored, d1));
                if (kIds) id1 = take0 ? id0 : (take1 ? id : id1);
            }
            d0 = select(before0, stored, d0);
            if (kIds) id0 = take0 ? id : id0;
        }
        distances_[0] = static_cast<float>(_mm_cvtsd_f64(d0) * kScaleDown);
        if (kIds) ids_[0] = id0;
        if (kOrder == 2) {
            distances_[1] = static_cast<float>(_mm_cvtsd_f64(d1) * kScaleDown);
            if (kIds) ids_[1] = id1;
        }
        follow_threshold();
    }

    /// The central cube's merge when the list holds values only. With d0 <= d1 single-
    /// precision entries and r a point's measure as it would be stored (rounding is
    /// monotonic), inserting the point leaves d0' = min(r, d0) and, at order 2,
    /// d1' = min(max(r, d0), d1): equal values wherever it lands, so a minimum and a
    /// maximum replace the comparisons. Points beyond the count measure infinity.
    /// The measures come in D units, points 0 to 4 in lanes, the last lane unused.
    QORN_INLINE void merge_values(__m128d m01, __m128d m23, __m128d m4) {
        const __m128d down = _mm_set1_pd(kScaleDown);
        const __m128d r01 = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_mul_pd(m01, down)));
        const __m128d r23 = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_mul_pd(m23, down)));
        const __m128d r4 = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_mul_pd(m4, down)));
        const __m128d r[5] = {r01, _mm_unpackhi_pd(r01, r01), r23, _mm_unpackhi_pd(r23, r23), r4};
        __m128d d0 = _mm_set_sd(static_cast<double>(distances_[0]));
        __m128d d1 = kOrder == 2 ? _mm_set_sd(static_cast<double>(distances_[1])) : d0;
#pragma GCC unroll 5
        for (int j = 0; j < 5; ++j) {
            if (kOrder == 2) d1 = _mm_min_sd(_mm_max_sd(r[j], d0), d1);
            d0 = _mm_min_sd(r[j], d0);
        }
        distances_[0] = static_cast<float>(_mm_cvtsd_f64(d0));  // exact: single values
        if (kOrder == 2) distances_[1] = static_cast<float>(_mm_cvtsd_f64(d1));
        follow_threshold();
    }

    QORN_INLINE static __m128d select(__m128d mask, __m128d a, __m128d b) {
        return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
    }

    /// All points of the cube are measured, and those beyond its count are masked off.
    QORN_INLINE void visit_euclidean(const uint8_t at[3]) {
        const uint32_t seed = hash_at(at[0]) + hash_at(at[1]) + hash_at(at[2]);
        const int32_t count = cube_point_count(seed);
        const __m128i sv = _mm_set1_epi32(static_cast<int32_t>(seed));
        const __m128d k[3] = {k_at(at[0]), k_at(at[1]), k_at(at[2])};
        __m128d m0, m1;
        measure_quad(sv, k, &m0, &m1);
        unsigned below = below_limit(m0) | below_limit(m1) << 2;
        __m128d m2 = _mm_setzero_pd();
        if (__builtin_expect(count == 5, 0)) {
            m2 = measure_pair(sv, 2, k);
            below |= below_limit(m2) << 4;
        }
        static constexpr uint32_t kExisting[6] = {0x00, 0x01, 0x03, 0x07, 0x0f, 0x1f};
        below &= kExisting[count];  // the points that exist (count is 0 to 5)
        if (below) admit(below, seed, at, m0, m1, m2);
    }

    /// Admits, in point order, the points that were below the threshold at the start of
    /// the cube and are still below it when their turn comes.
    __attribute__((noinline)) void admit(unsigned below, uint32_t seed, const uint8_t at[3],
                                         __m128d m0, __m128d m1, __m128d m2) {
        if (kOrder > 0 && !kIds && !kOffsets) {
            // Values only: the points outside `below` (beyond the count, or not below the
            // threshold at the start) measure infinity, and the rest merge branch-free.
            const double(*beyond)[2] = kOutside[below];
            merge_values(_mm_add_pd(m0, _mm_load_pd(beyond[0])), _mm_add_pd(m1, _mm_load_pd(beyond[1])),
                         _mm_add_pd(m2, _mm_load_pd(beyond[2])));
            return;
        }
        alignas(16) double m[6];
        _mm_store_pd(m, m0);
        _mm_store_pd(m + 2, m1);
        _mm_store_pd(m + 4, m2);
        do {
            const int j = __builtin_ctz(below);
            below &= below - 1;
            if (m[j] < limit_scaled_) insert(m[j] * kScaleDown, seed, at, j);
        } while (below);
    }

    /// Admits point j of a cube, known to beat the threshold: after every entry equal to
    /// it, the tail moving down one place as the position is found.
    QORN_INLINE void insert(double m, uint32_t seed, const uint8_t at[3], int j) {
        const unsigned long i = make_room(m);
        distances_[i] = static_cast<float>(m);
        if (kIds) ids_[i] = kDraws.id[j](seed);
        if (kOffsets) {
            // The point's D again, one axis at a time, as its pair lane formed it.
            float o[3];
#pragma GCC unroll 3
            for (int a = 0; a < 3; ++a) {
                const DrawPair& c = kDraws.pair[j >> 1][a];
                const uint32_t s = c.mul[2 * (j & 1)] * seed + c.add[2 * (j & 1)];
                const double d = static_cast<double>(static_cast<int32_t>(s)) + _mm_cvtsd_f64(k_at(at[a]));
                o[a] = static_cast<float>(d * kOffsetUnit);
            }
            offsets_[i] = miVector{o[0], o[1], o[2]};
        }
        follow_threshold();
    }

    /// The place of a measure known to beat the threshold, after every entry equal to it;
    /// the tail moves down one place as it is found.
    template <class Measure>
    QORN_INLINE unsigned long make_room(Measure m) {
        if (kOrder == 1) return 0;
        if (kOrder == 2) {
            // A pair needs no loop: entry 0 moves down or stays, chosen without a branch.
            const bool before = m < distances_[0];
            move_down_if(before, distances_);
            if (kIds) move_down_if(before, ids_);
            if (kOffsets) move_down_if(before, offsets_);
            return before ? 0 : 1;
        }
        // Entry 0 decides whether the search can stop before it, so the loop that moves
        // the tail tests one condition an entry.
        unsigned long i = last_;
        const auto move_down = [&](unsigned long to) QORN_INLINE_LAMBDA {
            distances_[to] = distances_[to - 1];
            if (kIds) ids_[to] = ids_[to - 1];
            if (kOffsets) offsets_[to] = offsets_[to - 1];
        };
        if (m < distances_[0]) {
            // A short move: kept a loop, not a call of memmove.
            for (; i > 0; --i) {
                move_down(i);
                __asm__("" : "+r"(i));
            }
        } else {
            for (; m < distances_[i - 1]; --i) move_down(i);  // stops at 1: m >= entry 0
        }
        return i;
    }

    void follow_threshold() {
        limit_scaled_ = static_cast<double>(distances_[last_]) * kScaleUp;
        limit_pair_ = _mm_set1_pd(limit_scaled_);
    }

    const unsigned long last_;
    float* const distances_;
    miVector* const offsets_;
    unsigned long* const ids_;
    const Metric metric_;
    alignas(16) double k_[9][2];  // K of cube coordinate c-1, c, c+1 of each axis, twice
    alignas(16) uint32_t hash_[9][4];  // hash term of c-1, c, c+1 of each axis, in [0]
    static_assert(sizeof k_[0] == kSlot && sizeof hash_[0] == kSlot, "one stride for both");
    double limit_scaled_;            // the threshold distances[order-1] in D units (·2^64)
    __m128d limit_pair_;             // the same in both lanes
};

template <bool kMetric, bool kOffsets, bool kIds>
void run_fast(const Query& q, unsigned long order, float* distances, miVector* offsets,
              unsigned long* ids, Metric metric) {
    // Orders 1 and 2 have their own list moves; with offsets, moving three more words at
    // every admission costs more than the loop.
    if (!kOffsets && order == 1) {
        FastSearch<kMetric, 1, kOffsets, kIds>(q, order, distances, offsets, ids, metric).run(q);
    } else if (!kOffsets && order == 2) {
        FastSearch<kMetric, 2, kOffsets, kIds>(q, order, distances, offsets, ids, metric).run(q);
    } else {
        FastSearch<kMetric, 0, kOffsets, kIds>(q, order, distances, offsets, ids, metric).run(q);
    }
}

bool in_fast_domain(const Query& q) {
    return in_fast_domain(q.at.x) && in_fast_domain(q.at.y) && in_fast_domain(q.at.z);
}

template <bool kMetric>
void run_fast(const Query& q, unsigned long order, float* distances, miVector* offsets,
              unsigned long* ids, Metric metric) {
    if (offsets && ids)
        run_fast<kMetric, true, true>(q, order, distances, offsets, ids, metric);
    else if (offsets)
        run_fast<kMetric, true, false>(q, order, distances, offsets, ids, metric);
    else if (ids)
        run_fast<kMetric, false, true>(q, order, distances, offsets, ids, metric);
    else
        run_fast<kMetric, false, false>(q, order, distances, offsets, ids, metric);
}

}  // namespace

void search_euclidean(const Query& q, unsigned long order, float* distances,
                      miVector* offsets, unsigned long* ids) {
    if (in_fast_domain(q))
        run_fast<false>(q, order, distances, offsets, ids, Metric{nullptr, nullptr});
    else
        search_euclidean_reference(q, order, distances, offsets, ids);
}

void search_metric(const DistType& metric, const miVector& dist_param, const Query& q,
                   unsigned long order, float* distances, miVector* offsets,
                   unsigned long* ids) {
    if (in_fast_domain(q))
        run_fast<true>(q, order, distances, offsets, ids, Metric{&metric, &dist_param});
    else
        search_metric_reference(metric, dist_param, q, order, distances, offsets, ids);
}

}  // namespace qorn::noise
