// Triangle meshes as the host renders them: vertices in each mesh's own object space,
// an object-to-world transform per mesh, and triangles as vertex-index triples. The
// triangle's position in its mesh is the primitive index that shaders see, so a quad
// split into two triangles gives one even and one odd triangle.
#ifndef QORN_RENDER_SCENE_H
#define QORN_RENDER_SCENE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "mesh/geometry.h"

namespace qorn::render {

/// Largest coordinate magnitude the host accepts, for mesh vertices and the camera
/// alike, in scene units: far inside what the intersector's single-precision
/// arithmetic handles (it fails near 1.5e18), with room for the camera's distance.
constexpr double kMaxCoordinate = 1e12;

struct Mesh {
    std::string name;
    std::vector<miVector> vertices;  ///< object space
    std::vector<uint32_t> indices;   ///< three per triangle, each < vertices.size()
    Affine object_to_world;

    size_t triangle_count() const { return indices.size() / 3; }
};

struct Scene {
    std::vector<Mesh> meshes;
};

/// A quad (a, b, c, d), counter-clockwise, as the triangle pair (a, b, c), (a, c, d):
/// the even triangle's edge 3 and the odd triangle's edge 1 are the shared diagonal.
void add_quad(Mesh& mesh, uint32_t a, uint32_t b, uint32_t c, uint32_t d);

/// A grid of nx by ny quads spanning [-1, 1]^2 in the z = 0 plane.
Mesh grid_mesh(const std::string& name, int nx, int ny);
/// A cube [-1, 1]^3 whose faces are n by n quads.
Mesh box_mesh(const std::string& name, int n);
/// A unit sphere of `rings` latitude bands by `segments` longitudes; quads except for
/// the triangle fans at the poles.
Mesh sphere_mesh(const std::string& name, int rings, int segments);

/// The built-in scene: a floor grid, a tilted box, a sphere and a flat panel standing
/// in front of them, each in its own object space. Looked at by default_camera().
Scene default_scene();

// Mesh files (OBJ, PLY, STL) are read by load_mesh() in mesh_file.h.

/// Checks what the renderer relies on: indices in range, coordinates finite and within
/// +-kMaxCoordinate, at least one triangle. Throws std::runtime_error naming `what`
/// otherwise.
void validate(const Scene& scene, const std::string& what);

/// The centre and radius of a sphere around all world-space vertices.
void bounds(const Scene& scene, Vec3& centre, double& radius);

}  // namespace qorn::render

#endif
