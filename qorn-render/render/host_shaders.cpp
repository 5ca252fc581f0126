#include "render/host_shaders.h"

#include <string.h>

#include <algorithm>
#include <stdexcept>

#include "render/sample_context.h"

namespace qorn::render {

namespace {

const char kDeclarations[] = R"(
declare shader
    scalar "qorn_host_pixel_width" ( scalar "pixels" default 0.5, scalar "height_share" default 0 )
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
    miScalar height_share;
};
struct ShadeParams {
    miColor color;
    miScalar ambient;
};

/// The host's services behind every shader call it makes.
const SampleContext& sample(const miState* state) {
    return *static_cast<const SampleContext*>(static_cast<host::Services*>(state->renderer_data));
}

/// The hit triangle's smallest height (twice its area over its longest edge), in world
/// units; 0 for a degenerate one.
double smallest_height(const SampleContext& s) {
    const Mesh& mesh = s.renderer().scene().meshes[s.hit().mesh];
    const uint32_t* tri = &mesh.indices[3 * static_cast<size_t>(s.hit().triangle)];
    Vec3 v[3];
    for (int i = 0; i < 3; ++i) v[i] = mesh.object_to_world.point(to_vec3(mesh.vertices[tri[i]]));
    const double twice_area = length(cross(v[1] - v[0], v[2] - v[0]));
    const double longest = std::max({length(v[1] - v[0]), length(v[2] - v[1]), length(v[0] - v[2])});
    return longest > 0 ? twice_area / longest : 0;
}

miBoolean pixel_width(void* result, miState* state, void* params) {
    const auto* p = static_cast<PixelWidthParams*>(params);
    const float pixels = *static_cast<const miScalar*>(mi_eval(state, &p->pixels));
    const Renderer& renderer = sample(state).renderer();
    const double size = renderer.camera().pixel_size(to_vec3(state->point), renderer.settings().height);
    double width = pixels * size;
    const double share = *static_cast<const miScalar*>(mi_eval(state, &p->height_share));
    if (share > 0) width = std::min(width, share * smallest_height(sample(state)));
    *static_cast<miScalar*>(result) = static_cast<float>(width);
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
