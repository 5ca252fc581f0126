// The shader's adapter to the renderer: fetches the triangle and the parameters it
// needs, lazily and in a fixed order, hands them to the edge geometry, and composites
// the chosen colour over what lies behind the surface.
#include "qorn_texture.h"

#include "wire_geometry.h"

// The services come from the process that loads qorn.so. Weak references let qorn.so
// load into any process (a tool that only calls the noise has none of them); the
// shader then declines to shade instead of the dynamic linker ending the process.
#pragma weak mi_tri_vectors
#pragma weak mi_point_from_camera
#pragma weak mi_point_from_object
#pragma weak mi_phen_eval
#pragma weak mi_trace_transparent

namespace qorn::shader {
namespace {

bool renderer_services_present() {
    return mi_tri_vectors && mi_point_from_camera && mi_point_from_object && mi_phen_eval &&
           mi_trace_transparent;
}

/// The value of the parameter `param` of the current call, by the evaluation rule.
template <class T>
T eval(miState* state, const T& param) {
    return *static_cast<const T*>(mi_eval(state, &param));
}

/// The triangle's vertices in internal space; false when they cannot be had.
bool internal_vertices(miState* state, miVector (&v)[3]) {
    const miVector* given[3] = {nullptr, nullptr, nullptr};
    if (!mi_tri_vectors(state, 'p', 0, &given[0], &given[1], &given[2])) return false;
    switch (state->options->render_space) {
        case 'c':
            for (int i = 0; i < 3; ++i) mi_point_from_camera(state, &v[i], given[i]);
            return true;
        case 'o':
            for (int i = 0; i < 3; ++i) mi_point_from_object(state, &v[i], given[i]);
            return true;
        default:
            return false;
    }
}

/// `colour` over `behind`, made opaque; `behind`'s alpha is not used.
void composite_over(miColor& colour, const miColor& behind) {
    const float a = colour.a;
    colour.r = a * colour.r + (1.0f - a) * behind.r;
    colour.g = a * colour.g + (1.0f - a) * behind.g;
    colour.b = a * colour.b + (1.0f - a) * behind.b;
    colour.a = 1.0f;
}

}  // namespace
}  // namespace qorn::shader

extern "C" int qorn_wireframetexture_version(void) { return QORN_WIREFRAMETEXTURE_VERSION; }

extern "C" miBoolean qorn_wireframetexture(miColor* result, miState* state,
                                           wireframetexture_params* params) {
    using namespace qorn::shader;
    *result = miColor{0.0f, 0.0f, 0.0f, 0.0f};
    if (!renderer_services_present()) return miFALSE;

    miVector v[3];
    if (!internal_vertices(state, v)) return miFALSE;

    int edge = kAllEdges;
    if (eval(state, params->single_edge)) {
        const miInteger& number = (state->pri_idx & 1) ? params->odd_edge : params->even_edge;
        edge = edge_index(eval(state, number));
    }
    const float width = eval(state, params->wire_width);
    const bool on_wire = wire_hit(v, state->point, edge, width * width);

    *result = eval(state, on_wire ? params->wire_color : params->fill_color);
    // Also false for a NaN alpha: such a colour is returned as it is.
    if (result->a < 1.0f) {
        miColor behind{0.0f, 0.0f, 0.0f, 0.0f};  // what a failed trace leaves is defined
        mi_trace_transparent(&behind, state);
        composite_over(*result, behind);
    }
    return miTRUE;
}
