#include "scripted_renderer.h"

#include <string.h>

namespace qorn::host {

Affine Affine::identity() { return translation(0.0f, 0.0f, 0.0f); }

Affine Affine::translation(float x, float y, float z) {
    return Affine{{{1.0f, 0.0f, 0.0f, x}, {0.0f, 1.0f, 0.0f, y}, {0.0f, 0.0f, 1.0f, z}}};
}

miVector Affine::apply(const miVector& p) const {
    float out[3];
    for (int r = 0; r < 3; ++r) out[r] = m[r][0] * p.x + m[r][1] * p.y + m[r][2] * p.z + m[r][3];
    return miVector{out[0], out[1], out[2]};
}

void ScriptedRenderer::set_record(const void* record, size_t size) {
    record_size_ = (size + 3) / 4 * 4;
    block_.assign(2 * record_size_ / 4, 0u);
    memcpy(block_.data(), record, size);
    connections_.clear();
    has_connections = false;
}

void ScriptedRenderer::connect_to(size_t offset, const std::string& name,
                                  std::function<const void*()> shader) {
    block_.at((record_size_ + offset) / 4) = 1u;
    connections_[offset] = Connection{name, std::move(shader), 0};
    has_connections = true;
}

int ScriptedRenderer::runs(const std::string& name) const {
    for (const auto& [offset, connection] : connections_) {
        if (connection.name == name) return connection.runs;
    }
    return 0;
}

miBoolean ScriptedRenderer::shade(ShaderFn shader, void* result) {
    const miOptions options{render_space};
    const miShaderDesc description{has_connections ? static_cast<miInteger>(record_size_) : 0};
    miState state{&options, &description, point, primitive, renderer_data(*this)};
    return shader(result, &state, block_.data());
}

miBoolean ScriptedRenderer::tri_vectors(miState*, char which, miInteger number, const miVector** a,
                                        const miVector** b, const miVector** c) {
    calls.push_back(std::string("mi_tri_vectors ") + which + " " + std::to_string(number));
    if (tri_vectors_fails || which != 'p' || number != 0) return miFALSE;
    for (int i = 0; i < 3; ++i) handed_out_[i][0] = vertices[i];
    *a = handed_out_[0].data();
    *b = handed_out_[1].data();
    *c = handed_out_[2].data();
    return miTRUE;
}

void ScriptedRenderer::point_from_camera(miState*, miVector* out, const miVector* in) {
    calls.push_back("mi_point_from_camera");
    *out = camera_to_internal.apply(*in);
}

void ScriptedRenderer::point_from_object(miState*, miVector* out, const miVector* in) {
    calls.push_back("mi_point_from_object");
    *out = object_to_internal.apply(*in);
}

const void* ScriptedRenderer::phen_eval(miState*, const void* param) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(block_.data());
    const uintptr_t at = reinterpret_cast<uintptr_t>(param);
    const auto found = at >= base && at - base < record_size_ ? connections_.find(at - base)
                                                              : connections_.end();
    if (found == connections_.end()) {
        calls.push_back("mi_phen_eval +" + std::to_string(static_cast<long long>(at - base)) + " unconnected");
        return param;
    }
    calls.push_back("mi_phen_eval " + found->second.name);
    ++found->second.runs;
    return found->second.shader();
}

miBoolean ScriptedRenderer::trace_transparent(miColor* result, miState*) {
    calls.push_back("mi_trace_transparent");
    if (trace_fails) return miFALSE;
    *result = background;
    return miTRUE;
}

}  // namespace qorn::host
