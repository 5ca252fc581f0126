#include "query.h"

namespace qorn::noise {

void finish_search(unsigned long order, float* distances, miVector* offsets) {
    for (unsigned long i = 0; i < order; ++i) distances[i] = caller_distance(distances[i]);
    if (!offsets) return;
    for (unsigned long i = 0; i < order; ++i) {
        offsets[i].x *= kCellSize;
        offsets[i].y *= kCellSize;
        offsets[i].z *= kCellSize;
    }
}

}  // namespace qorn::noise
