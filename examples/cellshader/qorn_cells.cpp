// qorn_cells: a colour shader in its own plug-in, a client of qorn.so. It calls
// FWorley::noise through qorn.so's exported symbol, with its own distance measures.
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

}  // namespace

extern "C" __attribute__((visibility("default"))) int qorn_cells_version(void) { return 1; }

extern "C" __attribute__((visibility("default"))) miBoolean qorn_cells(miColor* result, miState* state,
                                                                     CellsParams* params) {
    const float scale = eval(state, params->scale);
    const miVector zero{0, 0, 0};
    float distances[2];
    unsigned long ids[2] = {0, 0};
    FWorley::noise(cells::metric(eval(state, params->metric)), zero, state->point.x * scale,
                   state->point.y * scale, state->point.z * scale, 2, distances, nullptr, ids);
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
