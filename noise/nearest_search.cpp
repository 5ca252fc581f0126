#include "nearest_search.h"

namespace qorn::noise {

void finish_search(unsigned long order, float* distances, miVector* offsets) {
    for (unsigned long i = 0; i < order; ++i) distances[i] = caller_distance(distances[i]);
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
