#include "nearest_search.h"

#include <math.h>

namespace qorn::noise {

void finish_search(unsigned long order, float* distances, miVector* offsets) {
    // One rounding: the square root and the product are both taken in double.
    const double size = kCellSize;
    for (unsigned long i = 0; i < order; ++i)
        distances[i] = static_cast<float>(sqrt(static_cast<double>(distances[i])) * size);
    if (!offsets) return;
    for (unsigned long i = 0; i < order; ++i) {
        offsets[i].x *= kCellSize;
        offsets[i].y *= kCellSize;
        offsets[i].z *= kCellSize;
    }
}

void search_metric_reference(const DistType& metric, const miVector& dist_param, const Query& q,
                   unsigned long order, float* distances, miVector* offsets,
                   unsigned long* ids) {
    const MetricMeasure measure{metric, dist_param};
    visit_cubes(q, order, distances, [&](int32_t x, int32_t y, int32_t z) {
        add_cube_points(x, y, z, order, q.at, distances, offsets, ids, measure);
    });
}

void search_euclidean_reference(const Query& q, unsigned long order, float* distances,
                                miVector* offsets, unsigned long* ids) {
    visit_cubes(q, order, distances, [&](int32_t x, int32_t y, int32_t z) {
        add_cube_points(x, y, z, order, q.at, distances, offsets, ids, EuclideanMeasure{});
    });
}

}  // namespace qorn::noise
