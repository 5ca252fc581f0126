// The plain transcription of FWorley::noise's search: visit the query's cube, then each
// neighbour whose bound is below the current threshold, in the documented order, and
// merge their points with add_cube_points. It answers every query outside the fast
// range, and it is the yardstick the fast searches are tested, fuzzed and measured
// against.
#ifndef QORN_NOISE_PLAIN_SEARCH_H
#define QORN_NOISE_PLAIN_SEARCH_H

#include <stdint.h>

#include "cube_points.h"
#include "query.h"

namespace qorn::noise {

/// A neighbour's step along each axis, in visiting order: faces (negative steps, then
/// positive), edges (both negative, both positive, negative then positive, positive
/// then negative; pairs xy, xz, yz), then corners with z varying fastest.
struct Step {
    int8_t x, y, z;
};
constexpr Step kNeighbours[26] = {
    {-1, 0, 0},  {0, -1, 0},  {0, 0, -1},  {1, 0, 0},   {0, 1, 0},    {0, 0, 1},   {-1, -1, 0},
    {-1, 0, -1}, {0, -1, -1}, {1, 1, 0},   {1, 0, 1},   {0, 1, 1},    {-1, 1, 0},  {-1, 0, 1},
    {0, -1, 1},  {1, -1, 0},  {1, 0, -1},  {0, 1, -1},  {-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1},
    {-1, 1, 1},  {1, -1, -1}, {1, -1, 1},  {1, 1, -1},  {1, 1, 1},
};

/// Squared distances from the query to the six faces of its cube.
struct FaceTerms {
    double lower[3], upper[3];
};

inline FaceTerms face_terms(const Query& q) {
    const float a[3] = {q.at.x, q.at.y, q.at.z};
    FaceTerms t;
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        double f = static_cast<double>(a[i]) - q.cube[i];  // exact
        t.lower[i] = f * f;
        t.upper[i] = (1.0 - f) * (1.0 - f);
    }
    return t;
}

/// Squared distance from the query to neighbour `s`: one face term per moving axis,
/// added x, then y, then z.
inline double neighbour_bound(const FaceTerms& t, Step s) {
    const int8_t step[3] = {s.x, s.y, s.z};
    double bound = 0.0;
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        if (step[i] == 0) continue;
        double term = step[i] < 0 ? t.lower[i] : t.upper[i];
        bound = any ? bound + term : term;
        any = true;
    }
    return bound;
}

/// Visits the central cube, then each neighbour whose bound is strictly below the
/// current threshold distances[order-1], re-read after every visit. `visit(x, y, z)`
/// merges one cube. Requires order >= 1 and a searchable query.
template <class Visit>
void visit_cubes(const Query& q, unsigned long order, const float* distances, Visit&& visit) {
    const int32_t* c = q.cube;
    visit(c[0], c[1], c[2]);
    const FaceTerms terms = face_terms(q);
    for (const Step& s : kNeighbours) {
        if (neighbour_bound(terms, s) < distances[order - 1])
            visit(c[0] + s.x, c[1] + s.y, c[2] + s.z);
    }
}

/// Ranks by the caller's measure of the single-precision offset, which is also the
/// offset stored.
struct MetricMeasure {
    const DistType& metric;
    const miVector& dist_param;
    float operator()(double dx, double dy, double dz, miVector* stored) const {
        stored->x = static_cast<float>(dx);
        stored->y = static_cast<float>(dy);
        stored->z = static_cast<float>(dz);
        return metric.distance(*stored, dist_param);
    }
};

/// The straightforward search with a caller's measure, for any searchable query.
void search_metric_reference(const DistType& metric, const miVector& dist_param,
                             const Query& q, unsigned long order, float* distances,
                             miVector* offsets, unsigned long* ids);

/// The straightforward Euclidean search, for any searchable query.
void search_euclidean_reference(const Query& q, unsigned long order, float* distances,
                                miVector* offsets, unsigned long* ids);

/// A whole query the plain way, step by step with no shortcut: the yardstick that the
/// fast search is compared with (fuzzing) and measured against (benchmarks).
inline void noise_reference(float x, float y, float z, unsigned long order, float* distances,
                            miVector* offsets, unsigned long* ids) {
    if (order == 0) return;
    start_search(order, distances);
    const Query q = locate(x, y, z);
    if (q.searchable) search_euclidean_reference(q, order, distances, offsets, ids);
    finish_search(order, distances, offsets);
}

/// The same with a caller's measure.
inline void noise_metric_reference(const DistType& metric, const miVector& dist_param, float x,
                                   float y, float z, unsigned long order, float* distances,
                                   miVector* offsets, unsigned long* ids) {
    if (order == 0) return;
    start_search(order, distances);
    const Query q = locate(x, y, z);
    if (q.searchable) search_metric_reference(metric, dist_param, q, order, distances, offsets, ids);
    finish_search(order, distances, offsets);
}

}  // namespace qorn::noise

#endif
