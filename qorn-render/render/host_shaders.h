// Shaders of the host itself, declared and called exactly like a plug-in's, for the
// view options to connect to the surface shader's parameters:
//
//   scalar "qorn_host_pixel_width" (scalar "pixels" default 0.5, scalar "height_share" default 0)
//       `pixels` pixel heights measured at the hit, in internal-space (world) units: a
//       pinhole camera's pixel grows with the hit's depth, an orthographic one does not.
//       Connected to a width, it keeps a line the same size on screen at any scale.
//       A `height_share` above 0 caps it at that share of the hit triangle's smallest
//       height, so triangles smaller than the wires keep some fill.
//   color "qorn_host_facing" (color "color", scalar "ambient" default 0.3)
//       `color` times ambient + (1 - ambient) |n . v|, n the triangle's normal and v the
//       ray: faces turned away from the eye darken.
//   color "qorn_host_headlight" (color "color", scalar "ambient" default 0.3)
//       `color` times ambient + (1 - ambient) max(0, n . l), l a light above and left of
//       the eye that moves with the camera, n the normal turned toward the eye.
//
// Alpha passes through unchanged. Every parameter is read through mi_eval, so these
// can be connected in turn.
#ifndef QORN_RENDER_HOST_SHADERS_H
#define QORN_RENDER_HOST_SHADERS_H

#include <string>

#include "plugins/plugin.h"

namespace qorn::render {

/// The host shader `name` ("qorn_host_pixel_width", ...). Throws std::runtime_error
/// for a name the host does not have.
ShaderEntry host_shader(const std::string& name);

}  // namespace qorn::render

#endif
