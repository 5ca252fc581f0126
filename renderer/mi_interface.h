/*
 * The renderer's shader interface, as far as qorn uses it.
 *
 * This header is the whole contract between the qorn plug-in and the renderer that
 * loads it: the value types a shader receives and returns, the render state and the
 * services the renderer exports to plug-ins. Layouts are fixed and documented here;
 * the 32-bit x86 and the x86-64 builds use the same definitions.
 *
 * It is valid C and C++.
 */
#ifndef QORN_MI_INTERFACE_H
#define QORN_MI_INTERFACE_H

/* A point or direction in space: three 32-bit IEEE floats, 12 bytes, no padding. */
typedef struct miVector {
    float x, y, z;
} miVector;

#endif
