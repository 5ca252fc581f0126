// The renderer's services for one shading call. The C entry points that plug-ins
// import (host/services/services.cpp) route here through the render state's renderer_data.
#include <string.h>

#include "render/sample_context.h"

namespace qorn::render {

miBoolean SampleContext::tri_vectors(miState*, char which, miInteger number, const miVector** a, const miVector** b,
                                     const miVector** c) {
    if (which != 'p' || number != 0 || !a || !b || !c) return miFALSE;
    const Mesh& mesh = renderer_->scene().meshes[hit_.mesh];
    const std::vector<miVector>& vertices = renderer_->space_vertices(hit_.mesh);
    const uint32_t* tri = &mesh.indices[3 * static_cast<size_t>(hit_.triangle)];
    *a = &vertices[tri[0]];
    *b = &vertices[tri[1]];
    *c = &vertices[tri[2]];
    return miTRUE;
}

void SampleContext::point_from_camera(miState*, miVector* out, const miVector* in) {
    *out = to_mi(renderer_->camera().camera_to_world().point(to_vec3(*in)));
}

void SampleContext::point_from_object(miState*, miVector* out, const miVector* in) {
    *out = to_mi(renderer_->scene().meshes[hit_.mesh].object_to_world.point(to_vec3(*in)));
}

const void* SampleContext::phen_eval(miState* state, const void* param) {
    const char* record = static_cast<const char*>(shader_->record());
    const char* at = static_cast<const char*>(param);
    if (at < record || at >= record + shader_->decl().record_size) return param;
    const int index = shader_->index_at(static_cast<size_t>(at - record));
    const ShaderInstance* source = shader_->source_at(static_cast<size_t>(at - record));
    if (index < 0 || !source) return param;

    // The connected shader shades the same sample with its own description and record;
    // what it connects to in turn is evaluated in its own context.
    SampleContext inner(renderer_, source, ray_, hit_, depth_, counters_);
    miState inner_state = *state;
    inner_state.shader = source->desc();
    inner_state.renderer_data = host::renderer_data(inner);
    uint32_t* result = results_[index];
    memset(result, 0, sizeof results_[index]);
    ++counters_->connected_calls;
    source->entry().function(result, &inner_state, const_cast<void*>(source->record()));
    return result;
}

miBoolean SampleContext::trace_transparent(miColor* result, miState*) {
    ++counters_->transparent;
    if (depth_ >= renderer_->settings().max_depth) {
        *result = renderer_->settings().background;
        return miFALSE;
    }
    *result = renderer_->trace(ray_, beyond(hit_.t), depth_ + 1, *counters_);
    return miTRUE;
}

}  // namespace qorn::render
