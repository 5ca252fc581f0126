// Orders 1 to 4 of FWorley::noise's Euclidean query, with only the entries measured
// exactly: the search keeps rough keys, and settles the list from them at the end.
//
// Within the fast range (point_draws.h) a point's offset along an axis, scaled by 2^32,
// is the exact double D = (draw - 2^31) + K. Its rough measure r is formed in single
// precision: the draw converts within 2^7, the rough K (formed from the fraction of the
// query, itself within 2^-25) lies within 2^10 of K, and their sum, below 2^35, rounds
// by at most 2^11, so each rough component is within 2^12 of D. As 2^13·|D| <=
// 2^-16·D² + 2^40, and the squares and sums round by 2^-24 each,
//     |r - E| <= 2^-15·E + 2^44,
// where E is the exact sum of the squares (the plain measure, scaled by 2^64, rounds it
// by far less than that).
//
// A key is r (raised to the least normal float) with its low 8 bits replaced by a tag:
// its cube's place in the documented order (5 bits) and the point's index in its cube
// (3 bits), which together are its arrival in the documented search. Positive floats order
// as their bit patterns, so keys compare with the float minimum and maximum, no two of
// a lane are equal, and the tag costs at most 2^-15 of r. So a key k bounds its point's
//     k·(1 - 2^-15) - 2^44 <= E <= k·(1 + 2^-13) + 2^45.
// Each of four lanes keeps its order + 1 least keys, ascending, by min/max operations
// and no branch; the least keys of all lie among them.
//
// Neighbours are chosen as in the other fast searches, but against the limit
// k·(1 + 2^-11)·2^-64 + 2^-16 (cell units) from the order-th least key k: above every
// measure the entries can have by more than the bounds' own error (the face terms are
// formed in single precision, within 2^-20 of their sums). At the end, when no key but
// the order least lies at or below k·(1 + 2^-11) + 2^47, every other point, visited or
// not, measures more than each of theirs by more than 2^-13 of itself: their points are
// the entries, however the documented search would have met them and however its
// comparisons of double measures with stored floats round. They are then measured
// exactly, the plain way, and ranked: by value when only distances are wanted, and
// otherwise as the documented insertion would, which puts the later arrival first only
// if it measures below the stored measure of the earlier. Where the test fails (a near
// tie, about 1 query in 600 at order 2) the general search takes the query over.
//
// No draw after the centre's takes a multiply: a draw is mul·seed + add (mod 2^32) and
// a neighbour's seed is the centre's plus its step's hash, so its draws are the
// centre's plus mul·(the step's hash), a constant of the step (kSteps).
#include "keyed_search.h"

#include "lane_draws.h"
#include "plain_search.h"

