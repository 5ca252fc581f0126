// The search with a caller's measure (metric_search.cpp), for FWorley::noise's pluggable
// overload.
#ifndef QORN_NOISE_METRIC_SEARCH_H
#define QORN_NOISE_METRIC_SEARCH_H

#include "query.h"

namespace qorn::noise {

/// The search with a caller's measure of a searchable query (order >= 1), without the
/// final pass: the fast search in the fast range, the plain one elsewhere. The same calls
/// of the measure, in the same order, and the same results as search_metric_reference.
void search_metric(const DistType& metric, const miVector& dist_param, const Query& q, unsigned long order,
                   float* distances, miVector* offsets, unsigned long* ids);

}  // namespace qorn::noise

#endif
