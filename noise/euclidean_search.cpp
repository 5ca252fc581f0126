// The Euclidean search, arranged for speed without changing a bit of its result.
//
// For queries whose scaled coordinates satisfy 2^-10 <= |a| < 2^19 (or a == 0), every
// offset component of every candidate is exactly Y·2^-33 for the odd integer
// Y = 2s + K, with s the point's generator draw and K fixed per cube and axis: the
// point's position (s + 0.5)·2^-32 + cube has at most 53 significant bits there, and so
// has its difference from the query. Squares and sums of Y are then the double
// operations of the plain transcription scaled by 2^66, which is exact, so measures and
// their comparisons are identical. Further savings, none of which changes a result:
//  - a box test in integers rejects most points after one generator draw: when
//    |Y| >= R > sqrt(threshold·2^66) on one axis, the measure is at least the threshold;
//  - every draw is one multiply-add from the cube seed (the generator steps folded), so
//    a rejected point costs a handful of instructions and no identifier;
//  - cube hashes and K are formed once per query and axis for the three steps;
//  - a neighbour across a face whose bound already fails can never be visited later
//    (the threshold only falls), so edges and corners are drawn from the open faces.
// Other queries take the plain transcription.
#include <math.h>

#include "nearest_search.h"

#define QORN_INLINE inline __attribute__((always_inline))

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
template <int Point>
constexpr Affine kPointId = lcg_power(1 + 4 * Point);
template <int Point, int Axis>
constexpr Affine kPointDraw = lcg_power(2 + 4 * Point + Axis);

inline bool in_fast_domain(float a) {
    float m = fabsf(a);
    return m < 0x1p19f && (m >= 0x1p-10f || m == 0.0f);
}

constexpr double kScaleUp = 0x1p66;      // measure -> Y units
constexpr double kScaleDown = 0x1p-66;   // Y units -> measure
constexpr double kOffsetUnit = 0x1p-33;  // Y -> offset component
constexpr int64_t kOneCube = int64_t{1} << 33;  // a cube step in Y units

// Edges and corners (neighbours 6 to 25) that remain possible for each set of open
// faces; face bit 2·axis is the lower face, 2·axis+1 the upper one.
struct Candidates {
    uint8_t count;
    uint8_t neighbour[20];
};
constexpr unsigned faces_needed(Step s) {
    const int8_t step[3] = {s.x, s.y, s.z};
    unsigned need = 0;
    for (int a = 0; a < 3; ++a)
        if (step[a] != 0) need |= 1u << (2 * a + (step[a] > 0));
    return need;
}
struct CandidateTable {
    Candidates open[64];
};
constexpr CandidateTable make_candidates() {
    CandidateTable t{};
    for (unsigned open = 0; open < 64; ++open) {
        Candidates& c = t.open[open];
        for (int n = 6; n < 26; ++n)
            if ((faces_needed(kNeighbours[n]) & ~open) == 0)
                c.neighbour[c.count++] = static_cast<uint8_t>(n);
    }
    return t;
}
constexpr CandidateTable kCandidates = make_candidates();

// A neighbour's bound as indices of face terms (in bit order: lower x, upper x, lower y,
// upper y, lower z, upper z; 6 is a zero term), and its step indices (step + 1).
struct Neighbour {
    uint8_t first, second, third;
    uint8_t ix, iy, iz;
};
struct NeighbourTable {
    Neighbour at[26];
};
constexpr NeighbourTable make_neighbour_info() {
    NeighbourTable t{};
    for (int n = 0; n < 26; ++n) {
        const int8_t step[3] = {kNeighbours[n].x, kNeighbours[n].y, kNeighbours[n].z};
        uint8_t term[3] = {6, 6, 6};
        int used = 0;
        for (int a = 0; a < 3; ++a)
            if (step[a] != 0) term[used++] = static_cast<uint8_t>(2 * a + (step[a] > 0));
        t.at[n] = Neighbour{term[0], term[1], term[2], static_cast<uint8_t>(step[0] + 1),
                            static_cast<uint8_t>(step[1] + 1), static_cast<uint8_t>(step[2] + 1)};
    }
    return t;
}
constexpr NeighbourTable kNeighbourInfo = make_neighbour_info();

