// Three distance measures for FWorley::noise's pluggable overload. Like every DistType
// they return values on the scale of a squared distance in cell units.
//
// Manhattan is never shorter than the Euclidean distance, so the search stays exact;
// Chebyshev is, so near a cube's corner it can miss a feature point in a neighbouring
// cube that the search skipped (the noise header explains why).
#ifndef QORN_EXAMPLES_CELL_METRICS_H
#define QORN_EXAMPLES_CELL_METRICS_H

#include <math.h>

#include "mrWorley.h"

namespace cells {

struct Euclidean final : DistType {
    const char* name() const override { return "euclidean"; }
    float distance(const miVector& o, const miVector&) const override { return o.x * o.x + o.y * o.y + o.z * o.z; }
};

struct Manhattan final : DistType {
    const char* name() const override { return "manhattan"; }
    float distance(const miVector& o, const miVector&) const override {
        const float d = fabsf(o.x) + fabsf(o.y) + fabsf(o.z);
        return d * d;
    }
};

struct Chebyshev final : DistType {
    const char* name() const override { return "chebyshev"; }
    float distance(const miVector& o, const miVector&) const override {
        const float d = fmaxf(fabsf(o.x), fmaxf(fabsf(o.y), fabsf(o.z)));
        return d * d;
    }
};

constexpr int kMetricCount = 3;

/// Metric 0 Euclidean, 1 Manhattan, 2 Chebyshev; any other number is Euclidean.
inline const DistType& metric(int which) {
    static const Euclidean euclidean;
    static const Manhattan manhattan;
    static const Chebyshev chebyshev;
    switch (which) {
        case 1: return manhattan;
        case 2: return chebyshev;
        default: return euclidean;
    }
}

}  // namespace cells

#endif
