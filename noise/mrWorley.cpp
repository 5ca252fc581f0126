// The exported cellular-noise entry points, and which search answers which call:
//
//   call                                     search                     file
//   noise(), order 1-4, in the fast range    keyed search               keyed_search.cpp
//     ... a near tie the keys cannot tell    general Euclidean search   euclidean_search.cpp
//   noise(), order >= 5, in the fast range   general Euclidean search   euclidean_search.cpp
//   noise(), outside the fast range          plain transcription        plain_search.cpp
//   noise(metric, ...), in the fast range    caller's-measure search    metric_search.cpp
//   noise(metric, ...), outside it           plain transcription        plain_search.cpp
//   AddSamples(), both overloads             one cube's points          cube_points.h
//
// The fast range (in_fast_domain, point_draws.h) is where every offset is an exact
// double formed from one multiply-add, which the fast searches build on; beyond it
// (|coordinate| >= 2^19 cells, or nonzero below 2^-10) they would round differently, so
// the plain transcription runs. Every search gives the plain transcription's bits.
// The keyed search settles orders 1 to 4 from rough single-precision keys and measures
// only the entries exactly; the general search measures every point that a rough test
// cannot rule out; a caller's measure must be asked about every point of every cube the
// documented search visits, so its search saves only on what surrounds each call.
#include "mrWorley.h"

#include <emmintrin.h>

#include "cube_points.h"
#include "euclidean_search.h"
#include "keyed_search.h"
#include "metric_search.h"
#include "plain_search.h"

using namespace qorn::noise;

namespace {

/// The entry point's constants; lane 3 (the query's lane of infinity) is never read, and
/// differs so that the compiler loads them whole (see SetupConstants in keyed_search.cpp
/// for what that saves).
struct EntryConstants {
    alignas(16) float density[4] = {kCellDensity, kCellDensity, kCellDensity, 1.0f};
    alignas(16) float sign[4] = {-0.0f, -0.0f, -0.0f, 0.0f};
    alignas(16) float fast_below[4] = {0x1p19f, 0x1p19f, 0x1p19f, 0.0f};
    alignas(16) float fast_from[4] = {0x1p-10f, 0x1p-10f, 0x1p-10f, 0.0f};
};
constexpr EntryConstants kEntry{};

/// Outside the fast range (or not searchable at all): the plain transcription, out of
/// line so that the fast path keeps nothing for it.
__attribute__((noinline)) void noise_outside_fast_range(float x, float y, float z, unsigned long order,
                                                        float* distances, miVector* offsets, unsigned long* ids) {
    noise_reference(x, y, z, order, distances, offsets, ids);
}

}  // namespace

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
    if (order == 0) return;
    // The three coordinates at once: scaled (the same single-precision products as
    // locate()), checked for the fast range and floored, which truncation does exactly
    // there.
    const __m128 a = _mm_mul_ps(_mm_setr_ps(x, y, z, __builtin_inff()), _mm_load_ps(kEntry.density));
    const __m128 size = _mm_andnot_ps(_mm_load_ps(kEntry.sign), a);
    const __m128 fast = _mm_and_ps(_mm_cmplt_ps(size, _mm_load_ps(kEntry.fast_below)),
                                   _mm_or_ps(_mm_cmpge_ps(size, _mm_load_ps(kEntry.fast_from)),
                                             _mm_cmpeq_ps(size, _mm_setzero_ps())));
    if ((_mm_movemask_ps(fast) & 7) == 7) {
        const __m128i t = _mm_cvttps_epi32(a);
        const __m128i c = _mm_add_epi32(t, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), a)));
        // The keyed search hands what it declines to the general one itself, so that
        // this call is the last thing done here.
        if (order <= 4)
            keyed_search(a, c, order, distances, offsets, ids, search_located);
        else
            search_located(a, c, order, distances, offsets, ids);
        return;
    }
    noise_outside_fast_range(x, y, z, order, distances, offsets, ids);
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
