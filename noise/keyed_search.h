// Orders 1 to 4 of the Euclidean query, settled from rough keys (keyed_search.cpp).
#ifndef QORN_NOISE_KEYED_SEARCH_H
#define QORN_NOISE_KEYED_SEARCH_H

#include <emmintrin.h>

#include "mi_interface.h"

namespace qorn::noise {

/// What takes over a query that the keyed search declines: the same arguments, nothing
/// written yet.
using DeclinedQuery = void (*)(__m128 at, __m128i cube, unsigned long order, float* distances,
                               miVector* offsets, unsigned long* ids);

/// A whole query of order 1 to 4 in the fast range, final pass included, bit for bit
/// noise_reference. `at`: the query in cell units (lanes x, y, z; infinity in lane 3);
/// `cube`: its cube. Where two candidates lie too close to be told apart from rough
/// measures, it writes nothing, hands the query to `declined` (when not null) and
/// returns false.
bool keyed_search(__m128 at, __m128i cube, unsigned long order, float* distances, miVector* offsets,
                  unsigned long* ids, DeclinedQuery declined);

}  // namespace qorn::noise

#endif
