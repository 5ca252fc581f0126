// A query of FWorley::noise in cell units, and what every search does before and after:
// locate the query's cube, set the list to empty, turn stored measures into distances.
#ifndef QORN_NOISE_QUERY_H
#define QORN_NOISE_QUERY_H

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

}  // namespace qorn::noise

#endif
