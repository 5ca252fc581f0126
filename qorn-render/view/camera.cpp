#include "view/camera.h"

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

Camera Camera::orthographic(Vec3 eye, Vec3 target, Vec3 up, double half_height, double aspect) {
    Camera camera(eye, target, up, 90, aspect);
    camera.orthographic_ = true;
    camera.half_height_ = half_height;
    camera.half_width_ = half_height * aspect;
    return camera;
}

Ray Camera::ray(double u, double v) const {
    const double x = (2.0 * u - 1.0) * half_width_, y = (1.0 - 2.0 * v) * half_height_;
    if (orthographic_) return {camera_to_world_.point({x, y, 0}), camera_to_world_.direction({0, 0, -1})};
    return {camera_to_world_.t, normalized(camera_to_world_.direction({x, y, -1.0}))};
}

double Camera::pixel_size(Vec3 p, int image_height) const {
    const double plane = 2.0 * half_height_ / image_height;
    return orthographic_ ? plane : plane * fabs(world_to_camera_.point(p).z);
}

Camera look_at(Vec3 eye, Vec3 target, double fov_degrees, double aspect) {
    const Vec3 view = eye - target;
    const bool vertical = length(cross(view, {0, 1, 0})) <= 1e-9 * length(view);
    return Camera(eye, target, vertical ? Vec3{0, 0, -1} : Vec3{0, 1, 0}, fov_degrees, aspect);
}

Camera default_camera(double aspect, double fov) {
    return Camera({0.8, 3.0, 8.0}, {0.0, 0.7, -0.3}, {0, 1, 0}, fov, aspect);
}

}  // namespace qorn::render
