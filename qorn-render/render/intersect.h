// Ray intersection with Debian's Embree 3: one triangle geometry per mesh, in world
// space. Embree gives the mesh, the triangle (the primitive index shaders see) and the
// hit's barycentric coordinates.
#ifndef QORN_RENDER_INTERSECT_H
#define QORN_RENDER_INTERSECT_H

#include <embree3/rtcore.h>

#include <vector>

#include "view/camera.h"

namespace qorn::render {

struct Hit {
    bool found = false;
    unsigned mesh = 0;      ///< index into Scene::meshes
    unsigned triangle = 0;  ///< index of the triangle within its mesh
    double t = 0;           ///< distance along the ray
    float u = 0, v = 0;     ///< barycentric weights of vertices 1 and 2
};

class Intersector {
public:
    /// Builds the acceleration structure over `world_vertices` (one array per mesh of
    /// `scene`, world space). Throws std::runtime_error when Embree fails or a vertex
    /// is not finite within +-kMaxCoordinate, which Embree cannot take.
    Intersector(const Scene& scene, const std::vector<std::vector<miVector>>& world_vertices);
    ~Intersector();
    Intersector(const Intersector&) = delete;
    Intersector& operator=(const Intersector&) = delete;

    /// The nearest hit with distance in (t_min, infinity). Safe from any thread.
    Hit nearest(const Ray& ray, double t_min) const;

private:
    void build(const Scene& scene, const std::vector<std::vector<miVector>>& world_vertices);

    RTCDevice device_ = nullptr;
    RTCScene scene_ = nullptr;
};

}  // namespace qorn::render

#endif
