// The search of FWorley::noise: locate the query's cube, visit it and the neighbours
// that can still hold a nearer point, and turn stored measures into distances.
#ifndef QORN_NOISE_NEAREST_SEARCH_H
#define QORN_NOISE_NEAREST_SEARCH_H

#include <math.h>
#include <stdint.h>

#include "cube_points.h"
#include "mrWorley.h"

namespace qorn::noise {

/// Caller units to cell units (single precision; value 0.3981499969959259).
constexpr float kCellDensity = 0.39815f;
/// Cell units back to caller units: the float nearest 1/0.39815f (0x4020be52).
constexpr float kCellSize = 2.5116162f;

/// A query scaled to cell units and located in its cube.
struct Query {
    miVector at;
    int32_t cube[3];
    /// False when a scaled coordinate is NaN or not strictly inside the signed 32-bit
    /// range; such a query searches no cube.
    bool searchable;
};

/// floorf(a) as a 32-bit integer, for -2^31 < a < 2^31 (the caller checks the range).
inline int32_t floor_to_int(float a) {
    int32_t t = static_cast<int32_t>(a);  // truncates towards zero
    return static_cast<float>(t) > a ? t - 1 : t;
}

inline Query locate(float x, float y, float z) {
    Query q;
    q.at.x = x * kCellDensity;
    q.at.y = y * kCellDensity;
    q.at.z = z * kCellDensity;
    const float a[3] = {q.at.x, q.at.y, q.at.z};
    q.searchable = true;
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        if (a[i] > -0x1p31f && a[i] < 0x1p31f) {
            q.cube[i] = floor_to_int(a[i]);
        } else {
            q.cube[i] = 0;
            q.searchable = false;
        }
    }
    return q;
}

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

/// Sets every entry to the empty measure before a search.
inline void start_search(unsigned long order, float* distances) {
    for (unsigned long i = 0; i < order; ++i) distances[i] = kEmptyDistance;
}

/// A stored measure as a distance in caller units: sqrt(measure)·kCellSize, both taken
/// in double and rounded once.
inline float caller_distance(float measure) {
    return static_cast<float>(sqrt(static_cast<double>(measure)) * static_cast<double>(kCellSize));
}

/// Measures to caller units (caller_distance), offsets scaled by kCellSize.
void finish_search(unsigned long order, float* distances, miVector* offsets);

/// The Euclidean search of the 27 cubes around the query (order >= 1), without the
/// final pass. Bit for bit the result of visit_cubes with add_cube_points.
void search_euclidean(const Query& q, unsigned long order, float* distances,
                      miVector* offsets, unsigned long* ids);

/// A whole Euclidean query (FWorley::noise): locate, search, final pass. Bit for bit
/// noise_reference; orders 1 to 4 in the fast range go to keyed_search first.
void noise_euclidean(float x, float y, float z, unsigned long order, float* distances,
                     miVector* offsets, unsigned long* ids);

/// The search with a caller's measure (order >= 1), without the final pass: the same
/// visits and calls of the measure as search_metric_reference.
void search_metric(const DistType& metric, const miVector& dist_param, const Query& q,
                   unsigned long order, float* distances, miVector* offsets,
                   unsigned long* ids);

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