namespace qorn::noise {
namespace {

/// The visiting order of the keyed search, as near-frame slots per axis (0 the query's
/// cube, 1 across the nearer face, 2 across the farther one): the centre, the nearer
/// faces, the edges and corner between them, then the far side.
constexpr int8_t kVisitSlots[27][3] = {
    {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},  // centre, nearer faces
    {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1},  // nearer edges and corner
    // The far side, in the lane order of the bound groups formed in run().
    {2, 0, 0}, {0, 2, 0}, {0, 0, 2},  // F
    {2, 1, 0}, {0, 2, 1}, {1, 0, 2},  // F + rot(N)
    {1, 2, 0}, {0, 1, 2}, {2, 0, 1},  // N + rot(F)
    {2, 2, 0}, {0, 2, 2}, {2, 0, 2},  // F + rot(F)
    {1, 1, 2}, {2, 1, 1}, {1, 2, 1},  // N + rot(N) + rot2(F)
    {2, 2, 1}, {1, 2, 2}, {2, 1, 2},  // F + rot(F) + rot2(N)
    {2, 2, 2},
};
constexpr int kFarFirst = 8;

/// A visit's byte offsets into the per-axis tables.
struct VisitCells {
    struct alignas(4) Padded : Cell {};  // found with a scaled index
    Padded at[27];
};
constexpr VisitCells make_visit_cells() {
    VisitCells t{};
    for (int p = 0; p < 27; ++p) t.at[p] = {cell(kVisitSlots[p][0], kVisitSlots[p][1], kVisitSlots[p][2])};
    return t;
}
constexpr VisitCells kVisitCells = make_visit_cells();

/// A key is a rough measure (D² units, single precision) whose low 8 bits are replaced
/// by the point's tag: the place of its cube in the documented order (5 bits; 0 the
/// centre, 1 + i neighbour i) and its index in the cube (3 bits), so that the tag is the
/// point's arrival in the documented search.
constexpr uint32_t kTagBits = 0xffu;
constexpr uint32_t tag(uint32_t place, uint32_t point) { return place << 3 | point; }

/// What a cube's step from the centre adds to the centre's draws, K and seed, by its
/// place in the documented order (see the header comment).
struct Step27 {
    alignas(16) uint32_t draws[3][4];     // points 0 to 3 per axis
    alignas(16) uint32_t tag[4];          // points 0 to 3
    alignas(16) double k_xy[2];           // the step times 2^32, to add to K
    alignas(16) uint32_t fifth_draws[4];  // point 4, axes x, y, z
    alignas(16) float rough_k[4];         // the step times 2^32, to add to the rough K
    double k_z;
    uint32_t seed;                        // the step's hash
    uint32_t fifth_tag;                   // point 4
};
static_assert(sizeof(Step27) == 128, "an entry's offset is its place shifted by 7");
struct StepTable {
    Step27 at[27];
};
constexpr StepTable make_steps() {
    StepTable t{};
    for (int n = 0; n < 27; ++n) {
        const Step s = n == 0 ? Step{0, 0, 0} : kNeighbours[n - 1];
        const uint32_t hash = kHashX * static_cast<uint32_t>(s.x) + kHashY * static_cast<uint32_t>(s.y) +
                              kHashZ * static_cast<uint32_t>(s.z);
        Step27& e = t.at[n];
        e.seed = hash;
        for (int a = 0; a < 3; ++a) {
            for (int j = 0; j < 4; ++j) e.draws[a][j] = point_draw(j, a).mul * hash;
            e.fifth_draws[a] = point_draw(4, a).mul * hash;
        }
        e.rough_k[0] = s.x * 0x1p32f;
        e.rough_k[1] = s.y * 0x1p32f;
        e.rough_k[2] = s.z * 0x1p32f;
        for (uint32_t j = 0; j < 4; ++j) e.tag[j] = tag(static_cast<uint32_t>(n), j);
        e.fifth_tag = tag(static_cast<uint32_t>(n), 4);
        e.k_xy[0] = s.x * 0x1p32;
        e.k_xy[1] = s.y * 0x1p32;
        e.k_z = s.z * 0x1p32;
    }
    return t;
}
constexpr StepTable kSteps = make_steps();

/// The entry of kSteps of each visit (its byte offset: the visit's place in the
/// documented order times the entry's size), for each choice of nearer faces (bit a set:
/// the upper face of axis a).
struct VisitSteps {
    uint16_t of[8][32];  // rows of 64 bytes
};
constexpr VisitSteps make_visit_steps() {
    VisitSteps t{};
    for (int up = 0; up < 8; ++up) {
        for (int p = 0; p < 27; ++p) {
            int step[3] = {0, 0, 0};
            for (int a = 0; a < 3; ++a) {
                const int near = (up >> a & 1) ? 1 : -1;
                const int s = kVisitSlots[p][a];
                step[a] = s == 0 ? 0 : s == 1 ? near : -near;
            }
            int place = 0;
            for (int n = 0; n < 26; ++n)
                if (kNeighbours[n].x == step[0] && kNeighbours[n].y == step[1] && kNeighbours[n].z == step[2])
                    place = n + 1;
            t.of[up][p] = static_cast<uint16_t>(place * sizeof(Step27));
        }
    }
    return t;
}
constexpr VisitSteps kVisitSteps = make_visit_steps();

constexpr uint32_t kFloorBits = 0x00800000u;  // the least normal float
constexpr uint32_t kEmptyBits = 0x7f000000u;  // above every real key, below infinity
struct KeyTables {
    alignas(16) uint32_t floor[6][4];   // by count: the least normal float, or empty
    alignas(16) uint32_t fifth_floor[4];
    alignas(16) uint32_t empty[4];
    alignas(16) uint32_t measure_bits[4];
    // A key k bounds its point's exact measure (D² units) from above by k·(1 + 2^-13) +
    // 2^45 and from below by k·(1 - 2^-15) - 2^44 (derivation in the header comment).
    // The limits, formed in single precision, keep a margin over each.
    alignas(16) float limit_scale[4];   // neighbour bounds (cell units): k·(1 + 2^-11)·2^-64
    alignas(16) float limit_add[4];     //   + 2^-16
    alignas(16) float settle_scale[4];  // other keys: k·(1 + 2^-11)
    alignas(16) float settle_add[4];    //   + 2^47
};
constexpr KeyTables make_key_tables() {
    KeyTables t{};
    for (int c = 0; c < 6; ++c)
        for (int j = 0; j < 4; ++j) t.floor[c][j] = j < c ? kFloorBits : kEmptyBits;
    t.fifth_floor[0] = kFloorBits;
    for (int j = 1; j < 4; ++j) t.fifth_floor[j] = kEmptyBits;
    for (int j = 0; j < 4; ++j) {
        t.empty[j] = kEmptyBits;
        t.measure_bits[j] = ~kTagBits;
        t.limit_scale[j] = (1.0f + 0x1p-11f) * 0x1p-64f;
        t.limit_add[j] = 0x1p-16f;
        t.settle_scale[j] = 1.0f + 0x1p-11f;
        t.settle_add[j] = 0x1p47f;
    }
    return t;
}
constexpr KeyTables kKeys = make_key_tables();

/// The byte offset of a cube's row of KeyTables::floor, by the top byte of its seed.
struct FloorAt {
    uint8_t by_top[256];
};
constexpr FloorAt make_floor_at() {
    FloorAt t{};
    for (int i = 0; i < 256; ++i) t.by_top[i] = static_cast<uint8_t>(sizeof kKeys.floor[0] * Poisson_count[i]);
    return t;
}
constexpr FloorAt kFloorAt = make_floor_at();

/// Constants of the keyed search's set-up, as whole registers.
struct SetupConstants {
    alignas(16) double two32[2] = {0x1p32, 0x1p32};
    alignas(16) double k_base[2] = {0x1p31 + 0.5, 0x1p31 + 0.5};
    // Lane 3 of these is never read; it differs so that the compiler loads them whole
    // instead of building each from one lane with a shuffle. With the entry point's
    // constants, measured with GCC 12.2 on x86-64: 10 fewer instructions a query at
    // orders 1 to 4 (1.9% at order 1).
    alignas(16) float one_f[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    alignas(16) float minus_two32_f[4] = {-0x1p32f, -0x1p32f, -0x1p32f, 0.0f};
    alignas(16) float two31_f[4] = {0x1p31f, 0x1p31f, 0x1p31f, 0.0f};
    alignas(16) float sign_f[4] = {-0.0f, -0.0f, -0.0f, 0.0f};
    alignas(16) uint32_t hash_mul[4] = {kHashX, kHashY, kHashZ, 0u};
    // Point 4's draws, axes x and y, then z, in the even lanes; their addends (with 2^31).
    alignas(16) uint32_t fifth_mul_xy[4] = {point_draw(4, 0).mul, 0u, point_draw(4, 1).mul, 0u};
    alignas(16) uint32_t fifth_mul_z[4] = {point_draw(4, 2).mul, 0u, 0u, 0u};
    alignas(16) uint32_t fifth_add[4] = {point_draw(4, 0).add + 0x80000000u, point_draw(4, 1).add + 0x80000000u,
                                         point_draw(4, 2).add + 0x80000000u, 0u};
};
constexpr SetupConstants kSetup{};

template <int kOrder, bool kOffsets, bool kIds>
class KeyedSearch {
    static_assert(kOrder >= 1 && kOrder <= 4, "orders 1 to 4");

public:
    /// Rough K per axis and slot, each in every lane, read at a cell's byte offsets. A
    /// table of its own, apart from the search's state: loads at computed offsets into the
    /// state would keep the compiler storing the keys before each of them.
    struct RoughK {
        __m128 k[9];
    };

