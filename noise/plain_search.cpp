// The plain searches, with the documented visits of visit_cubes().
#include "plain_search.h"

namespace qorn::noise {

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
