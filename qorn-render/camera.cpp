#include "camera.h"

namespace qorn::render {

Camera::Camera(Vec3 eye, Vec3 target, Vec3 up, double fov_degrees, double aspect) {
    const Vec3 back = normalized(eye - target);
    const Vec3 right = normalized(cross(up, back));
    const Vec3 true_up = cross(back, right);
    // Columns of the rotation are the camera axes in world space.
    const Vec3 axes[3] = {right, true_up, back};
    for (int c = 0; c < 3; ++c) {
        camera_to_world_.m[0][c] = axes[c].x;
        camera_to_world_.m[1][c] = axes[c].y;
        camera_to_world_.m[2][c] = axes[c].z;
    }
    camera_to_world_.t = eye;
    world_to_camera_ = inverse(camera_to_world_);
    half_height_ = tan(fov_degrees * (M_PI / 360.0));
    half_width_ = half_height_ * aspect;
}

Ray Camera::ray(double u, double v) const {
    const Vec3 d{(2.0 * u - 1.0) * half_width_, (1.0 - 2.0 * v) * half_height_, -1.0};
    return {camera_to_world_.t, normalized(camera_to_world_.direction(d))};
}

Camera look_at(Vec3 eye, Vec3 target, double fov_degrees, double aspect) {
    const Vec3 view = eye - target;
    const bool vertical = length(cross(view, {0, 1, 0})) <= 1e-9 * length(view);
    return Camera(eye, target, vertical ? Vec3{0, 0, -1} : Vec3{0, 1, 0}, fov_degrees, aspect);
}

Camera default_camera(double aspect, double fov) {
    return Camera({0.8, 3.0, 8.0}, {0.0, 0.7, -0.3}, {0, 1, 0}, fov, aspect);
}

Camera framing_camera(const Scene& scene, double aspect, double fov) {
    Vec3 centre;
    double radius;
    bounds(scene, centre, radius);
    const double half_tan = tan(fov * (M_PI / 360.0)) * fmin(1.0, aspect);  // the narrower side
    const double distance = radius / sin(atan(half_tan)) * 1.05;
    const Vec3 eye = centre + normalized({0.35, 0.45, 1.0}) * distance;
    return Camera(eye, centre, {0, 1, 0}, fov, aspect);
}

}  // namespace qorn::render
