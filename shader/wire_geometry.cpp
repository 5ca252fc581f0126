#include "wire_geometry.h"

#include <math.h>

namespace qorn::shader {

bool edge_hit(const miVector& a, const miVector& b, const miVector& p, float width_squared) {
    const double ex = static_cast<double>(b.x) - a.x;
    const double ey = static_cast<double>(b.y) - a.y;
    const double ez = static_cast<double>(b.z) - a.z;
    const double length = sqrt(ex * ex + ey * ey + ez * ez);
    if (length < kDegenerateEdge) return true;

    const double dx = static_cast<double>(p.x) - a.x;
    const double dy = static_cast<double>(p.y) - a.y;
    const double dz = static_cast<double>(p.z) - a.z;
    const double along = (ex * dx + ey * dy + ez * dz) / length;
    const double distance_squared = (dx * dx + dy * dy + dz * dz) - along * along;
    // False for a NaN distance: a point that cannot be measured is not on the wire.
    return static_cast<double>(width_squared) >= distance_squared;
}

bool wire_hit(const miVector (&v)[3], const miVector& p, int edge, float width_squared) {
    if (edge >= 0 && edge <= 2) return edge_hit(v[edge], v[(edge + 1) % 3], p, width_squared);
    for (int i = 0; i < 3; ++i) {
        if (edge_hit(v[i], v[(i + 1) % 3], p, width_squared)) return true;
    }
    return false;
}

}  // namespace qorn::shader
