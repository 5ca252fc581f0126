// Where the default camera stands: around the model's centre at an azimuth and an
// elevation about the scene's up axis, far enough (or, orthographic, wide enough) that
// the model's projection fills a set fraction of the image's limiting dimension.
#ifndef QORN_RENDER_FRAMING_H
#define QORN_RENDER_FRAMING_H

#include <vector>

#include "view/camera.h"

namespace qorn::render {

/// The eye's direction from the model, about the scene's up axis.
struct Orbit {
    char up = 'y';          ///< the world axis that is up: 'x', 'y' or 'z'
    double azimuth = 30;    ///< degrees about the up axis, from the front (+z for y and x up, -y for z up) toward the right
    double elevation = 20;  ///< degrees above the horizontal, -90 to 90
};

/// Camera axes in world space: `back` points from the model to the eye.
struct OrbitAxes {
    Vec3 right, up, back;
};
/// The axes of a camera looking from `orbit`'s direction; well defined at every
/// elevation, straight above and below included.
OrbitAxes orbit_axes(const Orbit& orbit);

/// The unit vector of world axis 'x', 'y' or 'z'.
Vec3 axis_vector(char axis);

/// Fraction of the image's limiting dimension that a framed model spans.
constexpr double kFrameFill = 0.9;

/// A camera looking at `scene` from `orbit`'s direction, centred on the projection of
/// its world-space vertices, which spans `fill` of the image's limiting dimension: the
/// pinhole's distance is chosen for `fov_degrees`, the orthographic camera's width.
/// The eye stays within kMaxCoordinate, even if the model is then cropped.
Camera frame_scene(const Scene& scene, const Orbit& orbit, bool orthographic, double fov_degrees, double aspect,
                   double fill = kFrameFill);

/// `frames` cameras circling the up axis through the centre of the model's bounds at
/// azimuths orbit.azimuth + 360 i / frames, all at one distance (orthographic: one
/// width) so that the model, its bounds' centre in the image's centre, spans at most
/// `fill` of the limiting dimension in every frame.
std::vector<Camera> turntable_cameras(const Scene& scene, const Orbit& orbit, bool orthographic, double fov_degrees,
                                      double aspect, int frames, double fill = kFrameFill);

/// A camera at `eye` looking at `target` with world axis `up` as the vertical (another
/// axis when it looks along `up`); an orthographic one spans 2 * `half_height`
/// vertically. `eye` and `target` must differ.
Camera aimed_camera(Vec3 eye, Vec3 target, char up, bool orthographic, double fov_degrees, double half_height,
                    double aspect);

}  // namespace qorn::render

#endif
