/*
 * The renderer's shader interface, as far as qorn uses it.
 *
 * This header is the whole contract between the qorn plug-in and the renderer that
 * loads it: the value types a shader receives and returns, the render state and the
 * services the renderer exports to plug-ins. Layouts are fixed and documented here;
 * the 32-bit x86 and the x86-64 builds use the same definitions.
 *
 * It is valid C (C99 or later) and C++.
 *
 * Who provides what:
 *   - the renderer (the process that loads qorn.so) defines the five services below
 *     with C linkage and exports them from its executable or one of its libraries;
 *     qorn.so leaves them undefined and they are resolved when it is loaded;
 *   - the renderer owns every record passed to a shader (state, options, shader
 *     description, parameter record, result colour) for the duration of the call;
 *   - a shader reads every parameter through mi_eval().
 *
 * Byte offsets below are given as i386 / x86-64 where they differ.
 */
#ifndef QORN_MI_INTERFACE_H
#define QORN_MI_INTERFACE_H

#include <stddef.h>
#include <string.h>

/* The renderer's boolean: a 32-bit integer, 0 false, anything else true. */
typedef int miBoolean;
#define miFALSE 0
#define miTRUE 1

/* A 32-bit signed integer. */
typedef int miInteger;

/* A 32-bit IEEE float. */
typedef float miScalar;

/* A point or direction in space: three 32-bit IEEE floats, 12 bytes, no padding. */
typedef struct miVector {
    float x, y, z;
} miVector;

/* A colour: four 32-bit IEEE floats, red, green, blue, alpha (offsets 0/4/8/12),
 * 16 bytes. Alpha 1 is opaque, 0 fully transparent; components are not clamped. */
typedef struct miColor {
    float r, g, b, a;
} miColor;

/* The render options, as far as a shader reads them. 1 byte.
 *   render_space (offset 0): the coordinate space the renderer works in, the space in
 *     which it hands out triangle vertices: 'c' camera space, 'o' object space; any
 *     other character (for instance 'w', world space) is a space qorn's shader does not
 *     support. */
typedef struct miOptions {
    char render_space;
} miOptions;

/* The description of the shader being called. 4 bytes.
 *   connection_offset (offset 0): distance in bytes, a multiple of 4, from any
 *     parameter in the parameter record to the 32-bit flag word that says whether that
 *     parameter is connected to another shader (non-zero: connected). 0 means that no
 *     parameter of this call is connected and there are no flag words. */
typedef struct miShaderDesc {
    miInteger connection_offset;
} miShaderDesc;

/* The render state of one shading sample. 28 bytes on i386, 40 on x86-64.
 *   options       (0 / 0):   the render options; never null.
 *   shader        (4 / 8):   the current shader's description; never null.
 *   point         (8 / 16):  the intersection point of the current ray, in the
 *                            renderer's internal space.
 *   pri_idx       (20 / 28): index of the primitive (triangle) the ray hit; >= 0.
 *   renderer_data (24 / 32): the renderer's own per-sample data, for its services;
 *                            shaders never read or write it.
 * A shader never writes the state; services may. */
typedef struct miState {
    const miOptions* options;
    const miShaderDesc* shader;
    miVector point;
    miInteger pri_idx;
    void* renderer_data;
} miState;

/* The layouts above, checked by every compiler that can. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L)
#if defined(__cplusplus)
#define QORN_MI_ASSERT(cond, what) static_assert(cond, what)
#else
#define QORN_MI_ASSERT(cond, what) _Static_assert(cond, what)
#endif
QORN_MI_ASSERT(sizeof(miBoolean) == 4 && sizeof(miInteger) == 4 && sizeof(miScalar) == 4,
               "32-bit scalars");
QORN_MI_ASSERT(sizeof(miVector) == 12, "miVector is 3 floats");
QORN_MI_ASSERT(sizeof(miColor) == 16 && offsetof(miColor, a) == 12, "miColor is r, g, b, a");
QORN_MI_ASSERT(sizeof(miOptions) == 1, "miOptions layout");
QORN_MI_ASSERT(sizeof(miShaderDesc) == 4, "miShaderDesc layout");
QORN_MI_ASSERT(offsetof(miState, options) == 0, "miState layout");
QORN_MI_ASSERT(offsetof(miState, shader) == sizeof(void*), "miState layout");
QORN_MI_ASSERT(offsetof(miState, point) == 2 * sizeof(void*), "miState layout");
QORN_MI_ASSERT(offsetof(miState, pri_idx) == 2 * sizeof(void*) + 12, "miState layout");
QORN_MI_ASSERT(offsetof(miState, renderer_data) == (sizeof(void*) == 4 ? 24 : 32),
               "miState layout");
QORN_MI_ASSERT(sizeof(miState) == (sizeof(void*) == 4 ? 28 : 40), "miState size");
#undef QORN_MI_ASSERT
#endif

/* The renderer's services. Defined by the loading process, never by a plug-in. */
#if defined(__GNUC__)
#define QORN_MI_SERVICE __attribute__((visibility("default")))
#else
#define QORN_MI_SERVICE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The vertices of the triangle the ray hit. `which` selects the data: 'p' vertex
 * positions, in the space named by the render options. `number` selects among several
 * sets of that data (0 for positions). On success stores into *a, *b, *c pointers to
 * the three vertices V0, V1, V2, owned by the renderer and valid for the rest of the
 * call, and returns true; returns false (leaving *a, *b, *c unspecified) when it
 * cannot. */
QORN_MI_SERVICE miBoolean mi_tri_vectors(miState* state, char which, miInteger number,
                                         const miVector** a, const miVector** b,
                                         const miVector** c);

/* Converts the point *in from camera space to internal space into *out. */
QORN_MI_SERVICE void mi_point_from_camera(miState* state, miVector* out, const miVector* in);

/* Converts the point *in from object space to internal space into *out. */
QORN_MI_SERVICE void mi_point_from_object(miState* state, miVector* out, const miVector* in);

/* The value of a connected parameter: runs whatever is connected to the parameter at
 * `param` (an address inside the current parameter record) and returns a pointer to
 * the result, of the parameter's type, valid for the rest of the call. */
QORN_MI_SERVICE const void* mi_phen_eval(miState* state, const void* param);

/* Fills *result with the colour seen through the surface at the current intersection.
 * Returns false when the trace failed; *result may then be left as it was. */
QORN_MI_SERVICE miBoolean mi_trace_transparent(miColor* result, miState* state);

#ifdef __cplusplus
}
#endif

#undef QORN_MI_SERVICE

/* The standard parameter-evaluation rule: the value of the parameter at `param` (an
 * address inside the parameter record of the current call). When the shader
 * description's connection offset is 0, or the 32-bit flag word that many bytes past
 * the parameter is 0, the parameter's own value at `param`; otherwise the value that
 * mi_phen_eval() computes for it. Cast the result to a pointer to the parameter's
 * type. Every parameter read goes through here. */
static inline const void* mi_eval(miState* state, const void* param) {
    miInteger offset = state->shader->connection_offset;
    miInteger connected = 0;
    if (offset == 0) return param;
    memcpy(&connected, (const char*)param + offset, sizeof connected);
    return connected ? mi_phen_eval(state, param) : param;
}

#endif
