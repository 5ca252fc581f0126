#include "mesh/geometry.h"

namespace qorn::render {

Affine operator*(const Affine& a, const Affine& b) {
    Affine r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    r.t = a.point(b.t);
    return r;
}

Affine inverse(const Affine& a) {
    const double(*m)[3] = a.m;
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    const double k = 1.0 / det;
    Affine r;
    r.m[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) * k;
    r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * k;
    r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * k;
    r.m[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) * k;
    r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * k;
    r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * k;
    r.m[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) * k;
    r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * k;
    r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * k;
    const Vec3 t = r.direction(a.t);
    r.t = {-t.x, -t.y, -t.z};
    return r;
}

Affine translation(Vec3 t) {
    Affine r;
    r.t = t;
    return r;
}

Affine scaling(Vec3 s) {
    Affine r;
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    return r;
}

Affine rotation(Vec3 axis, double degrees) {
    const Vec3 u = normalized(axis);
    const double a = degrees * (M_PI / 180.0), c = cos(a), s = sin(a), C = 1.0 - c;
    Affine r;
    r.m[0][0] = c + u.x * u.x * C;
    r.m[0][1] = u.x * u.y * C - u.z * s;
    r.m[0][2] = u.x * u.z * C + u.y * s;
    r.m[1][0] = u.y * u.x * C + u.z * s;
    r.m[1][1] = c + u.y * u.y * C;
    r.m[1][2] = u.y * u.z * C - u.x * s;
    r.m[2][0] = u.z * u.x * C - u.y * s;
    r.m[2][1] = u.z * u.y * C + u.x * s;
    r.m[2][2] = c + u.z * u.z * C;
    return r;
}

}  // namespace qorn::render
