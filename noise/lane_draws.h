// The draws of a cube's points laid out for SSE2 lanes, and the byte offsets by which the
// searches find a cube's entries in their per-query tables.
#ifndef QORN_NOISE_LANE_DRAWS_H
#define QORN_NOISE_LANE_DRAWS_H

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

}  // namespace qorn::noise

#endif
