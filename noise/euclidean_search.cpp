// The general Euclidean search of FWorley::noise, for any order, arranged for speed without changing a bit of
// its results.
//
// Within the range of in_fast_domain (point_draws.h) every offset, scaled by 2^32, is an
// exact double D = (draw - 2^31) + K, so a point's measure is formed exactly from one
// multiply-add per draw. On top of that:
//  - A neighbour is first measured roughly, in single precision, four points to a
//    register. Only points that the rough measure cannot rule out are measured exactly
//    and merged. The rough test is conservative: its limit lies above the threshold by
//    more than the rough measure's error can reach, so it never turns away a point that
//    the exact test would let in. Most neighbours let none in.
//  - Neighbours are chosen by masks of single-precision bounds, against a limit a little
//    above the threshold (so no neighbour whose exact bound passes is missed), a whole
//    group at a time. Every point of a neighbour measures at least its bound (rounding
//    is monotonic) and the threshold only falls, so a neighbour that the documented
//    search skips holds no point that could enter the list when its turn would come:
//    visiting it anyway changes nothing.
//  - When offsets or ids are wanted, the groups are the faces, then the edges and
//    corners, each visited in the documented order, so every point meets the list the
//    documented search would show it, ties included.
//  - When only distances are wanted, the list's values do not depend on the order in
//    which points arrive (they are the smallest stored measures, however they come), so
//    the groups are the ones that prune best: the faces nearer the query, then the
//    edges and corner between them, then everything on a far side, which one comparison
//    with the nearest far face usually rules out whole.
// Orders 1 to 4 go first to the keyed search (keyed_search.cpp), which measures only
// the entries exactly; this search settles the queries that it declines and every
// query of order 5 and above in the fast range.
#include <emmintrin.h>
#include <math.h>

#include "euclidean_search.h"

#include "lane_draws.h"
#include "plain_search.h"
#include "point_draws.h"

namespace qorn::noise {
namespace {

/// The points 0 to 3 that exist in a cube of each count (0 to 5), and all of them.
constexpr unsigned kFirstFour[6] = {0x0, 0x1, 0x3, 0x7, 0xf, 0xf};
constexpr unsigned kAll[6] = {0x00, 0x01, 0x03, 0x07, 0x0f, 0x1f};

// The documented frame: slots 0, 1, 2 are the steps -1, 0, +1.
struct DocumentedCells {
    Cell centre;
    Cell neighbour[26];  // in visiting order: 6 faces, then 12 edges and 8 corners
};
constexpr DocumentedCells make_documented() {
    DocumentedCells t{cell(1, 1, 1), {}};
    for (int n = 0; n < 26; ++n) t.neighbour[n] = cell(kNeighbours[n].x + 1, kNeighbours[n].y + 1, kNeighbours[n].z + 1);
    return t;
}
constexpr DocumentedCells kDocumented = make_documented();

// The near frame: slot 0 is the query's cube, slot 1 the neighbour across the nearer face
// of that axis and slot 2 the one across the farther face.
struct NearCells {
    Cell centre;
    Cell near_face[3];  // bounds nx, ny, nz
    Cell near_edge[4];  // nx+ny, nx+nz, ny+nz, nx+ny+nz
    Cell far[19];       // in the order of the bounds formed in run_near()
};
constexpr NearCells kNear = {
    cell(0, 0, 0),
    {cell(1, 0, 0), cell(0, 1, 0), cell(0, 0, 1)},
    {cell(1, 1, 0), cell(1, 0, 1), cell(0, 1, 1), cell(1, 1, 1)},
    {cell(2, 0, 0), cell(0, 2, 0), cell(0, 0, 2), cell(1, 2, 0), cell(2, 1, 0), cell(1, 0, 2), cell(2, 0, 1),
     cell(0, 1, 2), cell(0, 2, 1), cell(2, 2, 0), cell(2, 0, 2), cell(0, 2, 2), cell(1, 1, 2), cell(1, 2, 1),
     cell(2, 1, 1), cell(1, 2, 2), cell(2, 1, 2), cell(2, 2, 1), cell(2, 2, 2)},
};

/// The search state. Which optional lists are written is fixed per instance, so the hot
/// code never tests for it.
template <bool kOffsets, bool kIds>
class EuclideanSearch {
    static constexpr bool kValuesOnly = !kOffsets && !kIds;

public:
    EuclideanSearch(const Query& q, unsigned long order, float* distances, miVector* offsets,
                    unsigned long* ids)
        : last_(order - 1), distances_(distances), offsets_(offsets), ids_(ids) {
        set_axes(q);
        follow_threshold();
    }