    /// `at`: the query in cell units, infinity in lane 3; `cube`: its cube; `rough_k`:
    /// room for the table.
    KeyedSearch(__m128 at, __m128i cube, RoughK& rough_k) : rough_k_(rough_k.k) {
        for (int i = 1; i <= kOrder; ++i) best_[i] = load(kKeys.empty);
        set_axes(at, cube);
    }

    /// Searches and writes the final list; false (nothing written) where the keys cannot
    /// tell the entries from the next point.
    bool run(float* distances, miVector* offsets, unsigned long* ids) {
        visit(0);
        if (kOrder == 1) {
            visit(1);
            visit(2);
            visit(3);
        }
        // Lanes x, y, z of the nearer and farther face terms (infinity in lane 3), and
        // the sums that bound the other neighbours, lane by lane.
        const __m128 n = near_, f = far_;
        const __m128 nn = _mm_add_ps(n, rotate(n));
        if (kOrder == 1) {
            follow_threshold();
            visit_mask(below(nn) | (below(_mm_add_ps(nn, rotate2(n))) & 1u) << 3, 4);
        } else {
            // From order 2 on, the edges between the nearer faces are nearly always open
            // and the corner 3 times in 5: visiting them costs less than testing, which
            // would need a threshold of its own. Visited unconditionally, each follows a
            // face whose draws it extends by another face's step.
            const Step27 &x = step(steps_[1]), &y = step(steps_[2]), &z = step(steps_[3]);
            __m128i d[3];
            visit_drawn(1, add_step<true>(d, draws_, x));
            visit_drawn(4, add_step<true>(d, d, y));
            visit_drawn(7, add_step<true>(d, d, z));
            visit_drawn(2, add_step<true>(d, draws_, y));
            visit_drawn(5, add_step<true>(d, d, z));
            visit_drawn(3, add_step<true>(d, draws_, z));
            visit_drawn(6, add_step<true>(d, d, x));
            follow_threshold();
        }
        // Every far neighbour's bound holds a far face term: when no far face is open
        // (most of the time at orders 1 and 2), neither is any of them.
        const unsigned far_faces = below(f);
        if (far_faces) {
            set_far_slots();
            const __m128 ff = _mm_add_ps(f, rotate(f));
            const unsigned far = far_faces | below(_mm_add_ps(f, rotate(n))) << 3 |
                                 below(_mm_add_ps(n, rotate(f))) << 6 | below(ff) << 9 |
                                 below(_mm_add_ps(nn, rotate2(f))) << 12 |
                                 below(_mm_add_ps(ff, rotate2(n))) << 15 |
                                 (below(_mm_add_ps(ff, rotate2(f))) & 1u) << 18;
            visit_mask(far, kFarFirst);
        }
        return settle(distances, offsets, ids);
    }

private:
    QORN_INLINE static __m128 load(const uint32_t* v) { return _mm_load_ps(reinterpret_cast<const float*>(v)); }
    QORN_INLINE static __m128d load(const double* v) { return _mm_load_pd(v); }
    QORN_INLINE static __m128 load(const float* v) { return _mm_load_ps(v); }

