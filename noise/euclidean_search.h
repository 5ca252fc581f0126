// The general Euclidean search (euclidean_search.cpp): every order, bit for bit the plain
// search. It takes orders of 5 and above in the fast range, and the queries of orders 1
// to 4 that the keyed search declines.
#ifndef QORN_NOISE_EUCLIDEAN_SEARCH_H
#define QORN_NOISE_EUCLIDEAN_SEARCH_H

#include <emmintrin.h>

#include "query.h"

namespace qorn::noise {

/// The Euclidean search of the 27 cubes around a searchable query (order >= 1), without
/// the final pass: the fast search in the fast range, the plain one elsewhere. Bit for
/// bit search_euclidean_reference.
void search_euclidean(const Query& q, unsigned long order, float* distances, miVector* offsets,
                      unsigned long* ids);

/// A whole query in the fast range, final pass included. `at`: the query in cell units
/// (lanes x, y, z; lane 3 unused); `cube`: its cube. The keyed search's DeclinedQuery.
void search_located(__m128 at, __m128i cube, unsigned long order, float* distances, miVector* offsets,
                    unsigned long* ids);

}  // namespace qorn::noise

#endif