/// The search state. Which optional lists are written is fixed per instance, so the hot
/// code never tests for them.
template <bool kOffsets, bool kIds>
class FastSearch {
public:
    FastSearch(const Query& q, unsigned long order, float* distances, miVector* offsets,
               unsigned long* ids)
        : last_(order - 1), distances_(distances), offsets_(offsets), ids_(ids) {
        set_axis(0, q.cube[0], q.at.x, kHashX);
        set_axis(1, q.cube[1], q.at.y, kHashY);
        set_axis(2, q.cube[2], q.at.z, kHashZ);
        limit_ = distances_[last_];
        limit_scaled_ = limit_ * kScaleUp;
        refresh_box();
    }

    void run(const Query& q) {
        visit<0>(1, 1, 1);
        const FaceTerms t = face_terms(q);
        const double term[7] = {t.lower[0], t.upper[0], t.lower[1], t.upper[1],
                                t.lower[2], t.upper[2], 0.0};
        // Faces; the moving axis rejects most points, so it is tested first.
        if (term[0] < limit_) visit<0>(0, 1, 1);
        if (term[2] < limit_) visit<1>(1, 0, 1);
        if (term[4] < limit_) visit<2>(1, 1, 0);
        if (term[1] < limit_) visit<0>(2, 1, 1);
        if (term[3] < limit_) visit<1>(1, 2, 1);
        if (term[5] < limit_) visit<2>(1, 1, 2);
        // An edge or corner bound is at least each of its face terms (rounding is
        // monotonic) and the threshold only falls: a face that fails now closes every
        // neighbour across it for good.
        const double limit = limit_;
        const unsigned open = static_cast<unsigned>(term[0] < limit) |
                              static_cast<unsigned>(term[1] < limit) << 1 |
                              static_cast<unsigned>(term[2] < limit) << 2 |
                              static_cast<unsigned>(term[3] < limit) << 3 |
                              static_cast<unsigned>(term[4] < limit) << 4 |
                              static_cast<unsigned>(term[5] < limit) << 5;
        const Candidates& c = kCandidates.open[open];
        for (const uint8_t* n = c.neighbour; n != c.neighbour + c.count; ++n) {
            const Neighbour& b = kNeighbourInfo.at[*n];
            // Corners add the z term last; edges add the zero term 6.
            const double bound = (term[b.first] + term[b.second]) + term[b.third];
            if (bound < limit_) visit<0>(b.ix, b.iy, b.iz);
        }
    }

private:

    /// The hash terms and K of one axis, for the cube coordinates c-1, c and c+1.
    void set_axis(int axis, int32_t c, float at, uint32_t hash_mul) {
        const uint32_t h = hash_mul * static_cast<uint32_t>(c);
        hash_[axis][0] = h - hash_mul;
        hash_[axis][1] = h;
        hash_[axis][2] = h + hash_mul;
        const int64_t k = 1 + static_cast<int64_t>((static_cast<double>(c) - at) * 0x1p33);
        k_[axis][0] = k - kOneCube;
        k_[axis][1] = k;
        k_[axis][2] = k + kOneCube;
    }

    /// The cube being merged: its seed, K per axis and the box offsets Y + R - 1.
    struct Cube {
        uint32_t seed;
        int64_t k[3];
        int64_t l[3];
    };

    /// Merges the points of the cube at step (ix-1, iy-1, iz-1) from the central one,
    /// box-testing axis A0 first.
    template <int A0>
    QORN_INLINE void visit(int ix, int iy, int iz) {
        Cube cube;
        cube.seed = hash_[0][ix] + hash_[1][iy] + hash_[2][iz];
        const int32_t count = cube_point_count(cube.seed);
        if (count <= 0) return;
        if (box_stale_) refresh_box();
        cube.k[0] = k_[0][ix];
        cube.k[1] = k_[1][iy];
        cube.k[2] = k_[2][iz];
        for (int a = 0; a < 3; ++a) cube.l[a] = cube.k[a] + box_r1_;
        point<0, A0>(cube);
        if (count > 1) point<1, A0>(cube);
        if (count > 2) point<2, A0>(cube);
        if (count > 3) point<3, A0>(cube);
        if (count > 4) point<4, A0>(cube);
    }

