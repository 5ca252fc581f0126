// A renderer whose services do the least they may and never allocate: for timing the
// shader's own cost, and for showing that a shader call allocates nothing.
#ifndef QORN_TEST_HOST_TRIVIAL_RENDERER_H
#define QORN_TEST_HOST_TRIVIAL_RENDERER_H

#include "services.h"

namespace qorn::host {

/// Vertices of a fixed triangle, handed out as they are; conversions from camera and
/// object space that copy; a connected parameter delivers its own value in the record;
/// the background is a fixed colour. Failures are staged by the two flags.
class TrivialRenderer final : public Services {
public:
    miVector vertices[3] = {{0, 0, 0}, {4, 0, 0}, {0, 3, 0}};
    miColor background = {1, 1, 1, 1};
    bool tri_vectors_fails = false;  ///< mi_tri_vectors then returns false
    bool trace_fails = false;        ///< mi_trace_transparent then writes nothing, returns false

    miBoolean tri_vectors(miState*, char, miInteger, const miVector** a, const miVector** b,
                          const miVector** c) override {
        if (tri_vectors_fails) return miFALSE;
        *a = &vertices[0];
        *b = &vertices[1];
        *c = &vertices[2];
        return miTRUE;
    }
    void point_from_camera(miState*, miVector* out, const miVector* in) override { *out = *in; }
    void point_from_object(miState*, miVector* out, const miVector* in) override { *out = *in; }
    const void* phen_eval(miState*, const void* param) override { return param; }
    miBoolean trace_transparent(miColor* result, miState*) override {
        if (trace_fails) return miFALSE;
        *result = background;
        return miTRUE;
    }
};

}  // namespace qorn::host

#endif