    QORN_INLINE void run() {
        if (kValuesOnly)
            run_near();
        else
            run_documented();
    }

private:
    QORN_INLINE void run_near() {
        visit_all(kNear.centre);
        const float(&n)[3] = near_, (&f)[3] = far_;
        // A nearer face is nearly always open after the central cube: visiting all three
        // costs less than choosing.
        visit(kNear.near_face[0]);
        visit(kNear.near_face[1]);
        visit(kNear.near_face[2]);
        // The edges between them are usually open too.
        const float nxy = n[0] + n[1];
        visit(kNear.near_edge[0]);
        visit(kNear.near_edge[1]);
        visit(kNear.near_edge[2]);
        if (_mm_comilt_ss(_mm_set_ss(nxy + n[2]), bound_limit_)) visit(kNear.near_edge[3]);
        const float fxy = f[0] + f[1], nfxy = n[0] + f[1], fnxy = f[0] + n[1];
        const unsigned far = below(_mm_setr_ps(f[0], f[1], f[2], nfxy)) |
                             below(_mm_setr_ps(fnxy, n[0] + f[2], f[0] + n[2], n[1] + f[2])) << 4 |
                             below(_mm_setr_ps(f[1] + n[2], fxy, f[0] + f[2], f[1] + f[2])) << 8 |
                             below(_mm_setr_ps(nxy + f[2], nfxy + n[2], fnxy + n[2], nfxy + f[2])) << 12 |
                             below(_mm_setr_ps(fnxy + f[2], fxy + n[2], fxy + f[2], __builtin_inff())) << 16;
        visit_mask(far, kNear.far);
    }

    void run_documented() {
        visit_all(kDocumented.centre);
        // Lower x, y, z, then upper x, y, z (the slots' faces in the documented frame).
        const float x0 = lower_[0], y0 = lower_[1], z0 = lower_[2], x1 = upper_[0], y1 = upper_[1], z1 = upper_[2];
        visit_mask(below(_mm_setr_ps(x0, y0, z0, x1)) | below(_mm_setr_ps(y1, z1, __builtin_inff(), __builtin_inff())) << 4,
                   kDocumented.neighbour);
        const float xy00 = x0 + y0, xy01 = x0 + y1, xy10 = x1 + y0, xy11 = x1 + y1;
        const __m128 zs = _mm_setr_ps(z0, z1, z0, z1);
        visit_mask(below(_mm_add_ps(_mm_setr_ps(x0, x0, y0, x1), _mm_setr_ps(y0, z0, z0, y1))) |
                       below(_mm_add_ps(_mm_setr_ps(x1, y1, x0, x0), _mm_setr_ps(z1, z1, y1, z1))) << 4 |
                       below(_mm_add_ps(_mm_setr_ps(y0, x1, x1, y1), _mm_setr_ps(z1, y0, z0, z0))) << 8 |
                       below(_mm_add_ps(_mm_setr_ps(xy00, xy00, xy01, xy01), zs)) << 12 |
                       below(_mm_add_ps(_mm_setr_ps(xy10, xy10, xy11, xy11), zs)) << 16,
                   kDocumented.neighbour + 6);
    }

    /// The lanes of single-precision bounds that may be below the threshold.
    QORN_INLINE unsigned below(__m128 bounds) const { return qorn::noise::below(bounds, bound_limit_); }

    /// Visits cells[i] for every bit i of `mask`, in order.
    QORN_INLINE void visit_mask(unsigned mask, const Cell* cells) {
        for_each_bit(mask, [&](int i) QORN_INLINE_LAMBDA { visit(cells[i]); });
    }

    /// The hash terms, K and the face terms of every axis. The near frame puts the cube
    /// coordinates c, c + near, c - near in an axis's slots (near = -1 when the lower
    /// face is the nearer one, else +1); the documented frame c - 1, c, c + 1. Two axes
    /// to a register, with the same double operations as face_terms() and
    /// offset_base(); which face is nearer is chosen without a branch, since it is as
    /// likely one way as the other.
    QORN_INLINE void set_axes(const Query& q) {
        const __m128d at_xy = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&q.at.x))));
        const __m128d cube_xy = _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q.cube)));
        const __m128d at_z = _mm_cvtss_sd(_mm_setzero_pd(), _mm_load_ss(&q.at.z));
        const __m128d cube_z = _mm_cvtsi32_sd(_mm_setzero_pd(), q.cube[2]);
        const unsigned upper_nearer = set_pair(at_xy, cube_xy, 0) | set_pair(at_z, cube_z, 2) << 2;
        const uint32_t mul[3] = {kHashX, kHashY, kHashZ};
