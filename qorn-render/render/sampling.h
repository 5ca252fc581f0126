// Deterministic jitter: every sample position is a pure function of its pixel and
// sample number, so an image does not depend on which thread rendered which tile.
#ifndef QORN_RENDER_SAMPLING_H
#define QORN_RENDER_SAMPLING_H

#include <stdint.h>

namespace qorn::render {

/// A well-mixed 32-bit hash of four integers.
inline uint32_t hash4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t h = 0x9e3779b9u;
    for (uint32_t k : {a, b, c, d}) {
        h ^= k + 0x7f4a7c15u + (h << 6) + (h >> 2);
        h ^= h >> 16;
        h *= 0x7feb352du;
        h ^= h >> 15;
        h *= 0x846ca68bu;
        h ^= h >> 16;
    }
    return h;
}

/// Sample `s` of `count` in pixel (x, y): an offset in [0, 1)^2 within the pixel.
/// Samples are stratified in `count` horizontal strata, each jittered, so a few samples
/// already cover the pixel; a single sample sits at the pixel's centre.
inline void jitter(int x, int y, int s, int count, double& dx, double& dy) {
    if (count == 1) {
        dx = dy = 0.5;
        return;
    }
    const uint32_t h = hash4(static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(s), 0);
    const uint32_t g = hash4(static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(s), 1);
    dx = (h >> 8) * 0x1p-24;
    dy = (s + (g >> 8) * 0x1p-24) / count;
}

}  // namespace qorn::render

#endif
