// Small double-precision vector and affine-transform helpers for the host's scene and
// camera. The renderer's own records carry single-precision miVector; the host keeps
// its transforms in double and rounds once when it hands a point to a shader.
#ifndef QORN_RENDER_GEOMETRY_H
#define QORN_RENDER_GEOMETRY_H

#include <math.h>

#include "mi_interface.h"

namespace qorn::render {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec3 a) { return sqrt(dot(a, a)); }
inline Vec3 normalized(Vec3 a) { return a * (1.0 / length(a)); }

inline Vec3 to_vec3(const miVector& v) { return {v.x, v.y, v.z}; }
inline miVector to_mi(Vec3 v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

/// An affine map p -> M p + t, stored row-major as a 3x3 matrix and a translation.
struct Affine {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 t;

    Vec3 point(Vec3 p) const {
        return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + t.x,
                m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + t.y,
                m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + t.z};
    }
    Vec3 direction(Vec3 d) const {
        return {m[0][0] * d.x + m[0][1] * d.y + m[0][2] * d.z,
                m[1][0] * d.x + m[1][1] * d.y + m[1][2] * d.z,
                m[2][0] * d.x + m[2][1] * d.y + m[2][2] * d.z};
    }
};

/// a after b: (a * b)(p) = a(b(p)).
Affine operator*(const Affine& a, const Affine& b);
/// The inverse map; `a` must be invertible (scene transforms always are).
Affine inverse(const Affine& a);
Affine translation(Vec3 t);
Affine scaling(Vec3 s);
/// Rotation by `degrees` about the unit axis `axis`, right-handed.
Affine rotation(Vec3 axis, double degrees);

}  // namespace qorn::render

#endif