    QORN_INLINE unsigned below(__m128 bounds) const { return qorn::noise::below(bounds, bound_limit_); }
    /// Lanes x, y, z as y, z, x, and as z, x, y.
    QORN_INLINE static __m128 rotate(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 0, 2, 1)); }
    QORN_INLINE static __m128 rotate2(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 1, 0, 2)); }

    QORN_INLINE void visit_mask(unsigned mask, int first) {
        for_each_bit(mask, [&](int i) QORN_INLINE_LAMBDA { visit(first + i); });
    }

    /// The tables of slots 0 and 1 of every axis, the face terms, and what the far slots
    /// need later (set_far_slots). The face terms and the rough K are formed in single
    /// precision: the fraction f = a - c is exact for a >= 0 and within 2^-25 for a < 0,
    /// so each face term is within 2^-22 of the exact one (far below the limits'
    /// absolute margin of 2^-16) and each rough K within 2^10 of K.
    QORN_INLINE void set_axes(__m128 at, __m128i cube) {
        const __m128 f = _mm_sub_ps(at, _mm_cvtepi32_ps(cube));
        const __m128 g = _mm_sub_ps(load(kSetup.one_f), f);
        const __m128 lower = _mm_mul_ps(f, f), upper = _mm_mul_ps(g, g);
        near_ = _mm_min_ps(lower, upper);  // infinity in lane 3, from `at`
        far_ = _mm_max_ps(lower, upper);
        const __m128 up = _mm_cmplt_ps(upper, lower);
        steps_ = kVisitSteps.of[_mm_movemask_ps(up) & 7];
        // Rough K: -f·2^32 + 2^31 (+ 0.5, below single precision), and the steps to the
        // nearer (+2^32 where the upper face is nearer, else -2^32) and farther slots.
        const __m128 near_k = _mm_xor_ps(load(kSetup.minus_two32_f), _mm_and_ps(up, load(kSetup.sign_f)));
        const __m128 rough0 = _mm_add_ps(_mm_mul_ps(f, load(kSetup.minus_two32_f)), load(kSetup.two31_f));
        store_rough(0, rough0);
        rough0_ = rough0;
        store_rough(1, _mm_add_ps(rough0, near_k));
        far_rough_ = _mm_sub_ps(rough0, near_k);
        at_ = at;
        cube_ = cube;
        // The centre's seed, and its draws, from which every neighbour's follow.
        const __m128i mul = _mm_load_si128(reinterpret_cast<const __m128i*>(kSetup.hash_mul));
        const __m128i even = _mm_mul_epu32(cube, mul);  // x·mul_x, z·mul_z
        const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(cube, 32), _mm_srli_epi64(mul, 32));  // y·mul_y
        seed_ = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_add_epi32(_mm_add_epi32(even, odd), _mm_shuffle_epi32(even, 0xee))));
        const __m128i seed = _mm_set1_epi32(static_cast<int32_t>(seed_));
