// The wireframe's rule written out a second time, plainly and apart from the shader's
// code, for the fuzzers to hold the shader against. Edge n (1 to 3) of V0, V1, V2 runs
// from V(n-1) to V(n mod 3). With E = B - A, D = P - A, t = E.D / |E|, all in double, a
// point is on the edge's wire when |E| < 1e-9 or when the single-precision square of the
// width is at least |D|^2 - t^2; a squared distance that is not a number is no hit.
#ifndef QORN_FUZZ_WIRE_RULE_H
#define QORN_FUZZ_WIRE_RULE_H

#include <math.h>

#include "mi_interface.h"

namespace qorn::fuzz {

inline double rule_dot(const double (&a)[3], const double (&b)[3]) {
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) sum += a[i] * b[i];
    return sum;
}

/// Whether `p` is on the wire of edge `number` (1, 2 or 3) of `v`.
inline bool rule_edge_hit(const miVector (&v)[3], int number, const miVector& p,
                          float width_squared) {
    const miVector& a = v[number - 1];
    const miVector& b = v[number % 3];
    const double e[3] = {double(b.x) - double(a.x), double(b.y) - double(a.y),
                         double(b.z) - double(a.z)};
    const double d[3] = {double(p.x) - double(a.x), double(p.y) - double(a.y),
                         double(p.z) - double(a.z)};
    const double length = sqrt(rule_dot(e, e));
    if (length < 1e-9) return true;
    const double t = rule_dot(e, d) / length;
    const double d2 = rule_dot(d, d) - t * t;
    if (isnan(d2)) return false;
    return double(width_squared) >= d2;
}

/// Whether `p` is on the wire of the edges the parameters choose: edge `number` alone
/// when `single_edge` and it names an edge (1 to 3), otherwise any of the three.
inline bool rule_wire_hit(const miVector (&v)[3], const miVector& p, bool single_edge,
                          miInteger number, float width_squared) {
    if (single_edge && number >= 1 && number <= 3)
        return rule_edge_hit(v, number, p, width_squared);
    for (int n = 1; n <= 3; ++n)
        if (rule_edge_hit(v, n, p, width_squared)) return true;
    return false;
}

}  // namespace qorn::fuzz

#endif
