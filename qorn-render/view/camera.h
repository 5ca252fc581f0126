// A pinhole or orthographic camera. Camera space has the eye at the origin, x to the
// right, y up and the view along -z; world space is the renderer's internal space.
#ifndef QORN_RENDER_CAMERA_H
#define QORN_RENDER_CAMERA_H

#include "mesh/scene.h"

namespace qorn::render {

struct Ray {
    Vec3 origin, direction;  ///< world space; direction has unit length
};

class Camera {
public:
    /// A pinhole camera at `eye` looking at `target`, `up` giving the vertical;
    /// `fov_degrees` is the full vertical field of view (0 < fov < 180) and `aspect`
    /// width / height.
    Camera(Vec3 eye, Vec3 target, Vec3 up, double fov_degrees, double aspect);

    /// An orthographic camera: parallel rays along `target` - `eye`, starting on the
    /// plane through `eye`; the image spans 2 * `half_height` world units vertically.
    static Camera orthographic(Vec3 eye, Vec3 target, Vec3 up, double half_height, double aspect);

    /// The ray through image position (u, v): u from 0 (left) to 1 (right), v from 0
    /// (top) to 1 (bottom).
    Ray ray(double u, double v) const;

    /// World units that one pixel's height covers at world point `p`, for an image
    /// `image_height` pixels high: proportional to p's depth in front of a pinhole
    /// camera, the same everywhere for an orthographic one.
    double pixel_size(Vec3 p, int image_height) const;

    bool is_orthographic() const { return orthographic_; }
    const Affine& world_to_camera() const { return world_to_camera_; }
    const Affine& camera_to_world() const { return camera_to_world_; }

private:
    Affine camera_to_world_, world_to_camera_;
    /// Half the image plane's extent: at distance 1 for a pinhole camera, in world
    /// units for an orthographic one.
    double half_height_, half_width_;
    bool orthographic_ = false;
};

/// A camera at `eye` looking at `target` with y up, or -z up when it looks straight
/// up or down. `eye` and `target` must differ.
Camera look_at(Vec3 eye, Vec3 target, double fov_degrees, double aspect);

/// The default scene's camera: slightly above, looking down at the objects.
Camera default_camera(double aspect, double fov_degrees = 40);

}  // namespace qorn::render

#endif
