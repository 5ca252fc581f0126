#include "view/framing.h"

#include <algorithm>

namespace qorn::render {

namespace {

/// The front (from the model toward a default eye) and the right for each up axis,
/// chosen so that a Z-up model rotated to Y-up is seen exactly as before.
void front_and_right(char up, Vec3& front, Vec3& right) {
    switch (up) {
        case 'x': front = {0, 0, 1}, right = {0, -1, 0}; break;
        case 'z': front = {0, -1, 0}, right = {1, 0, 0}; break;
        default: front = {0, 0, 1}, right = {1, 0, 0}; break;
    }
}

/// World vertices in the orbit's axes, relative to the bounds' centre: coordinates along
/// right, up and back.
std::vector<Vec3> in_axes(const Scene& scene, const OrbitAxes& axes, Vec3 centre) {
    std::vector<Vec3> out;
    for (const Mesh& mesh : scene.meshes)
        for (const miVector& v : mesh.vertices) {
            const Vec3 d = mesh.object_to_world.point(to_vec3(v)) - centre;
            out.push_back({dot(d, axes.right), dot(d, axes.up), dot(d, axes.back)});
        }
    return out;
}

double component(Vec3 v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; }

/// For one image axis (0: right, 1: up) and an eye at depth `depth` along back: the
/// slope k at which the vertices' projections just touch +-k, and the eye's sideways
/// offset that centres them. A vertex (a, g) projects to (a - e) / (depth - g); it lies
/// within +-k when e + k depth >= a + k g and -e + k depth >= -a + k g, so the tight
/// k solves P(k) + Q(k) = 2 k depth with P = max(a + k g), Q = max(-a + k g), and then
/// e = (P - Q) / 2. P + Q - 2 k depth is convex and falling in k: Newton's steps from 0
/// approach the root from below and end on it after a few linear pieces.
void fit_axis(const std::vector<Vec3>& p, int axis, double depth, double& k, double& offset) {
    k = 0;
    for (int step = 0; step < 100; ++step) {
        double P = -INFINITY, Q = -INFINITY, gp = 0, gq = 0;
        for (const Vec3& v : p) {
            const double a = component(v, axis), g = v.z;
            if (a + k * g > P) P = a + k * g, gp = g;
            if (-a + k * g > Q) Q = -a + k * g, gq = g;
        }
        offset = (P - Q) / 2;
        const double h = P + Q - 2 * k * depth, slope = gp + gq - 2 * depth;
        if (h <= 0 || slope >= 0) return;
        const double next = k - h / slope;
        if (!(next > k)) return;
        k = next;
    }
}

/// The largest distance along `back` from `base` that stays within kMaxCoordinate.
double within_limit(Vec3 base, Vec3 back, double wanted) {
    double d = wanted;
    for (int i = 0; i < 3; ++i) {
        const double b = component(back, i), s = component(base, i);
        if (b > 0) d = std::min(d, (kMaxCoordinate - s) / b);
        if (b < 0) d = std::min(d, (-kMaxCoordinate - s) / b);
    }
    return std::max(d, 0.0);
}

}  // namespace

Vec3 axis_vector(char axis) {
    return axis == 'x' ? Vec3{1, 0, 0} : axis == 'z' ? Vec3{0, 0, 1} : Vec3{0, 1, 0};
}

OrbitAxes orbit_axes(const Orbit& orbit) {
    Vec3 front, side;
    front_and_right(orbit.up, front, side);
    const Vec3 up = axis_vector(orbit.up);
    const double az = orbit.azimuth * (M_PI / 180), el = orbit.elevation * (M_PI / 180);
    const Vec3 level = front * cos(az) + side * sin(az);  // horizontal, toward the eye
    OrbitAxes axes;
    axes.back = level * cos(el) + up * sin(el);
    axes.right = side * cos(az) - front * sin(az);  // horizontal, perpendicular to level
    axes.up = cross(axes.back, axes.right);
    return axes;
}

Camera frame_scene(const Scene& scene, const Orbit& orbit, bool orthographic, double fov, double aspect, double fill) {
    Vec3 centre;
    double radius;
    bounds(scene, centre, radius);
    const OrbitAxes axes = orbit_axes(orbit);
    const std::vector<Vec3> p = in_axes(scene, axes, centre);
    double nearest = -INFINITY;  // the largest coordinate along back
    for (const Vec3& v : p) nearest = std::max(nearest, v.z);

    if (orthographic) {
        Vec3 lo{INFINITY, INFINITY, 0}, hi{-INFINITY, -INFINITY, 0};
        for (const Vec3& v : p) {
            lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), 0};
            hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), 0};
        }
        const double half = std::max({(hi.y - lo.y) / 2, (hi.x - lo.x) / 2 / aspect, 1e-3 * radius}) / fill;
        const Vec3 base = centre + axes.right * ((lo.x + hi.x) / 2) + axes.up * ((lo.y + hi.y) / 2);
        const Vec3 eye = base + axes.back * within_limit(base, axes.back, nearest + radius);
        return Camera::orthographic(eye, eye - axes.back, axes.up, half, aspect);
    }

    // The limiting axis sets the depth; then each axis is centred at that depth.
    const double half_height = tan(fov * (M_PI / 360)), slopes[2] = {fill * half_height * aspect, fill * half_height};
    double depth = nearest + 1e-3 * radius;
    for (int axis = 0; axis < 2; ++axis) {
        double P = -INFINITY, Q = -INFINITY;
        for (const Vec3& v : p) {
            const double a = component(v, axis), k = slopes[axis];
            P = std::max(P, a + k * v.z);
            Q = std::max(Q, -a + k * v.z);
        }
        depth = std::max(depth, (P + Q) / (2 * slopes[axis]));
    }
    double offset[2], k;
    for (int axis = 0; axis < 2; ++axis) fit_axis(p, axis, depth, k, offset[axis]);
    const Vec3 base = centre + axes.right * offset[0] + axes.up * offset[1];
    const Vec3 eye = base + axes.back * within_limit(base, axes.back, depth);
    return Camera(eye, eye - axes.back, axes.up, fov, aspect);
}