#pragma GCC unroll 3
        for (int a = 0; a < 3; ++a) draws_[a] = first_four_draws(seed, a);
        const __m128i fifth_xy = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(kSetup.fifth_mul_xy)));
        const __m128i fifth_z = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(kSetup.fifth_mul_z)));
        fifth_ = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(fifth_xy), _mm_castsi128_ps(fifth_z),
                                                               _MM_SHUFFLE(2, 0, 2, 0))),
                               _mm_load_si128(reinterpret_cast<const __m128i*>(kSetup.fifth_add)));
    }

    /// Rough K of slot s, every axis, each in all lanes of its entry.
    QORN_INLINE void store_rough(int s, __m128 r) {
        rough_k_[s] = _mm_shuffle_ps(r, r, 0x00);
        rough_k_[3 + s] = _mm_shuffle_ps(r, r, 0x55);
        rough_k_[6 + s] = _mm_shuffle_ps(r, r, 0xaa);
    }

    /// K of the centre's cube, two axes at a time.
    QORN_INLINE static __m128d exact_k(__m128d at, __m128d cube) {
        return _mm_add_pd(_mm_mul_pd(_mm_sub_pd(cube, at), load(kSetup.two32)), load(kSetup.k_base));
    }

    /// The far slots' rough K, once the far side is open.
    QORN_INLINE void set_far_slots() { store_rough(2, far_rough_); }

    /// The keys of rough measures r: at least the least normal float (or empty beyond
    /// the cube's count), the low bits replaced by the tags.
    QORN_INLINE static __m128 keys(__m128 r, const uint32_t* floor, __m128 tags) {
        return _mm_or_ps(_mm_and_ps(_mm_max_ps(r, load(floor)), load(kKeys.measure_bits)), tags);
    }

    /// Keeps per lane the kOrder + 1 least keys, ascending.
    QORN_INLINE void keep(__m128 key) {
        // Each list is updated in place (keys are unique, and max(max(key, b0), b1) is
        // max(key, b1) as b0 <= b1), so that a loop of visits moves no register.
        __m128 out = key;
#pragma GCC unroll 4
        for (int i = 0; i < kOrder; ++i) {
            const __m128 next = _mm_max_ps(out, best_[i]);
            best_[i] = _mm_min_ps(best_[i], out);
            out = next;
        }
        best_[kOrder] = _mm_min_ps(best_[kOrder], out);
    }

    /// The entry of kSteps at a byte offset.
    QORN_INLINE static const Step27& step(unsigned offset) {
        return *reinterpret_cast<const Step27*>(reinterpret_cast<const char*>(kSteps.at) + offset);
    }

    /// `to` = `from` plus a step's draws (of points 0 to 3, per axis). kReread: the step is
    /// added again later, and the compiler, which would keep it in registers that the
    /// keys need, is kept from seeing that it is the same. Measured with GCC 12.2 on
    /// x86-64, the barrier saves 4 to 8 instructions a query at orders 2 to 4 (under 1%)
    /// and 0.4 of 2.6 mispredicted branches at order 2 with offsets and ids.
    template <bool kReread = false>
    QORN_INLINE static const __m128i (&add_step(__m128i (&to)[3], const __m128i (&from)[3], const Step27& e))[3] {
        const Step27* hidden = &e;
        if (kReread) asm("" : "+r"(hidden));
#pragma GCC unroll 3
        for (int a = 0; a < 3; ++a) to[a] = _mm_add_epi32(from[a], _mm_load_si128(reinterpret_cast<const __m128i*>(hidden->draws[a])));
        return to;
    }

    /// Visit p of kVisitSlots (the centre first in either order).
    QORN_INLINE void visit(int p) {
        if (p == 0) {
            visit_drawn(0, draws_);
        } else {
            __m128i draws[3];
            visit_drawn(p, add_step(draws, draws_, step(steps_[p])));
        }
    }

    /// Visit p, given the draws of its points 0 to 3.
    QORN_INLINE void visit_drawn(int p, const __m128i (&draws)[3]) {
        const Cell c = kVisitCells.at[p];
        const Step27& e = step(p == 0 ? 0u : steps_[p]);
        const uint32_t seed = seed_ + e.seed;
        const __m128 rough = rough_of_draws(draws, rough_k_, c.at);
        const unsigned floor_at = kFloorAt.by_top[seed >> 24];
        const __m128 key = keys(rough, &entry_at<uint32_t>(kKeys.floor, static_cast<uint8_t>(floor_at)), load(e.tag));
        if (p == 0)
            best_[0] = key;  // the first keys: every other entry is still empty
        else
            keep(key);
        if (__builtin_expect(floor_at == sizeof kKeys.floor[0] * 5, 0)) visit_fifth(p == 0, e);
    }

    /// Point 4 of a cube, in lane 0: its draws and rough K are the centre's plus the
    /// step's, the axes in lanes, its rough measure added up as rough_fifth() does.
    QORN_INLINE void visit_fifth(bool centre, const Step27& e) {
        const __m128i draws = centre ? fifth_ : _mm_add_epi32(fifth_, _mm_load_si128(reinterpret_cast<const __m128i*>(e.fifth_draws)));
        const __m128 k = centre ? rough0_ : _mm_add_ps(rough0_, load(e.rough_k));
        const __m128 d = _mm_add_ps(_mm_cvtepi32_ps(draws), k);
        const __m128 sq = _mm_mul_ps(d, d);
        const __m128 r = _mm_add_ss(_mm_add_ss(sq, _mm_shuffle_ps(sq, sq, _MM_SHUFFLE(1, 1, 1, 1))), _mm_movehl_ps(sq, sq));
        keep(keys(_mm_move_ss(load(kKeys.empty), r), kKeys.fifth_floor, _mm_load_ss(reinterpret_cast<const float*>(&e.fifth_tag))));
    }

    /// The least of four lanes, in every lane.
    QORN_INLINE static __m128 least(__m128 v) {
        v = _mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)));
        return _mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)));
    }
    /// The kOrder least keys of all, ascending, each in every lane. Each is the least of
    /// the lanes' heads once the lane that held the one before offers its next instead:
    /// keys are unique and positive, so the maximum with the masked next picks it there
    /// and leaves the other lanes alone.
    QORN_INLINE void least_keys(__m128 (&out)[kOrder]) const {
        __m128 heads[kOrder];
#pragma GCC unroll 4
        for (int i = 0; i < kOrder; ++i) heads[i] = best_[i];
#pragma GCC unroll 4
        for (int r = 0; r < kOrder; ++r) {
            out[r] = least(heads[0]);
            const __m128 taken = _mm_cmpeq_ps(heads[0], out[r]);
#pragma GCC unroll 4
            for (int i = 0; i + 1 < kOrder - r; ++i) heads[i] = _mm_max_ps(heads[i], _mm_and_ps(taken, heads[i + 1]));
        }
    }
    QORN_INLINE __m128 last_key() const {
        __m128 keys[kOrder];
        least_keys(keys);
        return keys[kOrder - 1];
    }

    /// Neighbours whose single-precision bound is below this are visited: every cube that
    /// may hold a point measuring no more than the last entry could.
    QORN_INLINE void follow_threshold() {
        bound_limit_ = _mm_add_ps(_mm_mul_ps(last_key(), load(kKeys.limit_scale)), load(kKeys.limit_add));
    }

    /// One point measured exactly: its stored measure, offset and id.
    struct Exact {
        double m;
        ExactOffset o;
        uint32_t id;
    };
    /// K of the centre's cube, axes x and y, then z, with offset_base()'s operations.
    struct CentreK {
        __m128d xy;
        double z;
    };
    QORN_INLINE CentreK centre_k() const {
        const __m128d at_xy = _mm_cvtps_pd(at_), at_z = _mm_cvtps_pd(_mm_movehl_ps(at_, at_));
        const __m128d cube_xy = _mm_cvtepi32_pd(cube_), cube_z = _mm_cvtepi32_pd(_mm_shuffle_epi32(cube_, 0xee));
        return CentreK{exact_k(at_xy, cube_xy), _mm_cvtsd_f64(exact_k(at_z, cube_z))};
    }

    QORN_INLINE Exact exact(uint32_t key_bits, const CentreK& k) const {
        const Step27& step = kSteps.at[key_bits >> 3 & 31u];
        const uint32_t j = key_bits & 7u;
        const uint32_t seed = seed_ + step.seed;
        // K of the cube: the centre's plus the step times 2^32, exact (see offset_base).
        Exact e;
        e.o = exact_offset(seed, static_cast<int>(j), _mm_add_pd(k.xy, load(step.k_xy)), k.z + step.k_z);
        e.m = exact_measure(e.o);
        if (kIds) e.id = kDraws.point[j].id(seed);
        return e;
    }

    /// The arrival of a point in the documented search: its cube's turn, then its index.
    QORN_INLINE static unsigned arrival(uint32_t key_bits) { return key_bits & kTagBits; }

    QORN_INLINE static void write(unsigned long i, const Exact& e, float* distances, miVector* offsets, unsigned long* ids) {
        distances[i] = caller_distance(static_cast<float>(e.m));
        if (kIds) ids[i] = e.id;
        if (kOffsets) {
            const miVector o = offset_vector(e.o);
            offsets[i] = miVector{o.x * kCellSize, o.y * kCellSize, o.z * kCellSize};
        }
    }

    /// The entries are the kOrder least keys' points when no other key lies at or below
    /// the limit of the last: then every other point measures more than each of them.
    bool settle(float* distances, miVector* offsets, unsigned long* ids) const {
        __m128 least[kOrder];
        least_keys(least);
        const __m128 limit =
            _mm_add_ps(_mm_mul_ps(least[kOrder - 1], load(kKeys.settle_scale)), load(kKeys.settle_add));
        __m128i n = _mm_castps_si128(_mm_cmple_ps(best_[0], limit));
#pragma GCC unroll 4
        for (int i = 1; i <= kOrder; ++i) n = _mm_add_epi32(n, _mm_castps_si128(_mm_cmple_ps(best_[i], limit)));
        n = _mm_add_epi32(n, _mm_shuffle_epi32(n, _MM_SHUFFLE(1, 0, 3, 2)));
        n = _mm_add_epi32(n, _mm_shuffle_epi32(n, _MM_SHUFFLE(2, 3, 0, 1)));
        if (__builtin_expect(_mm_cvtsi128_si32(n) != -kOrder, 0)) return false;
        uint32_t bits[kOrder];
#pragma GCC unroll 4
        for (int i = 0; i < kOrder; ++i) bits[i] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_castps_si128(least[i])));
        const CentreK k = centre_k();
        Exact e[kOrder];
