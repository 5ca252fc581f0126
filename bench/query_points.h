// The fixed query points every noise benchmark uses (uniform in [-100, 100]^3,
// generated the same way on every run) and the measure they compare with.
#ifndef QORN_BENCH_QUERY_POINTS_H
#define QORN_BENCH_QUERY_POINTS_H

#include <stdint.h>

#include <vector>

#include "mrWorley.h"

namespace qorn::bench {

inline std::vector<miVector> query_points(size_t count) {
    std::vector<miVector> points(count);
    uint32_t s = 20261210u;
    auto next = [&s] {
        s = 1664525u * s + 1013904223u;
        return (static_cast<float>(s >> 8) * 0x1p-24f * 2.0f - 1.0f) * 100.0f;
    };
    for (miVector& p : points) {
        p.x = next();
        p.y = next();
        p.z = next();
    }
    return points;
}

/// The plain overload's measure, for running the pluggable overload side by side.
struct SquaredEuclidean final : DistType {
    float distance(const miVector& o, const miVector&) const override {
        return o.x * o.x + o.y * o.y + o.z * o.z;
    }
};

}  // namespace qorn::bench

#endif
