// The host's renderer: rays from the camera, Embree for the nearest triangle, one call
// of the surface shader per hit, several jittered samples per pixel, tiles on all
// cores. The image depends only on the scene, the camera, the shader and the settings,
// never on the number of threads.
#ifndef QORN_RENDER_RENDERER_H
#define QORN_RENDER_RENDERER_H

#include <stdint.h>

#include <atomic>

#include "view/camera.h"
#include "output/image.h"
#include "render/intersect.h"
#include "plugins/shader_instance.h"

namespace qorn::render {

struct RenderSettings {
    int width = 640, height = 360;
    int samples = 4;     ///< per pixel, >= 1
    int threads = 0;     ///< 0: one per core
    int max_depth = 8;   ///< surfaces a ray may pass through by transparency
    char space = 'c';    ///< the working space the shader is told: 'c', 'o' (or any other)
    miColor background{0.16f, 0.18f, 0.22f, 1.0f};
    bool progress = false;  ///< a progress bar on standard error for longer renders
    bool alpha = false;     ///< transparent background: alpha is the share of samples that hit a surface
};

/// What happened during a render, summed over all threads.
struct RenderStats {
    uint64_t samples = 0;          ///< camera rays
    uint64_t shader_calls = 0;     ///< surface shader calls, transparency included
    uint64_t unshaded = 0;         ///< calls whose shader returned false
    uint64_t transparent = 0;      ///< mi_trace_transparent calls
    uint64_t connected_calls = 0;  ///< shaders run through mi_phen_eval
    double seconds = 0;
};

class Renderer {
public:
    /// `shader` is attached to every mesh. All arguments must outlive the renderer.
    Renderer(const Scene& scene, const Camera& camera, const ShaderInstance& shader, const RenderSettings& settings);

    Image render(RenderStats& stats) const;

    /// The colour seen along `ray` beyond distance `t_min`, after `depth` transparent
    /// surfaces: the shaded nearest hit, or the background.
    miColor trace(const Ray& ray, double t_min, int depth, RenderStats& counters) const;

    // For the renderer's services.
    const Scene& scene() const { return scene_; }
    const Camera& camera() const { return camera_; }
    const RenderSettings& settings() const { return settings_; }
    /// Mesh `mesh`'s vertices in the working space the shader is told about.
    const std::vector<miVector>& space_vertices(unsigned mesh) const;
    /// The unit normal of the triangle `hit` found, in world space, turned toward the
    /// side `ray` comes from (the ray's reverse for a degenerate triangle).
    Vec3 facing_normal(const Ray& ray, const Hit& hit) const;

private:
    miColor shade(const Ray& ray, const Hit& hit, int depth, RenderStats& counters) const;
    void render_tile(int tile, Image& image, RenderStats& counters) const;

    const Scene& scene_;
    const Camera& camera_;
    const ShaderInstance& shader_;
    RenderSettings settings_;
    miOptions options_;
    std::vector<std::vector<miVector>> world_, camera_space_;
    Intersector intersector_;
};

/// Where a continued ray starts past a surface hit at distance t: far enough not to
/// hit the same surface (or its neighbour across an edge) again.
inline double beyond(double t) { return t * (1.0 + 1e-5) + 1e-6; }

}  // namespace qorn::render

#endif
