// Orders 1 and 2 of the Euclidean query, settled from rough keys (keyed_search.cpp).
#ifndef QORN_NOISE_KEYED_SEARCH_H
#define QORN_NOISE_KEYED_SEARCH_H

#include <emmintrin.h>

#include "mi_interface.h"

namespace qorn::noise {

/// A whole query of order 1 or 2 in the fast range, final pass included, bit for bit
/// noise_reference. `at`: the query in cell units (lanes x, y, z; infinity in lane 3);
/// `cube`: its cube. Returns false, having written nothing, where two candidates lie
/// too close to be told apart from rough measures; the caller then runs the general
/// search.
bool keyed_search(__m128 at, __m128i cube, unsigned long order, float* distances, miVector* offsets,
                  unsigned long* ids);

}  // namespace qorn::noise

#endif
