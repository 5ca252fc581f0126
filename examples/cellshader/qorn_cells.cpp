// qorn_cells and qorn_cell_distance: a colour and a scalar shader in their own plug-in,
// a client of qorn.so. They call FWorley::noise through qorn.so's exported symbol,
// with their own distance measures.
#include "mi_interface.h"
#include "mrWorley.h"

#include "cell_metrics.h"

/// The parameter record qorn_cells.mi declares: 60 bytes on both ABIs.
struct CellsParams {
    miColor color_a;
    miColor color_b;
    miColor border_color;
    miScalar scale;
    miScalar border;
    miInteger metric;
};
static_assert(sizeof(CellsParams) == 60, "the record matches qorn_cells.mi");

/// The parameter record of qorn_cell_distance: 16 bytes.
struct CellDistanceParams {
    miScalar scale;
    miInteger metric;
    miScalar gain;
    miScalar offset;
};
static_assert(sizeof(CellDistanceParams) == 16, "the record matches qorn_cells.mi");

namespace {

template <class T>
const T& eval(miState* state, const T& param) {
    return *static_cast<const T*>(mi_eval(state, &param));
}

/// A fraction in [0, 1) from a feature point's identifier.
float id_fraction(unsigned long id) {
    unsigned long h = (id & 0xffffffffUL) * 2654435761UL;
    h ^= (h & 0xffffffffUL) >> 15;
    return static_cast<float>(h & 0xffffUL) / 65536.0f;
}

/// The nearest two feature points of `p` scaled by `scale`, under `metric`.
void nearest_two(const miVector& p, float scale, int metric, float (&distances)[2], unsigned long (&ids)[2]) {
    const miVector zero{0, 0, 0};
    FWorley::noise(cells::metric(metric), zero, p.x * scale, p.y * scale, p.z * scale, 2, distances, nullptr, ids);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int qorn_cells_version(void) { return 1; }

extern "C" __attribute__((visibility("default"))) miBoolean qorn_cells(miColor* result, miState* state,
                                                                     CellsParams* params) {
    float distances[2];
    unsigned long ids[2] = {0, 0};
    nearest_two(state->point, eval(state, params->scale), eval(state, params->metric), distances, ids);
    if (distances[1] - distances[0] < eval(state, params->border)) {
        *result = eval(state, params->border_color);
        return miTRUE;
    }
    const miColor& a = eval(state, params->color_a);
    const miColor& b = eval(state, params->color_b);
    const float t = id_fraction(ids[0]);
    result->r = a.r + (b.r - a.r) * t;
    result->g = a.g + (b.g - a.g) * t;
    result->b = a.b + (b.b - a.b) * t;
    result->a = a.a + (b.a - a.a) * t;
    return miTRUE;
}

extern "C" __attribute__((visibility("default"))) int qorn_cell_distance_version(void) { return 1; }

extern "C" __attribute__((visibility("default"))) miBoolean qorn_cell_distance(miScalar* result, miState* state,
                                                                             CellDistanceParams* params) {
    float distances[2];
    unsigned long ids[2];
    nearest_two(state->point, eval(state, params->scale), eval(state, params->metric), distances, ids);
    *result = eval(state, params->offset) + eval(state, params->gain) * distances[0];
    return miTRUE;
}
