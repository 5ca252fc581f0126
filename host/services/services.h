// A renderer's side of the five services of mi_interface.h, as a C++ interface.
//
// This library defines the services with C linkage, so that a plug-in loaded into the
// process resolves them here. Each call is passed on to the Services object that the
// render state's renderer_data points to: a host sets renderer_data to its own
// Services (as a `Services*` converted to `void*`) before it calls a shader.
#ifndef QORN_HOST_SERVICES_SERVICES_H
#define QORN_HOST_SERVICES_SERVICES_H

#include "mi_interface.h"

namespace qorn::host {

class Services {
public:
    virtual ~Services() = default;
    virtual miBoolean tri_vectors(miState* state, char which, miInteger number, const miVector** a,
                                  const miVector** b, const miVector** c) = 0;
    virtual void point_from_camera(miState* state, miVector* out, const miVector* in) = 0;
    virtual void point_from_object(miState* state, miVector* out, const miVector* in) = 0;
    virtual const void* phen_eval(miState* state, const void* param) = 0;
    virtual miBoolean trace_transparent(miColor* result, miState* state) = 0;
};

/// The value for miState::renderer_data that routes the services to `services`.
/// Defined in this library, so that a host using it always loads the services too.
void* renderer_data(Services& services);

/// How a renderer calls any shader: the result, the state and the parameter record.
using ShaderFn = miBoolean (*)(void* result, miState* state, void* params);

}  // namespace qorn::host

#endif