#pragma GCC unroll 3
        for (int a = 0; a < 3; ++a) {
            const uint32_t h = mul[a] * static_cast<uint32_t>(q.cube[a]);
            if (kValuesOnly) {
                const uint32_t up = upper_nearer >> a & 1u;
                const uint32_t near_step = (mul[a] ^ (up - 1u)) + (1u - up);  // +mul[a] or -mul[a]
                hash_[3 * a][0] = h;
                hash_[3 * a + 1][0] = h + near_step;
                hash_[3 * a + 2][0] = h - near_step;
            } else {
                hash_[3 * a][0] = h - mul[a];
                hash_[3 * a + 1][0] = h;
                hash_[3 * a + 2][0] = h + mul[a];
            }
        }
    }

    /// set_axes for the axes `first` and `first + 1` (the second lane unused at z).
    /// Returns, per lane, whether the upper face is the nearer one.
    QORN_INLINE unsigned set_pair(__m128d at, __m128d cube, int first) {
        const __m128d f = _mm_sub_pd(at, cube);  // exact
        const __m128d g = _mm_sub_pd(_mm_set1_pd(1.0), f);
        const __m128d lower = _mm_mul_pd(f, f), upper = _mm_mul_pd(g, g);
        const __m128d k = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(cube, at), _mm_set1_pd(0x1p32)), _mm_set1_pd(0x1p31 + 0.5));
        const __m128d up = _mm_cmplt_pd(upper, lower);
        __m128d ks[3];
        __m128 terms[2];
        if (kValuesOnly) {
            // -2^32, or +2^32 where the upper face is nearer: the sign bit cleared by mask.
            const __m128d near_k = _mm_xor_pd(_mm_set1_pd(-0x1p32), _mm_and_pd(up, _mm_set1_pd(-0.0)));
            ks[0] = k;
            ks[1] = _mm_add_pd(k, near_k);
            ks[2] = _mm_sub_pd(k, near_k);
            terms[0] = _mm_cvtpd_ps(_mm_min_pd(lower, upper));
            terms[1] = _mm_cvtpd_ps(_mm_max_pd(lower, upper));
        } else {
            ks[0] = _mm_sub_pd(k, _mm_set1_pd(0x1p32));
            ks[1] = k;
            ks[2] = _mm_add_pd(k, _mm_set1_pd(0x1p32));
            terms[0] = _mm_cvtpd_ps(lower);
            terms[1] = _mm_cvtpd_ps(upper);
        }
        float* const first_terms = kValuesOnly ? near_ : lower_;
        float* const second_terms = kValuesOnly ? far_ : upper_;
        _mm_store_ss(first_terms + first, terms[0]);
        _mm_store_ss(second_terms + first, terms[1]);
        if (first == 0) {
            _mm_store_ss(first_terms + 1, _mm_shuffle_ps(terms[0], terms[0], 1));
            _mm_store_ss(second_terms + 1, _mm_shuffle_ps(terms[1], terms[1], 1));
        }
