#include "mesh/scene.h"

#include <stdexcept>

namespace qorn::render {

void add_quad(Mesh& mesh, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    mesh.indices.insert(mesh.indices.end(), {a, b, c, a, c, d});
}

Mesh grid_mesh(const std::string& name, int nx, int ny) {
    Mesh mesh;
    mesh.name = name;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i)
            mesh.vertices.push_back({-1.0f + 2.0f * static_cast<float>(i) / static_cast<float>(nx),
                                     -1.0f + 2.0f * static_cast<float>(j) / static_cast<float>(ny),
                                     0.0f});
    const auto at = [nx](int i, int j) { return static_cast<uint32_t>(j * (nx + 1) + i); };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) add_quad(mesh, at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
    return mesh;
}

Mesh box_mesh(const std::string& name, int n) {
    // Each face is a grid turned outwards: the face normal and two in-plane axes.
    struct Face {
        Vec3 normal, u, v;
    };
    const Face faces[] = {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
                          {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                          {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
    Mesh mesh;
    mesh.name = name;
    const Mesh face_grid = grid_mesh(name, n, n);
    for (const Face& f : faces) {
        const auto base = static_cast<uint32_t>(mesh.vertices.size());
        for (const miVector& p : face_grid.vertices)
            mesh.vertices.push_back(to_mi(f.normal + f.u * p.x + f.v * p.y));
        for (uint32_t i : face_grid.indices) mesh.indices.push_back(base + i);
    }
    return mesh;
}

Mesh sphere_mesh(const std::string& name, int rings, int segments) {
    Mesh mesh;
    mesh.name = name;
    mesh.vertices.push_back({0, 0, 1});  // north pole
    for (int r = 1; r < rings; ++r) {
        const double theta = M_PI * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double phi = 2.0 * M_PI * s / segments;
            mesh.vertices.push_back(to_mi({sin(theta) * cos(phi), sin(theta) * sin(phi), cos(theta)}));
        }
    }
    mesh.vertices.push_back({0, 0, -1});  // south pole
    const auto south = static_cast<uint32_t>(mesh.vertices.size() - 1);
    const auto at = [segments](int r, int s) {
        return static_cast<uint32_t>(1 + (r - 1) * segments + (s % segments));
    };
    for (int s = 0; s < segments; ++s) mesh.indices.insert(mesh.indices.end(), {0, at(1, s), at(1, s + 1)});
    for (int r = 1; r + 1 < rings; ++r)
        for (int s = 0; s < segments; ++s) add_quad(mesh, at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1));
    for (int s = 0; s < segments; ++s)
        mesh.indices.insert(mesh.indices.end(), {at(rings - 1, s), south, at(rings - 1, s + 1)});
    return mesh;
}

Scene default_scene() {
    Scene scene;
    Mesh floor = grid_mesh("floor", 10, 10);
    floor.object_to_world = scaling({5, 5, 5}) * rotation({1, 0, 0}, -90);
    Mesh box = box_mesh("box", 2);
    box.object_to_world = translation({-1.7, 0.8, -0.9}) * rotation({0, 1, 0}, 30) * scaling({0.8, 0.8, 0.8});
    Mesh ball = sphere_mesh("ball", 10, 16);
    ball.object_to_world = translation({1.2, 1.0, -0.7}) * rotation({1, 0, 0}, -90);
    Mesh panel = grid_mesh("panel", 4, 2);
    panel.object_to_world = translation({0.4, 0.9, 1.6}) * rotation({0, 1, 0}, -15) * scaling({1.3, 0.7, 1});
    scene.meshes = {floor, box, ball, panel};
    return scene;
}

void validate(const Scene& scene, const std::string& what) {
    size_t triangles = 0;
    for (const Mesh& mesh : scene.meshes) {
        if (mesh.indices.size() % 3 != 0) throw std::runtime_error(what + ": mesh " + mesh.name + " has a partial triangle");
        for (uint32_t i : mesh.indices)
            if (i >= mesh.vertices.size())
                throw std::runtime_error(what + ": mesh " + mesh.name + " uses vertex " + std::to_string(i) +
                                         " of " + std::to_string(mesh.vertices.size()));
        for (const miVector& v : mesh.vertices)
            if (!(fabs(v.x) <= kMaxCoordinate && fabs(v.y) <= kMaxCoordinate && fabs(v.z) <= kMaxCoordinate))
                throw std::runtime_error(what + ": mesh " + mesh.name +
                                         " has a vertex that is not a finite number within +-1e12");
        triangles += mesh.triangle_count();
    }
    if (triangles == 0) throw std::runtime_error(what + ": no triangles");
}

void bounds(const Scene& scene, Vec3& centre, double& radius) {
    Vec3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
    for (const Mesh& mesh : scene.meshes)
        for (const miVector& v : mesh.vertices) {
            const Vec3 w = mesh.object_to_world.point(to_vec3(v));
            lo = {fmin(lo.x, w.x), fmin(lo.y, w.y), fmin(lo.z, w.z)};
            hi = {fmax(hi.x, w.x), fmax(hi.y, w.y), fmax(hi.z, w.z)};
        }
    centre = (lo + hi) * 0.5;
    radius = fmax(length(hi - lo) * 0.5, 1e-6);
}

}  // namespace qorn::render
