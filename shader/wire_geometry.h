// The wireframe's geometry: is a point within the wire width of a triangle's edge
// lines? Pure functions of the vertices, the point, the chosen edge and the width.
#ifndef QORN_SHADER_WIRE_GEOMETRY_H
#define QORN_SHADER_WIRE_GEOMETRY_H

#include "mi_interface.h"

namespace qorn::shader {

/// Edges shorter than this (in internal-space units, as a double) always count as hit.
constexpr double kDegenerateEdge = 1e-9;

/// Selects every edge, 1, 2 and 3, tested in that order.
constexpr int kAllEdges = -1;

/// The edge index (0, 1 or 2 for edge numbers 1, 2, 3) that `edge_number` names, or
/// kAllEdges for any other number: 0 or less, and also above 3 (no such edge), so a
/// wrong number draws the whole wireframe rather than nothing.
inline int edge_index(miInteger edge_number) {
    return edge_number >= 1 && edge_number <= 3 ? edge_number - 1 : kAllEdges;
}

/// True when `p` lies within the wire of the edge from `a` to `b`: the squared distance
/// from `p` to the infinite line through `a` and `b`, computed in double, is at most
/// `width_squared` (inclusive). An edge shorter than kDegenerateEdge is always hit; a
/// squared distance that is not a number is never.
bool edge_hit(const miVector& a, const miVector& b, const miVector& p, float width_squared);

/// True when `p` lies within the wire of the triangle v[0], v[1], v[2]: of edge
/// `edge` + 1 alone (edge 1 from v[0] to v[1], 2 from v[1] to v[2], 3 from v[2] to
/// v[0]) for `edge` 0, 1 or 2; of any edge, tested in order up to the first hit, for
/// kAllEdges or any other value.
bool wire_hit(const miVector (&v)[3], const miVector& p, int edge, float width_squared);

}  // namespace qorn::shader

#endif