std::vector<Camera> turntable_cameras(const Scene& scene, const Orbit& orbit, bool orthographic, double fov,
                                      double aspect, int frames, double fill) {
    Vec3 centre;
    double radius;
    bounds(scene, centre, radius);
    const double half_height = tan(fov * (M_PI / 360)), kx = fill * half_height * aspect, ky = fill * half_height;
    std::vector<OrbitAxes> axes;
    double depth = 0, half = 1e-3 * radius / fill, nearest = 0;
    for (int i = 0; i < frames; ++i) {
        Orbit o = orbit;
        o.azimuth += 360.0 * i / frames;
        axes.push_back(orbit_axes(o));
        for (const Vec3& v : in_axes(scene, axes.back(), centre)) {
            nearest = std::max(nearest, v.z);
            depth = std::max({depth, fabs(v.x) / kx + v.z, fabs(v.y) / ky + v.z, v.z + 1e-3 * radius});
            half = std::max({half, fabs(v.x) / aspect / fill, fabs(v.y) / fill});
        }
    }
    std::vector<Camera> cameras;
    for (const OrbitAxes& a : axes) {
        const Vec3 eye = centre + a.back * within_limit(centre, a.back, orthographic ? nearest + radius : depth);
        cameras.push_back(orthographic ? Camera::orthographic(eye, eye - a.back, a.up, half, aspect)
                                       : Camera(eye, eye - a.back, a.up, fov, aspect));
    }
    return cameras;
}

Camera aimed_camera(Vec3 eye, Vec3 target, char up, bool orthographic, double fov, double half_height,
                    double aspect) {
    const Vec3 view = eye - target;
    Vec3 vertical = axis_vector(up);
    if (length(cross(view, vertical)) <= 1e-9 * length(view)) {
        Vec3 front, right;
        front_and_right(up, front, right);
        vertical = dot(view, vertical) > 0 ? front * -1.0 : front;  // looking down: the front at the bottom
    }
    return orthographic ? Camera::orthographic(eye, target, vertical, half_height, aspect)
                        : Camera(eye, target, vertical, fov, aspect);
}

}  // namespace qorn::render
