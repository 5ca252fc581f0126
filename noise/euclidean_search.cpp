// The Euclidean search, arranged for speed without changing a bit of its result.
//
// For queries whose scaled coordinates satisfy 2^-10 <= |a| < 2^19 (or a == 0), every
// offset component of every candidate is exactly Y·2^-33 for the odd integer
// Y = 2s + K, with s the point's generator draw and K fixed per cube and axis: the
// point's position (s + 0.5)·2^-32 + cube has at most 53 significant bits there, and so
// has its difference from the query. Squares and sums of Y are then the double
// operations of the plain transcription scaled by 2^66, which is exact, so measures and
// their comparisons are identical. Two further savings follow:
//  - a box test in integers rejects most points after one generator draw: when
//    |Y| >= R > sqrt(threshold·2^66) on one axis, the measure is at least the threshold;
//  - cube hashes and K are formed once per query and axis for the three steps.
// Other queries take the plain transcription.
#include <math.h>

#include "nearest_search.h"

namespace qorn::noise {
namespace {

/// s -> mul·s + add (mod 2^32), the generator applied `steps` times.
struct Affine {
    uint32_t mul, add;
};
constexpr Affine lcg_power(int steps) {
    Affine f{1u, 0u};
    for (int i = 0; i < steps; ++i) f = Affine{kLcgMul * f.mul, kLcgMul * f.add + kLcgAdd};
    return f;
}
constexpr Affine kDrawX = lcg_power(1), kDrawY = lcg_power(2), kDrawZ = lcg_power(3),
                 kNextId = lcg_power(4);
static_assert(kNextId.mul == 49518929u && kNextId.add == 2381041692u, "folded generator");

inline bool in_fast_domain(float a) {
    float m = fabsf(a);
    return m < 0x1p19f && (m >= 0x1p-10f || m == 0.0f);
}

constexpr double kScaleUp = 0x1p66;     // measure -> Y units
constexpr double kScaleDown = 0x1p-66;  // Y units -> measure
constexpr double kOffsetUnit = 0x1p-33;  // Y -> offset component

class FastSearch {
public:
    FastSearch(const Query& q, unsigned long order, float* distances, miVector* offsets,
               unsigned long* ids)
        : order_(order), distances_(distances), offsets_(offsets), ids_(ids) {
        const float at[3] = {q.at.x, q.at.y, q.at.z};
        const uint32_t hash[3] = {kHashX, kHashY, kHashZ};
        for (int axis = 0; axis < 3; ++axis) {
            const int32_t c = q.cube[axis];
            const int64_t k0 =
                1 + static_cast<int64_t>((static_cast<double>(c) - at[axis]) * 0x1p33);
            for (int i = 0; i < 3; ++i) {
                hash_[axis][i] = hash[axis] * static_cast<uint32_t>(c + i - 1);
                k_[axis][i] = k0 + (static_cast<int64_t>(i) - 1) * (int64_t{1} << 33);
            }
        }
        refresh_threshold();
    }

