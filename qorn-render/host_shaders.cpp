#include "host_shaders.h"

#include <string.h>

#include <algorithm>
#include <stdexcept>

#include "renderer.h"

namespace qorn::render {

namespace {

const char kDeclarations[] = R"(
declare shader
    scalar "qorn_host_pixel_width" ( scalar "pixels" default 0.5 )
    version 1
end declare
declare shader
    color "qorn_host_facing" ( color "color", scalar "ambient" default 0.3 )
    version 1
end declare
declare shader
    color "qorn_host_headlight" ( color "color", scalar "ambient" default 0.3 )
    version 1
end declare
)";

struct PixelWidthParams {
    miScalar pixels;
};
struct ShadeParams {
    miColor color;
    miScalar ambient;
};

/// The host's services behind every shader call it makes.
const SampleContext& sample(const miState* state) {
    return *static_cast<const SampleContext*>(static_cast<host::Services*>(state->renderer_data));
}

miBoolean pixel_width(void* result, miState* state, void* params) {
    const auto* p = static_cast<PixelWidthParams*>(params);
    const float pixels = *static_cast<const miScalar*>(mi_eval(state, &p->pixels));
    const Renderer& renderer = sample(state).renderer();
    const double size = renderer.camera().pixel_size(to_vec3(state->point), renderer.settings().height);
    *static_cast<miScalar*>(result) = static_cast<float>(pixels * size);
    return miTRUE;
}

/// `color` scaled by ambient + (1 - ambient) * lit, alpha kept.
miBoolean shaded(void* result, miState* state, void* params, double lit) {
    auto* p = static_cast<ShadeParams*>(params);
    const miColor c = *static_cast<const miColor*>(mi_eval(state, &p->color));
    const double ambient = *static_cast<const miScalar*>(mi_eval(state, &p->ambient));
    const float f = static_cast<float>(ambient + (1 - ambient) * lit);
    *static_cast<miColor*>(result) = {c.r * f, c.g * f, c.b * f, c.a};
    return miTRUE;
}

miBoolean facing(void* result, miState* state, void* params) {
    const SampleContext& s = sample(state);
    const Vec3 n = s.renderer().facing_normal(s.ray(), s.hit());
    return shaded(result, state, params, -dot(n, s.ray().direction));
}

miBoolean headlight(void* result, miState* state, void* params) {
    const SampleContext& s = sample(state);
    const Vec3 n = s.renderer().facing_normal(s.ray(), s.hit());
    const Vec3 light = normalized(s.renderer().camera().camera_to_world().direction({-0.45, 0.55, 1}));
    return shaded(result, state, params, std::max(0.0, dot(n, light)));
}

}  // namespace

ShaderEntry host_shader(const std::string& name) {
    static const std::vector<ShaderDecl> decls = parse_declarations(kDeclarations, "the host's shaders");
    const std::pair<const char*, ShaderFunction> functions[] = {
        {"qorn_host_pixel_width", pixel_width}, {"qorn_host_facing", facing}, {"qorn_host_headlight", headlight}};
    for (const auto& [shader, function] : functions)
        for (const ShaderDecl& d : decls)
            if (d.name == name && name == shader) return {&d, function, "qorn-render"};
    throw std::runtime_error("the host has no shader " + name);
}

}  // namespace qorn::render