    template <int J, int A0>
    QORN_INLINE void point(const Cube& cube) {
        constexpr int A1 = (A0 + 1) % 3, A2 = (A0 + 2) % 3;
        const int64_t s0 = 2 * static_cast<int64_t>(kPointDraw<J, A0>(cube.seed));
        if (static_cast<uint64_t>(s0 + cube.l[A0]) >= box_w_) return;
        const int64_t s1 = 2 * static_cast<int64_t>(kPointDraw<J, A1>(cube.seed));
        if (static_cast<uint64_t>(s1 + cube.l[A1]) >= box_w_) return;
        const int64_t s2 = 2 * static_cast<int64_t>(kPointDraw<J, A2>(cube.seed));
        if (static_cast<uint64_t>(s2 + cube.l[A2]) >= box_w_) return;
        double y[3];
        y[A0] = static_cast<double>(s0 + cube.k[A0]);
        y[A1] = static_cast<double>(s1 + cube.k[A1]);
        y[A2] = static_cast<double>(s2 + cube.k[A2]);
        const double m = (y[0] * y[0] + y[1] * y[1]) + y[2] * y[2];
        if (!(m < limit_scaled_)) return;
        insert(m * kScaleDown, kPointId<J>(cube.seed), y);
    }

    /// Admits a point known to beat the threshold: after every entry equal to it, the
    /// tail moving down one place as the position is found.
    QORN_INLINE void insert(double m, uint32_t id, const double y[3]) {
        unsigned long i = last_;
        while (i > 0 && m < distances_[i - 1]) {
            distances_[i] = distances_[i - 1];
            if (kIds) ids_[i] = ids_[i - 1];
            if (kOffsets) offsets_[i] = offsets_[i - 1];
            --i;
        }
        distances_[i] = static_cast<float>(m);
        if (kIds) ids_[i] = id;
        if (kOffsets)
            offsets_[i] = miVector{static_cast<float>(y[0] * kOffsetUnit),
                                   static_cast<float>(y[1] * kOffsetUnit),
                                   static_cast<float>(y[2] * kOffsetUnit)};
        limit_ = distances_[last_];
        limit_scaled_ = limit_ * kScaleUp;
        box_stale_ = true;
    }

    /// The box follows the threshold once per cube: a box from an earlier, higher
    /// threshold is only looser, and the exact comparison decides.
    void refresh_box() {
        // R > sqrt(limit_scaled_) for certain: truncation loses < 1, rounding far less.
        const int64_t r = static_cast<int64_t>(sqrt(limit_scaled_)) + 2;
        box_r1_ = r - 1;
        box_w_ = static_cast<uint64_t>(2 * r - 1);
        box_stale_ = false;
    }

    const unsigned long last_;
    float* const distances_;
    miVector* const offsets_;
    unsigned long* const ids_;
    uint32_t hash_[3][3];  // hash term of cube coordinate c-1, c, c+1 per axis
    int64_t k_[3][3];      // K of cube coordinate c-1, c, c+1 per axis
    double limit_;         // the threshold distances[order-1]
    double limit_scaled_;  // the same in Y units (·2^66)
    int64_t box_r1_;       // R - 1: a point passes an axis when 0 <= Y + R - 1 < 2R - 1
    uint64_t box_w_;       // 2R - 1
    bool box_stale_;
};

template <bool kOffsets, bool kIds>
void run_fast(const Query& q, unsigned long order, float* distances, miVector* offsets,
              unsigned long* ids) {
    FastSearch<kOffsets, kIds> search(q, order, distances, offsets, ids);
    search.run(q);
}

}  // namespace

void search_euclidean(const Query& q, unsigned long order, float* distances,
                      miVector* offsets, unsigned long* ids) {
    if (!(in_fast_domain(q.at.x) && in_fast_domain(q.at.y) && in_fast_domain(q.at.z)))
        search_euclidean_reference(q, order, distances, offsets, ids);
    else if (offsets && ids)
        run_fast<true, true>(q, order, distances, offsets, ids);
    else if (offsets)
        run_fast<true, false>(q, order, distances, offsets, ids);
    else if (ids)
        run_fast<false, true>(q, order, distances, offsets, ids);
    else
        run_fast<false, false>(q, order, distances, offsets, ids);
}

}  // namespace qorn::noise