    void run(const Query& q) {
        visit(1, 1, 1);
        const FaceTerms t = face_terms(q);
        const double x0 = t.lower[0], y0 = t.lower[1], z0 = t.lower[2];
        const double x1 = t.upper[0], y1 = t.upper[1], z1 = t.upper[2];
        // Faces.
        if (x0 < limit_) visit(0, 1, 1);
        if (y0 < limit_) visit(1, 0, 1);
        if (z0 < limit_) visit(1, 1, 0);
        if (x1 < limit_) visit(2, 1, 1);
        if (y1 < limit_) visit(1, 2, 1);
        if (z1 < limit_) visit(1, 1, 2);
        // Edges.
        const double xy00 = x0 + y0, xy11 = x1 + y1, xy01 = x0 + y1, xy10 = x1 + y0;
        if (xy00 < limit_) visit(0, 0, 1);
        if (x0 + z0 < limit_) visit(0, 1, 0);
        if (y0 + z0 < limit_) visit(1, 0, 0);
        if (xy11 < limit_) visit(2, 2, 1);
        if (x1 + z1 < limit_) visit(2, 1, 2);
        if (y1 + z1 < limit_) visit(1, 2, 2);
        if (xy01 < limit_) visit(0, 2, 1);
        if (x0 + z1 < limit_) visit(0, 1, 2);
        if (y0 + z1 < limit_) visit(1, 0, 2);
        if (xy10 < limit_) visit(2, 0, 1);
        if (x1 + z0 < limit_) visit(2, 1, 0);
        if (y1 + z0 < limit_) visit(1, 2, 0);
        // Corners.
        if (xy00 + z0 < limit_) visit(0, 0, 0);
        if (xy00 + z1 < limit_) visit(0, 0, 2);
        if (xy01 + z0 < limit_) visit(0, 2, 0);
        if (xy01 + z1 < limit_) visit(0, 2, 2);
        if (xy10 + z0 < limit_) visit(2, 0, 0);
        if (xy10 + z1 < limit_) visit(2, 0, 2);
        if (xy11 + z0 < limit_) visit(2, 2, 0);
        if (xy11 + z1 < limit_) visit(2, 2, 2);
    }

private:
    /// Merges the points of the cube at step (ix-1, iy-1, iz-1) from the central one.
    __attribute__((always_inline)) void visit(int ix, int iy, int iz) {
        const uint32_t seed = hash_[0][ix] + hash_[1][iy] + hash_[2][iz];
        int32_t count = cube_point_count(seed);
        if (count <= 0) return;
        const int64_t kx = k_[0][ix], ky = k_[1][iy], kz = k_[2][iz];
        int64_t lx = kx + box_r1_, ly = ky + box_r1_, lz = kz + box_r1_;
        uint32_t id = lcg(seed);
        do {
            const uint32_t point_id = id;
            id = kNextId.mul * id + kNextId.add;
            const int64_t sx2 = 2 * static_cast<int64_t>(kDrawX.mul * point_id + kDrawX.add);
            if (static_cast<uint64_t>(sx2 + lx) >= box_w_) continue;
            const int64_t sy2 = 2 * static_cast<int64_t>(kDrawY.mul * point_id + kDrawY.add);
            if (static_cast<uint64_t>(sy2 + ly) >= box_w_) continue;
            const int64_t sz2 = 2 * static_cast<int64_t>(kDrawZ.mul * point_id + kDrawZ.add);
            if (static_cast<uint64_t>(sz2 + lz) >= box_w_) continue;
            const double yx = static_cast<double>(sx2 + kx);
            const double yy = static_cast<double>(sy2 + ky);
            const double yz = static_cast<double>(sz2 + kz);
            const double m = (yx * yx + yy * yy) + yz * yz;
            if (!(m < limit_scaled_)) continue;
            insert(m, point_id, yx, yy, yz);
            lx = kx + box_r1_;
            ly = ky + box_r1_;
            lz = kz + box_r1_;
        } while (--count > 0);
    }

    __attribute__((noinline)) void insert(double m_scaled, uint32_t id, double yx, double yy,
                                          double yz) {
        const long index = admit(m_scaled * kScaleDown, order_, distances_, offsets_, ids_);
        if (ids_) ids_[index] = id;
        if (offsets_)
            offsets_[index] = miVector{static_cast<float>(yx * kOffsetUnit),
                                       static_cast<float>(yy * kOffsetUnit),
                                       static_cast<float>(yz * kOffsetUnit)};
        refresh_threshold();
    }

    void refresh_threshold() {
        limit_ = distances_[order_ - 1];
        limit_scaled_ = limit_ * kScaleUp;
        // R > sqrt(limit_scaled_) for certain: truncation loses < 1, rounding far less.
        const int64_t r = static_cast<int64_t>(sqrt(limit_scaled_)) + 2;
        box_r1_ = r - 1;
        box_w_ = static_cast<uint64_t>(2 * r - 1);
    }

    const unsigned long order_;
    float* const distances_;
    miVector* const offsets_;
    unsigned long* const ids_;
    uint32_t hash_[3][3];  // hash term of cube coordinate c-1, c, c+1 per axis
    int64_t k_[3][3];      // K of cube coordinate c-1, c, c+1 per axis
    double limit_;         // the threshold distances[order-1]
    double limit_scaled_;  // the same in Y units (·2^66)
    int64_t box_r1_;       // R - 1: a point passes an axis when 0 <= Y + R - 1 < 2R - 1
    uint64_t box_w_;       // 2R - 1
};

}  // namespace

void search_euclidean(const Query& q, unsigned long order, float* distances,
                      miVector* offsets, unsigned long* ids) {
    if (in_fast_domain(q.at.x) && in_fast_domain(q.at.y) && in_fast_domain(q.at.z)) {
        FastSearch search(q, order, distances, offsets, ids);
        search.run(q);
    } else {
        search_euclidean_reference(q, order, distances, offsets, ids);
    }
}

}  // namespace qorn::noise
