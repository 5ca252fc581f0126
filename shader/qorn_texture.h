/*
 * qorn_wireframetexture: paints the edges of a triangle mesh as lines of a given width
 * in one colour over a fill colour, optionally one chosen edge per triangle, and
 * composites a partly transparent result over what lies behind the surface.
 *
 * The renderer finds both entry points by name in qorn.so; scene files declare the
 * shader with qorn.mi, which lists the parameters below in the same order. Valid C
 * and C++.
 */
#ifndef QORN_SHADER_QORN_TEXTURE_H
#define QORN_SHADER_QORN_TEXTURE_H

#include "mi_interface.h"

#if defined(QORN_BUILDING_LIBRARY)
#define QORN_SHADER_API __attribute__((visibility("default")))
#else
#define QORN_SHADER_API
#endif

/* The shader's version; qorn.mi declares the same. */
#define QORN_WIREFRAMETEXTURE_VERSION 4

/* The shader's parameter record, built by the renderer from the declaration. 48 bytes
 * on both ABIs; byte offsets in brackets. */
typedef struct wireframetexture_params {
    miColor wire_color;    /* [0]  colour of points on the wire */
    miColor fill_color;    /* [16] colour of every other point */
    miScalar wire_width;   /* [32] greatest distance from an edge's line that is still on
                              the wire, in internal-space units, inclusive; its sign is
                              ignored; 0 draws only points exactly on a line */
    miBoolean single_edge; /* [36] non-zero: draw only one edge per triangle */
    miInteger even_edge;   /* [40] the edge drawn on triangles with an even primitive index
                              when single_edge: 1 (V0 to V1), 2 (V1 to V2) or 3 (V2 to V0);
                              any other number draws all three edges */
    miInteger odd_edge;    /* [44] the same for odd primitive indices */
} wireframetexture_params;

#if defined(__cplusplus)
static_assert(sizeof(wireframetexture_params) == 48, "wireframetexture_params is 48 bytes");
static_assert(offsetof(wireframetexture_params, wire_color) == 0, "wire_color at 0");
static_assert(offsetof(wireframetexture_params, fill_color) == 16, "fill_color at 16");
static_assert(offsetof(wireframetexture_params, wire_width) == 32, "wire_width at 32");
static_assert(offsetof(wireframetexture_params, single_edge) == 36, "single_edge at 36");
static_assert(offsetof(wireframetexture_params, even_edge) == 40, "even_edge at 40");
static_assert(offsetof(wireframetexture_params, odd_edge) == 44, "odd_edge at 44");
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Returns QORN_WIREFRAMETEXTURE_VERSION, 4. */
QORN_SHADER_API int qorn_wireframetexture_version(void);

/* Shades one sample on a triangle. Sets *result to the wire colour when the
 * intersection point lies within wire_width of a tested edge's (infinite) line, else to
 * the fill colour; a colour with alpha below 1 is then composited over the colour seen
 * through the surface and made opaque. Returns true; returns false with *result
 * (0, 0, 0, 0) when the triangle's vertices cannot be had, when the renderer works in a
 * space other than camera or object space, or when the loading process lacks any of
 * the renderer's services. Writes nothing but *result; safe on any number of threads. */
QORN_SHADER_API miBoolean qorn_wireframetexture(miColor* result, miState* state,
                                                wireframetexture_params* params);

#ifdef __cplusplus
}
#endif

#endif
