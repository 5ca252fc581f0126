// The exported cellular-noise entry points: thin wrappers over the pure search.
#include "mrWorley.h"

#include "cube_points.h"
#include "nearest_search.h"

using namespace qorn::noise;

void FWorley::AddSamples(long cube_x, long cube_y, long cube_z, unsigned long order,
                         const miVector& at, float* distances, miVector* offsets,
                         unsigned long* ids) {
    add_cube_points(cube_coordinate(cube_x), cube_coordinate(cube_y), cube_coordinate(cube_z),
                    order, at, distances, offsets, ids, EuclideanMeasure{});
}

void FWorley::AddSamples(const DistType& metric, const miVector& dist_param, long cube_x,
                         long cube_y, long cube_z, unsigned long order, const miVector& at,
                         float* distances, miVector* offsets, unsigned long* ids) {
    add_cube_points(cube_coordinate(cube_x), cube_coordinate(cube_y), cube_coordinate(cube_z),
                    order, at, distances, offsets, ids, MetricMeasure{metric, dist_param});
}

void FWorley::noise(float x, float y, float z, unsigned long order, float* distances,
                    miVector* offsets, unsigned long* ids) {
    noise_euclidean(x, y, z, order, distances, offsets, ids);
}

void FWorley::noise(const DistType& metric, const miVector& dist_param, float x, float y,
                    float z, unsigned long order, float* distances, miVector* offsets,
                    unsigned long* ids) {
    if (order == 0) return;
    start_search(order, distances);
    const Query q = locate(x, y, z);
    if (q.searchable) search_metric(metric, dist_param, q, order, distances, offsets, ids);
    finish_search(order, distances, offsets);
}
