// The render command's view: the camera (framing, orbit, projection, turntable
// frames) and the host shaders that keep wires a set number of pixels wide and show
// the surface's shape.
#ifndef QORN_RENDER_VIEW_OPTIONS_H
#define QORN_RENDER_VIEW_OPTIONS_H

#include <string>
#include <vector>

#include "view/framing.h"
#include "render/renderer.h"

namespace CLI {
class App;
}

namespace qorn::render {

struct ViewOptions {
    double wire_px = 1.5;        ///< the wire's width across, in pixels, unless wire_width is set or connected
    /// With pixel wires: the largest share of a triangle's smallest height each wire may
    /// take (0: none), so meshes denser than the wires still show their fill.
    double wire_cap = 1.0 / 12;
    /// "facing" (the default: dense meshes read, and faces turned to the eye keep the
    /// fill exactly), "flat" (the shader's colours exactly) or "headlight".
    std::string shade = "facing";
    Orbit orbit;
    bool orthographic = false;
    int turntable = 0;           ///< frames around the up axis; 0: one picture
    bool orbit_given = false;    ///< set by add_view_options when any camera option was given
};

/// Registers --wire-px, --shade, --up, --azimuth, --elevation, --ortho and --turntable.
void add_view_options(CLI::App& render, ViewOptions& view);

/// Connects the host's shaders that `view` asks for to `shader`, after the command's own
/// connections and settings (`sets`, the --set arguments): the pixel width to
/// wire_width unless it is set or connected, and a shape shader to fill_color, with
/// whatever fill_color held or was connected to as its colour.
void connect_view_shaders(const ViewOptions& view, ShaderInstance& shader, const std::vector<std::string>& sets);

struct Frame {
    Camera camera;
    std::string path;  ///< where the picture goes
};

/// The pictures to render: one, or a turntable's frames numbered OUT-000.png, ... from
/// `output` OUT.png. `eye` and `target` (null when not given) override the framing; a
/// turntable then turns the eye around the up axis through the target. The built-in
/// scene keeps its own camera unless a camera option is given. Throws
/// std::runtime_error when `eye` equals the target.
std::vector<Frame> view_frames(const ViewOptions& view, const Scene& scene, bool built_in, double fov_degrees,
                               double aspect, const Vec3* eye, const Vec3* target, const std::string& output);

/// OUT.png -> OUT-007.png for frame 7 (at least three digits; the extension, if any, kept).
std::string frame_path(const std::string& output, int frame, int frames);

}  // namespace qorn::render

#endif
