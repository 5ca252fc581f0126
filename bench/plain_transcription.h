// FWorley::noise's search written step by step after its documented arithmetic, with no
// shortcut: the yardstick the fast search is measured against.
#ifndef QORN_BENCH_PLAIN_TRANSCRIPTION_H
#define QORN_BENCH_PLAIN_TRANSCRIPTION_H

#include "nearest_search.h"

namespace qorn::bench {

inline void plain_transcription(float x, float y, float z, unsigned long order, float* d,
                                miVector* o, unsigned long* ids) {
    if (order == 0) return;
    noise::start_search(order, d);
    const noise::Query q = noise::locate(x, y, z);
    if (q.searchable) noise::search_euclidean_reference(q, order, d, o, ids);
    noise::finish_search(order, d, o);
}

}  // namespace qorn::bench

#endif
