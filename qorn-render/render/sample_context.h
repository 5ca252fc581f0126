// One shading call in progress: the renderer services a plug-in calls, answered from the
// ray, the hit and the scene of the renderer that made the call.
#ifndef QORN_RENDER_SAMPLE_CONTEXT_H
#define QORN_RENDER_SAMPLE_CONTEXT_H

#include <stdint.h>

#include "render/renderer.h"
#include "services.h"

namespace qorn::render {

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

}  // namespace qorn::render

#endif
