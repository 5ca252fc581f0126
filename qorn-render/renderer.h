// The host's renderer: rays from the camera, Embree for the nearest triangle, one call
// of the surface shader per hit, several jittered samples per pixel, tiles on all
// cores. The image depends only on the scene, the camera, the shader and the settings,
// never on the number of threads.
#ifndef QORN_RENDER_RENDERER_H
#define QORN_RENDER_RENDERER_H

#include <stdint.h>

#include <atomic>

#include "camera.h"
#include "image.h"
#include "intersect.h"
#include "services.h"
#include "shader_instance.h"

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

/// One shading call in progress: what the renderer's services need to know about the
/// sample. The render state's renderer_data routes the services here.
class SampleContext final : public host::Services {
public:
    SampleContext(const Renderer* r, const ShaderInstance* s, const Ray& ray, const Hit& hit, int depth,
                  RenderStats* counters)
        : renderer_(r), shader_(s), ray_(ray), hit_(hit), depth_(depth), counters_(counters) {}

    miBoolean tri_vectors(miState* state, char which, miInteger number, const miVector** a, const miVector** b,
                          const miVector** c) override;
    void point_from_camera(miState* state, miVector* out, const miVector* in) override;
    void point_from_object(miState* state, miVector* out, const miVector* in) override;
    const void* phen_eval(miState* state, const void* param) override;
    miBoolean trace_transparent(miColor* result, miState* state) override;

    // For the host's own shaders.
    const Renderer& renderer() const { return *renderer_; }
    const Ray& ray() const { return ray_; }
    const Hit& hit() const { return hit_; }

private:
    const Renderer* renderer_;
    const ShaderInstance* shader_;  ///< the shader being called
    Ray ray_;
    Hit hit_;
    int depth_;
    RenderStats* counters_;
    /// Results of connected parameters, one slot per parameter of `shader_`, valid for
    /// the rest of the shader call. Left uninitialised until a parameter is evaluated.
    alignas(16) uint32_t results_[kMaxConnectedParams][4];
};

/// Where a continued ray starts past a surface hit at distance t: far enough not to
/// hit the same surface (or its neighbour across an edge) again.
inline double beyond(double t) { return t * (1.0 + 1e-5) + 1e-6; }

}  // namespace qorn::render

#endif