#pragma GCC unroll 4
        for (int i = kOrder - 1; i >= 0; --i) e[i] = exact(bits[i], k);  // last first: 2 fewer at order 2
        if (!kOffsets && !kIds) {
            // Where equal values go does not show: the stored measures in ascending order,
            // by exchanges of neighbours.
            __m128 m[kOrder];
#pragma GCC unroll 4
            for (int i = 0; i < kOrder; ++i) m[i] = _mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(e[i].m));
#pragma GCC unroll 4
            for (int pass = 0; pass < kOrder - 1; ++pass)
#pragma GCC unroll 4
                for (int i = 0; i + 1 < kOrder - pass; ++i) {
                    const __m128 lo = _mm_min_ss(m[i], m[i + 1]);
                    m[i + 1] = _mm_max_ss(m[i], m[i + 1]);
                    m[i] = lo;
                }
#pragma GCC unroll 4
            for (int i = 0; i < kOrder; ++i) distances[i] = caller_distance(_mm_cvtss_f32(m[i]));
            return true;
        }
        // Where the documented insertion puts each: of two entries, the one that came
        // later goes first only if it measures below the stored measure of the other.
        unsigned place[kOrder] = {};
#pragma GCC unroll 4
        for (int i = 0; i < kOrder; ++i)
#pragma GCC unroll 4
            for (int j = i + 1; j < kOrder; ++j) {
                const bool i_earlier = arrival(bits[i]) < arrival(bits[j]);
                const bool j_first = i_earlier ? e[j].m < static_cast<double>(static_cast<float>(e[i].m))
                                               : !(e[i].m < static_cast<double>(static_cast<float>(e[j].m)));
                place[i] += j_first;
                place[j] += !j_first;
            }
