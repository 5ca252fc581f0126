// The search with a caller's measure, arranged for speed without changing a result or a
// call of the measure.
//
// A caller's measure may be shorter than the bounds, so this search visits exactly the
// documented neighbours, each tested when its turn comes, and asks the measure about
// every point of them in order. What is saved is in how: offsets are formed exactly from
// one multiply-add per draw (see in_fast_domain in point_draws.h), two points at a time in
// SSE2 lanes and converted to single precision as the plain overload rounds them; cube
// hashes and K are formed once per query and axis; and the neighbours that can be
// visited at all are listed once, from the faces open after the central cube.
// Other queries take the plain transcription.
#include "metric_search.h"

#include <emmintrin.h>
#include <math.h>
#include <string.h>

#include "lane_draws.h"
#include "plain_search.h"
#include "point_draws.h"

namespace qorn::noise {
namespace {

constexpr double kScaleUp = 0x1p64;  // measure -> D² units

/// Faces in visiting order; bit i of an open-face set stands for face i:
/// lower x, lower y, lower z, upper x, upper y, upper z.
constexpr unsigned face_bit(int axis, int step) { return 1u << (step < 0 ? axis : 3 + axis); }

/// The neighbours of one group (faces, or edges and corners) whose faces are all in an
/// open set, in visiting order, as cells of the documented frame (slot = step + 1).
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
                g.at[g.count][a] = slot_at(a, step[a] + 1);
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

/// The caller's measure and its parameter.
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

/// The search state. The order when it is 1 or 2 (0 for any other) and which optional
/// lists are written are fixed per instance, so the hot code never tests for them.
template <int kOrder, bool kOffsets, bool kIds>
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
        static constexpr Cell kCentre = cell(1, 1, 1);
        visit_metric(kCentre.at);
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
        // A caller's measure may be shorter than the bound, so every neighbour is tested
        // when its turn comes, as the documented search does; the groups only leave out
        // those across a face that is already closed, whose bounds cannot pass.
        visit_group(kFaces.open[open_faces(terms)], term);
        visit_group(kEdgesAndCorners.open[open_faces(terms)], term);
    }

private:
    /// The faces whose squared distance is below the current threshold.
    QORN_INLINE unsigned open_faces(const __m128d terms[3]) const {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(terms[0], limit_pair_))) |
               static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(terms[1], limit_pair_))) << 2 |
               static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(terms[2], limit_pair_))) << 4;
    }

    template <int Max>
    QORN_INLINE void visit_group(const Group<Max>& g, const double term[8]) {
        for (int n = 0; n < g.count; ++n) {
            const double bound = (term[g.term[n][0]] + term[g.term[n][1]]) + term[g.term[n][2]];
            if (bound < limit_scaled_) visit_metric(g.at[n]);
        }
    }

    /// The hash terms and K of one axis, for the cube coordinates c-1, c and c+1.
    void set_axis(int axis, int32_t c, float at, uint32_t hash_mul) {
        const uint32_t h = hash_mul * static_cast<uint32_t>(c);
        hash_[3 * axis][0] = h - hash_mul;
        hash_[3 * axis + 1][0] = h;
        hash_[3 * axis + 2][0] = h + hash_mul;
        const __m128d k = _mm_set1_pd(offset_base(c, at));
        const __m128d step = _mm_set1_pd(0x1p32);
        _mm_store_pd(k_[3 * axis], _mm_sub_pd(k, step));
        _mm_store_pd(k_[3 * axis + 1], k);
        _mm_store_pd(k_[3 * axis + 2], _mm_add_pd(k, step));
    }

    /// The per-axis entries at a cell's byte offset.
    QORN_INLINE uint32_t hash_at(uint8_t slot) const { return entry_at<uint32_t>(hash_, slot); }
    QORN_INLINE __m128d k_at(uint8_t slot) const { return _mm_load_pd(&entry_at<double>(k_, slot)); }

    /// D of points 2p and 2p+1 along one axis.
    QORN_INLINE static __m128d offsets_of(__m128i seed, const PairDraws& c, __m128d k) {
        __m128i s = _mm_mul_epu32(seed, _mm_load_si128(reinterpret_cast<const __m128i*>(c.mul)));
        s = _mm_add_epi64(s, _mm_load_si128(reinterpret_cast<const __m128i*>(c.add)));
        return _mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(s, 0x08)), k);
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
            const __m128 x = _mm_cvtpd_ps(_mm_mul_pd(offsets_of(sv, kPairDraws.pair[p][0], k[0]), unit));
            const __m128 y = _mm_cvtpd_ps(_mm_mul_pd(offsets_of(sv, kPairDraws.pair[p][1], k[1]), unit));
            const __m128 z = _mm_cvtpd_ps(_mm_mul_pd(offsets_of(sv, kPairDraws.pair[p][2], k[2]), unit));
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
            if (kIds) ids_[i] = kDraws.point[j].id(seed);
            if (kOffsets) offsets_[i] = v[j];
            follow_threshold();
        }
    }

    /// The place of a measure known to beat the threshold, after every entry equal to it;
    /// the tail moves down one place as it is found.
    QORN_INLINE unsigned long make_room(float m) {
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
            // A short move: kept a loop, not a call of memmove. Measured with GCC 12.2 on
            // x86-64, the barrier saves 58 instructions a query (2%) at order 4.
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

template <bool kOffsets, bool kIds>
void run_fast(const Query& q, unsigned long order, float* distances, miVector* offsets,
              unsigned long* ids, Metric metric) {
    // Orders 1 and 2 have their own list moves; with offsets, moving three more words at
    // every admission costs more than the loop.
    if (!kOffsets && order == 1) {
        FastSearch<1, kOffsets, kIds>(q, order, distances, offsets, ids, metric).run(q);
    } else if (!kOffsets && order == 2) {
        FastSearch<2, kOffsets, kIds>(q, order, distances, offsets, ids, metric).run(q);
    } else {
        FastSearch<0, kOffsets, kIds>(q, order, distances, offsets, ids, metric).run(q);
    }
}

void run_fast(const Query& q, unsigned long order, float* distances, miVector* offsets,
              unsigned long* ids, Metric metric) {
    with_lists(offsets, ids, [&](auto with_offsets, auto with_ids) QORN_INLINE_LAMBDA {
        run_fast<decltype(with_offsets)::value, decltype(with_ids)::value>(q, order, distances, offsets, ids, metric);
    });
}

}  // namespace

void search_metric(const DistType& metric, const miVector& dist_param, const Query& q,
                   unsigned long order, float* distances, miVector* offsets,
                   unsigned long* ids) {
    if (fast_query(q))
        run_fast(q, order, distances, offsets, ids, Metric{&metric, &dist_param});
    else
        search_metric_reference(metric, dist_param, q, order, distances, offsets, ids);
}

}  // namespace qorn::noise
