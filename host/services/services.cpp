// The renderer services that plug-ins import, routed to the host's Services object.
#include "services.h"

namespace {

qorn::host::Services& services_of(miState* state) {
    return *static_cast<qorn::host::Services*>(state->renderer_data);
}

}  // namespace

void* qorn::host::renderer_data(Services& services) { return static_cast<void*>(&services); }

extern "C" {

miBoolean mi_tri_vectors(miState* state, char which, miInteger number, const miVector** a,
                         const miVector** b, const miVector** c) {
    return services_of(state).tri_vectors(state, which, number, a, b, c);
}

void mi_point_from_camera(miState* state, miVector* out, const miVector* in) {
    services_of(state).point_from_camera(state, out, in);
}

void mi_point_from_object(miState* state, miVector* out, const miVector* in) {
    services_of(state).point_from_object(state, out, in);
}

const void* mi_phen_eval(miState* state, const void* param) {
    return services_of(state).phen_eval(state, param);
}

miBoolean mi_trace_transparent(miColor* result, miState* state) {
    return services_of(state).trace_transparent(result, state);
}

}  // extern "C"
