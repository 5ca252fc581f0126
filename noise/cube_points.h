// Feature points of one integer cube, and the merge of a point into a sorted list.
// Pure functions of their arguments; the only shared data is the constant table.
#ifndef QORN_NOISE_CUBE_POINTS_H
#define QORN_NOISE_CUBE_POINTS_H

#include <stdint.h>

#include "mi_interface.h"

namespace qorn::noise {

/// Number of feature points (0 to 5) of a cube, indexed by the top 8 bits of its seed:
/// mean 2.59765625.
inline constexpr int32_t Poisson_count[256] = {
    4, 3, 1, 1, 1, 2, 4, 2, 2, 2, 5, 1, 0, 2, 1, 2,  //
    2, 0, 4, 3, 2, 1, 2, 1, 3, 2, 2, 4, 2, 2, 5, 1,  //
    2, 3, 2, 2, 2, 2, 2, 3, 2, 4, 2, 5, 3, 2, 2, 2,  //
    5, 3, 3, 5, 2, 1, 3, 3, 4, 4, 2, 3, 0, 4, 2, 2,  //
    2, 1, 3, 2, 2, 2, 3, 3, 3, 1, 2, 0, 2, 1, 1, 2,  //
    2, 2, 2, 5, 3, 2, 3, 2, 3, 2, 2, 1, 0, 2, 1, 1,  //
    2, 1, 2, 2, 1, 3, 4, 2, 2, 2, 5, 4, 2, 4, 2, 2,  //
    5, 4, 3, 2, 2, 5, 4, 3, 3, 3, 5, 2, 2, 2, 2, 2,  //
    3, 1, 1, 4, 2, 1, 3, 3, 4, 3, 2, 4, 3, 3, 3, 4,  //
    5, 1, 4, 2, 4, 3, 1, 2, 3, 5, 3, 2, 1, 3, 1, 3,  //
    3, 3, 2, 3, 1, 5, 5, 4, 2, 2, 4, 1, 3, 4, 1, 5,  //
    3, 3, 5, 3, 4, 3, 2, 2, 1, 1, 1, 1, 1, 2, 4, 5,  //
    4, 5, 4, 2, 1, 5, 1, 1, 2, 3, 3, 3, 2, 5, 2, 3,  //
    3, 2, 0, 2, 1, 1, 4, 2, 1, 3, 2, 1, 2, 2, 3, 2,  //
    5, 5, 3, 4, 5, 5, 2, 4, 4, 5, 3, 2, 2, 2, 1, 4,  //
    2, 3, 3, 4, 2, 5, 4, 2, 4, 2, 2, 2, 4, 5, 3, 2,  //
};

/// The value every list entry starts at before a search (bit pattern 0x497423fe).
constexpr float kEmptyDistance = 999999.875f;

// Multipliers of the cube hash and the generator (all arithmetic wraps modulo 2^32).
constexpr uint32_t kHashX = 702395077u;
constexpr uint32_t kHashY = 915488749u;
constexpr uint32_t kHashZ = 2120969693u;
constexpr uint32_t kLcgMul = 1402024253u;
constexpr uint32_t kLcgAdd = 586950981u;

/// Cube coordinates as the signed 32-bit values they stand for (the low 32 bits of a
/// wider `long`), without relying on signed overflow.
inline int32_t cube_coordinate(long c) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(c)));
}

inline uint32_t cube_seed(int32_t x, int32_t y, int32_t z) {
    return kHashX * static_cast<uint32_t>(x) + kHashY * static_cast<uint32_t>(y) +
           kHashZ * static_cast<uint32_t>(z);
}

inline int32_t cube_point_count(uint32_t seed) { return Poisson_count[seed >> 24]; }

inline uint32_t lcg(uint32_t s) { return kLcgMul * s + kLcgAdd; }

/// Position within the cube drawn from a generator state: (s + 0.5)·2^-32, exact in
/// double (33 significant bits), in [2^-33, 1 - 2^-33].
inline double unit_position(uint32_t s) { return (static_cast<double>(s) + 0.5) * 0x1p-32; }

/// One feature point: its identifier and its three generator draws.
struct PointDraw {
    uint32_t id, sx, sy, sz;
};

/// The draws of the point with identifier `id`; the next point's id is lcg(sz).
inline PointDraw draw_point(uint32_t id) {
    PointDraw p;
    p.id = id;
    p.sx = lcg(id);
    p.sy = lcg(p.sx);
    p.sz = lcg(p.sy);
    return p;
}

/// Inserts measure `m` into a list of `order` (>= 1) entries if m < distances[order-1]
/// (strict; NaN never enters), after every entry equal to it; the tail moves down and
/// the last entry drops out. Returns the index written, or -1 when not admitted.
/// `ids` and `offsets` move along when not null; the caller stores the new entry.
template <class Measure>
inline long admit(Measure m, unsigned long order, float* distances, miVector* offsets,
                  unsigned long* ids) {
    unsigned long last = order - 1;
    if (!(m < distances[last])) return -1;
    unsigned long index = last;
    while (index > 0 && m < distances[index - 1]) --index;
    for (unsigned long j = last; j > index; --j) distances[j] = distances[j - 1];
    if (ids)
        for (unsigned long j = last; j > index; --j) ids[j] = ids[j - 1];
    if (offsets)
        for (unsigned long j = last; j > index; --j) offsets[j] = offsets[j - 1];
    distances[index] = static_cast<float>(m);
    return static_cast<long>(index);
}

/// Squared Euclidean measure (double, in the stated order of additions).
struct EuclideanMeasure {
    double operator()(double dx, double dy, double dz, miVector* stored) const {
        stored->x = static_cast<float>(dx);
        stored->y = static_cast<float>(dy);
        stored->z = static_cast<float>(dz);
        return (dx * dx + dy * dy) + dz * dz;
    }
};

/// Generates the points of cube (x, y, z) and merges each into the list, ranking
/// them with `measure(dx, dy, dz, &stored_offset)`.
template <class Measure>
void add_cube_points(int32_t x, int32_t y, int32_t z, unsigned long order, const miVector& at,
                     float* distances, miVector* offsets, unsigned long* ids,
                     const Measure& measure) {
    if (order == 0) return;
    uint32_t seed = cube_seed(x, y, z);
    int32_t count = cube_point_count(seed);
    if (count <= 0) return;
    uint32_t s = lcg(seed);
    const float cx = static_cast<float>(x), cy = static_cast<float>(y),
                cz = static_cast<float>(z);
    for (int32_t n = 0; n < count; ++n) {
        PointDraw p = draw_point(s);
        s = lcg(p.sz);
        double dx = (unit_position(p.sx) + cx) - at.x;
        double dy = (unit_position(p.sy) + cy) - at.y;
        double dz = (unit_position(p.sz) + cz) - at.z;
        miVector stored;
        auto m = measure(dx, dy, dz, &stored);
        long index = admit(m, order, distances, offsets, ids);
        if (index < 0) continue;
        if (ids) ids[index] = p.id;
        if (offsets) offsets[index] = stored;
    }
}

}  // namespace qorn::noise

#endif