#pragma GCC unroll 4
        for (int i = 0; i < kOrder; ++i) write(place[i], e[i], distances, offsets, ids);
        return true;
    }

    __m128 best_[kOrder + 1];  // per lane, the least keys, ascending
    __m128 bound_limit_;
    __m128 near_, far_;        // face terms by axis, infinity in lane 3
    const uint16_t* steps_;    // kVisitSteps' row for the query's nearer faces
    __m128 far_rough_;         // rough K of the far slots, by axis
    __m128 at_;                // the query in cell units
    __m128i cube_;             //   and its cube
    uint32_t seed_;            // the centre's seed
    __m128i draws_[3];         // the centre's draws of points 0 to 3, per axis
    __m128i fifth_;            // the centre's draws of point 4, axes x, y, z
    __m128 rough0_;            // rough K of the centre's cube, axes x, y, z
    __m128* const rough_k_;    // RoughK
};

// The searches take keyed_search's arguments as they stand, `order` unused, so that it
// passes them on with a jump; GCC's noipa keeps it from cloning them without it (clang,
// which builds the fuzzers, has no such attribute). Measured with GCC 12.2 on x86-64
// against plain noinline: 7 fewer instructions (1%) and 0.4 fewer mispredicted branches
// a query at order 2 with offsets and ids, 0.8 fewer at order 4 with them.
#ifdef __clang__
#define QORN_KEEP_ARGUMENTS __attribute__((noinline))
#else
#define QORN_KEEP_ARGUMENTS __attribute__((noipa))
#endif
template <int kOrder, bool kOffsets, bool kIds>
QORN_KEEP_ARGUMENTS bool run_keyed(__m128 at, __m128i cube, unsigned long, float* distances, miVector* offsets, unsigned long* ids,
               DeclinedQuery declined) {
    using Search = KeyedSearch<kOrder, kOffsets, kIds>;
    typename Search::RoughK rough_k;
    if (__builtin_expect(Search(at, cube, rough_k).run(distances, offsets, ids), 1)) return true;
    if (declined) declined(at, cube, kOrder, distances, offsets, ids);
    return false;
}

template <int kOrder>
bool run_keyed(__m128 at, __m128i cube, unsigned long order, float* distances, miVector* offsets,
               unsigned long* ids, DeclinedQuery declined) {
    return with_lists(offsets, ids, [&](auto with_offsets, auto with_ids) QORN_INLINE_LAMBDA {
        return run_keyed<kOrder, decltype(with_offsets)::value, decltype(with_ids)::value>(at, cube, order, distances,
                                                                                           offsets, ids, declined);
    });
}

}  // namespace

bool keyed_search(__m128 at, __m128i cube, unsigned long order, float* distances, miVector* offsets,
                  unsigned long* ids, DeclinedQuery declined) {
    switch (order) {
    case 1:
        return run_keyed<1>(at, cube, order, distances, offsets, ids, declined);
    case 2:
        return run_keyed<2>(at, cube, order, distances, offsets, ids, declined);
    case 3:
        return run_keyed<3>(at, cube, order, distances, offsets, ids, declined);
    default:
        return run_keyed<4>(at, cube, order, distances, offsets, ids, declined);
    }
}

}  // namespace qorn::noise