#pragma GCC unroll 3
        for (int s = 0; s < 3; ++s) {
            _mm_store_sd(&k_[3 * first + s][0], ks[s]);
            if (first == 0) _mm_storeh_pd(&k_[3 + s][0], ks[s]);
            const __m128 r = _mm_cvtpd_ps(ks[s]);
            rough_k_[3 * first + s] = _mm_shuffle_ps(r, r, 0x00);
            if (first == 0) rough_k_[3 + s] = _mm_shuffle_ps(r, r, 0x55);
        }
        return static_cast<unsigned>(_mm_movemask_pd(up)) & (first == 0 ? 3u : 1u);
    }

    QORN_INLINE uint32_t hash(uint8_t o) const { return entry_at<uint32_t>(hash_, o); }
    QORN_INLINE const double& k(uint8_t o) const { return entry_at<double>(k_, o); }

    QORN_INLINE uint32_t seed_of(Cell c) const { return hash(c.at[0]) + hash(c.at[1]) + hash(c.at[2]); }

    /// Merges every point of a cube (the central one, where all of them may enter).
    QORN_INLINE void visit_all(Cell c) {
        const uint32_t seed = seed_of(c);
        merge_points(kAll[cube_point_count(seed)], seed, c);
    }

    /// Measures the points of one cube roughly and merges those that may enter.
    QORN_INLINE void visit(Cell c) {
        const uint32_t seed = seed_of(c);
        const int32_t count = cube_point_count(seed);
        const __m128 rough = rough_first_four(_mm_set1_epi32(static_cast<int32_t>(seed)), rough_k_, c.at);
        unsigned may_enter = static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(rough, rough_limit_))) & kFirstFour[count];
        if (__builtin_expect(count == 5, 0))
            may_enter |= static_cast<unsigned>(rough_fifth(seed, rough_k_, c.at) < _mm_cvtss_f32(rough_limit_)) << 4;
        merge_points(may_enter, seed, c);
    }

    QORN_INLINE void merge_points(unsigned points, uint32_t seed, Cell c) {
        if (!points) return;
        for_each_bit(points, [&](int j) QORN_INLINE_LAMBDA { merge(j, seed, c); });
        follow_threshold();
    }

    /// Measures point j of a cube exactly and merges it into the list.
    QORN_INLINE void merge(int j, uint32_t seed, Cell c) {
        const ExactOffset o = exact_offset(seed, j, _mm_loadh_pd(_mm_load_sd(&k(c.at[0])), &k(c.at[1])), k(c.at[2]));
        const double m = exact_measure(o);
        if (kValuesOnly) {
            // Where equal values go does not show: insert the stored value.
            const float r = static_cast<float>(m);
            if (!(r < distances_[last_])) return;
            unsigned long i = last_;
            for (; i > 0 && r < distances_[i - 1]; --i) distances_[i] = distances_[i - 1];
            distances_[i] = r;
            return;
        }
        // The documented insertion: after every entry equal to it, the tail moving down.
        if (!(m < distances_[last_])) return;
        unsigned long i = last_;
        for (; i > 0 && m < distances_[i - 1]; --i) {
            distances_[i] = distances_[i - 1];
            if (kIds) ids_[i] = ids_[i - 1];
            if (kOffsets) offsets_[i] = offsets_[i - 1];
        }
        distances_[i] = static_cast<float>(m);
        if (kIds) ids_[i] = kDraws.point[j].id(seed);
        if (kOffsets) offsets_[i] = offset_vector(o);
    }

    /// The limits of the rough tests from the threshold t = distances[order-1]. Where a
    /// point's exact measure is below t, its rough one stays below t·(1 + 2^-20) + 2^38
    /// (in D² units); the limit is t·(1 + 2^-12) + 2^44. A single-precision bound errs by
    /// less than 2^-21 of itself; its limit is t·(1 + 2^-18).
    QORN_INLINE void follow_threshold() {
        const double t = distances_[last_];
        rough_limit_ = _mm_set1_ps(static_cast<float>(t * (0x1p64 + 0x1p52) + 0x1p44));
        bound_limit_ = _mm_set1_ps(static_cast<float>(t * (1.0 + 0x1p-18)));
    }

    const unsigned long last_;
    float* const distances_;
    miVector* const offsets_;
    unsigned long* const ids_;
    __m128 rough_limit_;    // at or above which a rough measure cannot enter
    __m128 bound_limit_;    // at or above which a single-precision bound cannot
    float near_[3], far_[3];     // the nearer and farther face terms per axis
    float lower_[3], upper_[3];  // the lower and upper face terms per axis
    // Per axis and slot, read at a cell's byte offsets.
    __m128 rough_k_[9];       // K in single precision, in every lane
    double k_[9][2];          // K, in [0]
    uint32_t hash_[9][4];     // the axis's hash term, in [0]
    static_assert(sizeof rough_k_[0] == kSlot && sizeof k_[0] == kSlot && sizeof hash_[0] == kSlot,
                  "one stride for every table");
};

template <bool kOffsets, bool kIds>
void search(const Query& q, unsigned long order, float* distances, miVector* offsets, unsigned long* ids) {
    EuclideanSearch<kOffsets, kIds> s(q, order, distances, offsets, ids);
    s.run();
}

/// The fast search of a query in the fast range, without the final pass.
void search_fast(const Query& q, unsigned long order, float* distances, miVector* offsets,
                 unsigned long* ids) {
    with_lists(offsets, ids, [&](auto with_offsets, auto with_ids) QORN_INLINE_LAMBDA {
        search<decltype(with_offsets)::value, decltype(with_ids)::value>(q, order, distances, offsets, ids);
    });
}

}  // namespace

void search_euclidean(const Query& q, unsigned long order, float* distances,
                      miVector* offsets, unsigned long* ids) {
    if (fast_query(q))
        search_fast(q, order, distances, offsets, ids);
    else
        search_euclidean_reference(q, order, distances, offsets, ids);
}

/// The general fast search of a query located in lanes, final pass included.
void search_located(__m128 at, __m128i cube, unsigned long order, float* distances, miVector* offsets,
                    unsigned long* ids) {
    Query q;
    _mm_storel_pi(reinterpret_cast<__m64*>(&q.at.x), at);
    _mm_store_ss(&q.at.z, _mm_movehl_ps(at, at));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(q.cube), cube);
    q.cube[2] = _mm_cvtsi128_si32(_mm_shuffle_epi32(cube, 2));
    q.searchable = true;
    start_search(order, distances);
    search_fast(q, order, distances, offsets, ids);
    finish_search(order, distances, offsets);
}

}  // namespace qorn::noise
